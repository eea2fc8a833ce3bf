// A fixed-size queue between one producing and one consuming thread that never waits and never
// allocates: what an audio callback can take from another thread without risking a late period.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <utility>

template <class T, std::size_t Capacity>
class SpscRing {
  static_assert((Capacity & (Capacity - 1)) == 0, "a power of two");

 public:
  // Producer. False when full (nothing is changed).
  bool Push(T value) {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    if (head - tail_.load(std::memory_order_acquire) == Capacity) return false;
    slots_[head & (Capacity - 1)] = std::move(value);
    head_.store(head + 1, std::memory_order_release);
    return true;
  }
  // Consumer. False when empty.
  bool Pop(T& value) {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail == head_.load(std::memory_order_acquire)) return false;
    value = std::move(slots_[tail & (Capacity - 1)]);
    tail_.store(tail + 1, std::memory_order_release);
    return true;
  }

 private:
  std::array<T, Capacity> slots_{};
  alignas(64) std::atomic<std::size_t> head_{0};
  alignas(64) std::atomic<std::size_t> tail_{0};
};
