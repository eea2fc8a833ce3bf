// The time-ordered list of MIDI events that the export fills and the file writer reads.
//
// Order: by Event_Time; among equal times, Add_Event puts the newcomer after the others and
// Add_Event_First before them. The export puts the time-0 events of every row at the front while
// its notes go to the end, so a list searched from the previous insertion point turns quadratic on
// long songs. The events live instead in a B+ tree whose nodes count the events below them: every
// insertion and every Event_At costs O(log n), and a walk through the list in order is linear.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "midi/midi_events.h"

class TMIDI_Container {
 public:
  TMIDI_Container() = default;
  ~TMIDI_Container();
  TMIDI_Container(const TMIDI_Container&) = delete;
  TMIDI_Container& operator=(const TMIDI_Container&) = delete;

  int32_t Count() const { return count_; }
  // The event at list index `index`, or nullptr outside 0..Count-1. Reading neighbouring indexes
  // one after the other (as a list view scrolls) costs O(1) each.
  const TMIDI_Event* Event_At(int32_t index) const;

  // Both take ownership and ignore a null event.
  void Add_Event(std::unique_ptr<TMIDI_Event> event);
  void Add_Event_First(std::unique_ptr<TMIDI_Event> event);
  // The same for an event built in the container's own storage: no allocation per event, and
  // Clear_Events frees them block by block. A song's export makes millions of events.
  template <class T, class... Args>
  void Add_New_Event(Args&&... args) {
    Insert(Construct<T>(std::forward<Args>(args)...), false);
  }
  template <class T, class... Args>
  void Add_New_Event_First(Args&&... args) {
    Insert(Construct<T>(std::forward<Args>(args)...), true);
  }

  void Set_Time_Signature(uint8_t numerator, uint8_t denominator) {
    time_sig_numerator_ = numerator;
    time_sig_denominator_ = denominator;
  }
  // Later time signatures (tick > 0, ascending), written after the first one in the tempo track.
  struct Time_Signature_Change {
    int32_t Tick;
    uint8_t Numerator, Denominator;
  };
  void Add_Time_Signature_Change(int32_t tick, uint8_t numerator, uint8_t denominator) {
    time_sig_changes_.push_back({tick, numerator, denominator});
  }
  void Clear_Time_Signature_Changes() { time_sig_changes_.clear(); }
  const std::vector<Time_Signature_Change>& Time_Signature_Changes() const { return time_sig_changes_; }
  uint8_t Time_Sig_Numerator() const { return time_sig_numerator_; }
  uint8_t Time_Sig_Denominator() const { return time_sig_denominator_; }
  void Set_Beats_Per_Minute(uint16_t bpm) { beats_per_minute_ = bpm; }
  uint16_t Beats_Per_Minute() const { return beats_per_minute_; }
  // The resolution the event times are in (1..32767).
  void Set_Ticks_Per_Quarter(uint16_t ticks) { ticks_per_quarter_ = ticks; }
  uint16_t Ticks_Per_Quarter() const { return ticks_per_quarter_; }

  // Channels 1..16 that hold at least one event; events of other channel numbers stay in the
  // list but belong to no track.
  int Channels_Used() const;
  bool Channel_Used(int channel) const;

  // Time and list index of the latest insertion; 0 after Clear_Events.
  int32_t Last_Time() const { return last_time_; }
  int32_t Last_Index() const { return last_index_; }

  // Frees every event and clears the channel flags; the time signature, tempo and resolution stay.
  void Clear_Events();

  // Calls visit(const TMIDI_Event&) for every event in list order.
  template <class Visit>
  void For_Each(Visit&& visit) const {
    for (const Leaf* leaf = first_leaf_; leaf != nullptr; leaf = leaf->next)
      for (int i = 0; i < leaf->size; ++i) visit(*leaf->events[static_cast<std::size_t>(i)]);
  }

 private:
  // Memory handed out front to back in blocks and given back all at once: the tree never frees
  // a single node or event before Clear_Events.
  class BlockStore {
   public:
    static constexpr std::size_t kFirstBlockBytes = std::size_t{64} << 10;
    static constexpr std::size_t kBlockBytes = std::size_t{2} << 20;
    BlockStore() = default;
    ~BlockStore() { Release(); }
    BlockStore(BlockStore&& other) noexcept : blocks_(std::move(other.blocks_)) {}
    BlockStore& operator=(BlockStore&&) = delete;
    // `size` bytes aligned to 8; `size` a multiple of 8.
    void* Allocate(std::size_t size);
    // Gives back the `size` bytes allocated last.
    void Unallocate(std::size_t size) { blocks_.back().used -= size; }
    void Release();
    // visit(std::byte* begin, std::size_t used) for each block in allocation order.
    template <class Visit>
    void For_Each_Block(Visit&& visit) const {
      for (const Block& block : blocks_) visit(block.bytes, block.used);
    }

   private:
    struct Block {
      std::byte* bytes;
      std::size_t used;
      std::size_t capacity;
    };
    static std::byte* MapBlock(std::size_t bytes);
    static std::byte* MapHugeBlock();
    std::vector<Block> blocks_;
  };
  // Events built in place, one store per object size, so that Clear_Events can destroy them by
  // walking each store with its stride.
  struct EventStore {
    std::size_t size;
    BlockStore store;
  };

  static constexpr std::size_t RoundUp(std::size_t size) { return (size + 7) / 8 * 8; }
  BlockStore& StoreFor(std::size_t size);

  template <class T, class... Args>
  TMIDI_Event* Construct(Args&&... args) {
    static_assert(std::is_base_of_v<TMIDI_Event, T>);
    static_assert(alignof(T) <= 8);
    constexpr std::size_t size = RoundUp(sizeof(T));
    BlockStore& store = StoreFor(size);
    void* slot = store.Allocate(size);
    try {
      return new (slot) T(std::forward<Args>(args)...);
    } catch (...) {
      store.Unallocate(size);  // every slot of a store must hold a live event
      throw;
    }
  }

  static constexpr int kLeafCapacity = 64;
  static constexpr int kFanOut = 64;

  struct Node {
    bool leaf;
    int size = 0;  // events of a leaf, children of an inner node
    explicit Node(bool isLeaf) : leaf(isLeaf) {}
  };
  struct Leaf : Node {
    Leaf() : Node(true) {}
    Leaf* next = nullptr;
    std::array<int32_t, kLeafCapacity> times;
    std::array<TMIDI_Event*, kLeafCapacity> events;
  };
  struct Inner : Node {
    Inner() : Node(false) {}
    std::array<int64_t, kFanOut> counts;    // events below each child
    std::array<int32_t, kFanOut> minTimes;  // time of each child's first event
    std::array<Node*, kFanOut> children;
  };
  Leaf* NewLeaf();
  Inner* NewInner();

  void Insert(std::unique_ptr<TMIDI_Event> event, bool beforeEqual);
  void Insert(TMIDI_Event* event, bool beforeEqual);  // the event is owned already
  // Inserts into the subtree of `total` events, adding the events before the new one to
  // `index`. Returns the new right sibling when the node had to split, else nullptr.
  Node* InsertInto(Node* node, int64_t total, TMIDI_Event* event, bool beforeEqual,
                   int64_t& index);
  Leaf* InsertIntoLeaf(Leaf* leaf, TMIDI_Event* event, bool beforeEqual, int64_t& index);
  Inner* InsertIntoInner(Inner* inner, int64_t total, TMIDI_Event* event, bool beforeEqual,
                         int64_t& index);
  static int64_t CountOf(const Node* node);
  static int32_t MinTimeOf(const Node* node);

  std::vector<EventStore> event_stores_;
  std::vector<TMIDI_Event*> adopted_;  // events handed over by unique_ptr
  BlockStore nodes_;
  Node* root_ = nullptr;
  Leaf* first_leaf_ = nullptr;
  int32_t count_ = 0;
  uint8_t time_sig_numerator_ = 4;
  uint8_t time_sig_denominator_ = 4;
  std::vector<Time_Signature_Change> time_sig_changes_;
  uint16_t beats_per_minute_ = 120;
  uint16_t ticks_per_quarter_ = 8;
  int32_t last_time_ = 0;
  int32_t last_index_ = 0;
  std::array<bool, 16> channel_flags_{};
  // Where Event_At found the previous index, so sequential reads skip the descent.
  mutable const Leaf* cached_leaf_ = nullptr;
  mutable int32_t cached_start_ = 0;
};
