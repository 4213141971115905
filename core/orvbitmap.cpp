#include "core/orvbitmap.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <string>

#include "base/orvassert.h"
#include "base/orverrors.h"
#include "base/orverror.h"
#include "core/orvliteral.h"
#include "core/orvstream.h"
#include "base/orvutf8.h"

namespace orv {

namespace {

constexpr uint32_t AllOnes = 0xFFFFFFFFu;
constexpr int64_t MaxInt32 = std::numeric_limits<int32_t>::max();

// Bits 0 .. Count - 1 of a word (Count 1 .. 32).
constexpr uint32_t LowMask(int32_t Count) { return Count >= 32 ? AllOnes : ((1u << Count) - 1u); }


[[noreturn]] void CorruptBitmapError(const TORVString& Detail) {
  RaiseError(ORV_CORRUPT_ERROR, {u"bitmap", u"stream", Detail});
}

int32_t ReadCount(TORVStream& Stream) {
  int32_t Value = 0;
  if (Stream.ReadInteger(Value) != 4) CorruptBitmapError(u"unexpected end of stream");
  return Value;
}

}  // namespace

// ---------------------------------------------------------------------------
// TORVBitmap

void TORVBitmap::SetBitCount(int32_t Value) {
  if (Value < 0) Value = 0;
  if (Value == FBitCount) return;
  FBitCount = Value;
  FWordCount = static_cast<int32_t>((static_cast<int64_t>(Value) + 31) / 32);
  FBitmap.resize(static_cast<size_t>(BlockOffset(FWordCount, 8)), 0u);
  // Words beyond the ones in use may still hold bits of a larger former
  // count; they must read as 0 when the count grows again.
  std::fill(FBitmap.begin() + FWordCount, FBitmap.end(), 0u);
  ClearEdgeBits();
}

void TORVBitmap::ClearEdgeBits() {
  const int32_t EdgeBits = FBitCount % 32;
  if (EdgeBits != 0) FBitmap[static_cast<size_t>(FWordCount - 1)] &= LowMask(EdgeBits);
}

int32_t TORVBitmap::TotalBitsSet() const {
  int32_t Result = 0;
  for (int32_t I = 0; I < FWordCount; ++I) {
    const uint32_t Word = FBitmap[static_cast<size_t>(I)];
    if (Word == 0) continue;
    Result += Word == AllOnes ? 32 : std::popcount(Word);
  }
  return Result;
}

bool TORVBitmap::Empty() const {
  for (int32_t I = 0; I < FWordCount; ++I) {
    if (FBitmap[static_cast<size_t>(I)] != 0) return false;
  }
  return true;
}

bool TORVBitmap::NextBit(int32_t& Value, uint32_t Flip) const {
  const int64_t Start = std::max<int64_t>(static_cast<int64_t>(Value) + 1, 1);
  if (Start > FBitCount) return false;
  int32_t WordIndex = static_cast<int32_t>((Start - 1) / 32);
  uint32_t Word = (FBitmap[static_cast<size_t>(WordIndex)] ^ Flip) & (AllOnes << ((Start - 1) % 32));
  while (true) {
    if (Word != 0) {
      // Bits above BitCount are always 0, so only a clear bit can lie past
      // the end.
      const int64_t Found = static_cast<int64_t>(WordIndex) * 32 + std::countr_zero(Word) + 1;
      if (Found > FBitCount) return false;
      Value = static_cast<int32_t>(Found);
      return true;
    }
    if (++WordIndex >= FWordCount) return false;
    Word = FBitmap[static_cast<size_t>(WordIndex)] ^ Flip;
  }
}

bool TORVBitmap::PriorBit(int32_t& Value, uint32_t Flip) const {
  const int64_t Start = std::min<int64_t>(static_cast<int64_t>(Value) - 1, FBitCount);
  if (Start <= 0) return false;
  int32_t WordIndex = static_cast<int32_t>((Start - 1) / 32);
  uint32_t Word = (FBitmap[static_cast<size_t>(WordIndex)] ^ Flip) & LowMask(static_cast<int32_t>((Start - 1) % 32) + 1);
  while (true) {
    if (Word != 0) {
      Value = WordIndex * 32 + (31 - std::countl_zero(Word)) + 1;
      return true;
    }
    if (--WordIndex < 0) return false;
    Word = FBitmap[static_cast<size_t>(WordIndex)] ^ Flip;
  }
}

bool TORVBitmap::NextBitSet(int32_t& Value) const { return NextBit(Value, 0u); }
bool TORVBitmap::NextBitClear(int32_t& Value) const { return NextBit(Value, AllOnes); }
bool TORVBitmap::PriorBitSet(int32_t& Value) const { return PriorBit(Value, 0u); }
bool TORVBitmap::PriorBitClear(int32_t& Value) const { return PriorBit(Value, AllOnes); }

bool TORVBitmap::NextBitsSet(int32_t& Value, int32_t& ResultValue, int32_t MaxBits) const {
  bool Counted = false;
  while (ResultValue < MaxBits) {
    const int64_t Next = static_cast<int64_t>(Value) + 1;
    if (Next < 1 || Next > FBitCount) break;
    const int32_t Bit = static_cast<int32_t>((Next - 1) % 32);
    const uint32_t Word = FBitmap[static_cast<size_t>((Next - 1) / 32)] >> Bit;
    // Bits above BitCount are 0, so the run never passes the end.
    const int32_t Run = std::countr_one(Word);
    if (Run == 0) break;
    const int32_t Take = static_cast<int32_t>(std::min<int64_t>(Run, static_cast<int64_t>(MaxBits) - ResultValue));
    Value += Take;
    ResultValue += Take;
    Counted = true;
    if (Run < 32 - Bit) break;
  }
  return Counted;
}

bool TORVBitmap::PriorBitsSet(int32_t& Value, int32_t& ResultValue, int32_t MaxBits) const {
  bool Counted = false;
  while (ResultValue < MaxBits) {
    const int64_t Prior = static_cast<int64_t>(Value) - 1;
    if (Prior < 1 || Prior > FBitCount) break;
    const int32_t Bit = static_cast<int32_t>((Prior - 1) % 32);
    const uint32_t Word = FBitmap[static_cast<size_t>((Prior - 1) / 32)] << (31 - Bit);
    const int32_t Run = std::countl_one(Word);
    if (Run == 0) break;
    const int32_t Take = static_cast<int32_t>(std::min<int64_t>(Run, static_cast<int64_t>(MaxBits) - ResultValue));
    Value -= Take;
    ResultValue += Take;
    Counted = true;
    if (Run < Bit + 1) break;
  }
  return Counted;
}

void TORVBitmap::AndBits(const TORVBitmap& Source) {
  for (int32_t I = 0; I < FWordCount; ++I) FBitmap[static_cast<size_t>(I)] &= SourceWord(Source, I);
  ClearEdgeBits();
}

void TORVBitmap::OrBits(const TORVBitmap& Source) {
  for (int32_t I = 0; I < FWordCount; ++I) FBitmap[static_cast<size_t>(I)] |= SourceWord(Source, I);
  ClearEdgeBits();
}

void TORVBitmap::XorBits(const TORVBitmap& Source) {
  for (int32_t I = 0; I < FWordCount; ++I) FBitmap[static_cast<size_t>(I)] ^= SourceWord(Source, I);
  ClearEdgeBits();
}

void TORVBitmap::NotBits() {
  for (int32_t I = 0; I < FWordCount; ++I) FBitmap[static_cast<size_t>(I)] = ~FBitmap[static_cast<size_t>(I)];
  ClearEdgeBits();
}

void TORVBitmap::ClearBits() { std::fill(FBitmap.begin(), FBitmap.begin() + FWordCount, 0u); }

void TORVBitmap::SetBits() {
  std::fill(FBitmap.begin(), FBitmap.begin() + FWordCount, AllOnes);
  ClearEdgeBits();
}

void TORVBitmap::Assign(const TORVBitmap& Source) {
  if (&Source == this) return;
  SetBitCount(Source.FBitCount);
  std::copy(Source.FBitmap.begin(), Source.FBitmap.begin() + FWordCount, FBitmap.begin());
}

void TORVBitmap::Save(TORVStream& Stream) const {
  Stream.WriteInteger(FBitCount);
  Stream.WriteInteger(FWordCount);
  TORVBytes Bytes(static_cast<size_t>(FWordCount) * 4);
  for (size_t I = 0; I < static_cast<size_t>(FWordCount); ++I) {
    const uint32_t Word = FBitmap[I];
    for (size_t K = 0; K < 4; ++K) Bytes[I * 4 + K] = static_cast<uint8_t>(Word >> (8 * K));
  }
  if (!Bytes.empty()) Stream.Write(Bytes.data(), static_cast<int32_t>(Bytes.size()));
}

void TORVBitmap::Load(TORVStream& Stream) {
  const int32_t BitCount = ReadCount(Stream);
  if (BitCount < 0) CorruptBitmapError(u"bit count " + IntToString(BitCount));
  const int32_t WordCount = ReadCount(Stream);
  if (WordCount != (static_cast<int64_t>(BitCount) + 31) / 32) {
    CorruptBitmapError(u"word count " + IntToString(WordCount) + u" for " + IntToString(BitCount) + u" bits");
  }
  const int64_t ByteCount = static_cast<int64_t>(WordCount) * 4;
  if (Stream.GetSize() - Stream.GetPosition() < ByteCount) CorruptBitmapError(u"unexpected end of stream");
  TORVBytes Bytes(static_cast<size_t>(ByteCount));
  if (ByteCount > 0 && Stream.Read(Bytes.data(), static_cast<int32_t>(ByteCount)) != ByteCount) {
    CorruptBitmapError(u"unexpected end of stream");
  }
  SetBitCount(BitCount);
  for (size_t I = 0; I < static_cast<size_t>(WordCount); ++I) {
    uint32_t Word = 0;
    for (size_t K = 0; K < 4; ++K) Word |= static_cast<uint32_t>(Bytes[I * 4 + K]) << (8 * K);
    FBitmap[I] = Word;
  }
  // Bits above the count would break every whole-word operation.
  ClearEdgeBits();
}

// ---------------------------------------------------------------------------
// TORVSparseBitmapNode

TORVSparseBitmapNode::TORVSparseBitmapNode(int32_t Level, TORVSparseBitmapNode* UpperNode, bool Minimal,
                                           bool OwnsObjects)
    : FLevel(Level), FUpperNode(UpperNode), FMinimal(Minimal), FOwnsObjects(OwnsObjects) {
  FBitmap.SetBitCount(256);
}

TORVSparseBitmapNode::~TORVSparseBitmapNode() { FreeObjects(); }

void TORVSparseBitmapNode::CheckInvariants() const {
  ORV_ASSERT(FLevel >= 0 && FLevel <= 3);
  ORV_ASSERT(FBitmap.GetBitCount() == 256);
  if (FLevel == 3) {
    ORV_ASSERT(FNodes.empty());
    for (int32_t I = 0; I < NumObjects(); ++I)
      ORV_ASSERT(FObjects[static_cast<size_t>(I)] == nullptr || FBitmap.BitSet(I));
    return;
  }
  for (TORVBaseObject* Object : FObjects) ORV_ASSERT(Object == nullptr);
  for (int32_t I = 0; I <= std::max(NumNodes(), FBitmap.GetBitCount()); ++I) {
    const TORVSparseBitmapNode* Child = GetNode(I);
    if (Child == nullptr) {
      ORV_ASSERT(!FBitmap.BitSet(I));
      continue;
    }
    ORV_ASSERT(I >= 1 && I <= MaxChild());
    ORV_ASSERT(Child->FLevel == FLevel + 1 && Child->FUpperNode == this);
    ORV_ASSERT(Child->FMinimal == FMinimal && Child->FOwnsObjects == FOwnsObjects);
    ORV_ASSERT(FBitmap.BitSet(I) == !Child->Empty());
    ORV_ASSERT(!FMinimal || !Child->Empty());
    Child->CheckInvariants();
  }
}

TORVSparseBitmapNode* TORVSparseBitmapNode::CheckNode(int32_t Index) {
  if (Index >= NumNodes()) FNodes.resize(static_cast<size_t>(BlockOffset(Index + 1, 32)));
  auto& Node = FNodes[static_cast<size_t>(Index)];
  if (!Node) Node = std::make_unique<TORVSparseBitmapNode>(FLevel + 1, this, FMinimal, FOwnsObjects);
  return Node.get();
}

void TORVSparseBitmapNode::FreeNode(int32_t Index) {
  FBitmap.ClearBit(Index);
  if (Index >= NumNodes()) return;
  auto& Node = FNodes[static_cast<size_t>(Index)];
  if (!Node) return;
  if (FMinimal) {
    Node.reset();
  } else {
    Node->ClearBits();
  }
}

void TORVSparseBitmapNode::PutObject(int32_t Index, TORVBaseObject* Value, bool FreeStoredObject) {
  if (Index >= NumObjects()) {
    if (Value == nullptr) return;
    FObjects.resize(static_cast<size_t>(BlockOffset(Index + 1, 32)), nullptr);
  }
  TORVBaseObject*& Slot = FObjects[static_cast<size_t>(Index)];
  // Storing the object that is already there must not free it.
  if (Slot != nullptr && Slot != Value && FOwnsObjects && FreeStoredObject) delete Slot;
  Slot = Value;
}

void TORVSparseBitmapNode::DropObject(int32_t Index, bool FreeStoredObject) {
  if (Index >= NumObjects()) return;
  TORVBaseObject*& Slot = FObjects[static_cast<size_t>(Index)];
  TORVBaseObject* Object = Slot;
  Slot = nullptr;
  if (Object != nullptr && FOwnsObjects && FreeStoredObject) delete Object;
}

void TORVSparseBitmapNode::DropClearedObjects() {
  for (int32_t I = 1; I < NumObjects(); ++I) {
    if (FObjects[static_cast<size_t>(I)] != nullptr && !FBitmap.BitSet(I)) DropObject(I, true);
  }
}

void TORVSparseBitmapNode::FreeObjects() {
  for (int32_t I = 1; I < NumObjects(); ++I) DropObject(I, true);
}

bool TORVSparseBitmapNode::BitSet(int64_t Value, TORVBaseObject** StoredObject) const {
  const TORVSparseBitmapNode* Node = this;
  while (Node->FLevel < 3) {
    const int64_t Span = Node->ChildSpan();
    const int32_t Child = static_cast<int32_t>((Value - 1) / Span + 1);
    if (!Node->FBitmap.BitSet(Child)) return false;
    Value -= (Child - 1) * Span;
    Node = Node->FNodes[static_cast<size_t>(Child)].get();
  }
  const int32_t Bit = static_cast<int32_t>(Value);
  if (!Node->FBitmap.BitSet(Bit)) return false;
  if (StoredObject != nullptr) *StoredObject = Node->GetObject(Bit);
  return true;
}

void TORVSparseBitmapNode::SetBit(int64_t Value, bool StoreObject, TORVBaseObject* StoredObject,
                                  bool FreeStoredObject) {
  TORVSparseBitmapNode* Node = this;
  while (Node->FLevel < 3) {
    const int64_t Span = Node->ChildSpan();
    const int32_t Child = static_cast<int32_t>((Value - 1) / Span + 1);
    TORVSparseBitmapNode* Next = Node->CheckNode(Child);
    Node->FBitmap.SetBit(Child);
    Value -= (Child - 1) * Span;
    Node = Next;
  }
  const int32_t Bit = static_cast<int32_t>(Value);
  Node->FBitmap.SetBit(Bit);
  if (StoreObject) Node->PutObject(Bit, StoredObject, FreeStoredObject);
}

bool TORVSparseBitmapNode::ClearBit(int64_t Value, bool FreeStoredObject) {
  if (FLevel == 3) {
    const int32_t Bit = static_cast<int32_t>(Value);
    DropObject(Bit, FreeStoredObject);
    FBitmap.ClearBit(Bit);
    return Empty();
  }
  const int64_t Span = ChildSpan();
  const int32_t Child = static_cast<int32_t>((Value - 1) / Span + 1);
  if (FBitmap.BitSet(Child) && FNodes[static_cast<size_t>(Child)]->ClearBit(Value - (Child - 1) * Span, FreeStoredObject)) {
    FreeNode(Child);
  }
  return Empty();
}

int64_t TORVSparseBitmapNode::TotalBitsSet() const {
  if (FLevel == 3) return FBitmap.TotalBitsSet();
  int64_t Result = 0;
  for (int32_t Child = 0; FBitmap.NextBitSet(Child);) Result += FNodes[static_cast<size_t>(Child)]->TotalBitsSet();
  return Result;
}

int64_t TORVSparseBitmapNode::FirstSet(int64_t Value) const {
  if (FLevel == 3) {
    int32_t Bit = static_cast<int32_t>(Value - 1);
    return FBitmap.NextBitSet(Bit) ? Bit : 0;
  }
  const int64_t Span = ChildSpan();
  int32_t Child = static_cast<int32_t>((Value - 1) / Span + 1);
  if (FBitmap.BitSet(Child)) {
    const int64_t Found = FNodes[static_cast<size_t>(Child)]->FirstSet(Value - (Child - 1) * Span);
    if (Found != 0) return (Child - 1) * Span + Found;
  }
  if (!FBitmap.NextBitSet(Child)) return 0;
  return (Child - 1) * Span + FNodes[static_cast<size_t>(Child)]->FirstSet(1);
}

int64_t TORVSparseBitmapNode::LastSet(int64_t Value) const {
  if (FLevel == 3) {
    int32_t Bit = static_cast<int32_t>(Value + 1);
    return FBitmap.PriorBitSet(Bit) ? Bit : 0;
  }
  const int64_t Span = ChildSpan();
  int32_t Child = static_cast<int32_t>((Value - 1) / Span + 1);
  if (FBitmap.BitSet(Child)) {
    const int64_t Found = FNodes[static_cast<size_t>(Child)]->LastSet(Value - (Child - 1) * Span);
    if (Found != 0) return (Child - 1) * Span + Found;
  }
  if (!FBitmap.PriorBitSet(Child)) return 0;
  return (Child - 1) * Span + FNodes[static_cast<size_t>(Child)]->LastSet(Span);
}

int64_t TORVSparseBitmapNode::FirstClear(int64_t Value) const {
  if (FLevel == 3) {
    int32_t Bit = static_cast<int32_t>(Value - 1);
    return FBitmap.NextBitClear(Bit) ? Bit : 0;
  }
  const int64_t Span = ChildSpan();
  const int32_t First = static_cast<int32_t>((Value - 1) / Span + 1);
  int64_t Relative = Value - (First - 1) * Span;
  for (int32_t Child = First; Child <= MaxChild(); ++Child, Relative = 1) {
    // A missing or empty child is wholly clear.
    if (!FBitmap.BitSet(Child)) return (Child - 1) * Span + Relative;
    const int64_t Found = FNodes[static_cast<size_t>(Child)]->FirstClear(Relative);
    if (Found != 0) return (Child - 1) * Span + Found;
  }
  return 0;
}

int64_t TORVSparseBitmapNode::LastClear(int64_t Value) const {
  if (FLevel == 3) {
    int32_t Bit = static_cast<int32_t>(Value + 1);
    return FBitmap.PriorBitClear(Bit) ? Bit : 0;
  }
  const int64_t Span = ChildSpan();
  const int32_t First = static_cast<int32_t>((Value - 1) / Span + 1);
  int64_t Relative = Value - (First - 1) * Span;
  for (int32_t Child = First; Child >= 1; --Child, Relative = Span) {
    if (!FBitmap.BitSet(Child)) return (Child - 1) * Span + Relative;
    const int64_t Found = FNodes[static_cast<size_t>(Child)]->LastClear(Relative);
    if (Found != 0) return (Child - 1) * Span + Found;
  }
  return 0;
}

int64_t TORVSparseBitmapNode::RunForward(int64_t Value, int64_t MaxBits) const {
  if (FLevel == 3) {
    int32_t Bit = static_cast<int32_t>(Value - 1);
    int32_t Result = 0;
    FBitmap.NextBitsSet(Bit, Result, static_cast<int32_t>(std::min<int64_t>(MaxBits, 256)));
    return Result;
  }
  const int64_t Span = ChildSpan();
  int32_t Child = static_cast<int32_t>((Value - 1) / Span + 1);
  int64_t Relative = Value - (Child - 1) * Span;
  int64_t Total = 0;
  // The run goes on into the next child only when it reached the last
  // number of this one.
  while (Total < MaxBits && Child <= MaxChild() && FBitmap.BitSet(Child)) {
    const int64_t Run = FNodes[static_cast<size_t>(Child)]->RunForward(Relative, MaxBits - Total);
    Total += Run;
    if (Relative + Run - 1 < Span) break;
    ++Child;
    Relative = 1;
  }
  return Total;
}

int64_t TORVSparseBitmapNode::RunBackward(int64_t Value, int64_t MaxBits) const {
  if (FLevel == 3) {
    int32_t Bit = static_cast<int32_t>(Value + 1);
    int32_t Result = 0;
    FBitmap.PriorBitsSet(Bit, Result, static_cast<int32_t>(std::min<int64_t>(MaxBits, 256)));
    return Result;
  }
  const int64_t Span = ChildSpan();
  int32_t Child = static_cast<int32_t>((Value - 1) / Span + 1);
  int64_t Relative = Value - (Child - 1) * Span;
  int64_t Total = 0;
  while (Total < MaxBits && Child >= 1 && FBitmap.BitSet(Child)) {
    const int64_t Run = FNodes[static_cast<size_t>(Child)]->RunBackward(Relative, MaxBits - Total);
    Total += Run;
    if (Relative - Run + 1 > 1) break;
    --Child;
    Relative = Span;
  }
  return Total;
}

template <typename TCreate, typename TOperation>
void TORVSparseBitmapNode::ForChildren(int64_t Limit, TCreate Create, TOperation Operation) {
  const int64_t Span = ChildSpan();
  const int32_t LastChild =
      Limit <= 0 ? 0 : static_cast<int32_t>(std::min<int64_t>((Limit - 1) / Span + 1, MaxChild()));
  for (int32_t Child = 1; Child <= LastChild; ++Child) {
    const int64_t ChildLimit = Child < LastChild ? Span : Limit - (Child - 1) * Span;
    // A child whose bit is clear is absent or kept empty: creating it reuses
    // the kept one.
    TORVSparseBitmapNode* Node = nullptr;
    if (Create(Child)) {
      Node = CheckNode(Child);
    } else if (FBitmap.BitSet(Child)) {
      Node = FNodes[static_cast<size_t>(Child)].get();
    } else {
      continue;
    }
    Operation(Child, *Node, ChildLimit);
    if (Node->Empty()) {
      FreeNode(Child);
    } else {
      FBitmap.SetBit(Child);
    }
  }
  for (int32_t Child = LastChild; FBitmap.NextBitSet(Child);) FreeNode(Child);
}

void TORVSparseBitmapNode::ClearAbove(int64_t Limit) {
  for (int32_t Bit = static_cast<int32_t>(std::clamp<int64_t>(Limit, 0, 256)); FBitmap.NextBitSet(Bit);) {
    FBitmap.ClearBit(Bit);
  }
  DropClearedObjects();
}

const TORVSparseBitmapNode* TORVSparseBitmapNode::SourceNode(const TORVSparseBitmapNode* Source, int32_t Child) {
  if (Source == nullptr || !Source->FBitmap.BitSet(Child)) return nullptr;
  return Source->FNodes[static_cast<size_t>(Child)].get();
}

void TORVSparseBitmapNode::AndBits(const TORVSparseBitmapNode* Source, int64_t Limit) {
  if (FLevel == 3) {
    if (Source == nullptr) {
      FBitmap.ClearBits();
    } else {
      FBitmap.AndBits(Source->FBitmap);
    }
    ClearAbove(Limit);
    return;
  }
  ForChildren(
      Limit, [](int32_t) { return false; },
      [Source](int32_t Child, TORVSparseBitmapNode& Node, int64_t ChildLimit) {
        Node.AndBits(SourceNode(Source, Child), ChildLimit);
      });
}

void TORVSparseBitmapNode::OrBits(const TORVSparseBitmapNode* Source, int64_t Limit) {
  if (FLevel == 3) {
    if (Source != nullptr) FBitmap.OrBits(Source->FBitmap);
    ClearAbove(Limit);
    return;
  }
  ForChildren(
      Limit, [Source](int32_t Child) { return SourceNode(Source, Child) != nullptr; },
      [Source](int32_t Child, TORVSparseBitmapNode& Node, int64_t ChildLimit) {
        Node.OrBits(SourceNode(Source, Child), ChildLimit);
      });
}

void TORVSparseBitmapNode::NotBits(int64_t Limit) {
  if (FLevel == 3) {
    FBitmap.NotBits();
    ClearAbove(Limit);
    return;
  }
  ForChildren(
      Limit, [](int32_t) { return true; },
      [](int32_t, TORVSparseBitmapNode& Node, int64_t ChildLimit) { Node.NotBits(ChildLimit); });
}

void TORVSparseBitmapNode::SetBits(int64_t Limit) {
  if (FLevel == 3) {
    FBitmap.SetBits();
    ClearAbove(Limit);
    return;
  }
  ForChildren(
      Limit, [](int32_t) { return true; },
      [](int32_t, TORVSparseBitmapNode& Node, int64_t ChildLimit) { Node.SetBits(ChildLimit); });
}

void TORVSparseBitmapNode::ClearBits() {
  if (FLevel == 3) {
    FreeObjects();
  } else {
    for (int32_t Child = 0; FBitmap.NextBitSet(Child);) FreeNode(Child);
  }
  FBitmap.ClearBits();
}

void TORVSparseBitmapNode::Assign(const TORVSparseBitmapNode& Source) {
  if (FLevel == 3) {
    const int32_t Count = std::max(NumObjects(), Source.NumObjects());
    for (int32_t Bit = 1; Bit < Count; ++Bit) PutObject(Bit, Source.GetObject(Bit), true);
    FBitmap.Assign(Source.FBitmap);
    return;
  }
  for (int32_t Child = 0; FBitmap.NextBitSet(Child);) {
    if (!Source.FBitmap.BitSet(Child)) FreeNode(Child);
  }
  for (int32_t Child = 0; Source.FBitmap.NextBitSet(Child);) {
    CheckNode(Child)->Assign(*Source.FNodes[static_cast<size_t>(Child)]);
  }
  FBitmap.Assign(Source.FBitmap);
}

void TORVSparseBitmapNode::Dump(TORVString& Text, int32_t Number) const {
  Text += u"Node: " + IntToString(Number) + u"\r\nLevel: " + IntToString(FLevel) + u"\r\nTotal Bits Set: " +
          IntToString(TotalBitsSet()) + u"\r\nBit Set:";
  if (FLevel == 3) {
    for (int32_t Bit = 0; FBitmap.NextBitSet(Bit);) {
      Text += u"\r\n\r\n" + IntToString(Bit) + u": " +
              IntToString(static_cast<int64_t>(reinterpret_cast<uintptr_t>(GetObject(Bit))));
    }
    return;
  }
  for (int32_t Child = 0; FBitmap.NextBitSet(Child);) Text += u" " + IntToString(Child);
  for (int32_t Child = 0; FBitmap.NextBitSet(Child);) {
    Text += u"\r\n\r\n";
    FNodes[static_cast<size_t>(Child)]->Dump(Text, Child);
  }
}

void TORVSparseBitmapNode::Save(TORVStream& Stream) const {
  Stream.WriteInteger(FLevel);
  FBitmap.Save(Stream);
  if (FLevel == 3) return;
  // Only the children the map names: an emptied child kept for reuse has no
  // bit, and a reader can only go by the map.
  for (int32_t Child = 0; FBitmap.NextBitSet(Child);) FNodes[static_cast<size_t>(Child)]->Save(Stream);
}

void TORVSparseBitmapNode::Load(TORVStream& Stream, int64_t Base) {
  FBitmap.Load(Stream);
  if (FBitmap.GetBitCount() != 256) CorruptBitmapError(u"node map of " + IntToString(FBitmap.GetBitCount()) + u" bits");
  if (FLevel == 3) {
    int32_t Last = 257;
    if (FBitmap.PriorBitSet(Last) && Base + Last > MaxInt32) CorruptBitmapError(u"number " + IntToString(Base + Last));
    return;
  }
  int32_t Last = 257;
  if (FBitmap.PriorBitSet(Last) && Last > MaxChild()) {
    CorruptBitmapError(u"child " + IntToString(Last) + u" of a level " + IntToString(FLevel) + u" node");
  }
  for (int32_t Child = 0; FBitmap.NextBitSet(Child);) {
    const int32_t Level = ReadCount(Stream);
    if (Level != FLevel + 1) {
      CorruptBitmapError(u"node level " + IntToString(Level) + u" below a level " + IntToString(FLevel) + u" node");
    }
    TORVSparseBitmapNode* Node = CheckNode(Child);
    Node->Load(Stream, Base + (Child - 1) * ChildSpan());
    if (Node->Empty()) CorruptBitmapError(u"empty child " + IntToString(Child) + u" of a level " + IntToString(FLevel) + u" node");
  }
}

// ---------------------------------------------------------------------------
// TORVSparseBitmap

TORVSparseBitmap::TORVSparseBitmap(bool Minimal, bool OwnsObjects, int32_t InitialLevel)
    : FMinimal(Minimal),
      FOwnsObjects(OwnsObjects),
      FRootNode(std::make_unique<TORVSparseBitmapNode>(std::clamp(InitialLevel, 0, 3), nullptr, Minimal, OwnsObjects)) {}

TORVSparseBitmap::~TORVSparseBitmap() = default;

int32_t TORVSparseBitmap::MaxNumber() const { return static_cast<int32_t>(std::min(Cover(), MaxInt32)); }

int64_t TORVSparseBitmap::OperationLimit() const { return std::min<int64_t>(FBitCount, MaxNumber()); }

bool TORVSparseBitmap::BitSet(int32_t Value) const {
  if (Value <= 0 || Value > MaxNumber()) return false;
  return FRootNode->BitSet(Value, nullptr);
}

bool TORVSparseBitmap::BitSet(int32_t Value, TORVBaseObject*& StoredObject) const {
  StoredObject = nullptr;
  if (Value <= 0 || Value > MaxNumber()) return false;
  return FRootNode->BitSet(Value, &StoredObject);
}

void TORVSparseBitmap::SetBit(int32_t Value) {
  if (Value <= 0 || Value > MaxNumber()) return;
  FRootNode->SetBit(Value, false, nullptr, false);
}

void TORVSparseBitmap::SetBit(int32_t Value, TORVBaseObject* StoredObject, bool FreeStoredObject) {
  if (Value <= 0 || Value > MaxNumber()) return;
  FRootNode->SetBit(Value, true, StoredObject, FreeStoredObject);
}

void TORVSparseBitmap::ClearBit(int32_t Value, bool FreeStoredObject) {
  if (Value <= 0 || Value > MaxNumber()) return;
  FRootNode->ClearBit(Value, FreeStoredObject);
}

int32_t TORVSparseBitmap::TotalBitsSet() const { return static_cast<int32_t>(FRootNode->TotalBitsSet()); }

bool TORVSparseBitmap::NextBitSet(int32_t& Value) const {
  if (Value >= FBitCount) return false;
  const int64_t Start = std::max<int64_t>(Value, 0) + 1;
  if (Start > MaxNumber()) return false;
  const int64_t Found = FRootNode->FirstSet(Start);
  if (Found == 0) return false;
  Value = static_cast<int32_t>(Found);
  return true;
}

bool TORVSparseBitmap::NextBitSet(int32_t& Value, TORVBaseObject*& StoredObject) const {
  StoredObject = nullptr;
  if (!NextBitSet(Value)) return false;
  FRootNode->BitSet(Value, &StoredObject);
  return true;
}

bool TORVSparseBitmap::NextBitClear(int32_t& Value) const {
  if (Value >= FBitCount) return false;
  const int64_t Start = std::max<int64_t>(Value, 0) + 1;
  int64_t Found = Start > Cover() ? Start : FRootNode->FirstClear(Start);
  // Past everything the tree covers, every number is a non-member.
  if (Found == 0) Found = Cover() + 1;
  if (Found > MaxInt32) return false;
  Value = static_cast<int32_t>(Found);
  return true;
}

bool TORVSparseBitmap::PriorBitSet(int32_t& Value) const {
  if (Value <= 1) return false;
  const int64_t Start = std::min<int64_t>(static_cast<int64_t>(Value) - 1, MaxNumber());
  const int64_t Found = FRootNode->LastSet(Start);
  if (Found == 0) return false;
  Value = static_cast<int32_t>(Found);
  return true;
}

bool TORVSparseBitmap::PriorBitSet(int32_t& Value, TORVBaseObject*& StoredObject) const {
  StoredObject = nullptr;
  if (!PriorBitSet(Value)) return false;
  FRootNode->BitSet(Value, &StoredObject);
  return true;
}

bool TORVSparseBitmap::PriorBitClear(int32_t& Value) const {
  if (Value <= 1) return false;
  const int64_t Start = static_cast<int64_t>(Value) - 1;
  const int64_t Found = Start > Cover() ? Start : FRootNode->LastClear(Start);
  if (Found == 0) return false;
  Value = static_cast<int32_t>(Found);
  return true;
}

int32_t TORVSparseBitmap::NextBitsSet(int32_t Value, int32_t MaxBits) const {
  if (Value >= FBitCount || Value < 0 || MaxBits < 1) return 1;
  const int64_t Start = static_cast<int64_t>(Value) + 1;
  if (Start > MaxNumber()) return 1;
  return static_cast<int32_t>(std::max<int64_t>(FRootNode->RunForward(Start, MaxBits), 1));
}

int32_t TORVSparseBitmap::PriorBitsSet(int32_t Value, int32_t MaxBits) const {
  if (Value <= 1 || MaxBits < 1) return 1;
  const int64_t Start = static_cast<int64_t>(Value) - 1;
  if (Start > MaxNumber()) return 1;
  return static_cast<int32_t>(std::max<int64_t>(FRootNode->RunBackward(Start, MaxBits), 1));
}

std::unique_ptr<TORVSparseBitmapNode> TORVSparseBitmap::ShapedCopy(const TORVSparseBitmap& Source) const {
  auto Root = std::make_unique<TORVSparseBitmapNode>(FRootNode->GetLevel(), nullptr, true, false);
  const int64_t Limit = OperationLimit();
  for (int64_t Number = Source.FRootNode->FirstSet(1); Number != 0 && Number <= Limit;
       Number = Number < Source.Cover() ? Source.FRootNode->FirstSet(Number + 1) : 0) {
    Root->SetBit(Number, false, nullptr, false);
  }
  return Root;
}

void TORVSparseBitmap::AndBits(const TORVSparseBitmap& Source) {
  // A set combined with itself only loses what lies above the limit.
  if (&Source == this) {
    FRootNode->OrBits(nullptr, OperationLimit());
  } else if (Source.FRootNode->GetLevel() == FRootNode->GetLevel()) {
    FRootNode->AndBits(Source.FRootNode.get(), OperationLimit());
  } else {
    FRootNode->AndBits(ShapedCopy(Source).get(), OperationLimit());
  }
}

void TORVSparseBitmap::OrBits(const TORVSparseBitmap& Source) {
  if (&Source == this) {
    FRootNode->OrBits(nullptr, OperationLimit());
  } else if (Source.FRootNode->GetLevel() == FRootNode->GetLevel()) {
    FRootNode->OrBits(Source.FRootNode.get(), OperationLimit());
  } else {
    FRootNode->OrBits(ShapedCopy(Source).get(), OperationLimit());
  }
}

void TORVSparseBitmap::NotBits() { FRootNode->NotBits(OperationLimit()); }

void TORVSparseBitmap::SetBits() { FRootNode->SetBits(OperationLimit()); }

void TORVSparseBitmap::ClearBits() { FRootNode->ClearBits(); }

void TORVSparseBitmap::Assign(const TORVSparseBitmap& Source) {
  if (&Source == this) return;
  FBitCount = Source.FBitCount;
  if (Source.FRootNode->GetLevel() != FRootNode->GetLevel()) {
    FRootNode = std::make_unique<TORVSparseBitmapNode>(Source.FRootNode->GetLevel(), nullptr, FMinimal, FOwnsObjects);
  }
  FRootNode->Assign(*Source.FRootNode);
}

void TORVSparseBitmap::Save(TORVStream& Stream) const {
  Stream.WriteInteger(FBitCount);
  FRootNode->Save(Stream);
}

void TORVSparseBitmap::Load(TORVStream& Stream) {
  ClearBits();
  const int32_t BitCount = ReadCount(Stream);
  // The stored tree keeps its own shape, so that what was saved comes back
  // whatever level this set started at.
  const int32_t Level = ReadCount(Stream);
  if (Level < 0 || Level > 3) CorruptBitmapError(u"node level " + IntToString(Level));
  auto Root = std::make_unique<TORVSparseBitmapNode>(Level, nullptr, FMinimal, FOwnsObjects);
  Root->Load(Stream, 0);
  FRootNode = std::move(Root);
  FBitCount = BitCount;
}

TORVString TORVSparseBitmap::Dump() const {
  TORVString Text;
  FRootNode->Dump(Text, 1);
  return Text;
}

void TORVSparseBitmap::CheckInvariants() const {
  ORV_ASSERT(FRootNode != nullptr);
  ORV_ASSERT(FRootNode->FUpperNode == nullptr);
  ORV_ASSERT(FRootNode->FMinimal == FMinimal && FRootNode->FOwnsObjects == FOwnsObjects);
  FRootNode->CheckInvariants();
}

}  // namespace orv
