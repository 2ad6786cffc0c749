// The filling pass: vertices, faces, texture coordinates, materials and their textures into the
// groups the counting pass made, then the links from faces to vertices and the normals.
#include <cstring>
#include <memory>

#include "model/chunk_ids.h"
#include "model/model_passes.h"
#include "model/model_walk_internal.h"

namespace {

using namespace chunk3ds;
using Kind = ModelDamageKind;

// What the filling pass has put into one group so far.
struct GroupFill {
  bool vertices = false;  // its vertex list was read
  uint32_t faces = 0;     // faces filled, from index 0
};

class FillPass : public ModelWalk {
 public:
  FillPass(const uint8_t* bytes, size_t size, const char* texturePrefix, const CRefVector<CGroup*>& groups,
           CRefVector<CMaterial*>* materials, CTextureCache* textures, const ModelDamageSink& sink)
      : ModelWalk(bytes, size, sink), texturePrefix_(texturePrefix), groups_(groups), materials_(*materials),
        textures_(textures), fill_(groups.size()) {}

 private:
  bool VertexList(const ChunkHeader& h, uint16_t n) override {
    if (nextGroup_ >= groups_.size()) {
      Stop({Kind::kNewVertexList, h.start, h.id});
      return false;
    }
    CGroup* group = groups_[nextGroup_];
    if (n != group->m_nVertices || (n > 0 && group->m_pVertices == nullptr)) {
      Stop({Kind::kVertexCountChanged, h.start, h.id, {n, group->m_nVertices}});
      return false;
    }
    size_t at = h.data() + 2;
    for (uint32_t i = 0; i < n; i++, at += 12) {
      CVertex& v = group->m_pVertices[i];
      v = CVertex();
      v.x = bytes_.F32(at);
      v.y = bytes_.F32(at + 8);  // the file's z points up; the model's y does
      v.z = bytes_.F32(at + 4);
    }
    current_ = group;
    currentFill_ = &fill_[nextGroup_];
    currentFill_->vertices = true;
    nextGroup_++;
    faceListBase_ = 0;
    faceListCount_ = 0;
    return true;
  }

  bool FaceList(const ChunkHeader& h, uint16_t n) override {
    if (current_ == nullptr) {
      Report({Kind::kFacesBeforeVertices, h.start, h.id, {n}});
      return true;
    }
    const uint32_t base = currentFill_->faces;
    if (n > current_->m_nFaces - base || (n > 0 && current_->m_pFaces == nullptr)) {
      Stop({Kind::kFaceCountChanged, h.start, h.id});
      return false;
    }
    // A second face list in one mesh follows the first instead of overwriting it.
    size_t at = h.data() + 2;
    for (uint32_t i = 0; i < n; i++, at += 8) {
      CFace& f = current_->m_pFaces[base + i];
      f = CFace();
      f.a = bytes_.U16(at);
      f.b = bytes_.U16(at + 2);
      f.c = bytes_.U16(at + 4);  // at + 6: edge flags, not used
    }
    currentFill_->faces = base + n;
    faceListBase_ = base;
    faceListCount_ = n;
    return true;
  }

  void TexCoords(const ChunkHeader& h, uint16_t n) override {
    if (current_ == nullptr) {
      Report({Kind::kTexCoordsBeforeVertices, h.start, h.id});
      return;
    }
    uint32_t count = n;
    if (count > current_->m_nVertices) {
      Report({Kind::kExtraTexCoords, h.start, h.id, {n, current_->m_nVertices}});
      count = current_->m_nVertices;
    }
    size_t at = h.data() + 2;
    for (uint32_t i = 0; i < count; i++, at += 8) {
      current_->m_pVertices[i].u = bytes_.F32(at);
      current_->m_pVertices[i].v = bytes_.F32(at + 4);
    }
  }

  // The counting pass skipped this chunk by its length, so a damaged one is ignored whole.
  void FaceMaterial(const ChunkHeader& h) override {
    const size_t nul = bytes_.FindNul(h.data(), h.end());
    if (nul == std::string::npos) {
      Report({Kind::kFaceMaterialUnended, h.start, h.id});
      return;
    }
    const std::string name = KeptName(h.data(), nul - h.data(), h);
    const size_t list = nul + 1;
    const size_t rest = h.end() - list;
    if (rest < 2 || 2u * bytes_.U16(list) > rest - 2) {
      Report({Kind::kFaceMaterialCut, h.start, h.id, {}, name});
      return;
    }
    if (current_ == nullptr) {
      Report({Kind::kFaceMaterialBeforeVertices, h.start, h.id, {}, name});
      return;
    }
    CMaterial* material = FindMaterialNamed(materials_, name.c_str());
    if (material == nullptr) Report({Kind::kUnknownMaterial, h.start, h.id, {}, name});
    const uint16_t n = bytes_.U16(list);
    uint32_t outOfRange = 0;
    for (uint32_t i = 0; i < n; i++) {
      const uint16_t face = bytes_.U16(list + 2 + 2 * i);
      if (face >= faceListCount_) {
        outOfRange++;
        continue;
      }
      current_->m_pFaces[faceListBase_ + face].pMaterial = material;
    }
    if (outOfRange != 0) Report({Kind::kFaceIndexBeyond, h.start, h.id, {outOfRange, faceListCount_}, name});
  }

  void Material(const ChunkHeader& h) override {
    auto owned = std::make_unique<CMaterial>();
    materials_.Add(owned.get());
    CMaterial* material = owned.release();
    ChunkCursor parts(bytes_, h.data(), h.end());
    ChunkHeader sub;
    while (NextPart(parts, h, &sub)) {
      switch (sub.id) {
        case kMaterialName:
          ReadMaterialName(material, sub);
          break;
        case kDiffuse:
          ReadColour(sub, material->m_diffuse);
          break;
        case kSpecular:
          ReadColour(sub, material->m_specular);
          break;
        case kTextureMap:
          ReadTextureMap(material, sub);
          break;
        default:
          break;  // ambient colour, shininess, other maps, ...
      }
      parts.Skip(sub);
    }
  }

  // The next part of a material or texture map. False at its end, or (with a report) when the
  // part does not lie within it: the rest of the parent is then ignored.
  bool NextPart(const ChunkCursor& parts, const ChunkHeader& parent, ChunkHeader* part) {
    switch (parts.Next(part)) {
      case ChunkStep::kEnd:
        return false;
      case ChunkStep::kHeaderCut:
        Report(PartDamage({Kind::kPartHeaderCut, part->start}, parent));
        return false;
      case ChunkStep::kLengthBelowHeader:
      case ChunkStep::kChunk:
        if (part->length >= kChunkHeaderSize && parts.Fits(*part)) return true;
        Report(PartDamage({Kind::kPartMisfit, part->start, part->id, {part->length}}, parent));
        return false;
    }
    return false;
  }

  static ModelDamage PartDamage(ModelDamage d, const ChunkHeader& parent) {
    d.parentOffset = parent.start;
    d.parentId = parent.id;
    return d;
  }

  // A name of length bytes at `at`, cut to 255 bytes (with a report) so that it fits the
  // 256-byte name fields; names are compared after the same cut.
  std::string KeptName(size_t at, size_t length, const ChunkHeader& h) {
    if (length >= kNameLimit) {
      Report({Kind::kNameCut, h.start, h.id, {length}});
      length = kNameLimit - 1;
    }
    return bytes_.Text(at, length);
  }

  // The bytes of a name part up to their first NUL, or all of them when none is NUL.
  size_t NameLength(const ChunkHeader& part) const {
    const size_t nul = bytes_.FindNul(part.data(), part.end());
    return (nul != std::string::npos ? nul : part.end()) - part.data();
  }

  void ReadMaterialName(CMaterial* material, const ChunkHeader& sub) {
    const std::string name = KeptName(sub.data(), NameLength(sub), sub);
    std::memcpy(material->m_name, name.data(), name.size());
    material->m_name[name.size()] = '\0';
  }

  // A nested colour chunk (6-byte header, whatever its id) followed by red, green, blue bytes.
  void ReadColour(const ChunkHeader& sub, float colour[4]) {
    if (sub.length < kChunkHeaderSize + 9) {
      Report({Kind::kColourCut, sub.start, sub.id, {sub.length}});
      return;
    }
    const size_t rgb = sub.data() + 6;
    for (int i = 0; i < 3; i++) colour[i] = static_cast<float>(bytes_.U8(rgb + i) / 255.0);
  }

  void ReadTextureMap(CMaterial* material, const ChunkHeader& map) {
    ChunkCursor parts(bytes_, map.data(), map.end());
    ChunkHeader part;
    while (NextPart(parts, map, &part)) {
      if (part.id == kMapFileName) LoadMapFile(material, part);
      parts.Skip(part);
    }
  }

  void LoadMapFile(CMaterial* material, const ChunkHeader& part) {
    const size_t length = NameLength(part);
    std::string path;
    if (!FormTexturePath(texturePrefix_, bytes_.Text(part.data(), length), &path)) {
      Report({Kind::kTexturePathTooLong, part.start, part.id, {length}, texturePrefix_});
      return;
    }
    if (material->m_texture.m_id != 0) return;  // a material keeps its first texture
    // Both report their own failures.
    if (textures_ != nullptr)
      textures_->Assign(&material->m_texture, path);
    else
      material->m_texture.Load(path.c_str());
  }

  void Finish() override {
    FinishGroups();
    LinkFaces();
    ComputeVertexNormals(groups_);
  }

  // Groups keep only what this pass filled: a group whose vertex list was not met again gets
  // no vertices, and faces that were counted but not filled are dropped.
  void FinishGroups() {
    uint64_t groupsMissing = 0, facesMissing = 0;
    for (size_t k = 0; k < fill_.size(); k++) {
      CGroup* group = groups_[k];
      if (!fill_[k].vertices) {
        groupsMissing++;
        group->m_nVertices = 0;
      }
      facesMissing += group->m_nFaces - fill_[k].faces;
      group->m_nFaces = fill_[k].faces;
    }
    if (!stopped() && (groupsMissing != 0 || facesMissing != 0))
      Report({Kind::kMeshesLost, 0, 0, {groupsMissing, fill_.size(), facesMissing}});
  }

  // Points every face at its corners and computes its normal. Faces that name a vertex beyond
  // their group are dropped, so drawing can trust every corner.
  void LinkFaces() {
    for (uint32_t j = 0; j < groups_.size(); j++) {
      CGroup* group = groups_[j];
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
      if (kept != group->m_nFaces) Report({Kind::kFacesDropped, 0, 0, {j, group->m_nFaces - kept, nv}});
      group->m_nFaces = kept;
    }
  }

  const char* texturePrefix_;
  const CRefVector<CGroup*>& groups_;
  CRefVector<CMaterial*>& materials_;
  CTextureCache* textures_;          // null: every material loads its own texture
  std::vector<GroupFill> fill_;      // one per group of the counting pass
  size_t nextGroup_ = 0;             // group that the next vertex list fills
  CGroup* current_ = nullptr;        // group of the last vertex list, null before the first
  GroupFill* currentFill_ = nullptr;
  uint32_t faceListBase_ = 0;        // the current group's last face list: its first face
  uint32_t faceListCount_ = 0;       //   and its face count (face-material indices count from it)
};

}  // namespace

std::vector<ModelDamage> FillModelChunks(const uint8_t* bytes, size_t size, const char* texturePrefix,
                                         const CRefVector<CGroup*>& groups, CRefVector<CMaterial*>* materials,
                                         CTextureCache* textures, const ModelDamageSink& sink) {
  return FillPass(bytes, size, texturePrefix != nullptr ? texturePrefix : "", groups, materials, textures, sink)
      .Run();
}

bool FormTexturePath(const char* prefix, const std::string& mapName, std::string* path) {
  path->clear();
  const size_t prefixLength = std::strlen(prefix);
  if (prefixLength > kTexturePathLimit || mapName.size() > kTexturePathLimit - prefixLength) return false;
  *path = prefix;
  *path += mapName;
  return true;
}
