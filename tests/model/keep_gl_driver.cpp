// Mesa's driver keeps a few small allocations for the life of the process after immediate-mode
// drawing, and it is unloaded when the last display connection closes, after which the leak
// checker can no longer tell that they belong to the driver (scripts/lsan.supp names it). One
// connection held open for the whole test program keeps the driver loaded until exit.
#include "tests/support/gl_test_context.h"

namespace {

GlTestContext* const keepDriverLoaded = new GlTestContext(1, 1);

}  // namespace
