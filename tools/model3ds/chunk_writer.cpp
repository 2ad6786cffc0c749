#include "tools/model3ds/chunk_writer.h"

#include <cstring>

size_t ChunkWriter::Begin(uint16_t id) {
  const size_t at = bytes_.size();
  U16(id);
  U32(0);
  return at;
}

void ChunkWriter::End(size_t chunk) { SetLength(chunk, static_cast<uint32_t>(bytes_.size() - chunk)); }

void ChunkWriter::SetLength(size_t chunk, uint32_t length) {
  for (int i = 0; i < 4; i++) bytes_[chunk + 2 + i] = static_cast<uint8_t>(length >> (8 * i));
}

void ChunkWriter::U16(uint16_t value) {
  U8(static_cast<uint8_t>(value));
  U8(static_cast<uint8_t>(value >> 8));
}

void ChunkWriter::U32(uint32_t value) {
  for (int i = 0; i < 4; i++) U8(static_cast<uint8_t>(value >> (8 * i)));
}

void ChunkWriter::F32(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  U32(bits);
}

void ChunkWriter::Bytes(const void* data, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  bytes_.insert(bytes_.end(), p, p + size);
}

void ChunkWriter::String(const std::string& text) {
  Bytes(text.data(), text.size());
  U8(0);
}
