#include "model/model_3ds.h"

#include <cstdio>
#include <string>

#include "model/file_bytes.h"
#include "model/model_passes.h"

C3DSMaxModel::~C3DSMaxModel() { Clear(); }

void C3DSMaxModel::Clear() {
  for (CGroup* group : m_groups) delete group;  // releases its arrays
  for (CMaterial* material : m_materials) delete material;
  m_groups.RemoveAll();
  m_materials.RemoveAll();
  m_nGroups = 0;
  m_damage.clear();
}

bool C3DSMaxModel::Load(const char* modelPath, const char* texturePrefix, CTextureCache* textures) {
  Clear();
  if (!ScanCounts(modelPath)) return false;
  if (!AllocateGroups(modelPath)) return false;
  return ReadChunks(modelPath, texturePrefix, textures);
}

bool C3DSMaxModel::ScanCounts(const char* modelPath) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadFileBytes(modelPath, &bytes, &error)) {
    std::fprintf(stderr, "model: cannot read %s: %s\n", modelPath, error.c_str());
    return false;
  }
  if (bytes.empty()) std::fprintf(stderr, "model: %s: the file is empty; there is nothing to draw\n", modelPath);
  ScanCounts(bytes.data(), bytes.size(), modelPath);
  return true;
}

void C3DSMaxModel::ScanCounts(const uint8_t* bytes, size_t size, const char* fileName) {
  // The filling pass meets the same chunks and reports their damage; only running out of
  // memory is the counting pass's own.
  CountModelChunks(bytes, size, &m_groups, [&](const ModelDamage& d) {
    if (d.kind != ModelDamageKind::kOutOfMemory) return;
    PrintModelDamage(d, fileName, stderr);
    m_damage.push_back(d);
  });
  m_nGroups = static_cast<uint32_t>(m_groups.size());
}

bool C3DSMaxModel::AllocateGroups(const char* fileName) {
  for (uint32_t j = 0; j < m_nGroups; j++) {
    CGroup* group = m_groups[j];
    if (!group->Allocate()) {
      std::fprintf(stderr, "model: %s: out of memory for mesh %u (%u vertices, %u faces); the model is left empty\n",
                   fileName, j, group->m_nVertices, group->m_nFaces);
      Clear();
      return false;
    }
  }
  return true;
}

bool C3DSMaxModel::ReadChunks(const char* modelPath, const char* texturePrefix, CTextureCache* textures) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadFileBytes(modelPath, &bytes, &error)) {
    // The groups' faces were never linked: nothing of them may be drawn.
    std::fprintf(stderr, "model: cannot read %s a second time: %s; the model is left empty\n", modelPath,
                 error.c_str());
    Clear();
    return false;
  }
  ReadChunks(bytes.data(), bytes.size(), modelPath, texturePrefix, textures);
  return true;
}

void C3DSMaxModel::ReadChunks(const uint8_t* bytes, size_t size, const char* fileName, const char* texturePrefix,
                              CTextureCache* textures) {
  FillModelChunks(bytes, size, texturePrefix, m_groups, &m_materials, textures, [&](const ModelDamage& d) {
    PrintModelDamage(d, fileName, stderr);
    m_damage.push_back(d);
  });
}

CMaterial* C3DSMaxModel::FindMaterial(const char* name) const { return FindMaterialNamed(m_materials, name); }
