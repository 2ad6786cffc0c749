// Builds triangle meshes from flat pieces and simple solids. Every piece gets its own vertices
// (flat shading, its own texture coordinates); faces are grouped by material name.
#pragma once

#include <string>
#include <vector>

#include "tools/model3ds/model_writer.h"

class MeshBuilder {
 public:
  explicit MeshBuilder(std::string name) { mesh_.name = std::move(name); }

  // Corners counter-clockwise seen from the front.
  void Triangle(const Vec3& a, const Vec3& b, const Vec3& c, const Vec2& ta, const Vec2& tb, const Vec2& tc,
                const std::string& material);
  void Quad(const Vec3& p0, const Vec3& p1, const Vec3& p2, const Vec3& p3, const Vec2& t0, const Vec2& t1,
            const Vec2& t2, const Vec2& t3, const std::string& material);

  MeshDesc Build() const { return mesh_; }

 private:
  uint16_t AddVertex(const Vec3& p, const Vec2& t);
  MeshDesc mesh_;
};

// An axis-aligned box from lo to hi; every side maps the whole texture (u across, v upwards;
// top and bottom: u along x, v along y). withBottom = false leaves the face at lo.z out.
void AddBox(MeshBuilder& mesh, const Vec3& lo, const Vec3& hi, const std::string& material, bool withBottom = true);

// A solid of revolution about the vertical line through base: radius bottomRadius at base.z,
// topRadius at base.z + height (0 gives a cone), with segments sides. The side maps the texture
// once around (u = angle / 2 pi from the +x axis towards +y, v = 0 at the bottom, 1 at the top).
// Caps close the ends that have a radius, when asked.
void AddLathe(MeshBuilder& mesh, const Vec3& base, float bottomRadius, float topRadius, float height, int segments,
              const std::string& material, bool caps);

// A flat plate of the given thickness whose outline is the quad q0..q3 (counter-clockwise
// seen from side), offset by +-thickness / 2 along side.
void AddPlate(MeshBuilder& mesh, const Vec3 q[4], const Vec3& side, float thickness, const std::string& material);
