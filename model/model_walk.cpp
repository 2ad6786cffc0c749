#include "model/model_walk_internal.h"

#include <exception>

#include "model/chunk_ids.h"

using namespace chunk3ds;
using Kind = ModelDamageKind;

std::vector<ModelDamage> ModelWalk::Run() {
  try {
    Walk();
  } catch (const std::exception& e) {
    // Memory ran out while creating a group, a material or a name: keep what was read.
    Stop({Kind::kOutOfMemory, cursor_.position(), 0, {}, e.what()});
  }
  if (!stopped_ && truncated_.length != 0)
    Report({Kind::kContainerCut, truncated_.start, truncated_.id, {truncated_.end() - bytes_.size()}});
  Finish();
  return std::move(damage_);
}

void ModelWalk::Report(const ModelDamage& d) {
  damage_.push_back(d);
  if (sink_) sink_(d);
}

void ModelWalk::Stop(const ModelDamage& d) {
  stopped_ = true;
  Report(d);
}

void ModelWalk::Walk() {
  for (;;) {
    ChunkHeader h;
    switch (cursor_.Next(&h)) {
      case ChunkStep::kEnd:
        return;
      case ChunkStep::kHeaderCut:
        Stop({Kind::kHeaderCut, h.start});
        return;
      case ChunkStep::kLengthBelowHeader:
        Stop({Kind::kLengthBelowHeader, h.start, h.id, {h.length}});
        return;
      case ChunkStep::kChunk:
        break;
    }
    const bool fits = cursor_.Fits(h);
    switch (h.id) {
      case kMain:
      case kEditor:
      case kTriangleMesh:
        // Containers are entered: the walk goes on with their first nested chunk.
        if (!fits && truncated_.length == 0) truncated_ = h;
        cursor_.Enter(h);
        break;
      case kObject:
        if (!fits && truncated_.length == 0) truncated_ = h;
        if (!SkipObjectName(h)) return;
        break;
      default:
        if (!fits) {
          Stop({Kind::kChunkCut, h.start, h.id, {h.end() - bytes_.size(), h.length}});
          return;
        }
        if (!ReadLeaf(h)) return;
    }
  }
}

bool ModelWalk::ReadLeaf(const ChunkHeader& h) {
  uint16_t n = 0;
  switch (h.id) {
    case kVertexList:
      if (!ListFits(h, 12, &n) || !VertexList(h, n)) return false;
      break;
    case kFaceList:
      if (!ListFits(h, 8, &n)) return false;
      cursor_.MoveTo(h.data() + 2 + 8u * n);  // its face-material chunks follow
      return FaceList(h, n);
    case kTexCoords:
      if (!ListFits(h, 8, &n)) return false;
      TexCoords(h, n);
      break;
    case kFaceMaterial:
      FaceMaterial(h);
      break;
    case kMaterial:
      Material(h);
      break;
    default:
      break;  // smoothing groups, keyframer data, lights, cameras, ...
  }
  cursor_.Skip(h);
  return true;
}

// The object name is not kept. It is skipped up to its NUL however long it is, so that the
// walk goes on at the object's first nested chunk.
bool ModelWalk::SkipObjectName(const ChunkHeader& h) {
  const size_t limit = cursor_.Fits(h) ? h.end() : bytes_.size();
  const size_t nul = bytes_.FindNul(h.data(), limit);
  if (nul == std::string::npos) {
    Stop({limit == bytes_.size() ? Kind::kObjectNameCut : Kind::kObjectNameUnended, h.start});
    return false;
  }
  const size_t length = nul - h.data();
  if (length + 1 > kObjectNameLimit) Report({Kind::kObjectNameTooLong, h.start, h.id, {length}});
  cursor_.MoveTo(nul + 1);
  return true;
}

// Reads the u16 count of a list of entrySize-byte entries and checks that the list lies within
// its chunk. Stops the walk when it does not.
bool ModelWalk::ListFits(const ChunkHeader& h, uint32_t entrySize, uint16_t* count) {
  if (h.length < kChunkHeaderSize + 2) {
    Stop({Kind::kListTooShort, h.start, h.id});
    return false;
  }
  const uint16_t n = bytes_.U16(h.data());
  const uint32_t room = (h.length - kChunkHeaderSize - 2) / entrySize;
  if (n > room) {
    Stop({Kind::kListOverclaimed, h.start, h.id, {n, room}});
    return false;
  }
  *count = n;
  return true;
}
