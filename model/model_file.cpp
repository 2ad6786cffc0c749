#include "model/model_file.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "model/assimp_model_internal.h"
#include "model/file_bytes.h"
#include "model/model_3ds.h"

namespace {

bool is3dsFile(const char* path) {
  const size_t length = std::strlen(path);
  return length >= 4 && strcasecmp(path + length - 4, ".3ds") == 0;
}

}  // namespace

bool arLoadModelFile(C3DSMaxModel* model, const char* modelPath, const char* texturePrefix, CTextureCache* textures) {
  if (is3dsFile(modelPath)) return model->Load(modelPath, texturePrefix, textures);
  model->Clear();
  // The file's own messages first, in the same words as for a 3DS file.
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadFileBytes(modelPath, &bytes, &error)) {
    std::fprintf(stderr, "model: cannot read %s: %s\n", modelPath, error.c_str());
    return false;
  }
  if (bytes.empty()) {
    std::fprintf(stderr, "model: %s: the file is empty; there is nothing to draw\n", modelPath);
    return false;
  }
  return LoadAssimpModel(model, modelPath, textures);
}
