// A value list used as an index key: it compares with each key column's
// collation and sort direction and carries the row ID of the row it keys.
#pragma once

#include <cstdint>

#include "core/orvvalues.h"

namespace orv {

// Refers to values that belong to something else (a row, a cursor's key
// buffer); it never frees them. The owner of the key columns supplies their
// collation, direction and the row ID.
class TORVKeyValues : public TORVValues {
 public:
  explicit TORVKeyValues(int32_t CharacterSetToUse);

  // The collation and descending flag of key column Index.
  virtual int32_t GetColumnCollation(int32_t Index) = 0;
  virtual bool GetColumnDescending(int32_t Index) = 0;
  virtual int32_t GetRowID() = 0;
  virtual void SetRowID(int32_t Value) = 0;

  // Takes the row ID too when FromValues is a key.
  void Assign(TORVValues& FromValues) override;
  // An empty key on either side compares -1. Text is compared with the key
  // column's collation, and a descending column reverses its result. The
  // row ID plays no part.
  int32_t Compare(TORVValues& ValuesToCompare, int32_t PartialLength, bool CaseInsensitive) override;
  // The list's record followed by the 4-byte row ID.
  void Save(TORVMemoryStream& Stream) override;
  void Load(TORVMemoryStream& Stream) override;

 protected:
  // A key that owns its values (a search key, a bookmark held apart).
  TORVKeyValues(int32_t CharacterSetToUse, bool OwnsValues);
};

}  // namespace orv
