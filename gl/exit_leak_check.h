// Leak checking for programs that draw with OpenGL, in sanitizer builds. The leak check that
// normally runs at exit comes after the X connection has closed and Mesa's driver has been
// unloaded; what the driver keeps for the process's lifetime is then reported from an unknown
// module that no suppression can name. Checking just before the program ends, while the driver
// is still loaded, lets the suppressions match it by name; leaks of our own still fail the run.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define AR_LEAK_CHECK_AVAILABLE 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define AR_LEAK_CHECK_AVAILABLE 1
#endif
#endif

#ifdef AR_LEAK_CHECK_AVAILABLE
#include <sanitizer/lsan_interface.h>
#endif

// Runs the leak check now (when leak checking is on) and none at exit. Call it once, where the
// program is about to end.
inline void arglCheckLeaksNow() {
#ifdef AR_LEAK_CHECK_AVAILABLE
  __lsan_do_leak_check();
#endif
}
