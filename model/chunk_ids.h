// Ids of the 3DS chunks that model files use. Every chunk starts with a 6-byte header: u16 id,
// u32 length counting the header, the chunk's own data and all nested chunks (little-endian).
#pragma once

#include <cstdint>

namespace chunk3ds {

constexpr uint32_t kHeaderSize = 6;

constexpr uint16_t kMain = 0x4D4D;          // whole file content
constexpr uint16_t kEditor = 0x3D3D;        // objects and materials
constexpr uint16_t kObject = 0x4000;        // NUL-terminated name, then nested chunks
constexpr uint16_t kTriangleMesh = 0x4100;  // vertex, face and texture-coordinate lists
constexpr uint16_t kVertexList = 0x4110;    // u16 n; n x 3 f32
constexpr uint16_t kFaceList = 0x4120;      // u16 n; n x (u16 a, b, c, flags); then nested chunks
constexpr uint16_t kFaceMaterial = 0x4130;  // name; u16 n; n x u16 face index
constexpr uint16_t kTexCoords = 0x4140;     // u16 n; n x 2 f32 (u, v)
constexpr uint16_t kSmoothing = 0x4150;     // not read
constexpr uint16_t kMaterial = 0xAFFF;      // material sub-chunks
constexpr uint16_t kMaterialName = 0xA000;  // NUL-terminated name
constexpr uint16_t kAmbient = 0xA010;       // not read
constexpr uint16_t kDiffuse = 0xA020;       // nested colour chunk: 6-byte header, u8 r, g, b
constexpr uint16_t kSpecular = 0xA030;      // as kDiffuse
constexpr uint16_t kTextureMap = 0xA200;    // nested map chunks
constexpr uint16_t kMapFileName = 0xA300;   // NUL-terminated texture file name
constexpr uint16_t kColor24 = 0x0011;       // u8 r, g, b (the usual nested colour chunk)
constexpr uint16_t kKeyframer = 0xB000;     // animation data, not read

constexpr uint32_t kObjectNameLimit = 20;    // bytes including the NUL
constexpr uint32_t kNameLimit = 256;         // material and map names, bytes including the NUL
constexpr uint32_t kTexturePathLimit = 255;  // characters of prefix + map file name

}  // namespace chunk3ds
