// Sets of numbers: a dense bit array numbered from 1, and a sparse tree of
// 256-bit maps that holds positive 32-bit numbers and can keep one object
// with each of them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/orvcommon.h"
#include "base/orvtype.h"

namespace orv {

class TORVStream;

// A dense array of bits numbered 1 .. BitCount. Bit v lives in word (v - 1)
// div 32 at bit (v - 1) mod 32. The bits of the last word above BitCount, and
// every allocated word beyond the words in use, are always 0, so whole-word
// operations never see stale bits.
class TORVBitmap : public TORVBaseObject {
 public:
  TORVBitmap() = default;

  int32_t GetBitCount() const { return FBitCount; }
  // Keeps the bits below the smaller of the old and new counts; bits above
  // the new count are gone even if the count is raised again later. A
  // negative count is taken as 0.
  void SetBitCount(int32_t Value);

  // Numbers outside 1 .. BitCount are never members: setting or clearing one
  // does nothing, so a stray number cannot write outside the words.
  bool BitSet(int32_t Value) const {
    const uint32_t Index = static_cast<uint32_t>(Value) - 1u;
    if (Index >= static_cast<uint32_t>(FBitCount)) return false;
    return ((FBitmap[Index >> 5] >> (Index & 31u)) & 1u) != 0;
  }
  void SetBit(int32_t Value) {
    const uint32_t Index = static_cast<uint32_t>(Value) - 1u;
    if (Index < static_cast<uint32_t>(FBitCount)) FBitmap[Index >> 5] |= (1u << (Index & 31u));
  }
  void ClearBit(int32_t Value) {
    const uint32_t Index = static_cast<uint32_t>(Value) - 1u;
    if (Index < static_cast<uint32_t>(FBitCount)) FBitmap[Index >> 5] &= ~(1u << (Index & 31u));
  }

  int32_t TotalBitsSet() const;

  // Smallest set (clear) bit above Value and not above BitCount; Value
  // receives it. False, with Value unchanged, when there is none.
  bool NextBitSet(int32_t& Value) const;
  bool NextBitClear(int32_t& Value) const;
  // Largest set (clear) bit below Value and not below 1.
  bool PriorBitSet(int32_t& Value) const;
  bool PriorBitClear(int32_t& Value) const;

  // Counts the run of set bits starting right after (below) Value: each bit
  // adds one to ResultValue and moves Value onto it. Stops at a clear bit,
  // at either end of the bitmap, or when ResultValue reaches MaxBits. True
  // when at least one bit was counted. ResultValue is not reset, so a run can
  // be continued across several bitmaps.
  bool NextBitsSet(int32_t& Value, int32_t& ResultValue, int32_t MaxBits) const;
  bool PriorBitsSet(int32_t& Value, int32_t& ResultValue, int32_t MaxBits) const;

  // Word-wise with Source over 1 .. BitCount. Bits that Source does not have
  // (it is shorter) count as clear.
  void AndBits(const TORVBitmap& Source);
  void OrBits(const TORVBitmap& Source);
  void XorBits(const TORVBitmap& Source);
  void NotBits();
  void ClearBits();
  void SetBits();
  void Assign(const TORVBitmap& Source);

  bool Empty() const;

  // Int32 bit count, Int32 word count, then the words, each little-endian.
  void Save(TORVStream& Stream) const;
  // Refuses (ORV_CORRUPT_ERROR) a record whose counts disagree, a negative bit count
  // and a record cut short, before anything is allocated for it.
  void Load(TORVStream& Stream);

 private:
  void ClearEdgeBits();
  // The searches over the bits, or over their complement when Flip is all
  // ones.
  bool NextBit(int32_t& Value, uint32_t Flip) const;
  bool PriorBit(int32_t& Value, uint32_t Flip) const;
  uint32_t SourceWord(const TORVBitmap& Source, int32_t Index) const {
    return Index < Source.FWordCount ? Source.FBitmap[static_cast<size_t>(Index)] : 0u;
  }

  // Allocated in steps of 8 words; FWordCount of them are in use.
  TORVLongWords FBitmap;
  int32_t FWordCount = 0;
  int32_t FBitCount = 0;
};

// Numbers covered by a node of each level (0 = root of a full tree, 3 =
// leaf); a node of level L has children covering the span of level L + 1.
// A full tree covers 1 .. 2^31 - 1 through children 1 to 128 of its root.
inline constexpr int64_t SparseBitmapSpans[4] = {0x80000000LL, 0x1000000LL, 0x10000LL, 0x100LL};

// One node of a sparse bitmap. Numbers given to a node are relative to it:
// 1 .. SparseBitmapSpans[level]. A branch's map bit j says that child j exists
// and is not empty; a child whose bit is clear is either absent or (in the
// non-minimal mode) kept empty for reuse. A leaf's map bit k says that number
// k is a member, and its object slot k holds the object stored with it.
//
// Invariants (CheckInvariants): the map has 256 bits; a branch (level 0 to 2)
// has children only in slots 1 .. MaxChild, each one level down, naming this
// node as its upper node and sharing its Minimal and OwnsObjects modes; a
// branch's map bit j is set exactly when child j exists and is not empty
// (so a minimal tree holds no empty child); a branch holds no objects; a
// leaf (level 3) has no children, and an object only in the slot of a
// member.
class TORVSparseBitmapNode : public TORVBaseObject {
 public:
  TORVSparseBitmapNode(int32_t Level, TORVSparseBitmapNode* UpperNode, bool Minimal, bool OwnsObjects);
  ~TORVSparseBitmapNode() override;

  int32_t GetLevel() const { return FLevel; }
  TORVSparseBitmapNode* GetUpperNode() const { return FUpperNode; }
  const TORVBitmap& GetBitmap() const { return FBitmap; }
  bool Empty() const { return FBitmap.Empty(); }
  int32_t MaxChild() const { return FLevel == 0 ? 128 : 256; }
  int64_t ChildSpan() const { return SparseBitmapSpans[FLevel + 1]; }
  TORVSparseBitmapNode* GetNode(int32_t Index) const {
    return Index < NumNodes() ? FNodes[static_cast<size_t>(Index)].get() : nullptr;
  }
  TORVBaseObject* GetObject(int32_t Index) const {
    return Index < NumObjects() ? FObjects[static_cast<size_t>(Index)] : nullptr;
  }

  bool BitSet(int64_t Value, TORVBaseObject** StoredObject) const;
  void SetBit(int64_t Value, bool StoreObject, TORVBaseObject* StoredObject, bool FreeStoredObject);
  // True when the node became empty.
  bool ClearBit(int64_t Value, bool FreeStoredObject);
  int64_t TotalBitsSet() const;

  // Searches from (and including) Value; 0 when nothing is found inside the
  // node.
  int64_t FirstSet(int64_t Value) const;
  int64_t LastSet(int64_t Value) const;
  int64_t FirstClear(int64_t Value) const;
  int64_t LastClear(int64_t Value) const;
  // Length of the run of members that starts (ends) at Value, at most
  // MaxBits, not going beyond the node.
  int64_t RunForward(int64_t Value, int64_t MaxBits) const;
  int64_t RunBackward(int64_t Value, int64_t MaxBits) const;

  // Whole-set operations over 1 .. Limit of the node; every member above
  // Limit is removed. Source may be null (an empty source).
  void AndBits(const TORVSparseBitmapNode* Source, int64_t Limit);
  void OrBits(const TORVSparseBitmapNode* Source, int64_t Limit);
  void NotBits(int64_t Limit);
  void SetBits(int64_t Limit);
  void ClearBits();
  void Assign(const TORVSparseBitmapNode& Source);

  void Dump(TORVString& Text, int32_t Number) const;
  // Raises std::logic_error when an invariant above is broken here or below.
  void CheckInvariants() const;

  // Int32 level and the map; a branch then has each child that its map
  // names, in ascending order.
  void Save(TORVStream& Stream) const;

 private:
  friend class TORVSparseBitmap;

  // Reads what Save wrote after the level into this empty node; Base is the
  // number just below the node's first one.
  void Load(TORVStream& Stream, int64_t Base);
  // Slots allocated for children and objects, in steps of 32; slots never
  // used hold nullptr.
  int32_t NumNodes() const { return static_cast<int32_t>(FNodes.size()); }
  int32_t NumObjects() const { return static_cast<int32_t>(FObjects.size()); }
  TORVSparseBitmapNode* CheckNode(int32_t Index);
  void FreeNode(int32_t Index);
  void PutObject(int32_t Index, TORVBaseObject* Value, bool FreeStoredObject);
  void DropObject(int32_t Index, bool FreeStoredObject);
  void DropClearedObjects();
  void FreeObjects();
  // Applies Operation to the children 1 .. the one holding Limit (each with
  // its relative limit): to those that exist and are not empty, and to those
  // Create(child) asks for, creating them when missing. Releases the children
  // above Limit and those left empty.
  template <typename TCreate, typename TOperation>
  void ForChildren(int64_t Limit, TCreate Create, TOperation Operation);
  // Leaf: removes the members above Limit and their objects.
  void ClearAbove(int64_t Limit);
  static const TORVSparseBitmapNode* SourceNode(const TORVSparseBitmapNode* Source, int32_t Child);

  int32_t FLevel;
  TORVBitmap FBitmap;
  TORVSparseBitmapNode* FUpperNode;
  bool FMinimal;
  bool FOwnsObjects;
  std::vector<std::unique_ptr<TORVSparseBitmapNode>> FNodes;
  std::vector<TORVBaseObject*> FObjects;
};

// A set of positive 32-bit numbers kept as a tree of 256-number leaves, each
// member optionally carrying an object. Numbers <= 0, and numbers beyond what
// the root's level covers, are never members: operations ignore them.
// BitCount bounds the whole-set operations and the start of forward searches.
// Minimal frees nodes as they empty; otherwise they are kept for reuse.
class TORVSparseBitmap : public TORVBaseObject {
 public:
  explicit TORVSparseBitmap(bool Minimal = true, bool OwnsObjects = false, int32_t InitialLevel = 0);
  ~TORVSparseBitmap() override;

  int32_t GetBitCount() const { return FBitCount; }
  void SetBitCount(int32_t Value) { FBitCount = Value; }
  bool GetMinimal() const { return FMinimal; }
  bool GetOwnsObjects() const { return FOwnsObjects; }
  // The highest number the tree can hold.
  int32_t MaxNumber() const;
  const TORVSparseBitmapNode& GetRootNode() const { return *FRootNode; }

  bool BitSet(int32_t Value) const;
  bool BitSet(int32_t Value, TORVBaseObject*& StoredObject) const;
  void SetBit(int32_t Value);
  // Stores StoredObject with Value. An owned object stored there before is
  // freed when FreeStoredObject is set (never when it is StoredObject itself).
  void SetBit(int32_t Value, TORVBaseObject* StoredObject, bool FreeStoredObject);
  // Removes Value and empties its object slot, freeing an owned object when
  // FreeStoredObject is set (otherwise the caller takes it over).
  void ClearBit(int32_t Value, bool FreeStoredObject);
  int32_t TotalBitsSet() const;

  // False when Value >= BitCount; otherwise the smallest member (non-member)
  // above Value, which may lie above BitCount.
  bool NextBitSet(int32_t& Value) const;
  bool NextBitSet(int32_t& Value, TORVBaseObject*& StoredObject) const;
  bool NextBitClear(int32_t& Value) const;
  // False when Value <= 0; otherwise the largest member (non-member) below
  // Value.
  bool PriorBitSet(int32_t& Value) const;
  bool PriorBitSet(int32_t& Value, TORVBaseObject*& StoredObject) const;
  bool PriorBitClear(int32_t& Value) const;
  // Length of the run of members starting at Value + 1 (ending at Value - 1),
  // at most MaxBits; 1 when there is no run, so that it serves directly as a
  // read-ahead count.
  int32_t NextBitsSet(int32_t Value, int32_t MaxBits) const;
  int32_t PriorBitsSet(int32_t Value, int32_t MaxBits) const;

  // Over 1 .. BitCount; afterwards no number above BitCount is a member.
  // Objects stored with numbers that leave the set are released (freed when
  // owned).
  void AndBits(const TORVSparseBitmap& Source);
  void OrBits(const TORVSparseBitmap& Source);
  void NotBits();
  void SetBits();
  void ClearBits();
  // Copies BitCount, the tree and the stored object references. Objects this
  // set owned and that Source does not hold in the same slot are freed.
  void Assign(const TORVSparseBitmap& Source);

  TORVString Dump() const;
  // Raises std::logic_error when the tree breaks a node invariant, or its
  // root is not a root (a node with no upper node, of the set's modes).
  void CheckInvariants() const;

  // Int32 BitCount, then the tree. Stored objects are not written.
  void Save(TORVStream& Stream) const;
  // Empties the set first. Refuses (ORV_CORRUPT_ERROR) a malformed tree; the set is
  // then left empty.
  void Load(TORVStream& Stream);

 private:
  int64_t Cover() const { return SparseBitmapSpans[FRootNode->GetLevel()]; }
  // The highest number 1 .. Limit that whole-set operations consider.
  int64_t OperationLimit() const;
  // Source's members 1 .. the operation limit in a tree of this set's shape
  // (roots of different levels cannot be combined node by node).
  std::unique_ptr<TORVSparseBitmapNode> ShapedCopy(const TORVSparseBitmap& Source) const;

  bool FMinimal;
  bool FOwnsObjects;
  int32_t FBitCount = 0;
  std::unique_ptr<TORVSparseBitmapNode> FRootNode;
};

}  // namespace orv
