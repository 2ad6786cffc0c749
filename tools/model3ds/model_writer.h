// A model description and its 3DS file: materials first (so that the faces' material names find
// them), then one named object with one triangle mesh per mesh description.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Positions are in the file's coordinates: z points up (the viewer's model y), x to the right,
// y to the back; the viewer draws file point (x, y, z) at (x, -y, z) scaled along the marker's
// axes, z away from the marker.
using Vec3 = std::array<float, 3>;
using Vec2 = std::array<float, 2>;

struct MaterialDesc {
  std::string name;                    // at most 255 bytes
  std::array<uint8_t, 3> diffuse{255, 255, 255};   // red, green, blue
  std::array<uint8_t, 3> specular{255, 255, 255};
  std::string textureFile;             // map file name, empty for none
};

struct FaceDesc {
  uint16_t a, b, c;  // vertex indices, counter-clockwise seen from the front
};

struct MeshDesc {
  std::string name;                 // object name, at most 19 bytes
  std::vector<Vec3> vertices;       // at most 65535
  std::vector<Vec2> texCoords;      // empty, or one (u, v) per vertex; v = 0 is the image's bottom
  std::vector<FaceDesc> faces;      // at most 65535
  // Material name and the faces (indices into faces) that use it.
  std::vector<std::pair<std::string, std::vector<uint16_t>>> faceMaterials;
};

struct ModelDesc {
  std::vector<MaterialDesc> materials;
  std::vector<MeshDesc> meshes;
};

// The 3DS bytes of model. False, with error saying which item, when a count or name exceeds
// what the format holds.
bool Write3ds(const ModelDesc& model, std::vector<uint8_t>* bytes, std::string* error);

// Writes the bytes to path, replacing the file. False with error when it cannot.
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);
