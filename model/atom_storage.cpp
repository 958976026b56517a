#include "model/atom_storage.h"

#include <sys/mman.h>

#include <cstdint>
#include <mutex>
#include <new>

// gcc says __SANITIZE_ADDRESS__; clang (the fuzzing build) only answers __has_feature.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZELVOR_HAS_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef ZELVOR_HAS_ADDRESS_SANITIZER
#define ZELVOR_HAS_ADDRESS_SANITIZER 0
#endif

namespace zelvor {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
/// Blocks are carved into arrays from front to back; a block goes back to the system when its last array does.
constexpr std::size_t kBlockSize = 16 * kHugePage;
/// Arrays below this size gain nothing from huge pages: they come from the ordinary heap.
constexpr std::size_t kSmallArray = 64 * 1024;
/// Every array is preceded by a header that says where it came from.
constexpr std::size_t kHeaderSize = 16;

struct Block {
    char* base = nullptr;  ///< kHugePage aligned
    std::size_t size = 0;
    std::size_t used = 0;
    std::size_t live = 0;  ///< arrays handed out and not yet given back
};

struct Header {
    Block* block;  ///< null: from the ordinary heap
    std::size_t padding;
};
static_assert(sizeof(Header) == kHeaderSize);

std::mutex storageLock;
Block* current = nullptr;  // the block new arrays are carved from; guarded by storageLock

/// A new mapping of at least `bytes`, aligned to a huge page and advised to use huge pages.
Block* MapBlock(std::size_t bytes) {
    const std::size_t size = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* raw = mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    // Trim the mapping to an aligned start so that whole huge pages fit.
    char* start = static_cast<char*>(raw);
    char* aligned = reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(start) + kHugePage - 1) & ~(kHugePage - 1));
    if (aligned > start) munmap(start, static_cast<std::size_t>(aligned - start));
    const std::size_t tail = static_cast<std::size_t>(start + size + kHugePage - (aligned + size));
    if (tail > 0) munmap(aligned + size, tail);
    madvise(aligned, size, MADV_HUGEPAGE);  // a hint: without huge pages the block still works
    return new Block{aligned, size, 0, 0};
}

void UnmapBlock(Block* block) {
    munmap(block->base, block->size);
    delete block;
}

}  // namespace

void* AllocateAtomStorage(std::size_t bytes) {
    const std::size_t need = (bytes + kHeaderSize + 15) / 16 * 16;
#if defined(__SANITIZE_ADDRESS__) || ZELVOR_HAS_ADDRESS_SANITIZER
    // The address sanitizer watches only the heap: every array comes from there in its builds.
    constexpr bool kHeapOnly = true;
#else
    constexpr bool kHeapOnly = false;
#endif
    if (kHeapOnly || bytes < kSmallArray) {
        auto* header = static_cast<Header*>(::operator new(need));
        header->block = nullptr;
        return reinterpret_cast<char*>(header) + kHeaderSize;
    }
    std::lock_guard lock(storageLock);
    Block* block = nullptr;
    if (need > kBlockSize / 4) {
        block = MapBlock(need);  // a block of its own
    } else {
        if (!current || current->size - current->used < need) {
            if (current && current->live == 0) UnmapBlock(current);
            current = MapBlock(kBlockSize);
        }
        block = current;
    }
    auto* header = reinterpret_cast<Header*>(block->base + block->used);
    block->used += need;
    ++block->live;
    header->block = block;
    return reinterpret_cast<char*>(header) + kHeaderSize;
}

void ReleaseAtomStorage(void* memory) noexcept {
    if (!memory) return;
    auto* header = reinterpret_cast<Header*>(static_cast<char*>(memory) - kHeaderSize);
    Block* block = header->block;
    if (!block) {
        ::operator delete(header);
        return;
    }
    std::lock_guard lock(storageLock);
    if (--block->live > 0) return;
    if (block == current) {
        block->used = 0;  // empty again: its pages are reused by the next arrays
        return;
    }
    UnmapBlock(block);
}

}  // namespace zelvor
