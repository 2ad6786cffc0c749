#include "tools/model3ds/shipped_models.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/model3ds/gltf_writer.h"
#include "tools/model3ds/mesh_builder.h"

// Sizes are in model units: the viewer draws one unit as 40 mm at scale 1, so the 80 mm marker
// spans -1 .. 1 in x and y (file coordinates, z up).

namespace {

// A small deterministic noise in 0 .. 1 for texture grain.
float grain(int x, int y) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return static_cast<float>((h ^ (h >> 16)) & 0xFF) / 255.0f;
}

uint8_t clampByte(float v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

void fillRect(RgbaImage& img, int x0, int y0, int x1, int y1, uint8_t r, uint8_t g, uint8_t b) {
  for (int y = y0; y < y1; y++)
    for (int x = x0; x < x1; x++) img.set(x, y, r, g, b);
}

// Every material of the house and the rocket is textured from one picture, 256 x 128: its left
// half is the main picture; its right half holds 32 x 32 swatches, four per row, for the other
// materials. The tree shows plain material colours instead.
constexpr int kAtlasWidth = 256, kAtlasHeight = 128, kSwatch = 32;

struct UvRect {
  float u0, v0, u1, v1;
};

// The left half, half a texel in from its edges so that linear filtering stays inside.
UvRect mainPicture() { return {0.5f / kAtlasWidth, 0.5f / kAtlasHeight, 127.5f / kAtlasWidth, 127.5f / kAtlasHeight}; }

// Swatch cell (0 .. 15), two texels in from its edges.
UvRect swatch(int cell) {
  const int x0 = 128 + (cell % 4) * kSwatch, y0 = (cell / 4) * kSwatch;  // top row first
  return {(x0 + 2.0f) / kAtlasWidth, 1.0f - (y0 + kSwatch - 2.0f) / kAtlasHeight, (x0 + kSwatch - 2.0f) / kAtlasWidth,
          1.0f - (y0 + 2.0f) / kAtlasHeight};
}

// Paints swatch cell with colour (r, g, b) and a little grain, or with pattern(x, y, rgb) when given.
template <class Pattern>
void paintSwatch(RgbaImage& img, int cell, Pattern pattern) {
  const int x0 = 128 + (cell % 4) * kSwatch, y0 = (cell / 4) * kSwatch;
  for (int y = 0; y < kSwatch; y++)
    for (int x = 0; x < kSwatch; x++) {
      float rgb[3];
      pattern(x, y, rgb);
      const float noise = 12.0f * (grain(x0 + x, y0 + y) - 0.5f);
      img.set(x0 + x, y0 + y, clampByte(rgb[0] + noise), clampByte(rgb[1] + noise), clampByte(rgb[2] + noise));
    }
}

void paintPlainSwatch(RgbaImage& img, int cell, const std::array<uint8_t, 3>& colour) {
  paintSwatch(img, cell, [&](int, int, float* rgb) {
    for (int k = 0; k < 3; k++) rgb[k] = colour[k];
  });
}

// Places the texture coordinates (0 .. 1) of every face of material into rect.
void mapInto(MeshDesc& mesh, const std::string& material, const UvRect& rect) {
  for (const auto& [name, faces] : mesh.faceMaterials) {
    if (name != material) continue;
    for (uint16_t f : faces)
      for (uint16_t v : {mesh.faces[f].a, mesh.faces[f].b, mesh.faces[f].c}) {
        Vec2& t = mesh.texCoords[v];  // every face has vertices of its own
        t = {rect.u0 + t[0] * (rect.u1 - rect.u0), rect.v0 + t[1] * (rect.v1 - rect.v0)};
      }
  }
}

// Makes every material use the model's one picture and maps each mesh's faces into the part of
// the picture of their material: main for the material named main, swatch i for others[i].
void mapAtlas(ShippedModel& m, const std::string& main, const std::vector<std::string>& others) {
  for (MaterialDesc& material : m.model.materials) material.textureFile = m.textureFile;
  for (MeshDesc& mesh : m.model.meshes) {
    mapInto(mesh, main, mainPicture());
    for (size_t i = 0; i < others.size(); i++) mapInto(mesh, others[i], swatch(static_cast<int>(i)));
  }
}

// House walls, 128 x 128: cream siding with a stone plinth and two windows left and right of
// the door's place (the door itself is geometry).
RgbaImage houseTexture() {
  RgbaImage img(kAtlasWidth, kAtlasHeight);
  for (int y = 0; y < 128; y++)
    for (int x = 0; x < 128; x++) {
      const float shade = (y % 8 == 7 ? -28.0f : 0.0f) + 14.0f * (grain(x, y) - 0.5f);
      img.set(x, y, clampByte(236 + shade), clampByte(220 + shade), clampByte(184 + shade));
    }
  for (int y = 112; y < 128; y++)  // plinth of rough stone blocks
    for (int x = 0; x < 128; x++) {
      const bool joint = y == 112 || y == 120 || (x + (y >= 120 ? 8 : 0)) % 16 == 0;
      const float v = joint ? 90 : 140 + 30 * grain(x / 2, y / 2);
      img.set(x, y, clampByte(v), clampByte(v), clampByte(v * 0.95f));
    }
  for (int wx : {14, 84}) {  // windows: white frame, blue glass with a cross bar, a sill
    fillRect(img, wx, 30, wx + 30, 70, 250, 250, 245);
    fillRect(img, wx + 3, 33, wx + 27, 67, 90, 150, 205);
    for (int y = 33; y < 67; y++)
      for (int x = wx + 3; x < wx + 27; x++)
        if (x - wx + (67 - y) < 22) img.set(x, y, 150, 200, 235);  // a glint
    fillRect(img, wx + 14, 33, wx + 16, 67, 250, 250, 245);
    fillRect(img, wx + 3, 49, wx + 27, 51, 250, 250, 245);
    fillRect(img, wx - 2, 70, wx + 32, 74, 120, 90, 70);
  }
  // Swatches, in the order of the house's other materials.
  paintSwatch(img, 0, [](int x, int y, float* rgb) {  // roof tiles
    const bool joint = y % 8 == 0 || (x + (y / 8) * 4) % 8 == 0;
    rgb[0] = joint ? 110.0f : 160.0f, rgb[1] = joint ? 35.0f : 55.0f, rgb[2] = joint ? 30.0f : 42.0f;
  });
  paintSwatch(img, 1, [](int x, int y, float* rgb) {  // bricks
    const bool joint = y % 6 == 0 || (x + (y / 6) * 5) % 10 == 0;
    rgb[0] = joint ? 200.0f : 170.0f, rgb[1] = joint ? 190.0f : 80.0f, rgb[2] = joint ? 180.0f : 60.0f;
  });
  paintSwatch(img, 2, [](int x, int, float* rgb) {  // door planks
    const bool gap = x % 8 == 0;
    rgb[0] = gap ? 80.0f : 115.0f, rgb[1] = gap ? 50.0f : 72.0f, rgb[2] = gap ? 25.0f : 38.0f;
  });
  paintPlainSwatch(img, 3, {220, 190, 60});  // brass
  paintSwatch(img, 4, [](int x, int y, float* rgb) {  // grass
    const float blade = 40.0f * grain(x * 7, y * 3);
    rgb[0] = 60.0f + blade / 2, rgb[1] = 130.0f + blade, rgb[2] = 50.0f;
  });
  paintPlainSwatch(img, 5, {165, 160, 150});  // path
  return img;
}

ShippedModel house() {
  ShippedModel m;
  m.name = "house";
  m.description = "a little house with a door, windows, a gable roof and a chimney on a lawn (1.85 units tall)";
  m.textureFile = "house.bmp";
  m.texture = houseTexture();
  m.model.materials = {
      {"walls", {255, 255, 255}, {40, 40, 40}, m.textureFile},
      {"roof", {150, 50, 40}, {60, 60, 60}, ""},
      {"brick", {170, 80, 60}, {30, 30, 30}, ""},
      {"door", {110, 70, 35}, {40, 40, 40}, ""},
      {"brass", {220, 190, 60}, {255, 255, 220}, ""},
      {"lawn", {70, 150, 60}, {20, 20, 20}, ""},
      {"path", {165, 160, 150}, {20, 20, 20}, ""},
  };

  MeshBuilder lawn("lawn");
  AddBox(lawn, {-1.0f, -1.0f, 0.0f}, {1.0f, 1.0f, 0.04f}, "lawn");
  AddBox(lawn, {-0.16f, 0.6f, 0.04f}, {0.16f, 1.0f, 0.05f}, "path", false);

  // Walls: 1.6 wide (x), 1.2 deep (y), 1.0 high, the front (door side) facing +y.
  MeshBuilder walls("walls");
  const float x0 = -0.8f, x1 = 0.8f, y0 = -0.6f, y1 = 0.6f, zb = 0.04f, zt = 1.04f, ridge = 1.64f;
  walls.Quad({x1, y1, zb}, {x0, y1, zb}, {x0, y1, zt}, {x1, y1, zt}, {1, 0}, {0, 0}, {0, 1}, {1, 1}, "walls");
  walls.Quad({x0, y0, zb}, {x1, y0, zb}, {x1, y0, zt}, {x0, y0, zt}, {0, 0}, {1, 0}, {1, 1}, {0, 1}, "walls");
  walls.Quad({x1, y0, zb}, {x1, y1, zb}, {x1, y1, zt}, {x1, y0, zt}, {0, 0}, {1, 0}, {1, 1}, {0, 1}, "walls");
  walls.Quad({x0, y1, zb}, {x0, y0, zb}, {x0, y0, zt}, {x0, y1, zt}, {0, 0}, {1, 0}, {1, 1}, {0, 1}, "walls");
  // Gables under the roof ends, mapped onto the plain siding above the windows.
  walls.Triangle({x1, y0, zt}, {x1, y1, zt}, {x1, 0, ridge}, {0, 0.8f}, {1, 0.8f}, {0.5f, 1}, "walls");
  walls.Triangle({x0, y1, zt}, {x0, y0, zt}, {x0, 0, ridge}, {0, 0.8f}, {1, 0.8f}, {0.5f, 1}, "walls");

  // Roof: two slopes meeting at the ridge along x, overhanging the walls, facing up and out.
  MeshBuilder roof("roof");
  const float rx0 = -0.92f, rx1 = 0.92f, ey = 0.74f, ez = 0.94f, rz = ridge + 0.03f;
  roof.Quad({rx1, ey, ez}, {rx0, ey, ez}, {rx0, 0, rz}, {rx1, 0, rz}, {0, 0}, {1, 0}, {1, 1}, {0, 1}, "roof");
  roof.Quad({rx0, -ey, ez}, {rx1, -ey, ez}, {rx1, 0, rz}, {rx0, 0, rz}, {0, 0}, {1, 0}, {1, 1}, {0, 1}, "roof");
  // Thin fascia boards along the eaves.
  AddBox(roof, {rx0, ey - 0.02f, ez - 0.05f}, {rx1, ey + 0.01f, ez}, "roof");
  AddBox(roof, {rx0, -ey - 0.01f, ez - 0.05f}, {rx1, -ey + 0.02f, ez}, "roof");

  MeshBuilder chimney("chimney");
  AddBox(chimney, {0.35f, -0.4f, 1.1f}, {0.55f, -0.2f, 1.85f}, "brick");

  MeshBuilder door("door");
  AddBox(door, {-0.18f, y1, 0.05f}, {0.18f, y1 + 0.03f, 0.68f}, "door", false);
  AddBox(door, {0.09f, y1 + 0.03f, 0.34f}, {0.13f, y1 + 0.06f, 0.38f}, "brass");

  m.model.meshes = {lawn.Build(), walls.Build(), roof.Build(), chimney.Build(), door.Build()};
  mapAtlas(m, "walls", {"roof", "brick", "door", "brass", "lawn", "path"});
  return m;
}

// Rocket body, 128 x 128, wrapped once around the body (u from +x towards +y): white paint
// with a red skirt, black roll pattern, two portholes (front at u = 0.25, back at 0.75) and
// panel seams.
RgbaImage rocketTexture() {
  RgbaImage img(kAtlasWidth, kAtlasHeight);
  for (int y = 0; y < 128; y++)
    for (int x = 0; x < 128; x++) {
      const float v = 1.0f - (static_cast<float>(y) + 0.5f) / 128.0f;  // 0 at the bottom row
      float r = 240, g = 240, b = 236;
      if (v < 0.12f) {
        r = 200, g = 35, b = 30;
      } else if (v < 0.22f && ((x / 16) % 2 == 0)) {
        r = g = b = 25;
      }
      if (y % 32 == 0 || x % 32 == 16) r -= 40, g -= 40, b -= 40;  // seams
      const float noise = 10.0f * (grain(x, y) - 0.5f);
      img.set(x, y, clampByte(r + noise), clampByte(g + noise), clampByte(b + noise));
    }
  // The body is about 1.76 around and 1.3 high, so a round porthole is wider in u than in v
  // pixels by 128 / 1.76 : 128 / 1.3.
  const float sx = 128.0f / 1.76f, sy = 128.0f / 1.3f;
  for (float cu : {0.25f, 0.75f}) {
    const float cx = cu * 128.0f, cy = 128.0f * (1.0f - 0.7f);
    for (int y = 0; y < 128; y++)
      for (int x = 0; x < 128; x++) {
        const float dx = (static_cast<float>(x) + 0.5f - cx) / sx, dy = (static_cast<float>(y) + 0.5f - cy) / sy;
        const float d = std::sqrt(dx * dx + dy * dy);
        if (d < 0.11f)
          img.set(x, y, clampByte(60 + 500 * (0.11f - d) * (dx < 0 ? 1.5f : 0.5f)), 120, 190);
        else if (d < 0.14f)
          img.set(x, y, 150, 155, 165);
      }
  }
  // Swatches, in the order of the rocket's other materials.
  paintPlainSwatch(img, 0, {200, 30, 30});  // nose
  paintSwatch(img, 1, [](int, int y, float* rgb) {  // fins: red with a white band
    const bool band = y >= 12 && y < 18;
    rgb[0] = band ? 235.0f : 180.0f, rgb[1] = band ? 235.0f : 25.0f, rgb[2] = band ? 230.0f : 25.0f;
  });
  paintSwatch(img, 2, [](int, int y, float* rgb) {  // metal: brushed, darker downwards
    rgb[0] = rgb[1] = 170.0f - 2.0f * static_cast<float>(y), rgb[2] = rgb[0] + 10.0f;
  });
  paintSwatch(img, 3, [](int, int y, float* rgb) {  // flame: yellow at the nozzle, orange at the tip
    const float t = static_cast<float>(y) / kSwatch;
    rgb[0] = 255.0f, rgb[1] = 230.0f - 140.0f * t, rgb[2] = 90.0f - 80.0f * t;
  });
  paintSwatch(img, 4, [](int x, int y, float* rgb) {  // pad: concrete with yellow hazard stripes
    const bool stripe = ((x + y) / 4) % 2 == 0;
    rgb[0] = stripe ? 220.0f : 80.0f, rgb[1] = stripe ? 180.0f : 80.0f, rgb[2] = stripe ? 30.0f : 85.0f;
  });
  return img;
}

ShippedModel rocket() {
  ShippedModel m;
  m.name = "rocket";
  m.description = "a rocket with fins, portholes and an engine flame on a launch pad (2.3 units tall)";
  m.textureFile = "rocket.png";
  m.texture = rocketTexture();
  m.model.materials = {
      {"body", {255, 255, 255}, {200, 200, 200}, m.textureFile},
      {"nose", {200, 30, 30}, {180, 180, 180}, ""},
      {"fins", {180, 25, 25}, {120, 120, 120}, ""},
      {"metal", {120, 120, 130}, {230, 230, 230}, ""},
      {"flame", {255, 170, 40}, {0, 0, 0}, ""},
      {"pad", {75, 75, 80}, {20, 20, 20}, ""},
  };
  const int segments = 24;
  const float radius = 0.28f, bodyBottom = 0.4f, bodyTop = 1.7f;

  MeshBuilder pad("pad");
  AddLathe(pad, {0, 0, 0}, 0.95f, 0.95f, 0.05f, 32, "pad", true);

  MeshBuilder body("body");
  AddLathe(body, {0, 0, bodyBottom}, radius, radius, bodyTop - bodyBottom, segments, "body", false);

  MeshBuilder nose("nose");
  AddLathe(nose, {0, 0, bodyTop}, radius, 0.0f, 0.6f, segments, "nose", false);

  MeshBuilder fins("fins");
  for (int k = 0; k < 4; k++) {
    const float angle = 0.78539816f + 1.57079633f * static_cast<float>(k);
    const float c = std::cos(angle), s = std::sin(angle);
    auto at = [&](float r, float z) { return Vec3{r * c, r * s, z}; };
    const Vec3 outline[4] = {at(radius - 0.02f, 1.0f), at(radius - 0.02f, 0.4f), at(0.64f, 0.05f), at(0.64f, 0.32f)};
    AddPlate(fins, outline, {s, -c, 0}, 0.035f, "fins");  // seen from there the outline runs counter-clockwise
  }

  MeshBuilder engine("engine");
  AddLathe(engine, {0, 0, 0.2f}, 0.21f, 0.15f, 0.2f, segments, "metal", true);
  AddLathe(engine, {0, 0, 0.05f}, 0.0f, 0.17f, 0.15f, segments, "flame", false);

  m.model.meshes = {pad.Build(), body.Build(), nose.Build(), fins.Build(), engine.Build()};
  mapAtlas(m, "body", {"nose", "fins", "metal", "flame", "pad"});
  return m;
}

// A fir tree on a round patch of grass, in plain material colours (no texture), written as glTF.
ShippedModel tree() {
  ShippedModel m;
  m.name = "tree";
  m.description = "a fir tree on a patch of grass, in plain colours, as a glTF file (1.9 units tall)";
  m.gltf = true;
  m.model.materials = {
      {"grass", {80, 150, 60}, {20, 20, 20}, ""},
      {"bark", {110, 70, 35}, {30, 30, 30}, ""},
      {"needles", {35, 120, 55}, {60, 60, 60}, ""},
  };
  MeshBuilder grass("grass");
  AddLathe(grass, {0, 0, 0}, 0.95f, 0.95f, 0.05f, 32, "grass", true);
  MeshBuilder trunk("trunk");
  AddLathe(trunk, {0, 0, 0.05f}, 0.13f, 0.09f, 0.6f, 12, "bark", false);
  MeshBuilder crown("crown");  // three tiers, each a closed cone
  AddLathe(crown, {0, 0, 0.45f}, 0.72f, 0.0f, 0.7f, 20, "needles", true);
  AddLathe(crown, {0, 0, 0.85f}, 0.56f, 0.0f, 0.6f, 20, "needles", true);
  AddLathe(crown, {0, 0, 1.2f}, 0.4f, 0.0f, 0.7f, 20, "needles", true);
  m.model.meshes = {grass.Build(), trunk.Build(), crown.Build()};
  return m;
}

}  // namespace

std::vector<std::string> ShippedModelNames() { return {"house", "rocket", "tree"}; }

std::string ShippedModelFile(const ShippedModel& model) { return model.name + (model.gltf ? ".gltf" : ".3ds"); }

bool MakeShippedModel(const std::string& name, ShippedModel* out) {
  if (name == "house") {
    *out = house();
    return true;
  }
  if (name == "rocket") {
    *out = rocket();
    return true;
  }
  if (name == "tree") {
    *out = tree();
    return true;
  }
  return false;
}

bool WriteShippedModel(const ShippedModel& model, const std::string& folder, std::string* error) {
  std::vector<uint8_t> bytes;
  if (model.gltf) {
    std::string text;
    if (!WriteGltf(model.model, &text, error)) return false;
    bytes.assign(text.begin(), text.end());
  } else if (!Write3ds(model.model, &bytes, error)) {
    return false;
  }
  if (!WriteFileBytes(folder + "/" + ShippedModelFile(model), bytes, error)) return false;
  if (model.textureFile.empty()) return true;
  const std::string texturePath = folder + "/" + model.textureFile;
  const bool isBmp = texturePath.size() > 4 && texturePath.compare(texturePath.size() - 4, 4, ".bmp") == 0;
  return isBmp ? WriteBmp(texturePath, model.texture, 24, error) : WritePng(texturePath, model.texture, 3, error);
}
