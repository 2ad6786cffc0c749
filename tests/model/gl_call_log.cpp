#include "tests/model/gl_call_log.h"

#include <algorithm>

namespace {

bool recording = false;
std::vector<GlCall> calls;

void record(const GlCall& call) {
  if (recording) calls.push_back(call);
}

}  // namespace

void GlCallLogStart() {
  calls.clear();
  recording = true;
}

std::vector<GlCall> GlCallLogStop() {
  recording = false;
  return std::move(calls);
}

extern "C" {

void __real_glMaterialfv(GLenum face, GLenum pname, const GLfloat* params);
void __real_glBindTexture(GLenum target, GLuint texture);
void __real_glEnable(GLenum cap);
void __real_glDisable(GLenum cap);
void __real_glBegin(GLenum mode);
void __real_glEnd();

void __wrap_glMaterialfv(GLenum face, GLenum pname, const GLfloat* params) {
  GlCall call{"glMaterialfv", face, pname};
  std::copy(params, params + 4, call.values);
  record(call);
  __real_glMaterialfv(face, pname, params);
}

void __wrap_glBindTexture(GLenum target, GLuint texture) {
  record(GlCall{"glBindTexture", target, 0, {}, texture});
  __real_glBindTexture(target, texture);
}

void __wrap_glEnable(GLenum cap) { record(GlCall{"glEnable", cap}), __real_glEnable(cap); }
void __wrap_glDisable(GLenum cap) { record(GlCall{"glDisable", cap}), __real_glDisable(cap); }
void __wrap_glBegin(GLenum mode) { record(GlCall{"glBegin", mode}), __real_glBegin(mode); }
void __wrap_glEnd() { record(GlCall{"glEnd"}), __real_glEnd(); }

}  // extern "C"
