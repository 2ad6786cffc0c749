// What loading found damaged in a model file: one entry per problem, in the order the walk met
// them, each at the byte offset of the chunk concerned. Loading prints every entry as one line
// naming the file; callers and tests look at the kinds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

enum class ModelDamageKind {
  // The walk stops at these; what was read before stays.
  kHeaderCut,            // the file ends inside a chunk header
  kLengthBelowHeader,    // values: the length
  kChunkCut,             // the file ends inside a chunk that is read; values: bytes missing, length
  kObjectNameCut,        // the file ends inside an object's name
  kObjectNameUnended,    // an object's name has no NUL within its chunk
  kListTooShort,         // a list chunk cannot hold its count
  kListOverclaimed,      // values: entries claimed, entries the chunk has room for
  kOutOfMemory,          // text: the cause; offset: where the walk was
  kNewVertexList,        // the file changed between the passes: a vertex list not counted before
  kVertexCountChanged,   //   a vertex list of another size; values: vertices now, before
  kFaceCountChanged,     //   a face list with more faces than were counted
  // The walk goes on past these.
  kContainerCut,         // the file ends inside an entered chunk; values: bytes missing
  kObjectNameTooLong,    // values: the name's length
  kFacesBeforeVertices,  // a face list before any vertex list; values: its face count
  kTexCoordsBeforeVertices,
  kExtraTexCoords,       // values: pairs, vertices
  kNameCut,              // a material or face-material name of 256 bytes or more; values: length
  kFaceMaterialUnended,  // a face-material name with no NUL in its chunk
  kFaceMaterialCut,      // a face-material chunk too short for its list; text: the name
  kFaceMaterialBeforeVertices,   // text: the name
  kUnknownMaterial,      // a face-material name no earlier material has; text: the name
  kFaceIndexBeyond,      // text: the name; values: entries ignored, the face count
  kPartHeaderCut,        // a material or texture map ends inside the header of one of its parts
  kPartMisfit,           // a part whose length does not fit its parent; values: the length
  kColourCut,            // a colour chunk too short for a colour; values: its length
  kTexturePathTooLong,   // text: the prefix; values: the length of the map file name
  kMeshesLost,           // the file changed: counted meshes and faces not found again;
                         //   values: meshes lost, meshes counted, faces lost
  kFacesDropped,         // faces naming vertices beyond their mesh; values: mesh, faces, vertices
};

struct ModelDamage {
  ModelDamage(ModelDamageKind kind, size_t offset, uint16_t id = 0, std::initializer_list<uint64_t> values = {},
              std::string text = {});

  ModelDamageKind kind;
  size_t offset = 0;         // byte of the chunk concerned (a part: of the part); 0 for whole meshes
  uint16_t id = 0;           // that chunk's id
  size_t parentOffset = 0;   // part kinds: the enclosing material or texture map
  uint16_t parentId = 0;
  uint64_t values[3] = {};   // the numbers the kind lists above, in that order
  std::string text;          // the name or cause the kind lists above
};

// Told of each entry as it is met, so that its line comes out in order with the texture
// loader's own lines.
using ModelDamageSink = std::function<void(const ModelDamage&)>;

// The line that reports d, without the file name and the line end.
std::string DescribeModelDamage(const ModelDamage& d);

// Prints d as the line "model: <fileName>: <description>".
void PrintModelDamage(const ModelDamage& d, const char* fileName, FILE* out);
