// Records the state calls that drawing makes: the test program is linked with
// -Wl,--wrap=<function> for each function below, so every call, from the model library too,
// passes through a recorder on its way to the real OpenGL function.
#pragma once

#include <GL/gl.h>

#include <string>
#include <vector>

struct GlCall {
  std::string name;      // "glMaterialfv", "glBindTexture", "glEnable", "glDisable", "glBegin", "glEnd"
  GLenum first = 0;      // face, target, capability or mode
  GLenum second = 0;     // glMaterialfv: the parameter name
  float values[4] = {};  // glMaterialfv: the four values
  GLuint texture = 0;    // glBindTexture: the texture name
};

// Starts recording afresh; GlCallLogStop ends it and returns the calls in order.
void GlCallLogStart();
std::vector<GlCall> GlCallLogStop();
