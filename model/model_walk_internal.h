// The walk over a model file that both loading passes make. Both take the same structural
// decisions (where each chunk starts, where the walk stops), so that the filling pass meets
// exactly the groups the counting pass made; they differ only in what they do at the chunks
// they read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "model/chunk_iterator.h"
#include "model/model_damage.h"

class ModelWalk {
 public:
  // sink, when set, is told of each damage entry as it is met.
  ModelWalk(const uint8_t* bytes, size_t size, ModelDamageSink sink)
      : bytes_(bytes, size), cursor_(bytes_, 0, size), sink_(std::move(sink)) {}
  virtual ~ModelWalk() = default;
  ModelWalk(const ModelWalk&) = delete;
  ModelWalk& operator=(const ModelWalk&) = delete;

  // Walks the whole file, then calls Finish. Running out of memory ends the walk where it was
  // (what was read stays). Returns the damage met, in order.
  std::vector<ModelDamage> Run();

 protected:
  // Called for chunks that lie within the file, after their list has been checked to fit in
  // the chunk (n entries). Returning false stops the walk (after a Stop).
  virtual bool VertexList(const ChunkHeader& h, uint16_t n) = 0;
  virtual bool FaceList(const ChunkHeader& h, uint16_t n) = 0;  // its nested chunks are met next
  virtual void TexCoords(const ChunkHeader& h, uint16_t n) = 0;
  virtual void FaceMaterial(const ChunkHeader&) {}
  virtual void Material(const ChunkHeader&) {}
  // After the walk, also one that stopped early.
  virtual void Finish() {}

  void Report(const ModelDamage& d);  // the walk goes on
  void Stop(const ModelDamage& d);    // the walk ends here
  bool stopped() const { return stopped_; }

  const ChunkBytes bytes_;

 private:
  void Walk();
  bool ReadLeaf(const ChunkHeader& h);
  bool SkipObjectName(const ChunkHeader& h);
  bool ListFits(const ChunkHeader& h, uint32_t entrySize, uint16_t* count);

  ChunkCursor cursor_;
  ChunkHeader truncated_;  // the first entered chunk that reaches past the end of the file
  ModelDamageSink sink_;
  std::vector<ModelDamage> damage_;
  bool stopped_ = false;
};
