// Fuzz target for the model loader: both passes over the input bytes, and both passes over
// bytes that grew between them (the counting pass sees only the first half). Textures are
// never opened: the prefix "/dev/null/" names a path under a file, which no open can pass, so
// no OpenGL context is needed. After loading, every face must point at its own group's
// vertices and every damage entry must lie within the file.
#include <cstdint>
#include <cstdlib>

#include "model/model_3ds.h"

namespace {

const char* const kNoTextures = "/dev/null/";

void loadBytes(const uint8_t* countBytes, size_t countSize, const uint8_t* fillBytes, size_t fillSize) {
  C3DSMaxModel model;
  model.ScanCounts(countBytes, countSize, "fuzz.3ds");
  if (!model.AllocateGroups("fuzz.3ds")) return;
  model.ReadChunks(fillBytes, fillSize, "fuzz.3ds", kNoTextures);
  if (model.m_nGroups != model.m_groups.size()) std::abort();
  for (const ModelDamage& d : model.m_damage)
    if (d.offset >= fillSize && d.offset != 0) std::abort();
  float sum = 0;
  for (uint32_t j = 0; j < model.m_nGroups; j++) {
    const CGroup* g = model.m_groups[j];
    for (uint32_t i = 0; i < g->m_nFaces; i++) {
      const CFace& f = g->m_pFaces[i];
      if (f.a >= g->m_nVertices || f.b >= g->m_nVertices || f.c >= g->m_nVertices) std::abort();
      if (f.pA != g->m_pVertices + f.a || f.pB != g->m_pVertices + f.b || f.pC != g->m_pVertices + f.c) std::abort();
      if (f.pMaterial != nullptr && model.m_materials.Find(f.pMaterial) < 0) std::abort();
      sum += f.pA->x + f.pB->nx + f.pC->u;
    }
  }
  for (const CMaterial* m : model.m_materials) {
    if (m->m_texture.m_id != 0) std::abort();
    model.FindMaterial(m->m_name);
  }
  volatile float sink = sum;
  (void)sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  loadBytes(data, size, data, size);
  loadBytes(data, size / 2, data, size);
  return 0;
}
