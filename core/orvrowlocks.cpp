#include "core/orvrowlocks.h"

#include <cstdint>

namespace orv {

namespace {

constexpr int32_t kAllRows = INT32_MAX;

}  // namespace

TORVRowLocks::TORVRowLocks() : FLocks(true, false), FOwned(true, false) {
  FLocks.SetBitCount(kAllRows);
  FOwned.SetBitCount(kAllRows);
}

TORVRowLocks::~TORVRowLocks() { RemoveAll(); }

void TORVRowLocks::Add(TORVBaseObject* LockOwner, int32_t RowNumber, bool KeepTrans) {
  if (RowNumber <= 0 || FLocks.BitSet(RowNumber)) return;
  auto RowLock = std::make_unique<TORVRowLock>(LockOwner, KeepTrans);
  FLocks.SetBit(RowNumber, RowLock.get(), false);
  FOwned.SetBit(RowNumber);
  RowLock.release();
}

void TORVRowLocks::AddRowLock(int32_t RowNumber, TORVRowLock* RowLockToAdd) {
  if (RowNumber <= 0) return;
  Remove(RowNumber);
  FLocks.SetBit(RowNumber, RowLockToAdd, false);
}

bool TORVRowLocks::Find(int32_t RowNumber) const { return FLocks.BitSet(RowNumber); }

bool TORVRowLocks::Find(int32_t RowNumber, TORVRowLock*& RowLock) const {
  TORVBaseObject* Stored = nullptr;
  const bool Found = FLocks.BitSet(RowNumber, Stored);
  RowLock = static_cast<TORVRowLock*>(Stored);
  return Found;
}

bool TORVRowLocks::FindNext(int32_t& RowNumber) const { return FLocks.NextBitSet(RowNumber); }

bool TORVRowLocks::FindNext(int32_t& RowNumber, TORVRowLock*& RowLock) const {
  TORVBaseObject* Stored = nullptr;
  const bool Found = FLocks.NextBitSet(RowNumber, Stored);
  RowLock = Found ? static_cast<TORVRowLock*>(Stored) : nullptr;
  return Found;
}

void TORVRowLocks::Delete(int32_t RowNumber) {
  // The caller takes over a lock the list owned.
  FLocks.ClearBit(RowNumber, false);
  FOwned.ClearBit(RowNumber, false);
}

void TORVRowLocks::Remove(int32_t RowNumber) {
  TORVBaseObject* Stored = nullptr;
  if (!FLocks.BitSet(RowNumber, Stored)) return;
  const bool Owned = FOwned.BitSet(RowNumber);
  FLocks.ClearBit(RowNumber, false);
  FOwned.ClearBit(RowNumber, false);
  if (Owned) delete Stored;
}

void TORVRowLocks::RemoveAll() {
  int32_t RowNumber = 0;
  while (FOwned.NextBitSet(RowNumber)) {
    TORVBaseObject* Stored = nullptr;
    if (FLocks.BitSet(RowNumber, Stored)) delete Stored;
  }
  FLocks.ClearBits();
  FOwned.ClearBits();
}

int32_t TORVRowLocks::GetCount() const { return FLocks.TotalBitsSet(); }

}  // namespace orv
