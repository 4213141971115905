#include "core/orvcommon.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/orvplatformtime.h"

namespace orv {

namespace {

// The run-time's pseudo-random generator is seeded once at start; a function
// local static makes a second initialisation a no-op.
bool SeedRandomGenerator() {
  static const bool Seeded = [] {
    std::srand(static_cast<unsigned>(std::time(nullptr)) ^ GetTickCount());
    return true;
  }();
  return Seeded;
}
[[maybe_unused]] const bool GRandomSeeded = SeedRandomGenerator();

// Ranges come from the engine's own code after it has checked what it read:
// one outside the array is a broken internal contract.
[[noreturn]] void RaiseRange(const char* What, int64_t Index, int64_t Count, std::size_t Size) {
  throw std::out_of_range(std::string(What) + ": range " + std::to_string(Index) + "+" + std::to_string(Count) +
                          " outside 0.." + std::to_string(Size));
}

void CheckRange(const char* What, std::size_t Size, int32_t Index, int32_t Count) {
  if (Index < 0 || Count < 0 || static_cast<uint64_t>(Index) + static_cast<uint64_t>(Count) > Size)
    RaiseRange(What, Index, Count, Size);
}

// The capacity a container needs for Needed entries, or an overflow error
// when that cannot be counted in 32 bits.
int32_t NewCapacity(int64_t Needed, int32_t ExpandCount) {
  // Counts read from input are checked before a container grows to them:
  // a count beyond 32 bits here is a broken internal contract.
  if (Needed > INT32_MAX) throw std::overflow_error("container count overflow");
  return BlockOffset(static_cast<int32_t>(Needed), ExpandCount);
}

// Grows Objects (and Capacity) by whole ExpandCount steps until Needed
// entries fit; never shrinks.
void GrowObjects(TORVObjectsArray& Objects, int32_t& Capacity, int64_t Needed, int32_t ExpandCount) {
  const int32_t Grown = NewCapacity(Needed, ExpandCount);
  if (Grown <= Capacity) return;
  Objects.resize(static_cast<std::size_t>(Grown), nullptr);
  Capacity = Grown;
}

// Empties a slot and returns what it held.
TORVBaseObject* TakeSlot(TORVBaseObject*& Slot) { return std::exchange(Slot, nullptr); }

bool TimedOut(uint32_t Start, uint32_t Timeout) {
  return Timeout != 0xFFFFFFFFu && static_cast<uint32_t>(GetTickCount() - Start) >= Timeout;
}


}  // namespace

// --- atomic and spin counters ---

int32_t LockedCompareExchange(std::atomic<int32_t>& Target, int32_t NewValue, int32_t Comparand) {
  int32_t Expected = Comparand;
  Target.compare_exchange_strong(Expected, NewValue);
  return Expected;
}

void LockedIncrement(std::atomic<int32_t>& Target) { Target.fetch_add(1); }

void LockedDecrement(std::atomic<int32_t>& Target) { Target.fetch_sub(1); }

bool ReadLock(std::atomic<int32_t>& Counter, uint32_t Timeout) {
  const uint32_t Start = GetTickCount();
  for (;;) {
    int32_t Value = Counter.load();
    if (Value >= 0 && Value < INT32_MAX) {
      if (Counter.compare_exchange_strong(Value, Value + 1)) return true;
      // A lost race means another thread moved on: retry at once.
    } else {
      YieldThread();
    }
    if (TimedOut(Start, Timeout)) return false;
  }
}

bool ReadUnlock(std::atomic<int32_t>& Counter) {
  for (;;) {
    int32_t Value = Counter.load();
    if (Value <= 0) return false;
    if (Counter.compare_exchange_strong(Value, Value - 1)) return true;
  }
}

bool WriteLock(std::atomic<int32_t>& Counter, uint32_t Timeout) {
  const uint32_t Start = GetTickCount();
  for (;;) {
    int32_t Value = 0;
    if (Counter.compare_exchange_strong(Value, -1)) return true;
    YieldThread();
    if (TimedOut(Start, Timeout)) return false;
  }
}

bool WriteUnlock(std::atomic<int32_t>& Counter) {
  int32_t Value = -1;
  return Counter.compare_exchange_strong(Value, 0);
}

// --- byte and array routines ---

int32_t ByteLength(const TORVBytes& Value) { return static_cast<int32_t>(Value.size()); }

int32_t CompareBytes(const uint8_t* Value1, int32_t Length1, const uint8_t* Value2, int32_t Length2) {
  // A negative length is a broken internal contract.
  if (Length1 < 0 || Length2 < 0) throw std::out_of_range("CompareBytes: negative length");
  const int32_t N = std::min(Length1, Length2);
  if (N > 0) {
    const int Result = std::memcmp(Value1, Value2, static_cast<std::size_t>(N));
    if (Result != 0) return Result > 0 ? 1 : -1;
  }
  if (Length1 == Length2) return 0;
  return Length1 > Length2 ? 1 : -1;
}

int32_t CompareBytes(const TORVBytes& Value1, const TORVBytes& Value2) {
  return CompareBytes(Value1.data(), ByteLength(Value1), Value2.data(), ByteLength(Value2));
}

void MoveBytes(const TORVBytes& Source, int32_t SourceOffset, TORVBytes& Dest, int32_t DestOffset,
               int32_t Count) {
  if (Count <= 0 || Dest.empty()) return;
  CheckRange("MoveBytes source", Source.size(), SourceOffset, Count);
  CheckRange("MoveBytes destination", Dest.size(), DestOffset, Count);
  std::memmove(Dest.data() + DestOffset, Source.data() + SourceOffset, static_cast<std::size_t>(Count));
}

void ClearBytes(TORVBytes& Value, int32_t Index, int32_t Count) {
  if (Count <= 0 || Value.empty()) return;
  CheckRange("ClearBytes", Value.size(), Index, Count);
  std::fill_n(Value.begin() + Index, Count, uint8_t{0});
}

void ClearWords(TORVWords& Value, int32_t Index, int32_t Count) {
  if (Count <= 0 || Value.empty()) return;
  CheckRange("ClearWords", Value.size(), Index, Count);
  std::fill_n(Value.begin() + Index, Count, uint16_t{0});
}

void ClearTORVLongWords(TORVLongWords& Value, int32_t Index, int32_t Count) {
  if (Count <= 0 || Value.empty()) return;
  CheckRange("ClearTORVLongWords", Value.size(), Index, Count);
  std::fill_n(Value.begin() + Index, Count, uint32_t{0});
}

void ClearArray(void* Start, int32_t Index, int32_t Count, int32_t ElementSize) {
  if (Count <= 0 || ElementSize <= 0) return;
  std::memset(static_cast<uint8_t*>(Start) + static_cast<std::ptrdiff_t>(Index) * ElementSize, 0,
              static_cast<std::size_t>(Count) * static_cast<std::size_t>(ElementSize));
}

void CopyArray(const void* Source, int32_t SourceIndex, void* Dest, int32_t DestIndex, int32_t Count,
               int32_t ElementSize) {
  if (Count <= 0 || ElementSize <= 0) return;
  std::memmove(static_cast<uint8_t*>(Dest) + static_cast<std::ptrdiff_t>(DestIndex) * ElementSize,
               static_cast<const uint8_t*>(Source) + static_cast<std::ptrdiff_t>(SourceIndex) * ElementSize,
               static_cast<std::size_t>(Count) * static_cast<std::size_t>(ElementSize));
}

int32_t BlockOffset(int32_t Value, int32_t BlockSize) {
  // Block sizes are the engine's constants: a broken internal contract.
  if (BlockSize <= 0) throw std::invalid_argument("BlockOffset: block size must be positive");
  if (Value % BlockSize == 0) return Value;
  const int64_t Result = static_cast<int64_t>(Value / BlockSize) * BlockSize + BlockSize;
  if (Result > INT32_MAX) throw std::overflow_error("BlockOffset: result exceeds 32 bits");
  return static_cast<int32_t>(Result);
}

uint32_t UpdateCRC32(uint32_t Register, const uint8_t* Data, std::size_t Length) {
  // zlib keeps the register inverted.
  if (Length == 0) return Register;
  return ~static_cast<uint32_t>(crc32_z(~Register, Data, Length));
}

uint32_t CalculateCRC32(const TORVString& Value) {
  // On a little-endian host the text's own units are its UTF-16LE bytes.
  static_assert(std::endian::native == std::endian::little, "the CRC of a text is taken over UTF-16LE bytes");
  return UpdateCRC32(0xFFFFFFFFu, reinterpret_cast<const uint8_t*>(Value.data()), Value.size() * sizeof(char16_t));
}

// --- TORVObjectList ---

TORVObjectList::TORVObjectList(bool OwnsObjects) : FOwnsObjects(OwnsObjects) {}

TORVObjectList::~TORVObjectList() { Clear(); }

void TORVObjectList::Grow(int64_t Needed) { GrowObjects(FObjects, FCapacity, Needed, GetExpandCount()); }

void TORVObjectList::CheckIndex(int32_t Index) const {
  // Indexes come from the engine's own code, never unchecked from input:
  // one outside the list is a broken internal contract.
  if (Index < 0 || Index >= FCount)
    throw std::out_of_range("object list index " + std::to_string(Index) + " outside 0.." +
                            std::to_string(FCount - 1));
}

void TORVObjectList::Add(TORVBaseObject* Value) {
  Grow(static_cast<int64_t>(FCount) + 1);
  FObjects[static_cast<std::size_t>(FCount)] = Value;
  ++FCount;
}

void TORVObjectList::Insert(int32_t Index, TORVBaseObject* Value) {
  if (Index != FCount) CheckIndex(Index);
  Grow(static_cast<int64_t>(FCount) + 1);
  auto Begin = FObjects.begin();
  std::copy_backward(Begin + Index, Begin + FCount, Begin + FCount + 1);
  FObjects[static_cast<std::size_t>(Index)] = Value;
  ++FCount;
}

void TORVObjectList::Delete(int32_t Index, bool FreeObject) {
  CheckIndex(Index);
  TORVBaseObject* Object = FObjects[static_cast<std::size_t>(Index)];
  auto Begin = FObjects.begin();
  std::copy(Begin + Index + 1, Begin + FCount, Begin + Index);
  FObjects[static_cast<std::size_t>(FCount - 1)] = nullptr;
  --FCount;
  if (FreeObject && FOwnsObjects) delete Object;
}

bool TORVObjectList::Remove(TORVBaseObject* Value, bool FreeObject) {
  const int32_t Index = Find(Value);
  if (Index < 0) return false;
  Delete(Index, FreeObject);
  return true;
}

int32_t TORVObjectList::Find(TORVBaseObject* Value) const {
  for (int32_t I = 0; I < FCount; ++I)
    if (FObjects[static_cast<std::size_t>(I)] == Value) return I;
  return -1;
}

void TORVObjectList::Clear() {
  // Each entry leaves the list before its object is freed, so a destructor
  // that looks into the list finds only live objects.
  while (FCount > 0) {
    TORVBaseObject* Object = TakeSlot(FObjects[static_cast<std::size_t>(--FCount)]);
    if (FOwnsObjects) delete Object;
  }
}

TORVBaseObject* TORVObjectList::GetObject(int32_t Index) const {
  CheckIndex(Index);
  return FObjects[static_cast<std::size_t>(Index)];
}

void TORVObjectList::SetObject(int32_t Index, TORVBaseObject* Value) {
  CheckIndex(Index);
  FObjects[static_cast<std::size_t>(Index)] = Value;
}

// --- TORVObjectStack ---

TORVObjectStack::~TORVObjectStack() {
  while (TORVBaseObject* Object = Pop()) delete Object;
}

void TORVObjectStack::Grow(int64_t Needed) { GrowObjects(FObjects, FCapacity, Needed, GetExpandCount()); }

void TORVObjectStack::Push(TORVBaseObject* Value) {
  Grow(static_cast<int64_t>(FCount) + 1);
  FObjects[static_cast<std::size_t>(FCount)] = Value;
  ++FCount;
}

void TORVObjectStack::Push(const TORVObjectsArray& Values) {
  Grow(static_cast<int64_t>(FCount) + static_cast<int64_t>(Values.size()));
  std::copy(Values.begin(), Values.end(), FObjects.begin() + FCount);
  FCount += static_cast<int32_t>(Values.size());
}

TORVBaseObject* TORVObjectStack::Pop() {
  if (FCount == 0) return nullptr;
  return TakeSlot(FObjects[static_cast<std::size_t>(--FCount)]);
}

TORVBaseObject* TORVObjectStack::Peek() const {
  return FCount == 0 ? nullptr : FObjects[static_cast<std::size_t>(FCount - 1)];
}

// --- TORVObjectQueue ---

TORVObjectQueue::~TORVObjectQueue() {
  // From the last queued entry back to the head.
  while (FCount > 0) {
    --FCount;
    delete TakeSlot(FObjects[static_cast<std::size_t>(FPosition + FCount)]);
  }
  FPosition = 0;
}

void TORVObjectQueue::MakeRoom(int64_t Added) {
  if (static_cast<int64_t>(FPosition) + FCount + Added <= FCapacity) return;
  if (FPosition > 0) {
    // Slide the live entries to the front rather than growing behind a head
    // that has moved, which would grow the array without bound.
    auto Begin = FObjects.begin();
    std::copy(Begin + FPosition, Begin + FPosition + FCount, Begin);
    std::fill(Begin + FCount, Begin + FPosition + FCount, nullptr);
    FPosition = 0;
  }
  GrowObjects(FObjects, FCapacity, static_cast<int64_t>(FCount) + Added, GetExpandCount());
}

void TORVObjectQueue::Enqueue(TORVBaseObject* Value) {
  MakeRoom(1);
  FObjects[static_cast<std::size_t>(FPosition + FCount)] = Value;
  ++FCount;
}

void TORVObjectQueue::Enqueue(const TORVObjectsArray& Values) {
  MakeRoom(static_cast<int64_t>(Values.size()));
  std::copy(Values.begin(), Values.end(), FObjects.begin() + FPosition + FCount);
  FCount += static_cast<int32_t>(Values.size());
}

TORVBaseObject* TORVObjectQueue::Dequeue() {
  if (FCount < 1) return nullptr;
  TORVBaseObject* Object = TakeSlot(FObjects[static_cast<std::size_t>(FPosition)]);
  --FCount;
  FPosition = FCount == 0 ? 0 : FPosition + 1;
  return Object;
}

TORVObjectsArray TORVObjectQueue::DequeueAll() {
  auto Begin = FObjects.begin() + FPosition;
  TORVObjectsArray Result(Begin, Begin + FCount);
  std::fill(Begin, Begin + FCount, nullptr);
  FCount = 0;
  FPosition = 0;
  return Result;
}

// --- TORVObjectCache ---

TORVObjectCache::TORVObjectCache(int32_t AMaxCount) : FMaxCount(AMaxCount) {}

TORVCachedObject* TORVObjectCache::Entry(int32_t Index) const {
  return static_cast<TORVCachedObject*>(FObjects.GetObject(Index));
}

TORVBaseObject* TORVObjectCache::Get(uint32_t AID) {
  for (int32_t I = FObjects.GetCount() - 1; I >= 0; --I) {
    TORVCachedObject* Cached = Entry(I);
    if (Cached->FID == AID && Cached->FUseCount == 0) {
      MoveToFirstObject(Cached);
      Cached->IncUseCount();
      return Cached->FObjectRef;
    }
  }
  return nullptr;
}

void TORVObjectCache::Add(uint32_t AID, TORVBaseObject* AObjectRef) {
  GetNewObject(AID, AObjectRef)->IncUseCount();
}

void TORVObjectCache::Put(TORVBaseObject* AObjectRef) {
  if (AObjectRef == nullptr) return;
  for (int32_t I = FObjects.GetCount() - 1; I >= 0; --I) {
    TORVCachedObject* Cached = Entry(I);
    if (Cached->FObjectRef == AObjectRef) {
      Cached->DecUseCount();
      return;
    }
  }
}

void TORVObjectCache::Clear(bool AFreeObjectRefs) {
  if (FClearing) return;
  FClearing = true;
  struct ResetClearing {
    bool& Flag;
    ~ResetClearing() { Flag = false; }
  } Reset{FClearing};

  if (AFreeObjectRefs) {
    // Each entry leaves the cache before its object is disposed of, so that a
    // handler that raises leaves no entry behind whose object is gone.
    for (int32_t I = FObjects.GetCount() - 1; I >= 0; --I) {
      if (I >= FObjects.GetCount()) continue;
      TORVCachedObject* Cached = Entry(I);
      TORVBaseObject* Object = Cached->FObjectRef;
      const bool InUse = Cached->FUseCount > 0;
      Unlink(Cached);
      FObjects.Delete(I, true);
      if (InUse)
        Remove(Object);
      else
        delete Object;
    }
  }
  FObjects.Clear();
  FFirstObject = nullptr;
  FLastObject = nullptr;
}

TORVCachedObject* TORVObjectCache::CreateNewObject(uint32_t AID, TORVBaseObject* AObjectRef) {
  auto Entry = std::make_unique<TORVCachedObject>(AID, AObjectRef);
  FObjects.Add(Entry.get());
  TORVCachedObject* Result = Entry.release();
  InsertAsFirstObject(Result);
  return Result;
}

void TORVObjectCache::InsertAsFirstObject(TORVCachedObject* AObject) {
  AObject->FPrevObject = nullptr;
  AObject->FNextObject = FFirstObject;
  if (FFirstObject != nullptr)
    FFirstObject->FPrevObject = AObject;
  else
    FLastObject = AObject;
  FFirstObject = AObject;
}

void TORVObjectCache::Unlink(TORVCachedObject* AObject) {
  if (AObject->FPrevObject != nullptr)
    AObject->FPrevObject->FNextObject = AObject->FNextObject;
  else
    FFirstObject = AObject->FNextObject;
  if (AObject->FNextObject != nullptr)
    AObject->FNextObject->FPrevObject = AObject->FPrevObject;
  else
    FLastObject = AObject->FPrevObject;
  AObject->FPrevObject = nullptr;
  AObject->FNextObject = nullptr;
}

void TORVObjectCache::MoveToFirstObject(TORVCachedObject* AObject) {
  if (AObject == FFirstObject) return;
  Unlink(AObject);
  InsertAsFirstObject(AObject);
}

TORVCachedObject* TORVObjectCache::FindObjectToDelete() const {
  for (TORVCachedObject* Entry = FLastObject; Entry != nullptr; Entry = Entry->FPrevObject)
    if (Entry->FUseCount == 0) return Entry;
  return nullptr;
}

TORVCachedObject* TORVObjectCache::ClearLastObject(uint32_t AID, TORVBaseObject* AObjectRef) {
  TORVCachedObject* Entry = FindObjectToDelete();
  if (Entry == nullptr) return CreateNewObject(AID, AObjectRef);
  TORVBaseObject* Old = Entry->FObjectRef;
  MoveToFirstObject(Entry);
  Entry->FID = AID;
  Entry->FObjectRef = AObjectRef;
  // Re-adding the object an idle entry already holds must not free it.
  if (Old != AObjectRef) delete Old;
  return Entry;
}

TORVCachedObject* TORVObjectCache::GetNewObject(uint32_t AID, TORVBaseObject* AObjectRef) {
  if (FObjects.GetCount() < FMaxCount) return CreateNewObject(AID, AObjectRef);
  return ClearLastObject(AID, AObjectRef);
}

void TORVObjectCache::Remove(TORVBaseObject* AObjectRef) {
  if (FOnRemove) FOnRemove(AObjectRef);
}

}  // namespace orv
