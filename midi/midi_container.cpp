#include "midi/midi_container.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>

TMIDI_Container::~TMIDI_Container() { Clear_Events(); }

void TMIDI_Container::Add_Event(std::unique_ptr<TMIDI_Event> event) {
  Insert(std::move(event), false);
}

void TMIDI_Container::Add_Event_First(std::unique_ptr<TMIDI_Event> event) {
  Insert(std::move(event), true);
}

int TMIDI_Container::Channels_Used() const {
  return static_cast<int>(std::count(channel_flags_.begin(), channel_flags_.end(), true));
}

bool TMIDI_Container::Channel_Used(int channel) const {
  return channel >= 1 && channel <= 16 && channel_flags_[static_cast<std::size_t>(channel - 1)];
}

void* TMIDI_Container::BlockStore::Allocate(std::size_t size) {
  if (blocks_.empty() || blocks_.back().used + size > blocks_.back().capacity) {
    // Room first, so that recording the block cannot fail once it is mapped.
    if (blocks_.size() == blocks_.capacity()) blocks_.reserve(2 * blocks_.size() + 8);
    // Small lists stay small: blocks grow from 64 KiB to the huge-page size.
    std::size_t capacity = std::min(kBlockBytes, kFirstBlockBytes << blocks_.size());
    capacity = std::max(capacity, size);
    std::byte* bytes = capacity == kBlockBytes ? MapHugeBlock() : MapBlock(capacity);
    blocks_.push_back(Block{bytes, 0, capacity});
  }
  Block& block = blocks_.back();
  void* result = block.bytes + block.used;
  block.used += size;
  return result;
}

std::byte* TMIDI_Container::BlockStore::MapBlock(std::size_t bytes) {
  void* mapped = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  return static_cast<std::byte*>(mapped);
}

std::byte* TMIDI_Container::BlockStore::MapHugeBlock() {
  // Aligned to its own size, so that the system may back the block with one huge page and spare
  // the hundreds of page faults per block a long song's export would otherwise take.
  std::byte* mapped = MapBlock(2 * kBlockBytes);
  auto address = reinterpret_cast<std::uintptr_t>(mapped);
  std::uintptr_t aligned = (address + kBlockBytes - 1) & ~(std::uintptr_t{kBlockBytes} - 1);
  std::size_t head = aligned - address;
  if (head > 0) ::munmap(mapped, head);
  if (head < kBlockBytes) ::munmap(mapped + head + kBlockBytes, kBlockBytes - head);
#ifdef MADV_HUGEPAGE
  ::madvise(mapped + head, kBlockBytes, MADV_HUGEPAGE);
#endif
  return mapped + head;
}

void TMIDI_Container::BlockStore::Release() {
  for (const Block& block : blocks_) ::munmap(block.bytes, block.capacity);
  blocks_.clear();
}

TMIDI_Container::BlockStore& TMIDI_Container::StoreFor(std::size_t size) {
  for (EventStore& s : event_stores_)
    if (s.size == size) return s.store;
  event_stores_.push_back(EventStore{size, BlockStore()});
  return event_stores_.back().store;
}

TMIDI_Container::Leaf* TMIDI_Container::NewLeaf() {
  static_assert(std::is_trivially_destructible_v<Leaf>);
  return new (nodes_.Allocate(RoundUp(sizeof(Leaf)))) Leaf;
}

TMIDI_Container::Inner* TMIDI_Container::NewInner() {
  static_assert(std::is_trivially_destructible_v<Inner>);
  return new (nodes_.Allocate(RoundUp(sizeof(Inner)))) Inner;
}

void TMIDI_Container::Clear_Events() {
  for (EventStore& s : event_stores_) {
    s.store.For_Each_Block([&](std::byte* bytes, std::size_t used) {
      for (std::size_t at = 0; at + s.size <= used; at += s.size)
        std::launder(reinterpret_cast<TMIDI_Event*>(bytes + at))->~TMIDI_Event();
    });
  }
  event_stores_.clear();
  nodes_.Release();
  for (TMIDI_Event* event : adopted_) delete event;
  adopted_.clear();
  root_ = nullptr;
  first_leaf_ = nullptr;
  count_ = 0;
  last_time_ = 0;
  last_index_ = 0;
  channel_flags_.fill(false);
  cached_leaf_ = nullptr;
  cached_start_ = 0;
}

const TMIDI_Event* TMIDI_Container::Event_At(int32_t index) const {
  if (index < 0 || index >= count_) return nullptr;
  if (cached_leaf_ != nullptr) {
    if (index >= cached_start_ && index < cached_start_ + cached_leaf_->size)
      return cached_leaf_->events[static_cast<std::size_t>(index - cached_start_)];
    const Leaf* next = cached_leaf_->next;
    int32_t nextStart = cached_start_ + cached_leaf_->size;
    if (next != nullptr && index >= nextStart && index < nextStart + next->size) {
      cached_leaf_ = next;
      cached_start_ = nextStart;
      return next->events[static_cast<std::size_t>(index - nextStart)];
    }
  }
  const Node* node = root_;
  int64_t start = 0;
  int64_t rest = index;
  while (!node->leaf) {
    const auto* inner = static_cast<const Inner*>(node);
    int c = 0;
    while (rest >= inner->counts[static_cast<std::size_t>(c)]) {
      rest -= inner->counts[static_cast<std::size_t>(c)];
      start += inner->counts[static_cast<std::size_t>(c)];
      ++c;
    }
    node = inner->children[static_cast<std::size_t>(c)];
  }
  cached_leaf_ = static_cast<const Leaf*>(node);
  cached_start_ = static_cast<int32_t>(start);
  return cached_leaf_->events[static_cast<std::size_t>(rest)];
}

void TMIDI_Container::Insert(std::unique_ptr<TMIDI_Event> event, bool beforeEqual) {
  if (!event) return;
  adopted_.push_back(event.get());  // if this throws, the unique_ptr still frees the event
  Insert(event.release(), beforeEqual);
}

void TMIDI_Container::Insert(TMIDI_Event* event, bool beforeEqual) {
  int channel = event->Channel();
  if (channel >= 1 && channel <= 16) channel_flags_[static_cast<std::size_t>(channel - 1)] = true;
  if (root_ == nullptr) {
    auto* leaf = NewLeaf();
    root_ = leaf;
    first_leaf_ = leaf;
  }
  int32_t time = event->Event_Time();
  int64_t index = 0;
  Node* sibling = InsertInto(root_, count_, event, beforeEqual, index);
  if (sibling != nullptr) {
    auto* root = NewInner();
    root->size = 2;
    root->children[0] = root_;
    root->children[1] = sibling;
    root->counts[0] = CountOf(root_);
    root->counts[1] = CountOf(sibling);
    root->minTimes[0] = MinTimeOf(root_);
    root->minTimes[1] = MinTimeOf(sibling);
    root_ = root;
  }
  ++count_;
  last_time_ = time;
  last_index_ = static_cast<int32_t>(index);
  cached_leaf_ = nullptr;
}

int64_t TMIDI_Container::CountOf(const Node* node) {
  if (node->leaf) return node->size;
  const auto* inner = static_cast<const Inner*>(node);
  int64_t sum = 0;
  for (int i = 0; i < inner->size; ++i) sum += inner->counts[static_cast<std::size_t>(i)];
  return sum;
}

int32_t TMIDI_Container::MinTimeOf(const Node* node) {
  return node->leaf ? static_cast<const Leaf*>(node)->times[0]
                    : static_cast<const Inner*>(node)->minTimes[0];
}

TMIDI_Container::Node* TMIDI_Container::InsertInto(Node* node, int64_t total, TMIDI_Event* event,
                                                   bool beforeEqual, int64_t& index) {
  if (node->leaf) return InsertIntoLeaf(static_cast<Leaf*>(node), event, beforeEqual, index);
  return InsertIntoInner(static_cast<Inner*>(node), total, event, beforeEqual, index);
}

namespace {

// Opens a gap at `pos` in the first `size` entries of `a`.
template <class Array>
void OpenGap(Array& a, int size, int pos) {
  std::move_backward(a.begin() + pos, a.begin() + size, a.begin() + size + 1);
}

// Where `time` goes among the first `size` sorted entries of `times`: before the equal ones or
// after them. The ends are tried first since most insertions land there.
template <class Array>
int Position(const Array& times, int size, int32_t time, bool beforeEqual) {
  if (size == 0) return 0;
  auto last = times[static_cast<std::size_t>(size - 1)];
  if (beforeEqual ? last < time : last <= time) return size;
  if (beforeEqual ? time <= times[0] : time < times[0]) return 0;
  auto begin = times.begin();
  auto end = begin + size;
  return static_cast<int>(
      (beforeEqual ? std::lower_bound(begin, end, time) : std::upper_bound(begin, end, time)) -
      begin);
}

template <class Array>
void MoveTail(Array& from, int begin, int end, Array& to) {
  std::move(from.begin() + begin, from.begin() + end, to.begin());
}

}  // namespace

TMIDI_Container::Leaf* TMIDI_Container::InsertIntoLeaf(Leaf* leaf, TMIDI_Event* event,
                                                       bool beforeEqual, int64_t& index) {
  int32_t time = event->Event_Time();
  int pos = Position(leaf->times, leaf->size, time, beforeEqual);
  index += pos;

  Leaf* target = leaf;
  Leaf* right = nullptr;
  if (leaf->size == kLeafCapacity) {
    // Streams grow at the ends of the list: the export adds notes at or near the back while its
    // time-0 events go to the very front. Splitting there at the insertion point keeps the
    // leaves behind such a stream full; elsewhere a leaf splits in half.
    int keep = kLeafCapacity / 2;
    bool intoRight = pos > keep;
    if (pos == 0 || (leaf->next == nullptr && pos > kLeafCapacity / 2)) {
      keep = pos;
      intoRight = pos != 0;
    }
    right = NewLeaf();
    right->next = leaf->next;
    leaf->next = right;
    MoveTail(leaf->times, keep, kLeafCapacity, right->times);
    MoveTail(leaf->events, keep, kLeafCapacity, right->events);
    right->size = kLeafCapacity - keep;
    leaf->size = keep;
    if (intoRight) {
      target = right;
      pos -= keep;
    }
  }
  OpenGap(target->times, target->size, pos);
  OpenGap(target->events, target->size, pos);
  target->times[static_cast<std::size_t>(pos)] = time;
  target->events[static_cast<std::size_t>(pos)] = event;
  ++target->size;
  return right;
}

TMIDI_Container::Inner* TMIDI_Container::InsertIntoInner(Inner* inner, int64_t total,
                                                         TMIDI_Event* event, bool beforeEqual,
                                                         int64_t& index) {
  int32_t time = event->Event_Time();
  // The last child that starts before (or, after equal times, at) the new time; the new event
  // belongs in it or right at its end.
  int c = std::max(Position(inner->minTimes, inner->size, time, beforeEqual) - 1, 0);
  // Events before child c: summed from whichever end is nearer, as the export inserts at the
  // front and near the back.
  if (c <= inner->size / 2) {
    for (int i = 0; i < c; ++i) index += inner->counts[static_cast<std::size_t>(i)];
  } else {
    int64_t after = 0;
    for (int i = c; i < inner->size; ++i) after += inner->counts[static_cast<std::size_t>(i)];
    index += total - after;
  }

  auto uc = static_cast<std::size_t>(c);
  Node* child = inner->children[uc];
  Node* split = InsertInto(child, inner->counts[uc], event, beforeEqual, index);
  ++inner->counts[uc];
  inner->minTimes[uc] = MinTimeOf(child);
  if (split == nullptr) return nullptr;

  int64_t splitCount = CountOf(split);
  inner->counts[uc] -= splitCount;

  Inner* target = inner;
  Inner* right = nullptr;
  int pos = c + 1;
  if (inner->size == kFanOut) {
    right = NewInner();
    int keep = kFanOut / 2;
    MoveTail(inner->counts, keep, kFanOut, right->counts);
    MoveTail(inner->minTimes, keep, kFanOut, right->minTimes);
    MoveTail(inner->children, keep, kFanOut, right->children);
    right->size = kFanOut - keep;
    inner->size = keep;
    if (pos > keep) {
      target = right;
      pos -= keep;
    }
  }
  OpenGap(target->counts, target->size, pos);
  OpenGap(target->minTimes, target->size, pos);
  OpenGap(target->children, target->size, pos);
  auto up = static_cast<std::size_t>(pos);
  target->counts[up] = splitCount;
  target->minTimes[up] = MinTimeOf(split);
  target->children[up] = split;
  ++target->size;
  return right;
}
