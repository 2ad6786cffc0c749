#include "tools/model3ds/mesh_builder.h"

#include <cmath>

uint16_t MeshBuilder::AddVertex(const Vec3& p, const Vec2& t) {
  mesh_.vertices.push_back(p);
  mesh_.texCoords.push_back(t);
  return static_cast<uint16_t>(mesh_.vertices.size() - 1);
}

void MeshBuilder::Triangle(const Vec3& a, const Vec3& b, const Vec3& c, const Vec2& ta, const Vec2& tb,
                           const Vec2& tc, const std::string& material) {
  const FaceDesc face{AddVertex(a, ta), AddVertex(b, tb), AddVertex(c, tc)};
  const uint16_t index = static_cast<uint16_t>(mesh_.faces.size());
  mesh_.faces.push_back(face);
  for (auto& entry : mesh_.faceMaterials) {
    if (entry.first == material) {
      entry.second.push_back(index);
      return;
    }
  }
  mesh_.faceMaterials.push_back({material, {index}});
}

void MeshBuilder::Quad(const Vec3& p0, const Vec3& p1, const Vec3& p2, const Vec3& p3, const Vec2& t0,
                       const Vec2& t1, const Vec2& t2, const Vec2& t3, const std::string& material) {
  Triangle(p0, p1, p2, t0, t1, t2, material);
  Triangle(p0, p2, p3, t0, t2, t3, material);
}

void AddBox(MeshBuilder& mesh, const Vec3& lo, const Vec3& hi, const std::string& material, bool withBottom) {
  const float x0 = lo[0], y0 = lo[1], z0 = lo[2], x1 = hi[0], y1 = hi[1], z1 = hi[2];
  const Vec2 t00{0, 0}, t10{1, 0}, t11{1, 1}, t01{0, 1};
  mesh.Quad({x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1}, t00, t10, t11, t01, material);  // -y
  mesh.Quad({x1, y1, z0}, {x0, y1, z0}, {x0, y1, z1}, {x1, y1, z1}, t00, t10, t11, t01, material);  // +y
  mesh.Quad({x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}, t00, t10, t11, t01, material);  // +x
  mesh.Quad({x0, y1, z0}, {x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1}, t00, t10, t11, t01, material);  // -x
  mesh.Quad({x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}, t00, t10, t11, t01, material);  // top
  if (withBottom)
    mesh.Quad({x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0}, {x0, y0, z0}, t01, t11, t10, t00, material);
}

void AddLathe(MeshBuilder& mesh, const Vec3& base, float bottomRadius, float topRadius, float height, int segments,
              const std::string& material, bool caps) {
  const float twoPi = 6.28318530718f;
  const float zb = base[2], zt = base[2] + height;
  auto at = [&](float radius, int i, float z) {
    const float angle = twoPi * static_cast<float>(i) / static_cast<float>(segments);
    return Vec3{base[0] + radius * std::cos(angle), base[1] + radius * std::sin(angle), z};
  };
  for (int i = 0; i < segments; i++) {
    const float u0 = static_cast<float>(i) / static_cast<float>(segments);
    const float u1 = static_cast<float>(i + 1) / static_cast<float>(segments);
    const Vec3 b0 = at(bottomRadius, i, zb), b1 = at(bottomRadius, i + 1, zb);
    const Vec3 t0 = at(topRadius, i, zt), t1 = at(topRadius, i + 1, zt);
    if (topRadius == 0.0f)
      mesh.Triangle(b0, b1, t0, {u0, 0}, {u1, 0}, {(u0 + u1) / 2, 1}, material);
    else if (bottomRadius == 0.0f)
      mesh.Triangle(b0, t1, t0, {(u0 + u1) / 2, 0}, {u1, 1}, {u0, 1}, material);
    else
      mesh.Quad(b0, b1, t1, t0, {u0, 0}, {u1, 0}, {u1, 1}, {u0, 1}, material);
    if (!caps) continue;
    const Vec2 centre{0.5f, 0.5f};
    if (topRadius > 0.0f) mesh.Triangle({base[0], base[1], zt}, t0, t1, centre, centre, centre, material);
    if (bottomRadius > 0.0f) mesh.Triangle({base[0], base[1], zb}, b1, b0, centre, centre, centre, material);
  }
}

void AddPlate(MeshBuilder& mesh, const Vec3 q[4], const Vec3& side, float thickness, const std::string& material) {
  Vec3 front[4], back[4];
  for (int i = 0; i < 4; i++)
    for (int k = 0; k < 3; k++) {
      front[i][k] = q[i][k] + side[k] * thickness / 2;
      back[i][k] = q[i][k] - side[k] * thickness / 2;
    }
  const Vec2 t00{0, 0}, t10{1, 0}, t11{1, 1}, t01{0, 1};
  mesh.Quad(front[0], front[1], front[2], front[3], t00, t10, t11, t01, material);
  mesh.Quad(back[3], back[2], back[1], back[0], t00, t10, t11, t01, material);
  for (int i = 0; i < 4; i++) {
    const int j = (i + 1) % 4;
    mesh.Quad(back[i], back[j], front[j], front[i], t00, t10, t11, t01, material);
  }
}
