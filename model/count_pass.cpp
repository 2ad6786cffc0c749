// The counting pass: one group per vertex list, with the vertex and face counts that the filling
// pass then allocates and fills.
#include <memory>

#include "model/model_passes.h"
#include "model/model_walk_internal.h"

namespace {

class CountPass : public ModelWalk {
 public:
  CountPass(const uint8_t* bytes, size_t size, CRefVector<CGroup*>* groups, const ModelDamageSink& sink)
      : ModelWalk(bytes, size, sink), groups_(*groups) {}

 private:
  bool VertexList(const ChunkHeader&, uint16_t n) override {
    auto group = std::make_unique<CGroup>();
    group->m_nVertices += n;
    groups_.Add(group.get());
    group.release();
    return true;
  }

  bool FaceList(const ChunkHeader&, uint16_t n) override {
    if (!groups_.empty()) groups_.back()->m_nFaces += n;
    return true;
  }

  void TexCoords(const ChunkHeader&, uint16_t) override {}  // read and discarded

  CRefVector<CGroup*>& groups_;
};

}  // namespace

std::vector<ModelDamage> CountModelChunks(const uint8_t* bytes, size_t size, CRefVector<CGroup*>* groups,
                                          const ModelDamageSink& sink) {
  return CountPass(bytes, size, groups, sink).Run();
}
