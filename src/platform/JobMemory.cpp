#include "platform/JobMemory.hpp"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>
#include <vector>

// Present when the process runs a leak checker. Slabs are not heap blocks,
// so the checker would not look inside them: a job waiting in a queue (one
// halted at exit keeps its jobs unrun) would have its captures reported as
// leaked. Each slab is handed to it as a region to scan.
extern "C" {
void __lsan_register_root_region(const void* begin, std::size_t size) __attribute__((weak));
void __lsan_unregister_root_region(const void* begin, std::size_t size) __attribute__((weak));
}

namespace mvk {

namespace {

// A host thread queueing faster than the queue runs would touch a fresh page
// every few dozen calls with the general allocator, and a page fault costs a
// few microseconds: that is the slow percent of calls. Jobs are instead cut
// from slabs mapped with their pages already present, one thread per slab,
// and a slab goes back once its thread moved on and its jobs were released.
//
// A thread that fills a slab while jobs cut from it still wait is queueing
// ahead of the queue: its next slab is twice as large, so that mapping one
// stays rare among its calls. Once it finds a slab all released, it is back
// to the smallest.
constexpr std::size_t slabSize = 32 * 1024;
constexpr std::size_t largestSlabSize = 256 * 1024;
constexpr std::size_t alignment = alignof(std::max_align_t);
/// Each job starts with its slab (none for a job from the heap).
constexpr std::size_t prefix = alignment;
/// Larger jobs are rare; they come from the heap.
constexpr std::size_t largest = 1024;
/// Mapped slabs kept for reuse instead of being unmapped.
constexpr std::size_t keptSlabs = 2;

constexpr std::size_t roundUp(std::size_t size) {
    return (size + alignment - 1) / alignment * alignment;
}

struct Slab {
    explicit Slab(std::size_t size) : size(size) {}

    const std::size_t size;
    /// Jobs released, counted down from zero; the thread that cut them adds
    /// their number when it moves on. Whoever brings it to zero after that
    /// returns the slab.
    std::atomic<std::int64_t> balance{0};
};

constexpr std::size_t firstJob = roundUp(sizeof(Slab));

struct SpareSlabs {
    std::mutex mutex;
    std::vector<void*> slabs;
};

// Leaked on purpose: queue threads may release jobs while the process exits.
SpareSlabs& spareSlabs() {
    static auto* value = new SpareSlabs();
    return *value;
}

void* mapSlab(std::size_t size) {
    auto& spare = spareSlabs();
    if (size == slabSize) {
        std::lock_guard lock(spare.mutex);
        if (!spare.slabs.empty()) {
            void* slab = spare.slabs.back();
            spare.slabs.pop_back();
            return slab;
        }
    }
    void* slab = ::mmap(nullptr, size, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (slab == MAP_FAILED) {
        return nullptr;
    }
    if (__lsan_register_root_region != nullptr) {
        __lsan_register_root_region(slab, size);
    }
    return slab;
}

void returnSlab(Slab* slab) noexcept {
    const std::size_t size = slab->size;
    slab->~Slab();
    auto& spare = spareSlabs();
    if (size == slabSize) {
        std::lock_guard lock(spare.mutex);
        if (spare.slabs.size() < keptSlabs) {
            try {
                spare.slabs.push_back(slab);
                return;
            } catch (...) {
            }
        }
    }
    if (__lsan_unregister_root_region != nullptr) {
        __lsan_unregister_root_region(slab, size);
    }
    ::munmap(slab, size);
}

/// The slab this thread cuts jobs from.
struct Cutter {
    Slab* slab = nullptr;
    std::size_t used = 0;
    std::int64_t cut = 0;
    /// The size of the next slab to map.
    std::size_t nextSize = slabSize;

    ~Cutter() { moveOn(); }

    void moveOn() noexcept {
        if (slab == nullptr) {
            return;
        }
        if (slab->balance.fetch_add(cut, std::memory_order_acq_rel) + cut == 0) {
            returnSlab(slab);
            nextSize = slabSize;
        } else {
            nextSize = std::min(slab->size * 2, largestSlabSize);
        }
        slab = nullptr;
    }

    void* cutJob(std::size_t size) {
        if (slab == nullptr || slab->size - used < size) {
            moveOn();
            void* memory = mapSlab(nextSize);
            if (memory == nullptr) {
                return nullptr;
            }
            slab = new (memory) Slab(nextSize);
            used = firstJob;
            cut = 0;
        }
        auto* job = static_cast<char*>(static_cast<void*>(slab)) + used;
        used += size;
        ++cut;
        *static_cast<Slab**>(static_cast<void*>(job)) = slab;
        return job + prefix;
    }
};

thread_local Cutter cutter;

}  // namespace

void* JobMemory::allocate(std::size_t size) {
    const std::size_t needed = roundUp(size) + prefix;
    if (needed <= largest) {
        if (void* job = cutter.cutJob(needed)) {
            return job;
        }
    }
    auto* job = static_cast<char*>(::operator new(needed));
    *static_cast<Slab**>(static_cast<void*>(job)) = nullptr;
    return job + prefix;
}

void JobMemory::release(void* memory) noexcept {
    if (memory == nullptr) {
        return;
    }
    auto* job = static_cast<char*>(memory) - prefix;
    Slab* slab = *static_cast<Slab**>(static_cast<void*>(job));
    if (slab == nullptr) {
        ::operator delete(job);
    } else if (slab->balance.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        returnSlab(slab);
    }
}

}  // namespace mvk
