#include "model/chunk_iterator.h"

#include <cassert>
#include <cstring>

uint8_t ChunkBytes::U8(size_t at) const {
  assert(at < size_);
  return bytes_[at];
}

uint16_t ChunkBytes::U16(size_t at) const {
  assert(at <= size_ && size_ - at >= 2);
  return static_cast<uint16_t>(bytes_[at] | bytes_[at + 1] << 8);
}

uint32_t ChunkBytes::U32(size_t at) const {
  assert(at <= size_ && size_ - at >= 4);
  const uint8_t* p = bytes_ + at;
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

float ChunkBytes::F32(size_t at) const {
  const uint32_t bits = U32(at);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

size_t ChunkBytes::FindNul(size_t from, size_t limit) const {
  assert(limit <= size_);
  if (from >= limit) return std::string::npos;
  const void* nul = std::memchr(bytes_ + from, 0, limit - from);
  return nul == nullptr ? std::string::npos : static_cast<size_t>(static_cast<const uint8_t*>(nul) - bytes_);
}

std::string ChunkBytes::Text(size_t at, size_t length) const {
  assert(at <= size_ && size_ - at >= length);
  return std::string(reinterpret_cast<const char*>(bytes_ + at), length);
}

ChunkStep ChunkCursor::Next(ChunkHeader* header) const {
  if (pos_ >= end_) return ChunkStep::kEnd;
  header->start = pos_;
  header->id = 0;
  header->length = 0;
  if (end_ - pos_ < kChunkHeaderSize) return ChunkStep::kHeaderCut;
  header->id = bytes_.U16(pos_);
  header->length = bytes_.U32(pos_ + 2);
  return header->length < kChunkHeaderSize ? ChunkStep::kLengthBelowHeader : ChunkStep::kChunk;
}
