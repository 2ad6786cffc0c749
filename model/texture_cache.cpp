#include "model/texture_cache.h"

#include <filesystem>

#include "model/texture_path_internal.h"

std::shared_ptr<CTexture>& CTextureCache::Entry(const std::string& key, bool* added) {
  std::shared_ptr<CTexture>& shared = textures_[key];
  *added = !shared;
  if (*added) shared = std::make_shared<CTexture>();
  return shared;
}

void CTextureCache::Assign(CTexture* texture, const std::string& path) {
  std::error_code ec;
  std::string file = path;
  if (!std::filesystem::exists(path, ec)) {
    const std::string other = FindFileIgnoringCase(path);
    if (!other.empty()) {
      if (spellingsSaid_.insert(path).second) SayFoundIgnoringCase(path, other);
      file = other;
    }
  }
  bool added = false;
  std::shared_ptr<CTexture>& shared = Entry(file, &added);
  if (added) shared->Load(file.c_str());
  texture->m_shared = shared;
  texture->m_id = shared->m_id;
}

void CTextureCache::AssignPicture(CTexture* texture, const std::string& key, const uint8_t* bytes, size_t size) {
  bool added = false;
  std::shared_ptr<CTexture>& shared = Entry(key, &added);
  if (added) shared->LoadPicture(bytes, size, key.c_str());
  texture->m_shared = shared;
  texture->m_id = shared->m_id;
}
