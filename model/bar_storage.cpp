#include "model/bar_storage.h"

#include <sys/mman.h>

#include <mutex>
#include <new>
#include <vector>

#include "model/tab_document.h"

// The sanitizers must see every bar as an allocation of its own to catch misuse.
#if defined(__SANITIZE_ADDRESS__)
#define GROOVELOOM_PLAIN_BARS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GROOVELOOM_PLAIN_BARS 1
#endif
#endif

#ifdef GROOVELOOM_PLAIN_BARS

void* AllocateBarStorage(std::size_t size) { return ::operator new(size); }
void ReleaseBarStorage(void* storage, std::size_t) noexcept { ::operator delete(storage); }

#else

namespace {

constexpr std::size_t kBlockBytes = std::size_t{8} << 20;  // four 2 MiB huge pages
constexpr std::size_t kSlotBytes = (sizeof(TBar) + alignof(std::max_align_t) - 1) /
                                   alignof(std::max_align_t) * alignof(std::max_align_t);

struct FreeSlot {
  FreeSlot* Next;
};

class BarPool {
 public:
  void* Take() {
    std::lock_guard lock(mutex_);
    if (!free_ && !Grow()) throw std::bad_alloc();
    FreeSlot* slot = free_;
    free_ = slot->Next;
    return slot;
  }
  void Give(void* storage) noexcept {
    std::lock_guard lock(mutex_);
    auto* slot = static_cast<FreeSlot*>(storage);
    slot->Next = free_;
    free_ = slot;
  }

 private:
  bool Grow() {
    void* block = ::mmap(nullptr, kBlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                         -1, 0);
    if (block == MAP_FAILED) return false;
    ::madvise(block, kBlockBytes, MADV_HUGEPAGE);  // a hint; fine if the kernel declines
    // Thread the slots so the lowest address is handed out first.
    auto* bytes = static_cast<char*>(block);
    const std::size_t count = kBlockBytes / kSlotBytes;
    for (std::size_t i = count; i-- > 0;) {
      auto* slot = reinterpret_cast<FreeSlot*>(bytes + i * kSlotBytes);
      slot->Next = free_;
      free_ = slot;
    }
    return true;
  }

  std::mutex mutex_;
  FreeSlot* free_ = nullptr;
};

BarPool& Pool() {
  static BarPool* pool = new BarPool;  // never destroyed: bars may outlive static destructors
  return *pool;
}

}  // namespace

void* AllocateBarStorage(std::size_t size) {
  if (size != sizeof(TBar)) return ::operator new(size);
  return Pool().Take();
}

void ReleaseBarStorage(void* storage, std::size_t size) noexcept {
  if (size != sizeof(TBar)) return ::operator delete(storage);
  Pool().Give(storage);
}

#endif
