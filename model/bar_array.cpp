#include "model/bar_array.h"

#include "model/tab_document.h"

BarArray::Chunk& BarArray::EditChunk(std::size_t c) {
  auto& chunk = chunks_[c];
  if (chunk.use_count() > 1) chunk = std::make_shared<Chunk>(*chunk);
  return *chunk;
}

TBar& BarArray::Edit(std::size_t i) {
  BarPtr& slot = EditChunk(i / kChunkSize)[i % kChunkSize];
  if (slot.use_count() > 1) slot = std::shared_ptr<TBar>(new TBar(*slot));
  // Only this array holds the bar now, and every bar is made non-const (push_back, insert, above).
  return const_cast<TBar&>(*slot);
}

void BarArray::push_back(std::shared_ptr<TBar> bar) {
  if (size_ % kChunkSize == 0) chunks_.push_back(std::make_shared<Chunk>());
  EditChunk(size_ / kChunkSize)[size_ % kChunkSize] = std::move(bar);
  ++size_;
}

void BarArray::insert(std::size_t at, std::shared_ptr<TBar> bar) {
  if (size_ % kChunkSize == 0) chunks_.push_back(std::make_shared<Chunk>());
  // Every bar from `at` on moves one place later; the chunks they pass through are un-shared, the
  // bars themselves stay shared.
  for (std::size_t i = size_; i > at; --i) {
    BarPtr moved = std::move(EditChunk((i - 1) / kChunkSize)[(i - 1) % kChunkSize]);
    EditChunk(i / kChunkSize)[i % kChunkSize] = std::move(moved);
  }
  EditChunk(at / kChunkSize)[at % kChunkSize] = std::move(bar);
  ++size_;
}

void BarArray::erase(std::size_t at) {
  for (std::size_t i = at; i + 1 < size_; ++i) {
    BarPtr moved = std::move(EditChunk((i + 1) / kChunkSize)[(i + 1) % kChunkSize]);
    EditChunk(i / kChunkSize)[i % kChunkSize] = std::move(moved);
  }
  --size_;
  EditChunk(size_ / kChunkSize)[size_ % kChunkSize].reset();
  if (size_ % kChunkSize == 0) chunks_.pop_back();
}

void BarArray::clear() {
  chunks_.clear();
  size_ = 0;
}

bool BarArray::SharesBar(const BarArray& other, std::size_t i) const {
  return i < size_ && i < other.size_ && (*this)[i] == other[i];
}

bool BarArray::HeldBy(const BarArray& other, std::size_t i) const {
  const BarPtr& bar = (*this)[i];
  return (i < other.size_ && other[i] == bar) || (i > 0 && i - 1 < other.size_ && other[i - 1] == bar) ||
         (i + 1 < other.size_ && other[i + 1] == bar);
}

std::size_t BarArray::UnsharedBytes(const BarArray* other) const {
  // The chunk list itself is copied with every array.
  std::size_t bytes = chunks_.capacity() * sizeof(chunks_[0]);
  const auto barBytes = [](const TBar& bar) { return sizeof(TBar) + 16 + bar.Comment.capacity(); };
  for (std::size_t c = 0; c < chunks_.size(); ++c) {
    if (other && SharesChunk(*other, c)) continue;
    bytes += sizeof(Chunk) + 16;
    const std::size_t end = std::min(size_, (c + 1) * kChunkSize);
    for (std::size_t i = c * kChunkSize; i < end; ++i) {
      if (!other || !HeldBy(*other, i)) bytes += barBytes(*(*this)[i]);
    }
  }
  return bytes;
}
