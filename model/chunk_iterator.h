// Walking a file of chunks. Every chunk starts with a 6-byte header, u16 id and u32 length
// (little-endian), where the length counts the header, the chunk's own data and every chunk
// nested in it. The cursor reads headers from a byte range and checks each length against the
// bytes that are there; it knows no ids: what to enter, read or skip is its caller's choice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr uint32_t kChunkHeaderSize = 6;

struct ChunkHeader {
  uint16_t id = 0;
  uint32_t length = 0;  // bytes, counting the header; at least kChunkHeaderSize once read
  size_t start = 0;     // byte offset of the header
  size_t data() const { return start + kChunkHeaderSize; }  // first byte after the header
  size_t end() const { return start + length; }              // first byte after the chunk
};

// Read-only bytes of a whole file. Reading outside them is a programmer error (an assert):
// callers first check that what they read lies within a chunk that lies within the file.
class ChunkBytes {
 public:
  ChunkBytes(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

  size_t size() const { return size_; }
  uint8_t U8(size_t at) const;
  uint16_t U16(size_t at) const;
  uint32_t U32(size_t at) const;
  float F32(size_t at) const;
  // Offset of the first NUL byte in [from, limit), or npos when there is none.
  size_t FindNul(size_t from, size_t limit) const;
  // length bytes from at, as they stand.
  std::string Text(size_t at, size_t length) const;

 private:
  const uint8_t* bytes_;
  size_t size_;
};

enum class ChunkStep {
  kChunk,              // a header was read
  kEnd,                // the position has reached the end of the range
  kHeaderCut,          // the range ends within the next header
  kLengthBelowHeader,  // the header's length is below its own size: skipping would not move on
};

// A position in the byte range [begin, end) of a ChunkBytes, moved from chunk to chunk.
class ChunkCursor {
 public:
  ChunkCursor(const ChunkBytes& bytes, size_t begin, size_t end) : bytes_(bytes), pos_(begin), end_(end) {}

  // Reads the header at the position into *header (any step but kEnd fills id and start; a
  // length too only from kLengthBelowHeader on). The position does not move.
  ChunkStep Next(ChunkHeader* header) const;
  // Whether the chunk ends within the range.
  bool Fits(const ChunkHeader& h) const { return h.length <= end_ - h.start; }

  void Enter(const ChunkHeader& h) { pos_ = h.data(); }  // on to its first nested chunk
  void Skip(const ChunkHeader& h) { pos_ = h.end(); }    // on to its next sibling
  void MoveTo(size_t position) { pos_ = position; }
  size_t position() const { return pos_; }
  size_t end() const { return end_; }

 private:
  const ChunkBytes& bytes_;
  size_t pos_;
  size_t end_;
};
