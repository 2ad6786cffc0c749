#include "model/model_damage.h"

#include <cstdarg>
#include <utility>

#include "model/chunk_ids.h"

namespace {

using namespace chunk3ds;
using Kind = ModelDamageKind;

const char* listName(uint16_t id) {
  return id == kVertexList ? "vertex list" : id == kFaceList ? "face list" : "texture-coordinate list";
}

const char* partParentName(uint16_t parentId) { return parentId == kMaterial ? "material" : "texture map"; }

[[gnu::format(printf, 1, 2)]] std::string format(const char* pattern, ...) {
  va_list args, again;
  va_start(args, pattern);
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, pattern, args);
  va_end(args);
  std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  std::vsnprintf(text.data(), text.size() + 1, pattern, again);
  va_end(again);
  return text;
}

}  // namespace

ModelDamage::ModelDamage(ModelDamageKind kind, size_t offset, uint16_t id, std::initializer_list<uint64_t> values,
                         std::string text)
    : kind(kind), offset(offset), id(id), text(std::move(text)) {
  int i = 0;
  for (uint64_t v : values)
    if (i < 3) this->values[i++] = v;
}

std::string DescribeModelDamage(const ModelDamage& d) {
  const auto v = [&d](int i) { return static_cast<unsigned long long>(d.values[i]); };
  const char* name = d.text.c_str();
  switch (d.kind) {
    case Kind::kHeaderCut:
      return format("the file ends inside a chunk header at byte %zu; reading stops there", d.offset);
    case Kind::kLengthBelowHeader:
      return format("chunk 0x%04X at byte %zu has length %llu, less than its 6-byte header; reading stops there",
                    d.id, d.offset, v(0));
    case Kind::kChunkCut:
      return format("the file ends in the middle of chunk 0x%04X at byte %zu (%llu of its %llu bytes are missing); "
                    "reading stops there",
                    d.id, d.offset, v(0), v(1));
    case Kind::kObjectNameCut:
      return format("the file ends inside the name of the object at byte %zu; reading stops there", d.offset);
    case Kind::kObjectNameUnended:
      return format("the name of the object at byte %zu has no end within its chunk; reading stops there", d.offset);
    case Kind::kListTooShort:
      return format("the %s at byte %zu is too short to hold its count; reading stops there", listName(d.id),
                    d.offset);
    case Kind::kListOverclaimed:
      return format("the %s at byte %zu claims %llu entries but its chunk has room for %llu; reading stops there",
                    listName(d.id), d.offset, v(0), v(1));
    case Kind::kOutOfMemory:
      return format("out of memory (%s) at byte %zu; reading stops there", name, d.offset);
    case Kind::kNewVertexList:
      return format("the file changed while it was read: the vertex list at byte %zu was not there before; "
                    "reading stops there",
                    d.offset);
    case Kind::kVertexCountChanged:
      return format("the file changed while it was read: the vertex list at byte %zu holds %llu vertices, not %llu "
                    "as before; reading stops there",
                    d.offset, v(0), v(1));
    case Kind::kFaceCountChanged:
      return format("the file changed while it was read: the face list at byte %zu holds more faces than before; "
                    "reading stops there",
                    d.offset);
    case Kind::kContainerCut:
      return format("the file ends %llu bytes before the end of chunk 0x%04X that starts at byte %zu", v(0), d.id,
                    d.offset);
    case Kind::kObjectNameTooLong:
      return format("the name of the object at byte %zu is %llu bytes long, more than %u; it is skipped whole",
                    d.offset, v(0), kObjectNameLimit - 1);
    case Kind::kFacesBeforeVertices:
      return format("the face list at byte %zu comes before any vertex list; its %llu faces are ignored", d.offset,
                    v(0));
    case Kind::kTexCoordsBeforeVertices:
      return format("the texture-coordinate list at byte %zu comes before any vertex list; it is ignored", d.offset);
    case Kind::kExtraTexCoords:
      return format("the texture-coordinate list at byte %zu holds %llu pairs for %llu vertices; the extra pairs are "
                    "ignored",
                    d.offset, v(0), v(1));
    case Kind::kNameCut:
      return format("the %s at byte %zu is %llu bytes long; only its first %u bytes are kept",
                    d.id == kFaceMaterial ? "face-material name" : "material name", d.offset, v(0), kNameLimit - 1);
    case Kind::kFaceMaterialUnended:
      return format("the face-material chunk at byte %zu has a name without an end; it is ignored", d.offset);
    case Kind::kFaceMaterialCut:
      return format("the face-material chunk \"%s\" at byte %zu is too short for its face list; it is ignored", name,
                    d.offset);
    case Kind::kFaceMaterialBeforeVertices:
      return format("the face-material chunk \"%s\" at byte %zu comes before any vertex list; it is ignored", name,
                    d.offset);
    case Kind::kUnknownMaterial:
      return format("the face-material chunk at byte %zu names the material \"%s\", which is not defined before it; "
                    "its faces keep no material",
                    d.offset, name);
    case Kind::kFaceIndexBeyond:
      return format("the face-material chunk \"%s\" at byte %zu lists %llu face indices at or beyond the face count "
                    "%llu; those entries are ignored",
                    name, d.offset, v(0), v(1));
    case Kind::kPartHeaderCut:
      return format("the %s chunk at byte %zu ends inside the header of its part at byte %zu; the rest of it is "
                    "ignored",
                    partParentName(d.parentId), d.parentOffset, d.offset);
    case Kind::kPartMisfit:
      return format("chunk 0x%04X at byte %zu has length %llu, which does not fit the %s chunk at byte %zu; the rest "
                    "of that %s is ignored",
                    d.id, d.offset, v(0), partParentName(d.parentId), d.parentOffset, partParentName(d.parentId));
    case Kind::kColourCut:
      return format("the %s colour at byte %zu is %llu bytes long, too short to hold a colour; it is ignored",
                    d.id == kSpecular ? "specular" : "diffuse", d.offset, v(0));
    case Kind::kTexturePathTooLong:
      return format("the texture file name at byte %zu (%llu bytes) with the prefix \"%s\" makes a path longer than "
                    "%u characters; the texture is not loaded",
                    d.offset, v(0), name, kTexturePathLimit);
    case Kind::kMeshesLost:
      return format("the file changed while it was read: %llu of %llu meshes and %llu faces found before were not "
                    "found again; they are left empty",
                    v(0), v(1), v(2));
    case Kind::kFacesDropped:
      return format("mesh %llu has %llu faces naming vertices at or beyond its vertex count %llu; they are dropped",
                    v(0), v(1), v(2));
  }
  return "damaged";
}

void PrintModelDamage(const ModelDamage& d, const char* fileName, FILE* out) {
  std::fprintf(out, "model: %s: %s\n", fileName, DescribeModelDamage(d).c_str());
}
