#include "model/model_3ds.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "model/chunk_reader.h"
#include "model/file_bytes.h"

C3DSMaxModel::~C3DSMaxModel() { Clear(); }

void C3DSMaxModel::Clear() {
  for (CGroup* group : m_groups) delete group;  // releases its arrays
  for (CMaterial* material : m_materials) delete material;
  m_groups.RemoveAll();
  m_materials.RemoveAll();
  m_nGroups = 0;
}

bool C3DSMaxModel::Load(const char* modelPath, const char* texturePrefix) {
  Clear();
  if (!ScanCounts(modelPath)) return false;
  if (!AllocateGroups(this, modelPath)) return false;
  return ReadChunks(modelPath, texturePrefix);
}

bool C3DSMaxModel::ScanCounts(const char* modelPath) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadFileBytes(modelPath, &bytes, &error)) {
    std::printf("model: cannot read %s: %s\n", modelPath, error.c_str());
    return false;
  }
  ScanChunkCounts(this, bytes.data(), bytes.size(), modelPath);
  return true;
}

bool C3DSMaxModel::ReadChunks(const char* modelPath, const char* texturePrefix) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadFileBytes(modelPath, &bytes, &error)) {
    // The groups' faces were never linked: nothing of them may be drawn.
    std::printf("model: cannot read %s a second time: %s; the model is left empty\n", modelPath, error.c_str());
    Clear();
    return false;
  }
  ReadChunkValues(this, bytes.data(), bytes.size(), modelPath, texturePrefix);
  return true;
}

CMaterial* C3DSMaxModel::FindMaterial(const char* name) const {
  for (CMaterial* material : m_materials)
    if (material != nullptr && std::strcmp(material->m_name, name) == 0) return material;
  return nullptr;
}
