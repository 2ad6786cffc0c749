// A model read from a 3DS chunk file: mesh groups in file order and the materials their faces
// use. Created empty, filled once by Load, drawn group by group, deleted at exit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/material.h"
#include "model/mesh_group.h"
#include "model/model_damage.h"
#include "model/ref_vector.h"
#include "model/texture_cache.h"

class C3DSMaxModel {
 public:
  C3DSMaxModel() = default;
  // Deletes every group (with its arrays) and every material (with its image); OpenGL
  // texture names are left to the context.
  virtual ~C3DSMaxModel();
  C3DSMaxModel(const C3DSMaxModel&) = delete;
  C3DSMaxModel& operator=(const C3DSMaxModel&) = delete;

  // Reads the model file at modelPath; texture file names inside it are read from
  // texturePrefix immediately followed by the name ("Data/models/house/" + "walls.bmp"), each
  // material on its own or, with textures, shared with every model loaded through the same
  // cache. Needs a current OpenGL context for the textures. False when the file cannot be read
  // (the model is then empty). An empty file and damaged content are reported on standard
  // error, one line per problem naming the file, and damage is kept in m_damage; the model
  // keeps what was read soundly and the result stays true. Whatever the result, the model is
  // safe to draw and to delete.
  bool Load(const char* modelPath, const char* texturePrefix, CTextureCache* textures = nullptr);

  // The counting pass: appends one group per vertex list with its vertex and face counts and
  // sets m_nGroups. False when the file cannot be read.
  bool ScanCounts(const char* modelPath);
  // The same over bytes already read; fileName names them in messages.
  void ScanCounts(const uint8_t* bytes, size_t size, const char* fileName);

  // Creates the arrays of every group after the counting pass. False (with a message) when
  // memory cannot be obtained; the model is then emptied.
  bool AllocateGroups(const char* fileName);

  // The filling pass over groups allocated after ScanCounts: vertices, faces, materials and
  // textures, then linking and normals. False when the file cannot be read; the model is then
  // emptied so that nothing unlinked is ever drawn.
  bool ReadChunks(const char* modelPath, const char* texturePrefix, CTextureCache* textures = nullptr);
  // The same over bytes already read; fileName names them in messages.
  void ReadChunks(const uint8_t* bytes, size_t size, const char* fileName, const char* texturePrefix,
                  CTextureCache* textures = nullptr);

  // The first material, in file order, whose name equals name byte for byte; null if none.
  CMaterial* FindMaterial(const char* name) const;

  // Deletes all groups and materials, forgets the damage and sets m_nGroups to 0.
  void Clear();

  uint32_t m_nGroups = 0;              // entries of m_groups once a counting pass has run
  CRefVector<CGroup*> m_groups;        // owned here, one per vertex list, in file order
  CRefVector<CMaterial*> m_materials;  // owned here, one per material chunk, in file order
  std::vector<ModelDamage> m_damage;   // what the passes found damaged, in the order reported
};
