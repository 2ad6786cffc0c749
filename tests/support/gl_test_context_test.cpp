#include "tests/support/gl_test_context.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

namespace {

// The read-back must put row 0 at the top of the window, as the viewer's images do.
TEST(GlTestContext, ReadsBackTopRowFirst) {
  GlTestContext ctx(64, 48);
  AR_REQUIRE_GL(ctx);
  glClearColor(0, 0, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 48 - 8, 64, 8);  // GL counts rows from the bottom: this is the top 8 rows
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
  const auto px = ctx.readPixels();
  EXPECT_EQ(glErrorString("readPixels"), "");
  EXPECT_EQ(px[0], 255);                    // top-left is red
  EXPECT_EQ(px[2], 0);
  const size_t bottom = (47 * 64) * 4;
  EXPECT_EQ(px[bottom + 0], 0);             // bottom-left is blue
  EXPECT_EQ(px[bottom + 2], 255);
}

}  // namespace
