// Textures shared by file: each distinct picture file is read, decoded and uploaded once, and
// every material that names it gets a texture record pointing at that one texture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "model/texture.h"

class CTextureCache {
 public:
  // Makes texture share the texture of the file at path, loading it on the first request
  // (CTexture::Load: needs the OpenGL context that draws it). A file that cannot be loaded is
  // remembered too, so its message comes once; texture then keeps no texture (m_id 0). A path
  // that is not there is looked up ignoring letter case, said once per spelling, and shares the
  // texture of the file found.
  void Assign(CTexture* texture, const std::string& path);

  // The same for a picture held in memory (inside a model file), shared under key.
  void AssignPicture(CTexture* texture, const std::string& key, const uint8_t* bytes, size_t size);

  // Files read so far, loaded or not.
  size_t FileCount() const { return textures_.size(); }

 private:
  // The record for key, new (not yet loaded) when *added.
  std::shared_ptr<CTexture>& Entry(const std::string& key, bool* added);

  std::map<std::string, std::shared_ptr<CTexture>> textures_;  // by the path of the file read
  std::set<std::string> spellingsSaid_;  // names found in another letter case, said once each
};
