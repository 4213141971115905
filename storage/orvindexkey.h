// Index keys: values that live inside a key slot of an index page, the key
// cursor that walks the slots and row entries of one page, and the plain key
// list in which a row's key is built before it is searched or stored.
//
// Key values area of a slot (KeySize bytes): for each index column in index
// order, a presence flag (1 a value, 0 NULL) followed by the column's Size
// bytes. VarChar and VarByte hold a 2-byte count then at most the column's
// length in characters or bytes; Char, Byte and GUID hold exactly the length;
// numbers hold their native little-endian image. Bytes after a shorter
// varying value are left as they were: readers use only the stored count.
// A text index has one value, a VarChar word of TextWordLength characters.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/orvtype.h"
#include "core/orvimagevalue.h"
#include "core/orvkeyvalues.h"
#include "core/orvvalue.h"

namespace orv {

class TORVColumn;
class TORVIndex;
class TORVIndexKey;
class TORVIndexKeyValue;
class TORVIndexPage;
class TORVSparseBitmap;

// Made once, beside the storage it reads.
extern template class TORVImageValue<TORVValue, TORVIndexKeyValue>;

// Bytes of the key values of one entry of Index under CharacterSet.
int32_t CalculateIndexKeySize(TORVIndex& Index, int32_t CharacterSet);

// A value whose storage is one column's bytes in the key slot its key
// cursor stands on. Nothing is copied out of the page: every access goes to
// the slot, so a comparison reads only the bytes it needs. The slot geometry
// is fixed, so length, size and large-object setters do nothing.
class TORVIndexKeyValue : public TORVImageValue<TORVValue, TORVIndexKeyValue> {
 public:
  TORVIndexKeyValue(TORVIndexKey* Owner, int32_t BindPosition, int32_t BindOffset);

  bool GetNull() override;
  void SetNull(bool Value) override;
  int32_t GetSize() override { return FColumnSize; }
  void SetSize(int32_t /*Value*/) override {}
  int32_t GetLength() override;
  void SetLength(int32_t /*Value*/) override {}
  TORVMemoryStream* GetBlob() override { return nullptr; }

  // Varying values are cut to the column's length; fixed ones are padded or
  // cut to exactly that length.
  void SetString(const TORVString& Value) override;
  void SetBytes(const TORVBytes& Value) override;
  void SetBlob(TORVStream* /*Stream*/, int32_t /*Count*/) override {}

  int32_t GetKeyPosition() const { return FKeyPosition; }
  int32_t GetKeyOffset() const { return FKeyOffset; }
  int32_t GetColumnLength() const { return FColumnLength; }

 private:
  friend class TORVImageValue<TORVValue, TORVIndexKeyValue>;

  // The presence flag of the value in the slot the key stands on.
  uint8_t* Data();
  bool IsVarying() const;
  bool IsFixed() const;
  int32_t UnitSize() const;
  // The stored run of characters or bytes and its length in units.
  const uint8_t* Run(int32_t& ByteCount, int32_t& Units);
  void ImageRun(const uint8_t*& Data, int32_t& ByteCount) {
    int32_t Units = 0;
    Data = Run(ByteCount, Units);
  }
  void WriteRun(const uint8_t* Source, int32_t ByteCount, int32_t Units, uint8_t Pad);
  // The encoding of at most Units characters of Text that fits in MaxBytes.
  void Encode(std::u16string_view Text, int32_t MaxBytes);
  const uint8_t* NativeImage(int32_t Size);
  void WriteNativeImage(const uint8_t* Image, int32_t Size);

  TORVIndexKey* FIndexKey;
  int32_t FKeyPosition;
  int32_t FKeyOffset;
  TORVColumn* FColumn = nullptr;
  int32_t FColumnLength = 0;
  int32_t FColumnSize = 0;
  // Scratch for encoded text, reused between writes.
  TORVBytes FImage;
};

// A key built apart from any page: the values (owned elsewhere, typically a
// row's) and the row ID of one entry of the index.
class TORVIndexKeyValues : public TORVKeyValues {
 public:
  TORVIndexKeyValues(int32_t CharacterSetToUse, TORVIndex* Owner);

  int32_t GetColumnCollation(int32_t Index) override;
  bool GetColumnDescending(int32_t Index) override;
  int32_t GetRowID() override { return FRowID; }
  void SetRowID(int32_t Value) override { FRowID = Value; }
  void Clear() override;

  TORVIndex* GetOwnerIndex() const { return FOwnerIndex; }

 protected:
  // A key that owns its values.
  TORVIndexKeyValues(int32_t CharacterSetToUse, TORVIndex* Owner, bool OwnsValues);

 private:
  TORVIndex* FOwnerIndex;
  int32_t FRowID = 0;
};

// A cursor over the entries of one index page. It stands on a key slot and,
// in a non-unique index, on one row entry of that key; its values read and
// write that slot in place. FPageOffset is the slot's offset and
// FRowIDPageOffset the row entry's (0 in a unique index and on an empty
// page); moving adds whole slot and entry sizes to them. The user sets the
// page (SetIndexPage) and positions the cursor before reading it; moving the
// cursor past the page's keys is the user's contract to avoid.
class TORVIndexKey : public TORVKeyValues {
 public:
  TORVIndexKey(int32_t CharacterSetToUse, TORVIndex* Owner);

  int32_t GetColumnCollation(int32_t Index) override;
  bool GetColumnDescending(int32_t Index) override;
  // Unique index: 0 and no effect; else the current row entry's row ID.
  int32_t GetRowID() override;
  void SetRowID(int32_t Value) override;
  // Zeroes the key values and, in a non-unique index, the row ID.
  void Clear() override;

  int32_t GetNumber();
  void SetNumber(int32_t Value);
  // Unique index: 1 and no effect; else the key's row entries in this page.
  int32_t GetRowCount();
  void SetRowCount(int32_t Value);
  void IncRowCount(int32_t IncrementBy);
  void DecRowCount(int32_t IncrementBy);

  // Recomputes the offsets for the current key index, on its row 0.
  void Initialize();
  void UpdatePageOffset();
  void UpdateRowPageOffset();
  void First();
  void Last();
  bool Next();
  bool Prior();
  void MoveTo(int32_t NewKeyIndex);
  void MoveToRow(int32_t NewRowIndex);
  void FirstRow();
  void LastRow();
  // Binary search of the key's row entries (ascending by row ID): 0 found,
  // -1 or 1 the last comparison of an entry with SearchRowID. A -1 that
  // leaves the cursor past the key's rows moves back to the last row.
  int32_t SearchRow(int32_t SearchRowID);
  // As SearchRow, but a final -1 moves one row on: the insert position.
  int32_t SearchRowForInsert(int32_t SearchRowID);
  // The cursor position of KeyToUse; the page stays.
  void MoveToKey(const TORVIndexKey& KeyToUse);
  // Sets the bit of each entry's number from the current row to the key's
  // last (or back to row 0), skipping numbers above the bitmap's bit count.
  void SetNextBitmapValue(TORVSparseBitmap& Bitmap);
  void SetPriorBitmapValue(TORVSparseBitmap& Bitmap);
  bool AnyNull(int32_t NumKeyValues);
  bool AllNull(int32_t NumKeyValues);

  TORVIndex* GetOwnerIndex() const { return FOwnerIndex; }
  TORVIndexPage* GetIndexPage() const { return FIndexPage; }
  void SetIndexPage(TORVIndexPage* Value) { FIndexPage = Value; }
  int32_t GetKeyIndex() const { return FKeyIndex; }
  int32_t GetRowIndex() const { return FRowIndex; }
  int32_t GetPageOffset() const { return FPageOffset; }
  int32_t GetRowIDPageOffset() const { return FRowIDPageOffset; }
  // Bytes of the key values; the offset of the slot's number or row count.
  int32_t GetKeySize() const { return FKeyOffset; }
  bool GetUniqueKeys() const { return FUniqueKeys; }
  TORVIndexKeyValue* GetKeyValue(int32_t Index) const;
  // The bytes of the page at Offset, Count of them inside the page buffer
  // (a broken cursor contract raises std::logic_error).
  uint8_t* PageData(int32_t Offset, int32_t Count) const;

 private:
  int32_t FindRow(int32_t SearchRowID, bool ForInsert);
  void SetBitmapValue(TORVSparseBitmap& Bitmap);

  TORVIndex* FOwnerIndex;
  TORVIndexPage* FIndexPage = nullptr;
  int32_t FKeyIndex = 0;
  int32_t FRowIndex = 0;
  int32_t FPageOffset = 0;
  int32_t FKeyOffset = 0;
  int32_t FRowIDPageOffset = 0;
  bool FUniqueKeys;
};

}  // namespace orv
