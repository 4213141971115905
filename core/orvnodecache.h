// A cache of freed memory blocks of one size, for objects that a thread
// makes and frees by the thousand, such as the nodes of a statement's tree.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

// Keeps up to a fixed number of freed blocks and hands them out again, so
// that a thread that compiles statement after statement reuses the same
// memory instead of returning it to the heap, which gives a large freed
// tree back to the system and takes its pages again, page fault by page
// fault, on the next compile.
//
// Invariants: every block on the list came from ::operator new(BlockSize)
// and is not in use; the list holds GetCount() blocks, at most MaxBlocks;
// a block is linked through its first word. One thread uses an instance;
// it has no lock.
class TORVNodeCache {
 public:
  // BlockSize is at least the size of a pointer.
  TORVNodeCache(std::size_t BlockSize, int32_t MaxBlocks);
  // Frees the cached blocks; blocks handed out are the caller's.
  ~TORVNodeCache();
  TORVNodeCache(const TORVNodeCache&) = delete;
  TORVNodeCache& operator=(const TORVNodeCache&) = delete;

  // The block put back last, or a new one from the heap when none is kept.
  void* Get();
  // Keeps Block for the next Get while fewer than MaxBlocks are kept, and
  // frees it otherwise. Block came from Get of a cache of the same size, or
  // from ::operator new(BlockSize).
  void Put(void* Block) noexcept;

  std::size_t GetBlockSize() const { return FBlockSize; }
  int32_t GetCount() const { return FCount; }

 private:
  std::size_t FBlockSize;
  int32_t FMaxBlocks;
  int32_t FCount = 0;
  void* FHead = nullptr;
};

}  // namespace orv
