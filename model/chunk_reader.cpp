#include "model/chunk_reader.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <vector>

#include "model/chunk_ids.h"
#include "model/model_3ds.h"

namespace {

using namespace chunk3ds;

uint16_t readU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t readU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

float readF32(const uint8_t* p) {
  const uint32_t bits = readU32(p);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

struct ChunkHeader {
  uint16_t id;
  uint32_t length;  // counts the 6-byte header; at least 6 once checked
  size_t start;     // byte offset of the header in the file
  size_t end() const { return start + length; }
};

// What the filling pass has put into one group so far.
struct GroupFill {
  bool vertices = false;  // its vertex list was read
  uint32_t faces = 0;     // faces filled, from index 0
};

// One walk over the file's bytes. Both passes make the same structural decisions (where each
// chunk starts, where the walk stops), so the filling pass meets exactly the groups that the
// counting pass made; only the filling pass reports.
class ChunkWalk {
 public:
  ChunkWalk(C3DSMaxModel* model, const uint8_t* bytes, size_t size, const char* fileName, const char* texturePrefix)
      : model_(model), bytes_(bytes), size_(size), fileName_(fileName), texturePrefix_(texturePrefix),
        filling_(texturePrefix != nullptr) {
    if (filling_) fill_.resize(model->m_groups.size());
  }

  void Run() {
    try {
      Walk();
    } catch (const std::exception& e) {
      // Memory ran out while creating a group, a material or a name: keep what was read.
      stopped_ = true;
      Print("out of memory (%s) at byte %zu; reading stops there", e.what(), pos_);
    }
    if (!filling_) {
      model_->m_nGroups = static_cast<uint32_t>(model_->m_groups.size());
      return;
    }
    if (!stopped_ && truncated_.length != 0)
      Report("the file ends %zu bytes before the end of chunk 0x%04X that starts at byte %zu",
             truncated_.end() - size_, truncated_.id, truncated_.start);
    FinishGroups();
    LinkFaces();
    ComputeVertexNormals(model_);
  }

 private:
  void Walk() {
    while (pos_ < size_) {
      const size_t start = pos_;
      if (size_ - start < kHeaderSize) {
        Stop("the file ends inside a chunk header at byte %zu; reading stops there", start);
        return;
      }
      const ChunkHeader h{readU16(bytes_ + start), readU32(bytes_ + start + 2), start};
      if (h.length < kHeaderSize) {
        // Skipping it would not move forward.
        Stop("chunk 0x%04X at byte %zu has length %u, less than its 6-byte header; reading stops there", h.id,
             start, h.length);
        return;
      }
      const bool fits = h.length <= size_ - start;
      switch (h.id) {
        case kMain:
        case kEditor:
        case kTriangleMesh:
          // Containers are entered: the walk goes on with their first nested chunk.
          if (!fits) NoteTruncated(h);
          pos_ = start + kHeaderSize;
          break;
        case kObject:
          if (!fits) NoteTruncated(h);
          if (!SkipObjectName(h)) return;
          break;
        default:
          if (!fits) {
            Stop("the file ends in the middle of chunk 0x%04X at byte %zu (%zu of its %u bytes are missing); "
                 "reading stops there",
                 h.id, start, h.end() - size_, h.length);
            return;
          }
          if (!ReadLeaf(h)) return;
      }
    }
  }

  bool ReadLeaf(const ChunkHeader& h) {
    switch (h.id) {
      case kVertexList:
        if (!(filling_ ? FillVertices(h) : CountVertices(h))) return false;
        break;
      case kFaceList:
        return filling_ ? FillFaces(h) : CountFaces(h);  // moves to its nested chunks
      case kTexCoords:
        if (!(filling_ ? FillTexCoords(h) : ListFits(h, 8, "texture-coordinate list", nullptr))) return false;
        break;
      case kFaceMaterial:
        if (filling_) FillFaceMaterial(h);
        break;
      case kMaterial:
        if (filling_) ReadMaterial(h);
        break;
      default:
        break;  // smoothing groups, keyframer data, lights, cameras, ...
    }
    pos_ = h.end();
    return true;
  }

  // The object name is not kept. It is skipped up to its NUL however long it is, so that the
  // walk goes on at the object's first nested chunk.
  bool SkipObjectName(const ChunkHeader& h) {
    const size_t from = h.start + kHeaderSize;
    const size_t limit = h.end() <= size_ ? h.end() : size_;
    const void* nul = from < limit ? std::memchr(bytes_ + from, 0, limit - from) : nullptr;
    if (nul == nullptr && limit == size_) {
      Stop("the file ends inside the name of the object at byte %zu; reading stops there", h.start);
      return false;
    }
    if (nul == nullptr) {
      Stop("the name of the object at byte %zu has no end within its chunk; reading stops there", h.start);
      return false;
    }
    const size_t length = static_cast<const uint8_t*>(nul) - (bytes_ + from);
    if (length + 1 > kObjectNameLimit)
      Report("the name of the object at byte %zu is %zu bytes long, more than %u; it is skipped whole", h.start,
             length, kObjectNameLimit - 1);
    pos_ = from + length + 1;
    return true;
  }

  // Reads the u16 count of a list of entrySize-byte entries and checks that the list lies
  // within its chunk. Stops the walk when it does not.
  bool ListFits(const ChunkHeader& h, uint32_t entrySize, const char* what, uint16_t* count) {
    if (h.length < kHeaderSize + 2) {
      Stop("the %s at byte %zu is too short to hold its count; reading stops there", what, h.start);
      return false;
    }
    const uint16_t n = readU16(bytes_ + h.start + kHeaderSize);
    const uint32_t room = (h.length - kHeaderSize - 2) / entrySize;
    if (n > room) {
      Stop("the %s at byte %zu claims %u entries but its chunk has room for %u; reading stops there", what, h.start,
           n, room);
      return false;
    }
    if (count != nullptr) *count = n;
    return true;
  }

  bool CountVertices(const ChunkHeader& h) {
    uint16_t n;
    if (!ListFits(h, 12, "vertex list", &n)) return false;
    auto group = std::make_unique<CGroup>();
    group->m_nVertices += n;
    model_->m_groups.Add(group.get());
    group.release();
    return true;
  }

  bool CountFaces(const ChunkHeader& h) {
    uint16_t n;
    if (!ListFits(h, 8, "face list", &n)) return false;
    if (!model_->m_groups.empty()) model_->m_groups.back()->m_nFaces += n;
    pos_ = h.start + kHeaderSize + 2 + 8u * n;  // its face-material chunks follow
    return true;
  }

  bool FillVertices(const ChunkHeader& h) {
    uint16_t n;
    if (!ListFits(h, 12, "vertex list", &n)) return false;
    if (nextGroup_ >= model_->m_groups.size()) {
      Stop("the file changed while it was read: the vertex list at byte %zu was not there before; "
           "reading stops there",
           h.start);
      return false;
    }
    CGroup* group = model_->m_groups[nextGroup_];
    if (n != group->m_nVertices || (n > 0 && group->m_pVertices == nullptr)) {
      Stop("the file changed while it was read: the vertex list at byte %zu holds %u vertices, not %u as before; "
           "reading stops there",
           h.start, n, group->m_nVertices);
      return false;
    }
    const uint8_t* p = bytes_ + h.start + kHeaderSize + 2;
    for (uint32_t i = 0; i < n; i++, p += 12) {
      CVertex& v = group->m_pVertices[i];
      v = CVertex();
      v.x = readF32(p);
      v.y = readF32(p + 8);  // the file's z points up; the model's y does
      v.z = readF32(p + 4);
    }
    current_ = group;
    currentFill_ = &fill_[nextGroup_];
    currentFill_->vertices = true;
    nextGroup_++;
    faceListBase_ = 0;
    faceListCount_ = 0;
    return true;
  }

  bool FillFaces(const ChunkHeader& h) {
    uint16_t n;
    if (!ListFits(h, 8, "face list", &n)) return false;
    pos_ = h.start + kHeaderSize + 2 + 8u * n;
    if (current_ == nullptr) {
      Report("the face list at byte %zu comes before any vertex list; its %u faces are ignored", h.start, n);
      return true;
    }
    const uint32_t base = currentFill_->faces;
    if (n > current_->m_nFaces - base || (n > 0 && current_->m_pFaces == nullptr)) {
      Stop("the file changed while it was read: the face list at byte %zu holds more faces than before; "
           "reading stops there",
           h.start);
      return false;
    }
    // A second face list in one mesh follows the first instead of overwriting it.
    const uint8_t* p = bytes_ + h.start + kHeaderSize + 2;
    for (uint32_t i = 0; i < n; i++, p += 8) {
      CFace& f = current_->m_pFaces[base + i];
      f = CFace();
      f.a = readU16(p);
      f.b = readU16(p + 2);
      f.c = readU16(p + 4);  // p + 6: edge flags, not used
    }
    currentFill_->faces = base + n;
    faceListBase_ = base;
    faceListCount_ = n;
    return true;
  }

  bool FillTexCoords(const ChunkHeader& h) {
    uint16_t n;
    if (!ListFits(h, 8, "texture-coordinate list", &n)) return false;
    if (current_ == nullptr) {
      Report("the texture-coordinate list at byte %zu comes before any vertex list; it is ignored", h.start);
      return true;
    }
    uint32_t count = n;
    if (count > current_->m_nVertices) {
      Report("the texture-coordinate list at byte %zu holds %u pairs for %u vertices; the extra pairs are ignored",
             h.start, n, current_->m_nVertices);
      count = current_->m_nVertices;
    }
    const uint8_t* p = bytes_ + h.start + kHeaderSize + 2;
    for (uint32_t i = 0; i < count; i++, p += 8) {
      current_->m_pVertices[i].u = readF32(p);
      current_->m_pVertices[i].v = readF32(p + 4);
    }
    return true;
  }

  // A name of length bytes at p, cut to 255 bytes (with a report) so that it fits the
  // 256-byte name fields; names are compared after the same cut.
  std::string KeptName(const uint8_t* p, size_t length, const char* what, size_t at) {
    if (length >= kNameLimit) {
      Report("the %s at byte %zu is %zu bytes long; only its first %u bytes are kept", what, at, length,
             kNameLimit - 1);
      length = kNameLimit - 1;
    }
    return std::string(reinterpret_cast<const char*>(p), length);
  }

  // The counting pass skipped this chunk by its length, so a damaged one is ignored whole.
  void FillFaceMaterial(const ChunkHeader& h) {
    const uint8_t* data = bytes_ + h.start + kHeaderSize;
    const size_t size = h.length - kHeaderSize;
    const void* nul = std::memchr(data, 0, size);
    if (nul == nullptr) {
      Report("the face-material chunk at byte %zu has a name without an end; it is ignored", h.start);
      return;
    }
    const size_t nameLength = static_cast<const uint8_t*>(nul) - data;
    const std::string name = KeptName(data, nameLength, "face-material name", h.start);
    const size_t rest = size - nameLength - 1;
    const uint8_t* list = data + nameLength + 1;
    if (rest < 2 || 2u * readU16(list) > rest - 2) {
      Report("the face-material chunk \"%s\" at byte %zu is too short for its face list; it is ignored",
             name.c_str(), h.start);
      return;
    }
    if (current_ == nullptr) {
      Report("the face-material chunk \"%s\" at byte %zu comes before any vertex list; it is ignored", name.c_str(),
             h.start);
      return;
    }
    CMaterial* material = model_->FindMaterial(name.c_str());
    if (material == nullptr)
      Report("the face-material chunk at byte %zu names the material \"%s\", which is not defined before it; "
             "its faces keep no material",
             h.start, name.c_str());
    const uint16_t n = readU16(list);
    uint32_t outOfRange = 0;
    for (uint32_t i = 0; i < n; i++) {
      const uint16_t face = readU16(list + 2 + 2 * i);
      if (face >= faceListCount_) {
        outOfRange++;
        continue;
      }
      current_->m_pFaces[faceListBase_ + face].pMaterial = material;
    }
    if (outOfRange != 0)
      Report("the face-material chunk \"%s\" at byte %zu lists %u face indices at or beyond the face count %u; "
             "those entries are ignored",
             name.c_str(), h.start, outOfRange, faceListCount_);
  }

  void ReadMaterial(const ChunkHeader& h) {
    auto owned = std::make_unique<CMaterial>();
    model_->m_materials.Add(owned.get());
    CMaterial* material = owned.release();
    const size_t end = h.end();
    size_t at = h.start + kHeaderSize;
    while (at < end) {
      ChunkHeader sub;
      if (!NestedHeader(at, end, "material", h.start, &sub)) return;
      switch (sub.id) {
        case kMaterialName:
          ReadMaterialName(material, sub);
          break;
        case kDiffuse:
          ReadColour(sub, "diffuse", material->m_diffuse);
          break;
        case kSpecular:
          ReadColour(sub, "specular", material->m_specular);
          break;
        case kTextureMap:
          ReadTextureMap(material, sub);
          break;
        default:
          break;  // ambient colour, shininess, other maps, ...
      }
      at = sub.end();
    }
  }

  // Reads the header of a chunk nested at byte at of a parent ending at parentEnd. False, with
  // a report, when it does not lie within the parent: the rest of the parent is then ignored.
  bool NestedHeader(size_t at, size_t parentEnd, const char* parent, size_t parentStart, ChunkHeader* out) {
    if (parentEnd - at < kHeaderSize) {
      Report("the %s chunk at byte %zu ends inside the header of its part at byte %zu; the rest of it is ignored",
             parent, parentStart, at);
      return false;
    }
    *out = ChunkHeader{readU16(bytes_ + at), readU32(bytes_ + at + 2), at};
    if (out->length < kHeaderSize || out->length > parentEnd - at) {
      Report("chunk 0x%04X at byte %zu has length %u, which does not fit the %s chunk at byte %zu; "
             "the rest of that %s is ignored",
             out->id, at, out->length, parent, parentStart, parent);
      return false;
    }
    return true;
  }

  void ReadMaterialName(CMaterial* material, const ChunkHeader& sub) {
    const uint8_t* data = bytes_ + sub.start + kHeaderSize;
    const size_t size = sub.length - kHeaderSize;
    const void* nul = std::memchr(data, 0, size);
    const size_t length = nul != nullptr ? static_cast<const uint8_t*>(nul) - data : size;
    const std::string name = KeptName(data, length, "material name", sub.start);
    std::memcpy(material->m_name, name.data(), name.size());
    material->m_name[name.size()] = '\0';
  }

  // A nested colour chunk (6-byte header, whatever its id) followed by red, green, blue bytes.
  void ReadColour(const ChunkHeader& sub, const char* what, float colour[4]) {
    if (sub.length < kHeaderSize + 9) {
      Report("the %s colour at byte %zu is %u bytes long, too short to hold a colour; it is ignored", what,
             sub.start, sub.length);
      return;
    }
    const uint8_t* rgb = bytes_ + sub.start + kHeaderSize + 6;
    for (int i = 0; i < 3; i++) colour[i] = static_cast<float>(rgb[i] / 255.0);
  }

  void ReadTextureMap(CMaterial* material, const ChunkHeader& map) {
    const size_t end = map.end();
    size_t at = map.start + kHeaderSize;
    while (at < end) {
      ChunkHeader part;
      if (!NestedHeader(at, end, "texture map", map.start, &part)) return;
      if (part.id == kMapFileName) LoadMapFile(material, part);
      at = part.end();
    }
  }

  void LoadMapFile(CMaterial* material, const ChunkHeader& part) {
    const uint8_t* data = bytes_ + part.start + kHeaderSize;
    const size_t size = part.length - kHeaderSize;
    const void* nul = std::memchr(data, 0, size);
    const size_t length = nul != nullptr ? static_cast<const uint8_t*>(nul) - data : size;
    const std::string mapName(reinterpret_cast<const char*>(data), length);
    std::string path;
    if (!FormTexturePath(texturePrefix_, mapName, &path)) {
      Report("the texture file name at byte %zu (%zu bytes) with the prefix \"%s\" makes a path longer than %u "
             "characters; the texture is not loaded",
             part.start, length, texturePrefix_, kTexturePathLimit);
      return;
    }
    if (material->m_texture.m_id != 0) return;  // a material keeps its first texture
    material->m_texture.Load(path.c_str());      // reports its own failures
  }

  // Groups keep only what this pass filled: a group whose vertex list was not met again gets
  // no vertices, and faces that were counted but not filled are dropped.
  void FinishGroups() {
    size_t groupsMissing = 0;
    uint64_t facesMissing = 0;
    for (size_t k = 0; k < fill_.size(); k++) {
      CGroup* group = model_->m_groups[k];
      if (!fill_[k].vertices) {
        groupsMissing++;
        group->m_nVertices = 0;
      }
      facesMissing += group->m_nFaces - fill_[k].faces;
      group->m_nFaces = fill_[k].faces;
    }
    if (!stopped_ && (groupsMissing != 0 || facesMissing != 0))
      Report("the file changed while it was read: %zu of %zu meshes and %llu faces found before were not found "
             "again; they are left empty",
             groupsMissing, fill_.size(), static_cast<unsigned long long>(facesMissing));
  }

  // Points every face at its corners and computes its normal. Faces that name a vertex beyond
  // their group are dropped, so drawing can trust every corner.
  void LinkFaces() {
    for (uint32_t j = 0; j < model_->m_nGroups; j++) {
      CGroup* group = model_->m_groups[j];
      const uint32_t nv = group->m_nVertices;
      uint32_t kept = 0;
      for (uint32_t i = 0; i < group->m_nFaces; i++) {
        CFace face = group->m_pFaces[i];
        if (face.a >= nv || face.b >= nv || face.c >= nv) continue;
        face.pA = &group->m_pVertices[face.a];
        face.pB = &group->m_pVertices[face.b];
        face.pC = &group->m_pVertices[face.c];
        face.ComputeNormal();
        group->m_pFaces[kept++] = face;
      }
      if (kept != group->m_nFaces)
        Report("mesh %u has %u faces naming vertices at or beyond its vertex count %u; they are dropped", j,
               group->m_nFaces - kept, nv);
      group->m_nFaces = kept;
    }
  }

  void NoteTruncated(const ChunkHeader& h) {
    if (truncated_.length == 0) truncated_ = h;
  }

  [[gnu::format(printf, 2, 3)]] void Stop(const char* format, ...) {
    stopped_ = true;
    if (!filling_) return;
    va_list args;
    va_start(args, format);
    VPrint(format, args);
    va_end(args);
  }

  [[gnu::format(printf, 2, 3)]] void Report(const char* format, ...) {
    if (!filling_) return;
    va_list args;
    va_start(args, format);
    VPrint(format, args);
    va_end(args);
  }

  [[gnu::format(printf, 2, 3)]] void Print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    VPrint(format, args);
    va_end(args);
  }

  void VPrint(const char* format, va_list args) {
    std::printf("model: %s: ", fileName_);
    std::vprintf(format, args);
    std::printf("\n");
  }

  C3DSMaxModel* model_;
  const uint8_t* bytes_;
  size_t size_;
  const char* fileName_;
  const char* texturePrefix_;  // null in the counting pass
  bool filling_;
  size_t pos_ = 0;
  bool stopped_ = false;
  ChunkHeader truncated_{0, 0, 0};  // first container reaching past the end of the file

  std::vector<GroupFill> fill_;     // filling pass: one per group of the counting pass
  size_t nextGroup_ = 0;            // group that the next vertex list fills
  CGroup* current_ = nullptr;       // group of the last vertex list, null before the first
  GroupFill* currentFill_ = nullptr;
  uint32_t faceListBase_ = 0;       // the current group's last face list: its first face
  uint32_t faceListCount_ = 0;      //   and its face count (face-material indices count from it)
};

}  // namespace

void ScanChunkCounts(C3DSMaxModel* model, const uint8_t* bytes, size_t size, const char* fileName) {
  ChunkWalk(model, bytes, size, fileName, nullptr).Run();
}

bool AllocateGroups(C3DSMaxModel* model, const char* fileName) {
  for (uint32_t j = 0; j < model->m_nGroups; j++) {
    CGroup* group = model->m_groups[j];
    if (!group->Allocate()) {
      std::printf("model: %s: out of memory for mesh %u (%u vertices, %u faces); the model is left empty\n",
                  fileName, j, group->m_nVertices, group->m_nFaces);
      model->Clear();
      return false;
    }
  }
  return true;
}

void ReadChunkValues(C3DSMaxModel* model, const uint8_t* bytes, size_t size, const char* fileName,
                     const char* texturePrefix) {
  ChunkWalk(model, bytes, size, fileName, texturePrefix != nullptr ? texturePrefix : "").Run();
}

void ComputeVertexNormals(C3DSMaxModel* model) {
  for (uint32_t j = 0; j < model->m_nGroups; j++) {
    CGroup* group = model->m_groups[j];
    for (uint32_t i = 0; i < group->m_nFaces; i++) {
      const CFace& face = group->m_pFaces[i];
      for (CVertex* v : {face.pA, face.pB, face.pC}) {
        if (v->nz == 0.0f) {  // not yet set
          v->nx = face.nx;
          v->ny = face.ny;
          v->nz = face.nz;
        } else {
          v->nx = (face.nx + v->nx) * 0.5f;
          v->ny = (face.ny + v->ny) * 0.5f;
          v->nz = (face.nz + v->nz) * 0.5f;
        }
      }
    }
  }
}

bool FormTexturePath(const char* prefix, const std::string& mapName, std::string* path) {
  path->clear();
  const size_t prefixLength = std::strlen(prefix);
  if (prefixLength > chunk3ds::kTexturePathLimit || mapName.size() > chunk3ds::kTexturePathLimit - prefixLength)
    return false;
  *path = prefix;
  *path += mapName;
  return true;
}
