// Writes 3DS chunks: a 6-byte header (u16 id, u32 length) whose length is filled in when the
// chunk is closed, then the chunk's data and nested chunks, all little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ChunkWriter {
 public:
  // Opens a chunk; returns its offset for End (or SetLength).
  size_t Begin(uint16_t id);
  // Closes the chunk opened at offset: its length becomes everything written since Begin.
  void End(size_t chunk);
  // Overwrites the stored length of the chunk at offset (to make damaged files for tests).
  void SetLength(size_t chunk, uint32_t length);

  void U8(uint8_t value) { bytes_.push_back(value); }
  void U16(uint16_t value);
  void U32(uint32_t value);
  void F32(float value);
  void Bytes(const void* data, size_t size);
  // The string's bytes followed by a NUL.
  void String(const std::string& text);

  const std::vector<uint8_t>& bytes() const { return bytes_; }
  size_t size() const { return bytes_.size(); }

 private:
  std::vector<uint8_t> bytes_;
};
