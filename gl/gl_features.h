// Questions about the current OpenGL implementation: its version and its extensions.
#pragma once

#include <cstdint>

// True when the current context's version is at least minVersion (0xMmr: major in bits 8-11,
// minor in bits 4-7, release in bits 0-3, so GL 1.2 is 0x120; 0 asks nothing of the version), or
// when extensionName (may be null) is one of its extensions. Needs a current GL context; without
// one both strings read as empty and the answer is false.
bool arglHasGLFeature(uint16_t minVersion, const char* extensionName);

// True when name appears in extensions as a whole space-separated word. An empty name, a name
// containing a space, or a null argument gives false.
bool arglHasExtension(const char* name, const char* extensions);
