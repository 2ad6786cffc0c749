// The two passes over the bytes of a model file (3DS chunks) that C3DSMaxModel's ScanCounts
// and ReadChunks make once the file is read; the tests and the fuzz target call them on bytes
// of their own. Neither prints: each returns the damage it met, in file order, and tells sink
// (when set) of each entry as it meets it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/material.h"
#include "model/mesh_group.h"
#include "model/model_damage.h"
#include "model/ref_vector.h"
#include "model/texture_cache.h"

// The counting pass: appends to groups one new group per vertex list, with its vertex count and
// the face counts of the face lists after it.
std::vector<ModelDamage> CountModelChunks(const uint8_t* bytes, size_t size, CRefVector<CGroup*>* groups,
                                          const ModelDamageSink& sink = {});

// The filling pass over the groups that the counting pass made, with their arrays allocated:
// vertices, faces, materials (appended to materials) and their textures (loaded from
// texturePrefix + map file name, through textures when given, else each on its own), then the
// links from faces to vertices and the face and vertex normals. Faces that name a vertex beyond
// their group are dropped, so every remaining face can be drawn. Where the bytes differ from
// those the counting pass saw, it stops at the first difference that would not fit the groups,
// and groups or faces not met again are left empty.
std::vector<ModelDamage> FillModelChunks(const uint8_t* bytes, size_t size, const char* texturePrefix,
                                         const CRefVector<CGroup*>& groups, CRefVector<CMaterial*>* materials,
                                         CTextureCache* textures = nullptr, const ModelDamageSink& sink = {});

// The texture path: prefix immediately followed by mapName, no separator added. False when it
// would be longer than 255 characters (path is then left empty).
bool FormTexturePath(const char* prefix, const std::string& mapName, std::string* path);
