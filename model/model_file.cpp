#include "model/model_file.h"

#include <strings.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "model/assimp_model_internal.h"
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
  // A missing, unreadable or empty file is named in the same words as a 3DS file would be.
  FILE* file = std::fopen(modelPath, "rb");
  const int first = file != nullptr ? std::fgetc(file) : EOF;
  const bool readError = file == nullptr || std::ferror(file) != 0;
  const int cause = errno;
  if (file != nullptr) std::fclose(file);
  if (readError) {
    std::fprintf(stderr, "model: cannot read %s: %s\n", modelPath, std::strerror(cause));
    return false;
  }
  if (first == EOF) {
    std::fprintf(stderr, "model: %s: the file is empty; there is nothing to draw\n", modelPath);
    return false;
  }
  return LoadAssimpModel(model, modelPath, textures);
}
