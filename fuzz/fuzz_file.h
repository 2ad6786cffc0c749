// Fuzz targets for parsers that read a named file: the input bytes go to a private temporary file.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

class FuzzInputFile {
 public:
  FuzzInputFile(const uint8_t* data, size_t size) {
    char name[] = "/tmp/arfuzz-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) std::abort();
    size_t done = 0;
    while (done < size) {
      const ssize_t n = write(fd, data + done, size - done);
      if (n <= 0) std::abort();
      done += static_cast<size_t>(n);
    }
    close(fd);
    path_ = name;
  }
  ~FuzzInputFile() { unlink(path_.c_str()); }
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};
