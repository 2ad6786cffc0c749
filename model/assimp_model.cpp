#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "model/assimp_model_internal.h"
#include "model/model_3ds.h"

namespace {

// Groups index their vertices with 16 bits, as in a 3DS file; larger meshes are split.
constexpr int kGroupLimit = 65535;

void copyColour(const aiMaterial& from, const char* key, unsigned type, unsigned index, float colour[4]) {
  aiColor4D c;
  if (from.Get(key, type, index, c) != AI_SUCCESS) return;
  colour[0] = c.r, colour[1] = c.g, colour[2] = c.b;  // alpha stays 1, as for 3DS materials
}

// The material's first diffuse (or base colour) texture: a file beside the model, or a picture
// stored in the model file ("*0", "*1", ...).
void assignTexture(const aiScene& scene, const aiMaterial& from, const std::string& modelPath,
                   CTextureCache* textures, CTexture* texture) {
  aiString name;
  if (from.GetTexture(aiTextureType_DIFFUSE, 0, &name) != AI_SUCCESS &&
      from.GetTexture(aiTextureType_BASE_COLOR, 0, &name) != AI_SUCCESS)
    return;
  if (const aiTexture* inside = scene.GetEmbeddedTexture(name.C_Str())) {
    const std::string key = modelPath + ":" + name.C_Str();
    if (inside->mHeight != 0) {
      std::fprintf(stderr, "model: %s: texture %s is stored unpacked, which is not read; drawn without it\n",
                   modelPath.c_str(), name.C_Str());
      return;
    }
    textures->AssignPicture(texture, key, reinterpret_cast<const uint8_t*>(inside->pcData), inside->mWidth);
    return;
  }
  const std::filesystem::path file(name.C_Str());
  const std::filesystem::path folder = std::filesystem::path(modelPath).parent_path();
  textures->Assign(texture, file.is_absolute() ? file.string() : (folder / file).string());
}

void addMaterial(C3DSMaxModel* model, const aiScene& scene, const aiMaterial& from, const std::string& modelPath,
                 CTextureCache* textures) {
  auto material = std::make_unique<CMaterial>();
  aiString name;
  if (from.Get(AI_MATKEY_NAME, name) == AI_SUCCESS) {
    const size_t length = std::min<size_t>(name.length, sizeof material->m_name - 1);
    std::memcpy(material->m_name, name.C_Str(), length);
  }
  copyColour(from, AI_MATKEY_COLOR_DIFFUSE, material->m_diffuse);
  copyColour(from, AI_MATKEY_COLOR_SPECULAR, material->m_specular);
  assignTexture(scene, from, modelPath, textures, &material->m_texture);
  model->m_materials.Add(material.release());
}

void addGroup(C3DSMaxModel* model, const aiMesh& mesh) {
  uint32_t triangles = 0;
  for (unsigned i = 0; i < mesh.mNumFaces; i++) triangles += mesh.mFaces[i].mNumIndices == 3;
  if (triangles == 0 || mesh.mNumVertices > kGroupLimit || triangles > kGroupLimit) return;
  auto group = std::make_unique<CGroup>();
  group->m_nVertices = mesh.mNumVertices;
  group->m_nFaces = triangles;
  if (!group->Allocate()) throw std::bad_alloc();
  for (unsigned i = 0; i < mesh.mNumVertices; i++) {
    CVertex& v = group->m_pVertices[i];
    v.x = mesh.mVertices[i].x, v.y = mesh.mVertices[i].y, v.z = mesh.mVertices[i].z;
    if (mesh.mNormals) v.nx = mesh.mNormals[i].x, v.ny = mesh.mNormals[i].y, v.nz = mesh.mNormals[i].z;
    if (mesh.mTextureCoords[0]) v.u = mesh.mTextureCoords[0][i].x, v.v = mesh.mTextureCoords[0][i].y;
  }
  CMaterial* material =
      mesh.mMaterialIndex < model->m_materials.size() ? model->m_materials[mesh.mMaterialIndex] : nullptr;
  uint32_t k = 0;
  for (unsigned i = 0; i < mesh.mNumFaces; i++) {
    const aiFace& from = mesh.mFaces[i];
    if (from.mNumIndices != 3) continue;
    CFace& f = group->m_pFaces[k++];
    // The corners turned round: the model's faces run clockwise seen from the front, as a 3DS
    // file's do once its axes are exchanged, so that ComputeNormal points to the front.
    f.a = static_cast<uint16_t>(from.mIndices[0]);
    f.b = static_cast<uint16_t>(from.mIndices[2]);
    f.c = static_cast<uint16_t>(from.mIndices[1]);
    f.pA = &group->m_pVertices[f.a], f.pB = &group->m_pVertices[f.b], f.pC = &group->m_pVertices[f.c];
    f.pMaterial = material;
    f.ComputeNormal();
  }
  model->m_groups.Add(group.release());
}

}  // namespace

bool LoadAssimpModel(C3DSMaxModel* model, const char* modelPath, CTextureCache* textures) {
  Assimp::Importer importer;
  importer.SetPropertyInteger(AI_CONFIG_PP_SLM_VERTEX_LIMIT, kGroupLimit);
  importer.SetPropertyInteger(AI_CONFIG_PP_SLM_TRIANGLE_LIMIT, kGroupLimit);
  importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
  const aiScene* scene = importer.ReadFile(
      modelPath, aiProcess_Triangulate | aiProcess_JoinIdenticalVertices | aiProcess_GenSmoothNormals |
                     aiProcess_PreTransformVertices | aiProcess_SortByPType | aiProcess_SplitLargeMeshes |
                     aiProcess_ValidateDataStructure);
  if (scene == nullptr || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) != 0) {
    std::fprintf(stderr, "model: cannot read %s: %s\n", modelPath, importer.GetErrorString());
    return false;
  }
  try {
    for (unsigned i = 0; i < scene->mNumMaterials; i++)
      addMaterial(model, *scene, *scene->mMaterials[i], modelPath, textures);
    for (unsigned i = 0; i < scene->mNumMeshes; i++) addGroup(model, *scene->mMeshes[i]);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "model: %s: out of memory; the model is left empty\n", modelPath);
    model->Clear();
    return false;
  }
  model->m_nGroups = static_cast<uint32_t>(model->m_groups.size());
  if (model->m_nGroups == 0)
    std::fprintf(stderr, "model: %s: holds no triangles; there is nothing to draw\n", modelPath);
  return true;
}
