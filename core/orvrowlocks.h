// The rows that a cursor or a table holds locked, each with the object that
// holds the lock.
#pragma once

#include <cstdint>
#include <memory>

#include "core/orvbitmap.h"
#include "core/orvcommon.h"

namespace orv {

class TORVRowLock : public TORVBaseObject {
 public:
  TORVRowLock(TORVBaseObject* Owner, bool KeepTransaction) : FOwner(Owner), FKeepTransaction(KeepTransaction) {}

  TORVBaseObject* GetOwner() const { return FOwner; }
  bool GetKeepTransaction() const { return FKeepTransaction; }
  void SetKeepTransaction(bool Value) { FKeepTransaction = Value; }

 private:
  TORVBaseObject* FOwner;
  bool FKeepTransaction;
};

// A map from row numbers (1 .. the largest signed 32-bit number) to locks.
// Locks made by Add belong to the list and are freed with their entry (or
// with the list); locks stored by AddRowLock belong to the caller.
class TORVRowLocks : public TORVBaseObject {
 public:
  TORVRowLocks();
  ~TORVRowLocks() override;

  // A row that has an entry keeps it unchanged.
  void Add(TORVBaseObject* LockOwner, int32_t RowNumber, bool KeepTrans);
  void AddRowLock(int32_t RowNumber, TORVRowLock* RowLockToAdd);
  bool Find(int32_t RowNumber) const;
  bool Find(int32_t RowNumber, TORVRowLock*& RowLock) const;
  // RowNumber moves to the next row with an entry.
  bool FindNext(int32_t& RowNumber) const;
  bool FindNext(int32_t& RowNumber, TORVRowLock*& RowLock) const;
  // Clears the entry; the lock object is not freed.
  void Delete(int32_t RowNumber);
  // Clears the entry and frees a lock that the list owns.
  void Remove(int32_t RowNumber);
  void RemoveAll();
  int32_t GetCount() const;

 private:
  TORVSparseBitmap FLocks;
  // The rows whose lock object the list made and owns.
  TORVSparseBitmap FOwned;
};

}  // namespace orv
