// The bars of a song, shared between the document and its undo snapshots. Bars sit in chunks of 64
// shared pointers; copying the array copies the chunk pointers only (about a thousand for the
// largest song), and a write un-shares just the chunk and the bar it touches. So a snapshot costs
// the bars an edit changes, not the song.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TBar;

class BarArray {
 public:
  static constexpr std::size_t kChunkSize = 64;
  using BarPtr = std::shared_ptr<const TBar>;

  BarArray() = default;

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  void reserve(std::size_t) {}  // chunks grow as needed; kept so that builders read as before

  const BarPtr& operator[](std::size_t i) const { return (*chunks_[i / kChunkSize])[i % kChunkSize]; }

  // The bar to change: its chunk and the bar itself are copied first when anything else holds
  // them, so no other copy of the array sees the change.
  TBar& Edit(std::size_t i);

  void push_back(std::shared_ptr<TBar> bar);
  void insert(std::size_t at, std::shared_ptr<TBar> bar);
  void erase(std::size_t at);
  void clear();

  // The same bar object in both arrays at index i: nothing of bar i was written since one was
  // copied from the other.
  bool SharesBar(const BarArray& other, std::size_t i) const;
  // Bar i of this array is in `other` at i or one place beside it (a bar inserted or removed before
  // it moved it by one).
  bool HeldBy(const BarArray& other, std::size_t i) const;
  // Chunk c (bars c*64 .. c*64+63) is the same in both arrays.
  bool SharesChunk(const BarArray& other, std::size_t c) const {
    return c < chunks_.size() && c < other.chunks_.size() && chunks_[c] == other.chunks_[c];
  }
  std::size_t ChunkCount() const { return chunks_.size(); }

  // Bytes of bars and chunks this array holds that `other` does not share (all of them when
  // `other` is null): what keeping this array beside the other costs.
  std::size_t UnsharedBytes(const BarArray* other) const;

  class const_iterator {
   public:
    using value_type = BarPtr;
    using difference_type = std::ptrdiff_t;
    const_iterator(const BarArray* array, std::size_t i) : array_(array), i_(i) {}
    const BarPtr& operator*() const { return (*array_)[i_]; }
    const BarPtr* operator->() const { return &(*array_)[i_]; }
    const_iterator& operator++() {
      ++i_;
      return *this;
    }
    bool operator==(const const_iterator& o) const { return i_ == o.i_; }

   private:
    const BarArray* array_;
    std::size_t i_;
  };
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size_}; }

 private:
  using Chunk = std::array<BarPtr, kChunkSize>;
  Chunk& EditChunk(std::size_t c);

  std::vector<std::shared_ptr<Chunk>> chunks_;
  std::size_t size_ = 0;
};
