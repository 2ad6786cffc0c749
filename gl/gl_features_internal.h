// Internals of the feature tests, for tests only.
#pragma once

#include <cstdint>

// The version number of a GL_VERSION string: over its leading run of digits and dots, the first
// three digits d1 d2 d3 (missing ones 0) give d1 * 256 + d2 * 16 + d3. Null or no digits: 0.
uint16_t arglParseGLVersion(const char* version);

// Test hook: makes the feature tests see these strings instead of the context's GL_VERSION and
// GL_EXTENSIONS. A null argument restores the context's own string. The texts are not copied;
// they must outlive their use.
void arglOverrideGLStringsForTest(const char* version, const char* extensions);
