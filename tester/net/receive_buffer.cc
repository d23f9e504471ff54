#include "tester/net/receive_buffer.h"

#include <algorithm>
#include <cstring>

#include "tester/net/byte_stream.h"

ReceiveBuffer::ReceiveBuffer(ByteStream& stream, size_t chunk_size)
    : stream_(stream),
      chunk_size_(chunk_size),
      scratch_(std::make_unique_for_overwrite<char[]>(chunk_size + 1)) {}

void ReceiveBuffer::fill() {
  ssize_t n = stream_.receive(scratch_.get(), chunk_size_);
  while (n > 0) {
    // Each chunk holds exactly what one receive returned; the scratch area
    // stays the only buffer of full size.
    size_t size = static_cast<size_t>(n);
    Chunk chunk{std::make_unique_for_overwrite<char[]>(size), size};
    std::memcpy(chunk.bytes.get(), scratch_.get(), size);
    chunks_.push_back(std::move(chunk));
    pending_ += size;
    n = stream_.receive(scratch_.get(), chunk_size_);
  }
  if (n == 0 || !stream_.would_block()) {
    open_ = false;
    short_ = true;
  }
}

bool ReceiveBuffer::find_delimiter(char delimiter, size_t* line_length) {
  size_t index = 0;
  size_t scanned = 0;
  if (scan_valid_ && scan_delimiter_ == delimiter) {
    index = scan_chunk_;
    scanned = scanned_;
  }
  for (; index < chunks_.size(); ++index) {
    const Chunk& chunk = chunks_[index];
    size_t start = index == 0 ? offset_ : 0;
    const void* found = std::memchr(chunk.bytes.get() + start, delimiter, chunk.size - start);
    if (found != nullptr) {
      *line_length = scanned + (static_cast<const char*>(found) - chunk.bytes.get() - start);
      return true;
    }
    scanned += chunk.size - start;
  }
  scan_valid_ = true;
  scan_delimiter_ = delimiter;
  scan_chunk_ = index;
  scanned_ = scanned;
  return false;
}

void ReceiveBuffer::copy_pending(char* destination, size_t count) const {
  size_t start = offset_;
  for (size_t index = 0; count > 0; ++index) {
    const Chunk& chunk = chunks_[index];
    size_t take = std::min(count, chunk.size - start);
    std::memcpy(destination, chunk.bytes.get() + start, take);
    destination += take;
    count -= take;
    start = 0;
  }
}

void ReceiveBuffer::take_pending(std::string* text, size_t count) {
  // Appended piece by piece into reserved room: a large body is written
  // once, not first zeroed. Each chunk goes as soon as it has been copied,
  // so that a body never stands in memory twice.
  text->clear();
  text->reserve(count);
  while (text->size() < count) {
    const Chunk& chunk = chunks_.front();
    size_t piece = std::min(count - text->size(), chunk.size - offset_);
    text->append(chunk.bytes.get() + offset_, piece);
    consume(piece);
  }
}

void ReceiveBuffer::consume(size_t count) {
  pending_ -= count;
  scan_valid_ = false;
  while (count > 0) {
    size_t take = std::min(count, chunks_.front().size - offset_);
    offset_ += take;
    count -= take;
    if (offset_ == chunks_.front().size) {
      chunks_.pop_front();
      offset_ = 0;
    }
  }
}

size_t ReceiveBuffer::read_line(std::string* text, char delimiter) {
  fill();
  size_t length = 0;
  if (chunks_.empty() || !find_delimiter(delimiter, &length)) {
    short_ = true;
    return 0;
  }
  take_pending(text, length);
  consume(1);
  short_ = false;
  return length;
}

size_t ReceiveBuffer::read_exact(std::string* text, size_t count) {
  fill();
  if (pending_ < count) {
    short_ = true;
    return 0;
  }
  take_pending(text, count);
  short_ = false;
  return count;
}

size_t ReceiveBuffer::read_into(char* destination, size_t capacity, size_t count) {
  fill();
  if (pending_ < count) {
    short_ = true;
    return 0;
  }
  size_t copied = std::min(capacity, count);
  copy_pending(destination, copied);
  consume(count);
  short_ = false;
  return copied;
}

bool ReceiveBuffer::drop_line(char delimiter) {
  fill();
  size_t length = 0;
  bool found = !chunks_.empty() && find_delimiter(delimiter, &length);
  consume(found ? length + 1 : pending_);
  return found;
}
