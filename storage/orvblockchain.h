// The structural check of the files whose values are chains of blocks (a
// first block, then continuation blocks linked by NextNumber): large
// objects and published updates. Both lay their blocks out alike, so one
// walk serves them; only the total-size check differs.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>

#include "base/orverror.h"
#include "base/orvtype.h"
#include "core/orvbitmap.h"
#include "core/orvliteral.h"
#include "core/orvsessionmgr.h"
#include "storage/orvtablefileowner.h"

namespace orv {

// Every block not reached by an earlier chain, in increasing number order,
// is taken as the start of a chain, and the chain is followed, each block
// visited once. Found reports a finding (the caller logs it); with
// RepairErrors the block is set right as each message says. The answer is
// False when the user stopped the scan through the progress check.
//
// TManager gives GetBlock(Number, ReadAhead, ReadAheadBlocks) (never nil),
// PutBlock, GetBufferName, GetBufferSize, GetStoredLastNumber and
// GetMaxReadAheadBufferCount; its blocks give the number, NextNumber,
// BlockType, Size, TotalSize and GetHeaderSize with their setters.
template <typename TManager, typename TBlock>
bool VerifyBlockChains(TManager& Manager, TORVSessionManager& Session, bool CheckTotalSize, bool RepairErrors,
                       const std::function<void(const TORVString&)>& Found) {
  // Puts a held block back however the scope is left.
  struct THold {
    TManager& Manager;
    TBlock* Block = nullptr;
    ~THold() {
      if (Block != nullptr) Manager.PutBlock(Block);
    }
  };
  const TORVString Name = Manager.GetBufferName();
  // Blocks past the file's end, which a damaged header may claim, are not
  // walked: the header check has reported them.
  const int32_t LastNumber = Manager.GetStoredLastNumber();
  TORVSparseBitmap Visited;
  Visited.SetBitCount(LastNumber + 1);
  bool Continue = true;
  for (int32_t First = 1; Continue && First <= LastNumber; ++First) {
    if (Visited.BitSet(First)) continue;
    // The first block is held to the end of its chain for the total-size
    // check.
    THold FirstHold{Manager};
    int64_t SizeSum = 0;
    int32_t Number = First;
    while (Number != 0) {
      THold Hold{Manager, Manager.GetBlock(Number, true, Manager.GetMaxReadAheadBufferCount())};
      TBlock* Block = Hold.Block;
      Visited.SetBit(Number);
      const bool IsFirst = Number == First;
      const uint8_t Expected = IsFirst ? TBlock::FirstBlock : TBlock::ContinuationBlock;
      int32_t Next = Block->GetNextNumber();
      if (Next < 0 || Next > LastNumber) {
        Found(FormatString(u"Invalid next %s pointer (%s)", {Name, IntToString(Next)}));
        if (RepairErrors) Block->SetNextNumber(0);
        Next = 0;
      }
      if (Block->GetBlockType() != Expected) {
        Found(FormatString(u"Invalid %s %s type (%s) for start %s %s",
                           {Name, IntToString(Number), IntToString(Block->GetBlockType()), Name, IntToString(First)}));
        if (RepairErrors) Block->SetBlockType(Expected);
      }
      // The room the block has in its place in the chain, whatever type it
      // claims, so that a report and a repair find the same.
      const int32_t Capacity = std::max(
          Manager.GetBufferSize() - (IsFirst ? TBlock::FirstHeaderBytes : TBlock::ContinuationHeaderBytes), 0);
      const int32_t Size = Block->GetSize();
      if (Size < 0 || Size > Capacity) {
        Found(FormatString(u"Invalid %s %s size (%s) for start %s %s",
                           {Name, IntToString(Number), IntToString(Size), Name, IntToString(First)}));
        if (RepairErrors) Block->SetSize(Size < 0 ? 0 : Capacity);
      }
      SizeSum += std::clamp(Size, 0, Capacity);
      if (Next != 0 && Visited.BitSet(Next)) {
        Found(FormatString(u"Recursive next %s pointer (%s)", {Name, IntToString(Next)}));
        if (RepairErrors) Block->SetNextNumber(0);
        Next = 0;
      }
      if (IsFirst) std::swap(FirstHold.Block, Hold.Block);
      Number = Next;
    }
    TBlock* FirstBlock = FirstHold.Block;
    // A negative total is no more readable than one the chain cannot fill.
    if (CheckTotalSize && FirstBlock->GetBlockType() == TBlock::FirstBlock &&
        (FirstBlock->GetTotalSize() < 0 || SizeSum < FirstBlock->GetTotalSize())) {
      Found(FormatString(u"Invalid total size (%s) for start %s %s",
                         {IntToString(FirstBlock->GetTotalSize()), Name, IntToString(First)}));
      if (RepairErrors) FirstBlock->SetTotalSize(static_cast<int32_t>(SizeSum));
    }
    Continue = Session.CheckProgressInterval(
        static_cast<int32_t>(static_cast<int64_t>(First) * 100 / std::max(LastNumber, 1)));
  }
  return Continue;
}

}  // namespace orv
