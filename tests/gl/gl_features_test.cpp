#include "gl/gl_features.h"

#include <gtest/gtest.h>

#include "gl/gl_features_internal.h"

namespace {

// The context's own strings are read when the background is made (background_test.cpp).
TEST(GLFeatures, ExtensionsAreWholeNamesAndEitherVersionOrExtensionSuffices) {
  const char* list = "GL_ARB_multitexture GL_EXT_bgra GL_NV_texture_rectangle";
  const struct { const char* name; const char* extensions; bool found; } names[] = {
      {"GL_ARB_multitexture", list, true}, {"GL_NV_texture_rectangle", list, true}, {"GL_EXT", list, false},
      {"GL_EXT_bgra", "GL_EXT_bgra", true}, {"bgra", list, false}, {"GL_EXT_bgra", "XGL_EXT_bgra", false},
      {nullptr, list, false}, {"GL_EXT_bgra", nullptr, false}, {"", list, false},
      {"GL_EXT_bgra GL_NV_texture_rectangle", list, false},
      // A longer name starting with the wanted one comes first: the search goes on.
      {"GL_EXT_bgra", "GL_EXT_bgra_extended GL_X", false}, {"GL_EXT_bgra", "GL_EXT_bgraGL_EXT_bgra GL_EXT_bgra", true}};
  for (const auto& c : names) EXPECT_EQ(arglHasExtension(c.name, c.extensions), c.found) << (&c - names);
  const struct { const char* text; int version; } versions[] = {
      {"1.2.1 ", 0x121}, {"3", 0x300}, {"4.5 (Compatibility Profile) Mesa 22.3.6", 0x450}, {"1.2.19", 0x121},
      {"OpenGL ES 3.2", 0}, {nullptr, 0}};
  for (const auto& v : versions) EXPECT_EQ(arglParseGLVersion(v.text), v.version) << (&v - versions);
  arglOverrideGLStringsForTest("1.1.5", "GL_EXT_bgra GL_SGIS_texture_edge_clamp");
  EXPECT_TRUE(arglHasGLFeature(0x115, nullptr) && arglHasGLFeature(0x120, "GL_EXT_bgra"));
  EXPECT_FALSE(arglHasGLFeature(0x120, nullptr) || arglHasGLFeature(0x120, "GL_EXT_abgr"));
  EXPECT_FALSE(arglHasGLFeature(0, nullptr));  // 0 asks nothing of the version, so never suffices alone
  arglOverrideGLStringsForTest(nullptr, nullptr);
}

}  // namespace
