#include "gl/gl_features.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "gl/gl_features_internal.h"
#include "tests/support/gl_test_context.h"

namespace {

TEST(HasExtension, MatchesWholeSpaceSeparatedNamesOnly) {
  const char* list = "GL_ARB_multitexture GL_EXT_bgra GL_NV_texture_rectangle";
  const struct { const char* name; const char* extensions; bool found; } cases[] = {
      {"GL_ARB_multitexture", list, true}, {"GL_EXT_bgra", list, true},
      {"GL_NV_texture_rectangle", list, true},
      {"GL_EXT_bgra", "GL_EXT_bgra", true}, {"GL_EXT_bgra", "GL_EXT_bgra ", true},
      {"GL_EXT", list, false}, {"bgra", list, false}, {"GL_EXT_bgra", "XGL_EXT_bgra", false},
      {"GL_EXT_bgra", "", false}, {"GL_EXT_bgra", nullptr, false},
      // A longer name starting with the wanted one comes first: the search must go on.
      {"GL_EXT_bgra", "GL_EXT_bgra_extended GL_X", false},
      {"GL_EXT_bgra", "GL_EXT_bgra_extended GL_EXT_bgra", true},
      {"GL_EXT_bgra", "GL_EXT_bgraGL_EXT_bgra GL_EXT_bgra GL_Y", true},
      {"aa", "aaa aa", true}, {"aa", "aaa aaa", false},
      // Not one name, even where the text matches.
      {"", list, false}, {" ", list, false}, {"GL_EXT_bgra GL_NV_texture_rectangle", list, false},
      {nullptr, list, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(arglHasExtension(c.name, c.extensions), c.found)
        << "'" << (c.name ? c.name : "(null)") << "' in '" << (c.extensions ? c.extensions : "(null)") << "'";
}

TEST(ParseGLVersion, TakesTheFirstThreeDigitsOfTheLeadingNumber) {
  const struct { const char* version; int parsed; } cases[] = {
      {"1.2.1 ", 0x121}, {"2.0", 0x200}, {"1.2", 0x120}, {"3", 0x300},
      {"4.5 (Compatibility Profile) Mesa 22.3.6", 0x450}, {"1.2.1.9", 0x121}, {"1.2.19", 0x121},
      {"1.1 Mesa 9.9", 0x110}, {"OpenGL ES 3.2", 0}, {"", 0}, {nullptr, 0}};
  for (const auto& c : cases)
    EXPECT_EQ(arglParseGLVersion(c.version), c.parsed) << (c.version ? c.version : "(null)");
}

TEST(HasGLFeature, VersionOrExtensionEitherSuffices) {
  GlTestContext ctx(16, 16);
  AR_REQUIRE_GL(ctx);
  const uint16_t own = arglParseGLVersion(reinterpret_cast<const char*>(glGetString(GL_VERSION)));
  EXPECT_GE(own, 0x120);
  EXPECT_TRUE(arglHasGLFeature(own, nullptr));
  EXPECT_FALSE(arglHasGLFeature(static_cast<uint16_t>(own + 1), "GL_no_such_extension"));

  arglOverrideGLStringsForTest("1.1.5", "GL_EXT_bgra GL_SGIS_texture_edge_clamp");
  EXPECT_TRUE(arglHasGLFeature(0x115, nullptr));
  EXPECT_FALSE(arglHasGLFeature(0x120, nullptr));
  EXPECT_TRUE(arglHasGLFeature(0x120, "GL_EXT_bgra"));
  EXPECT_FALSE(arglHasGLFeature(0x120, "GL_EXT_abgr"));
  EXPECT_TRUE(arglHasGLFeature(0, "GL_SGIS_texture_edge_clamp"));
  EXPECT_FALSE(arglHasGLFeature(0, nullptr));  // 0 asks nothing of the version, so never suffices alone
  arglOverrideGLStringsForTest(nullptr, nullptr);
}

}  // namespace
