// Ordered lists of typed values: the tuples that are compared, sorted,
// searched, saved and loaded as one (parameter lists, keys, bookmarks).
#pragma once

#include <cstdint>
#include <vector>

#include "core/orvcommon.h"

namespace orv {

class TORVMemoryStream;
class TORVValue;

// Whether a list owns its values is fixed when it is made. An owning list
// frees its values when it is destroyed, when its capacity is cut below its
// count, and when Load finds fewer values in a stream than it holds; Delete
// and DeleteAll never free. Slots from Count to Capacity - 1 are nil.
// Indexes outside the list raise std::out_of_range.
class TORVValues : public TORVBaseObject {
 public:
  // An owning list whose values are made in CharacterSetToUse.
  explicit TORVValues(int32_t CharacterSetToUse);
  ~TORVValues() override;

  // Makes the value for position Index when Load finds no entry there;
  // nil here, lists that know their values' types supply it.
  virtual TORVValue* CreateValueObject(int32_t Index);
  // Sets the count alone; new positions are nil until they are filled with
  // SetItems (the capacity grows to hold them).
  virtual void SetCount(int32_t Value);
  virtual void Add(TORVValue* Value);
  // InsertPos may be Count, which appends.
  virtual void Insert(int32_t InsertPos, TORVValue* Value);
  // Takes the entry out without freeing it; nothing happens on an empty list.
  virtual void Delete(int32_t DeletePos);
  // Empties the list without freeing anything.
  virtual void DeleteAll();
  // Makes every value NULL and keeps the entries.
  virtual void Clear();
  // An owning list copies FromValues' values into its own, position by
  // position, as far as both lists reach. A list that does not own its
  // values comes to refer to FromValues' values instead.
  virtual void Assign(TORVValues& FromValues);
  // Compares position by position as far as both lists reach; the first
  // difference decides, and equal prefixes compare 0 whatever the counts.
  // PartialLength applies to the text at the last position of
  // ValuesToCompare only.
  virtual int32_t Compare(TORVValues& ValuesToCompare, int32_t PartialLength, bool CaseInsensitive);
  // The count, then each value's stream record.
  virtual void Save(TORVMemoryStream& Stream);
  virtual void Load(TORVMemoryStream& Stream);

  // Binary search of a list sorted ascending. Returns 0 when Value was found
  // at ValueIndex; otherwise the last comparison of an entry with Value
  // (-1 or 1) and ValueIndex is where Value would be inserted.
  int32_t FindValue(TORVValue& Value, int32_t FindCollation, int32_t& ValueIndex);
  // Ascending, in place; equal entries do not keep their order.
  void Sort(int32_t SortCollation);

  int32_t GetCharacterSet() const { return FCharacterSet; }
  bool GetOwnsValues() const { return FOwnsValues; }
  int32_t GetCapacity() const { return FCapacity; }
  // Rounded up to a multiple of 8; cutting below Count drops (and, in an
  // owning list, frees) the values beyond the new capacity.
  void SetCapacity(int32_t Value);
  int32_t GetCount() const { return FCount; }
  TORVValue* GetItems(int32_t Index) const;
  // Stores the reference without freeing the one it replaces.
  void SetItems(int32_t Index, TORVValue* Value);

 protected:
  TORVValues(int32_t CharacterSetToUse, bool OwnsValues);

  // Raises the corruption error of a list record read from a stream.
  [[noreturn]] void CorruptStreamError(const TORVString& Detail);
  // Frees the owned values of positions From .. To - 1, last first.
  void FreeRange(int32_t From, int32_t To);

  int32_t FCharacterSet;
  bool FOwnsValues;
  std::vector<TORVValue*> FItems;
  int32_t FCapacity = 0;
  int32_t FCount = 0;

 private:
  void CheckIndex(int32_t Index) const;
  void QuickSort(int32_t Low, int32_t High, int32_t SortCollation);
};

// True for the values whose comparison is a text comparison: character
// values of every subtype and CLOBs.
bool IsTextCompareValue(const TORVValue& Value);

// One member of a list comparison: text under Collation, with PartialLength
// only for the last member compared; everything else compared whole.
int32_t CompareListMember(TORVValue& Value, TORVValue& Other, bool Last, int32_t PartialLength, bool CaseInsensitive,
                          int32_t Collation);

}  // namespace orv
