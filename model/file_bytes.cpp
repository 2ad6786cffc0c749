#include "model/file_bytes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

bool ReadFileBytes(const char* path, std::vector<uint8_t>* bytes, std::string* error) {
  bytes->clear();
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    *error = std::strerror(errno);
    return false;
  }
  uint8_t block[65536];
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) bytes->insert(bytes->end(), block, block + got);
  const bool failed = std::ferror(file) != 0;
  const int readErrno = errno;
  std::fclose(file);
  if (failed) {
    *error = readErrno != 0 ? std::strerror(readErrno) : "read error";
    bytes->clear();
    return false;
  }
  return true;
}
