#include "core/orvnodecache.h"

#include <cstring>
#include <new>
#include <stdexcept>

namespace orv {

namespace {

void* NextOf(void* Block) {
  void* Next;
  std::memcpy(&Next, Block, sizeof(Next));
  return Next;
}

}  // namespace

TORVNodeCache::TORVNodeCache(std::size_t BlockSize, int32_t MaxBlocks)
    : FBlockSize(BlockSize), FMaxBlocks(MaxBlocks < 0 ? 0 : MaxBlocks) {
  // The size is the caller's class, never input.
  if (BlockSize < sizeof(void*)) throw std::logic_error("cached blocks must hold a link");
}

TORVNodeCache::~TORVNodeCache() {
  while (FHead != nullptr) {
    void* Next = NextOf(FHead);
    ::operator delete(FHead, FBlockSize);
    FHead = Next;
  }
}

void* TORVNodeCache::Get() {
  if (FHead == nullptr) return ::operator new(FBlockSize);
  void* Block = FHead;
  FHead = NextOf(Block);
  --FCount;
  return Block;
}

void TORVNodeCache::Put(void* Block) noexcept {
  if (Block == nullptr) return;
  if (FCount >= FMaxBlocks) {
    ::operator delete(Block, FBlockSize);
    return;
  }
  std::memcpy(Block, &FHead, sizeof(FHead));
  FHead = Block;
  ++FCount;
}

}  // namespace orv
