// The two walks over the bytes of a model file, used by C3DSMaxModel's passes, and reached by
// the tests and the fuzz target to walk bytes without a file. fileName only names the file in
// messages; every message is one line on standard output starting "model: <fileName>: ".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class C3DSMaxModel;

// The counting pass: appends one group per vertex list, with its vertex count and the face
// counts of the face lists after it, and sets m_nGroups. Prints nothing: damage is reported
// by the filling pass, which meets the same chunks.
void ScanChunkCounts(C3DSMaxModel* model, const uint8_t* bytes, size_t size, const char* fileName);

// Allocates the arrays of every group after ScanChunkCounts. False (with a message) when
// memory cannot be obtained; the model is then emptied.
bool AllocateGroups(C3DSMaxModel* model, const char* fileName);

// The filling pass over the groups that AllocateGroups made: vertices, faces, materials and
// their textures (loaded from texturePrefix + map file name), then the links from faces to
// vertices and the face and vertex normals. Faces that name a vertex beyond their group are
// dropped, so every remaining face can be drawn. Where the bytes differ from those the
// counting pass saw, it stops at the first difference that would not fit the groups.
void ReadChunkValues(C3DSMaxModel* model, const uint8_t* bytes, size_t size, const char* fileName,
                     const char* texturePrefix);

// Sets every vertex normal from the face normals, visiting groups, faces and corners (pA, pB,
// pC) in order: a vertex whose normal has nz == 0 takes the face normal, any other becomes the
// mean of its normal and the face normal, so later faces weigh more. Faces must be linked and
// their normals computed.
void ComputeVertexNormals(C3DSMaxModel* model);

// The texture path: prefix immediately followed by mapName, no separator added. False when it
// would be longer than 255 characters (path is then left empty).
bool FormTexturePath(const char* prefix, const std::string& mapName, std::string* path);
