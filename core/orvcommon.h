// Root classes of the engine's objects, plain object containers, the object
// cache, atomic and spin counters, and byte routines.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "base/orvtype.h"

namespace orv {

// Root of nearly every engine class; it carries nothing but a virtual
// destructor so that owners can free through a base pointer.
class TORVBaseObject {
 public:
  TORVBaseObject() = default;
  TORVBaseObject(const TORVBaseObject&) = delete;
  TORVBaseObject& operator=(const TORVBaseObject&) = delete;
  virtual ~TORVBaseObject() = default;
};

// An object that remote requests can name by number. 0 means not registered;
// handles from 1 up are given out by a handle table.
class TORVHandleObject : public TORVBaseObject {
 public:
  int32_t GetHandle() const { return FHandle; }
  void SetHandle(int32_t Value) { FHandle = Value; }

 private:
  int32_t FHandle = 0;
};

// Object references held by the containers below; whether a slot owns its
// object is the container's rule.
using TORVObjectsArray = std::vector<TORVBaseObject*>;

using TORVNotifyEvent = std::function<void(TORVBaseObject* Sender)>;
using TORVObjectCacheRemovalEvent = std::function<void(TORVBaseObject* AObjectRef)>;

// Clears the variable before freeing the object, so that code run by the
// destructor never sees a dangling reference. Freeing nil does nothing.
template <typename T>
void FreeAndNil(T*& Obj) {
  T* Old = Obj;
  Obj = nullptr;
  delete Old;
}

template <typename T>
void FreeAndNilObject(T*& Obj) {
  if (Obj != nullptr) FreeAndNil(Obj);
}

// Sets a re-entry flag for the life of the scope, also when it is left by
// an exception.
class TORVFlagScope {
 public:
  explicit TORVFlagScope(bool& Flag) : FFlag(Flag) { FFlag = true; }
  ~TORVFlagScope() { FFlag = false; }
  TORVFlagScope(const TORVFlagScope&) = delete;
  TORVFlagScope& operator=(const TORVFlagScope&) = delete;

 private:
  bool& FFlag;
};

// Atomic counters. LockedCompareExchange stores NewValue only when Target
// held Comparand, and returns what Target held before.
int32_t LockedCompareExchange(std::atomic<int32_t>& Target, int32_t NewValue, int32_t Comparand);
void LockedIncrement(std::atomic<int32_t>& Target);
void LockedDecrement(std::atomic<int32_t>& Target);

// Spin counters: 0 free, n > 0 held by n readers, -1 held by one writer.
// Waiting yields the processor; Timeout is in milliseconds, 0xFFFFFFFF waits
// without limit, and every call tries at least once. A timed-out wait is a
// False result.
bool ReadLock(std::atomic<int32_t>& Counter, uint32_t Timeout);
bool ReadUnlock(std::atomic<int32_t>& Counter);
bool WriteLock(std::atomic<int32_t>& Counter, uint32_t Timeout);
bool WriteUnlock(std::atomic<int32_t>& Counter);

// Byte and array routines. The routines on TORVBytes/TORVWords/TORVLongWords
// never grow the array and raise std::out_of_range for a range outside it.
int32_t ByteLength(const TORVBytes& Value);
// Unsigned lexicographic order; a proper prefix sorts first. -1, 0 or 1.
int32_t CompareBytes(const uint8_t* Value1, int32_t Length1, const uint8_t* Value2, int32_t Length2);
int32_t CompareBytes(const TORVBytes& Value1, const TORVBytes& Value2);
void MoveBytes(const TORVBytes& Source, int32_t SourceOffset, TORVBytes& Dest, int32_t DestOffset,
               int32_t Count);
void ClearBytes(TORVBytes& Value, int32_t Index, int32_t Count);
void ClearWords(TORVWords& Value, int32_t Index, int32_t Count);
void ClearTORVLongWords(TORVLongWords& Value, int32_t Index, int32_t Count);
// Raw element blocks: the caller guarantees the ranges lie inside the blocks.
// CopyArray allows overlapping ranges. Both do nothing when Count <= 0.
void ClearArray(void* Start, int32_t Index, int32_t Count, int32_t ElementSize);
void CopyArray(const void* Source, int32_t SourceIndex, void* Dest, int32_t DestIndex, int32_t Count,
               int32_t ElementSize);

// Value rounded up to the next multiple of BlockSize; the growth rule of every
// dynamic array in the engine.
int32_t BlockOffset(int32_t Value, int32_t BlockSize);

// The complement of the standard CRC-32 of the text's UTF-16LE bytes (the
// register is returned without the final inversion); keys of the statement
// and procedure caches are made with it, so the value must never change.
uint32_t CalculateCRC32(const TORVString& Value);
// The same CRC-32 register (start it at 0xFFFFFFFF) carried over Length more
// bytes; streams and strings share it so that their values agree.
uint32_t UpdateCRC32(uint32_t Register, const uint8_t* Data, std::size_t Length);

// A list of object references that frees what it removes when it owns its
// objects. Indexes outside 0 .. Count - 1 raise std::out_of_range.
class TORVObjectList : public TORVBaseObject {
 public:
  explicit TORVObjectList(bool OwnsObjects);
  ~TORVObjectList() override;

  virtual int32_t GetExpandCount() const { return 256; }

  void Add(TORVBaseObject* Value);
  // Index may be Count, which appends.
  void Insert(int32_t Index, TORVBaseObject* Value);
  // The entry leaves the list before an owned object is freed, so that its
  // destructor may use the list.
  void Delete(int32_t Index, bool FreeObject);
  bool Remove(TORVBaseObject* Value, bool FreeObject);
  int32_t Find(TORVBaseObject* Value) const;
  // Frees owned objects from the last entry down to the first.
  void Clear();

  TORVBaseObject* GetObject(int32_t Index) const;
  // Stores the reference without freeing the one it replaces.
  void SetObject(int32_t Index, TORVBaseObject* Value);
  int32_t GetCount() const { return FCount; }
  int32_t GetCapacity() const { return FCapacity; }
  bool GetOwnsObjects() const { return FOwnsObjects; }

 private:
  void Grow(int64_t Needed);
  void CheckIndex(int32_t Index) const;

  bool FOwnsObjects;
  int32_t FCount = 0;
  int32_t FCapacity = 0;
  TORVObjectsArray FObjects;
};

// A stack that owns what it holds; Pop passes the object to the caller.
class TORVObjectStack : public TORVBaseObject {
 public:
  TORVObjectStack() = default;
  ~TORVObjectStack() override;

  virtual int32_t GetExpandCount() const { return 256; }

  void Push(TORVBaseObject* Value);
  // The first element of Values lies deepest.
  void Push(const TORVObjectsArray& Values);
  TORVBaseObject* Pop();
  TORVBaseObject* Peek() const;
  int32_t GetCount() const { return FCount; }
  int32_t GetCapacity() const { return FCapacity; }

 private:
  void Grow(int64_t Needed);

  int32_t FCount = 0;
  int32_t FCapacity = 0;
  TORVObjectsArray FObjects;
};

// A first-in first-out queue that owns what it holds; Dequeue and DequeueAll
// pass the objects to the caller. The head moves forward through the array;
// when the array is full and the head has moved, the entries are moved back
// to the front before the array grows, so a queue that never drains keeps a
// bounded array.
class TORVObjectQueue : public TORVBaseObject {
 public:
  TORVObjectQueue() = default;
  ~TORVObjectQueue() override;

  virtual int32_t GetExpandCount() const { return 32; }

  void Enqueue(TORVBaseObject* Value);
  void Enqueue(const TORVObjectsArray& Values);
  TORVBaseObject* Dequeue();
  TORVObjectsArray DequeueAll();
  int32_t GetCount() const { return FCount; }
  int32_t GetCapacity() const { return FCapacity; }

 private:
  void MakeRoom(int64_t Added);

  int32_t FPosition = 0;
  int32_t FCount = 0;
  int32_t FCapacity = 0;
  TORVObjectsArray FObjects;
};

// One entry of a TORVObjectCache.
class TORVCachedObject : public TORVBaseObject {
 public:
  TORVCachedObject(uint32_t ID, TORVBaseObject* ObjectRef) : FID(ID), FObjectRef(ObjectRef) {}

  void IncUseCount() { ++FUseCount; }
  // Never below 0.
  void DecUseCount() {
    if (FUseCount > 0) --FUseCount;
  }

  uint32_t GetID() const { return FID; }
  TORVBaseObject* GetObjectRef() const { return FObjectRef; }
  int32_t GetUseCount() const { return FUseCount; }

 private:
  friend class TORVObjectCache;

  uint32_t FID;
  TORVBaseObject* FObjectRef;
  int32_t FUseCount = 0;
  TORVCachedObject* FNextObject = nullptr;  // less recently used
  TORVCachedObject* FPrevObject = nullptr;  // more recently used
};

// A small most-recently-used cache of objects keyed by an owner-chosen ID.
// An object handed out by Get or Add is in use until Put gives it back; the
// cache frees idle objects only, when it reuses their entry or on Clear(true).
// It has no lock: the owner serialises access.
class TORVObjectCache : public TORVBaseObject {
 public:
  explicit TORVObjectCache(int32_t AMaxCount);
  // Frees the entries but not the objects; owners call Clear(true) first.
  ~TORVObjectCache() override = default;

  // An idle object cached under AID, now in use; nil when there is none.
  TORVBaseObject* Get(uint32_t AID);
  // Caches AObjectRef under AID, in use. When the cache is full the least
  // recently used idle entry is reused and its object freed; when every entry
  // is in use the cache grows beyond its preferred size.
  void Add(uint32_t AID, TORVBaseObject* AObjectRef);
  // Gives an object back; it stays cached for a later Get.
  void Put(TORVBaseObject* AObjectRef);
  // Drops every entry. With AFreeObjectRefs idle objects are freed and
  // objects in use are passed to OnRemove. Ignored when called from OnRemove.
  void Clear(bool AFreeObjectRefs);

  const TORVObjectCacheRemovalEvent& GetOnRemove() const { return FOnRemove; }
  void SetOnRemove(TORVObjectCacheRemovalEvent Value) { FOnRemove = std::move(Value); }
  int32_t GetCount() const { return FObjects.GetCount(); }
  int32_t GetMaxCount() const { return FMaxCount; }

 private:
  TORVCachedObject* Entry(int32_t Index) const;
  TORVCachedObject* CreateNewObject(uint32_t AID, TORVBaseObject* AObjectRef);
  void InsertAsFirstObject(TORVCachedObject* AObject);
  void MoveToFirstObject(TORVCachedObject* AObject);
  void Unlink(TORVCachedObject* AObject);
  TORVCachedObject* FindObjectToDelete() const;
  TORVCachedObject* ClearLastObject(uint32_t AID, TORVBaseObject* AObjectRef);
  TORVCachedObject* GetNewObject(uint32_t AID, TORVBaseObject* AObjectRef);
  void Remove(TORVBaseObject* AObjectRef);

  TORVObjectList FObjects{true};
  int32_t FMaxCount;
  TORVCachedObject* FFirstObject = nullptr;
  TORVCachedObject* FLastObject = nullptr;
  TORVObjectCacheRemovalEvent FOnRemove;
  bool FClearing = false;
};

// Runs a clean-up step while an exception is already on its way out: a
// failure of the step is dropped, so that the first exception is the one
// the caller sees. Only for use inside a catch block that rethrows.
template <typename TCall>
void WhileUnwinding(TCall Call) noexcept {
  try {
    Call();
  } catch (...) {
  }
}

// Sets a variable for the length of a scope and puts its old value back
// however the scope ends.
template <typename T>
class TORVValueGuard {
 public:
  TORVValueGuard(T& Variable, T Value) : FVariable(Variable), FSaved(Variable) { Variable = Value; }
  ~TORVValueGuard() { FVariable = FSaved; }
  TORVValueGuard(const TORVValueGuard&) = delete;
  TORVValueGuard& operator=(const TORVValueGuard&) = delete;

 private:
  T& FVariable;
  T FSaved;
};

}  // namespace orv
