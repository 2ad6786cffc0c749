#include "gl/gl_features.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "gl/gl_features_internal.h"
#include "tests/gl/gl_pixels.h"
#include "tests/support/gl_test_context.h"

namespace {

TEST(HasExtension, FindsWholeWordsOnly) {
  const char* list = "GL_ARB_multitexture GL_EXT_bgra GL_NV_texture_rectangle";
  EXPECT_TRUE(arglHasExtension("GL_ARB_multitexture", list));     // first word
  EXPECT_TRUE(arglHasExtension("GL_EXT_bgra", list));              // middle word
  EXPECT_TRUE(arglHasExtension("GL_NV_texture_rectangle", list));  // last word, at the end
  EXPECT_TRUE(arglHasExtension("GL_EXT_bgra", "GL_EXT_bgra"));     // the whole string
  EXPECT_TRUE(arglHasExtension("GL_EXT_bgra", "GL_EXT_bgra "));    // trailing space
  EXPECT_FALSE(arglHasExtension("GL_EXT", list));                  // prefix of a word
  EXPECT_FALSE(arglHasExtension("bgra", list));                    // suffix of a word
  EXPECT_FALSE(arglHasExtension("GL_EXT_bgra", "GL_EXT_bgra_extended GL_X"));
  EXPECT_FALSE(arglHasExtension("GL_EXT_bgra", "XGL_EXT_bgra"));
  EXPECT_FALSE(arglHasExtension("GL_EXT_bgra", ""));
}

// A longer name that starts with the wanted one comes first; the search must go on past it.
TEST(HasExtension, KeepsSearchingAfterAPartialMatch) {
  EXPECT_TRUE(arglHasExtension("GL_EXT_bgra", "GL_EXT_bgra_extended GL_EXT_bgra"));
  EXPECT_TRUE(arglHasExtension("GL_EXT_bgra", "GL_EXT_bgraGL_EXT_bgra GL_EXT_bgra GL_Y"));
  EXPECT_TRUE(arglHasExtension("aa", "aaa aa"));
  EXPECT_FALSE(arglHasExtension("aa", "aaa aaa"));
}

TEST(HasExtension, RejectsEmptyNamesNamesWithSpacesAndNulls) {
  const char* list = "GL_A GL_B GL_C";
  EXPECT_FALSE(arglHasExtension("", list));
  EXPECT_FALSE(arglHasExtension("GL_A GL_B", list));  // would match as text, but is not one name
  EXPECT_FALSE(arglHasExtension(" ", list));
  EXPECT_FALSE(arglHasExtension(nullptr, list));
  EXPECT_FALSE(arglHasExtension("GL_A", nullptr));
}

TEST(ParseGLVersion, TakesTheFirstThreeDigitsOfTheLeadingNumber) {
  EXPECT_EQ(arglParseGLVersion("1.2.1 "), 0x121);
  EXPECT_EQ(arglParseGLVersion("1.2.1 Vendor 7.8"), 0x121);
  EXPECT_EQ(arglParseGLVersion("2.0"), 0x200);
  EXPECT_EQ(arglParseGLVersion("1.2"), 0x120);
  EXPECT_EQ(arglParseGLVersion("4.5 (Compatibility Profile) Mesa 22.3.6"), 0x450);
  EXPECT_EQ(arglParseGLVersion("1.2.1.9"), 0x121);  // later digits do not count
  EXPECT_EQ(arglParseGLVersion("1.2.19"), 0x121);
  EXPECT_EQ(arglParseGLVersion("3"), 0x300);
  EXPECT_EQ(arglParseGLVersion("1.1 Mesa 9.9"), 0x110);  // digits after the leading run do not count
  EXPECT_EQ(arglParseGLVersion("OpenGL ES 3.2"), 0);     // no leading number
  EXPECT_EQ(arglParseGLVersion(""), 0);
  EXPECT_EQ(arglParseGLVersion(nullptr), 0);
}

class HasGLFeature : public ::testing::Test {
 protected:
  void TearDown() override { arglOverrideGLStringsForTest(nullptr, nullptr); }
  std::unique_ptr<GlTestContext> ctx_ = openGlTestContext(16, 16);
};

TEST_F(HasGLFeature, VersionOrExtensionEitherSuffices) {
  AR_REQUIRE_GL(*ctx_);
  arglOverrideGLStringsForTest("1.1.5", "GL_EXT_bgra GL_SGIS_texture_edge_clamp");
  EXPECT_TRUE(arglHasGLFeature(0x115, nullptr));
  EXPECT_TRUE(arglHasGLFeature(0x110, nullptr));
  EXPECT_FALSE(arglHasGLFeature(0x120, nullptr));
  EXPECT_TRUE(arglHasGLFeature(0x120, "GL_EXT_bgra"));
  EXPECT_FALSE(arglHasGLFeature(0x120, "GL_EXT_abgr"));
  EXPECT_TRUE(arglHasGLFeature(0, "GL_SGIS_texture_edge_clamp"));
  EXPECT_FALSE(arglHasGLFeature(0, "GL_NV_texture_rectangle"));
  // A minimum of 0 asks nothing of the version, so it never suffices on its own.
  EXPECT_FALSE(arglHasGLFeature(0, nullptr));
  arglOverrideGLStringsForTest("2.0", "");
  EXPECT_TRUE(arglHasGLFeature(0x120, "GL_EXT_bgra"));
  EXPECT_TRUE(arglHasGLFeature(0x200, nullptr));
  EXPECT_FALSE(arglHasGLFeature(0x201, nullptr));
}

// The context's own strings: any implementation this viewer runs on has GL 1.2 or later.
TEST_F(HasGLFeature, ReadsTheCurrentContext) {
  AR_REQUIRE_GL(*ctx_);
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  ASSERT_NE(version, nullptr);
  const uint16_t parsed = arglParseGLVersion(version);
  EXPECT_GE(parsed, 0x120) << version;
  EXPECT_TRUE(arglHasGLFeature(parsed, nullptr));
  EXPECT_FALSE(arglHasGLFeature(static_cast<uint16_t>(parsed + 1), nullptr));
  EXPECT_FALSE(arglHasGLFeature(0, "GL_no_such_extension"));
}

}  // namespace
