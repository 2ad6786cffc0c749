#include "gl/gl_features.h"

#include <GL/gl.h>

#include <cstring>

#include "gl/gl_features_internal.h"

namespace {

// Set only by tests; null in the program, which always asks the context.
const char* versionOverride = nullptr;
const char* extensionsOverride = nullptr;

const char* glText(GLenum which, const char* override) {
  if (override) return override;
  const GLubyte* text = glGetString(which);  // null without a current context
  return text ? reinterpret_cast<const char*>(text) : "";
}

}  // namespace

uint16_t arglParseGLVersion(const char* version) {
  if (!version) return 0;
  int digits[3] = {0, 0, 0};
  int found = 0;
  for (const char* c = version; (*c >= '0' && *c <= '9') || *c == '.'; c++) {
    if (*c == '.') continue;
    if (found < 3) digits[found++] = *c - '0';
  }
  return static_cast<uint16_t>(digits[0] * 256 + digits[1] * 16 + digits[2]);
}

void arglOverrideGLStringsForTest(const char* version, const char* extensions) {
  versionOverride = version;
  extensionsOverride = extensions;
}

bool arglHasGLFeature(uint16_t minVersion, const char* extensionName) {
  const uint16_t version = arglParseGLVersion(glText(GL_VERSION, versionOverride));
  if (minVersion > 0 && version >= minVersion) return true;
  return extensionName && arglHasExtension(extensionName, glText(GL_EXTENSIONS, extensionsOverride));
}

bool arglHasExtension(const char* name, const char* extensions) {
  if (!name || !extensions || *name == '\0' || std::strchr(name, ' ')) return false;
  const size_t length = std::strlen(name);
  const char* start = extensions;
  for (;;) {
    const char* found = std::strstr(start, name);
    if (!found) return false;
    const char* end = found + length;
    if ((found == extensions || found[-1] == ' ') && (*end == ' ' || *end == '\0')) return true;
    start = end;  // a valid match cannot overlap this one: names hold no space
  }
}
