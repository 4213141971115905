// The values of one row, each bound to a column and reading and writing its
// column's slot of the row buffer in place.
//
// Row buffer: RowsetRowSize bytes of the column list; the first 17 are the
// row header (the rows file's), the column slots follow at each column's
// RowOffset. Slot layout (offset 0 is the present flag, 1 = a value, 0 =
// NULL, so a zero-filled buffer is a row of NULLs; integers little-endian;
// characters are UTF-16 units under the Unicode character set and bytes of
// the column's code page under ANSI):
//   VarChar(n)          2-byte count, then the characters; slot 3 + n units
//   Char(n), GUID       exactly n characters, blank-padded
//   VarByte(n)          2-byte count, then the bytes; slot 3 + n
//   Byte(n), GUID       exactly n bytes, zero-padded
//   BLOB, CLOB          4-byte first block number (0 none), 4-byte size
//   Boolean             1 byte (1 True, 0 False)
//   SmallInt            2 bytes
//   Integer, Date, Time, year-month interval      4 bytes
//   BigInt, Timestamp, day-time interval, Float (IEEE double),
//   Decimal (value x 10,000)                      8 bytes
// A value never writes outside its slot.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "base/orvtype.h"
#include "core/orvcontainedvalue.h"
#include "core/orvforwardvalue.h"
#include "core/orvimagevalue.h"
#include "core/orvstream.h"
#include "core/orvvalue.h"
#include "core/orvvalues.h"

namespace orv {

class TORVColumn;
class TORVColumns;
class TORVComputedRowValueExpr;
class TORVExprToken;
class TORVRowValues;

// A value bound to one column of a row.
class TORVRowValue : public TORVValue {
 public:
  // The owner's character set; type, subtype, scale and collation are the
  // column's.
  TORVRowValue(TORVRowValues* Owner, TORVColumn* ColumnToUse);

  // The value errors name the column (ORV_VALUE_ERROR).
  [[noreturn]] void TruncationError(const TORVString& Value, bool IncludeValue) override;
  [[noreturn]] void RangeError(const TORVString& Value, bool IncludeValue) override;
  [[noreturn]] void ConversionError(const TORVString& Value, bool IncludeValue) override;

  [[noreturn]] virtual void ReadOnlyError();
  // ReadOnlyError for a read-only column.
  virtual void CheckNotReadOnly();
  // The contents of a character, bytes or large-object value.
  virtual TORVMemoryStream* GetBlobStream() = 0;
  // Ignored while a call is running; True also marks the values of the
  // columns that read this column, and the owning list.
  virtual void SetModified(bool Value);
  // The large-object reference in the slot; 0 and no effect here.
  virtual int32_t GetBlobBlockNumber() { return 0; }
  virtual void SetBlobBlockNumber(int32_t /*Value*/) {}
  virtual int32_t GetBlobSize() { return 0; }
  virtual void SetBlobSize(int32_t /*Value*/) {}
  // Not modified, contents unloaded.
  virtual void Reset();
  virtual void LoadBlobStream() {}
  virtual void SaveBlobStream(int32_t /*RowVersion*/) {}
  virtual void UnloadBlobStream() {}

  // Back to the column's collation at creation.
  void ResetCollation();
  TORVRowValues* GetRowValues() const { return FRowValues; }
  TORVColumn* GetColumn() const { return FColumn; }
  bool GetModified() const { return FModified; }
  bool GetLastModified() const { return FLastModified; }
  int32_t GetOriginalCollation() const { return FOriginalCollation; }

 protected:
  [[noreturn]] void RaiseColumnError(const TORVString& Detail);

  TORVRowValues* FRowValues;
  TORVColumn* FColumn;
  int32_t FOriginalCollation;
  bool FModified = false;
  bool FLastModified = false;
  bool FSettingModified = false;
};

class TORVStaticRowValue;

// Made once, beside the storage it reads.
extern template class TORVImageValue<TORVRowValue, TORVStaticRowValue>;

// The contents stream of a static row value: writing through it (or
// resizing it) marks the owner modified and non-NULL, except while the
// contents are being loaded.
class TORVStaticRowValueBlobMemoryStream : public TORVMemoryStream {
 public:
  TORVStaticRowValueBlobMemoryStream(TORVStaticRowValue* RowValue, int32_t CharacterSetToUse);

  void SetSize(int64_t Value) override;
  using TORVMemoryStream::Write;
  int32_t Write(const TORVBytes& Buffer, int32_t Offset, int32_t Count) override;
  int32_t Write(const uint8_t* Buffer, int32_t Count) override;

  bool GetLoading() const { return FLoading; }
  void SetLoading(bool Value) { FLoading = Value; }

 private:
  void Changed();

  TORVStaticRowValue* FRowValue;
  bool FLoading = false;
};

// The row value that reads and writes its column's slot. Numbers, dates and
// Booleans are read and written straight in the buffer; text and bytes go
// through the contents stream only for GetBlob and GetBlobStream.
class TORVStaticRowValue : public TORVImageValue<TORVRowValue, TORVStaticRowValue> {
 public:
  TORVStaticRowValue(TORVRowValues* Owner, TORVColumn* ColumnToUse);
  ~TORVStaticRowValue() override;

  bool GetNull() override;
  void SetNull(bool Value) override;
  int32_t GetSize() override;
  void SetSize(int32_t /*Value*/) override {}
  int32_t GetLength() override;
  void SetLength(int32_t /*Value*/) override {}
  TORVMemoryStream* GetBlob() override;

  void SetString(const TORVString& Value) override;
  void SetBytes(const TORVBytes& Value) override;
  void SetBlob(TORVStream* Stream, int32_t Count) override;

  // A placeholder stays NULL.
  void Clear() override;
  void Assign(TORVValue& FromValue) override;

  TORVMemoryStream* GetBlobStream() override;
  int32_t GetBlobBlockNumber() override;
  void SetBlobBlockNumber(int32_t Value) override;
  int32_t GetBlobSize() override;
  void SetBlobSize(int32_t Value) override;
  void LoadBlobStream() override;
  void SaveBlobStream(int32_t RowVersion) override;
  void UnloadBlobStream() override;

  bool GetBlobStreamLoaded() const { return FBlobStreamLoaded; }
  // The contents stream was written: the value is modified and not NULL.
  void ContentsChanged();
  // The contents become Size bytes from Source's position and count as
  // loaded, without marking the value modified (a row record that carried
  // them). The caller has checked that Source holds them.
  void ReplaceBlobStream(TORVMemoryStream& Source, int32_t Size);

 private:
  friend class TORVImageValue<TORVRowValue, TORVStaticRowValue>;

  uint8_t* Slot();
  int32_t UnitSize() const;
  bool IsVarying() const;
  bool IsFixedText() const;
  bool IsFixedBinary() const;
  bool HasContentsStream() const;
  int32_t ReadCount();
  void TextRange(const uint8_t*& Data, int32_t& ByteCount);
  void ImageRun(const uint8_t*& Data, int32_t& ByteCount) { TextRange(Data, ByteCount); }
  void EncodeFitting(std::u16string_view Text, int32_t MaxBytes, int32_t& Count);
  void WriteSlotData(const uint8_t* Data, int32_t ByteCount, int32_t Count, uint8_t Pad);
  const uint8_t* NativeImage(int32_t Size);
  void WriteNativeImage(const uint8_t* Image, int32_t Size);
  void WriteBlobContents(const uint8_t* Data, int32_t ByteCount);
  // ReadOnlyError for a placeholder.
  void CheckWritable();
  void Changed();

  // The column's slot, taken when the value is made: the layout of a column
  // list does not change under the row values made for it.
  int64_t FSlotOffset = 0;
  int32_t FSlotSize = 0;
  bool FBlobStreamLoaded = false;
  // The slot of a computed column whose list makes no computed values: all
  // zero (NULL), never written.
  TORVBytes FPlaceholder;
  std::unique_ptr<TORVStaticRowValueBlobMemoryStream> FBlobStream;
  // Scratch for encoded text.
  TORVBytes FImage;
};

// The value behind a computed column: its defined length limits it.
class TORVContainedRowExprValue : public TORVContainedValue {
 public:
  explicit TORVContainedRowExprValue(int32_t CharacterSetToUse) : TORVContainedValue(CharacterSetToUse, true) {}
};

class TORVComputedRowValue;

// Made once, beside the value it forwards from.
extern template class TORVForwardValue<TORVRowValue, TORVComputedRowValue>;

// A computed column's value: evaluated on the first read after each change
// of the row and kept until the next; it takes no room in the buffer and
// cannot be assigned.
class TORVComputedRowValue : public TORVForwardValue<TORVRowValue, TORVComputedRowValue> {
 public:
  TORVComputedRowValue(TORVRowValues* Owner, TORVColumn* ColumnToUse);
  ~TORVComputedRowValue() override;

  // The contents of the evaluated value, from their beginning after each
  // evaluation.
  TORVMemoryStream* GetBlob() override;

  void Assign(TORVValue& FromValue) override;
  // The loaded record is the value until the row changes.
  void Load(TORVMemoryStream& Stream) override;

  TORVMemoryStream* GetBlobStream() override;
  void SetModified(bool Value) override;
  void Reset() override;

  bool GetEvaluated() const { return FEvaluated; }
  // True evaluates the expression for the current row through the owner.
  void SetEvaluated(bool Value);
  void Evaluate() { SetEvaluated(true); }

 private:
  friend class TORVForwardValue<TORVRowValue, TORVComputedRowValue>;

  TORVValue& Evaluated();
  TORVValue& ReadTarget() { return Evaluated(); }
  // Writing reaches the value only while a record is loaded into it.
  TORVValue* WriteTarget();
  TORVMemoryStream* PositionedBlob();

  bool FEvaluating = false;
  bool FEvaluated = false;
  bool FLoading = false;
  bool FBlobPositioned = false;
  std::unique_ptr<TORVComputedRowValueExpr> FExpr;
  std::unique_ptr<TORVContainedRowExprValue> FValue;
};

// The values of one row, one per column in column order. The buffer and
// the columns belong to the owner of the list (a cursor row, a rows-file
// row), which makes the buffer RowsetRowSize bytes long and binds it with
// SetBufferStream before the values are used.
class TORVRowValues : public TORVValues {
 public:
  // With CreateComputed False a computed column gets a NULL read-only
  // placeholder.
  TORVRowValues(int32_t CharacterSetToUse, TORVColumns* ColumnsToUse, bool CreateComputed);

  TORVValue* CreateValueObject(int32_t Index) override;
  // A zero-filled buffer (every column NULL), then Reset.
  void Clear() override;
  // From row values: Reset, then the buffer from offset 17 (as much as both
  // hold); nothing is marked modified. Otherwise as any value list.
  void Assign(TORVValues& FromValues) override;
  // As any value list, except that hidden columns compare equal.
  int32_t Compare(TORVValues& ValuesToCompare, int32_t PartialLength, bool CaseInsensitive) override;
  using TORVValues::Load;
  using TORVValues::Save;

  // Fill BlobStream with the chain that starts at BlockNumber; store
  // BlobStream and return its first block and stored size.
  virtual void ReadBlobStream(int32_t BlockNumber, TORVMemoryStream& BlobStream, bool Decompress) = 0;
  virtual void WriteBlobStream(int32_t RowVersion, int32_t& BlockNumber, TORVMemoryStream& BlobStream,
                               int32_t BlobCompression, int32_t& CompressedSize) = 0;
  // One value per column.
  virtual void CreateValueObjects();
  // Evaluates a compute expression over this row into Value.
  virtual void Evaluate(TORVExprToken* Tokens, TORVValue& Value) = 0;
  // Position i compares this row's value of ColumnsToCompare[i] with
  // ValuesToCompare[i]; PartialLength applies to the last column only.
  virtual int32_t Compare(TORVValues& ValuesToCompare, int32_t PartialLength, bool CaseInsensitive,
                          TORVColumns& ColumnsToCompare);
  // The buffer from offset 17, then with StreamModified one flag byte per
  // value (1 = modified).
  virtual void Save(TORVMemoryStream& Stream, bool StreamModified);
  // Reset, the slots, then the flags of the stored columns (those of
  // computed and generated columns are read and ignored).
  virtual void Load(TORVMemoryStream& Stream, bool StreamModified);
  virtual void LoadBlobStreams();
  virtual void SaveBlobStreams(int32_t RowVersion);
  virtual void UnloadBlobStreams();
  // Every value's Reset, then not modified.
  virtual void Reset();

  // Binds the list to a row buffer (not owned), then Reset.
  void SetBufferStream(TORVMemoryStream* Stream);
  TORVMemoryStream* GetBufferStream() const { return FBufferStream; }
  TORVColumns* GetColumns() const { return FColumns; }
  TORVRowValue* GetRowValue(int32_t Index) const;
  bool GetModified() const { return FModified; }
  // Every value's SetModified, then the list's flag.
  void SetModified(bool Value);
  // Marks the list alone, as a value's SetModified does.
  void SetListModified(bool Value) { FModified = Value; }
  bool GetRaiseTruncationErrors() const { return FRaiseTruncationErrors; }
  void SetRaiseTruncationErrors(bool Value) { FRaiseTruncationErrors = Value; }
  bool GetCreateComputedColumns() const { return FCreateComputedColumns; }
  // Every large-object column takes the block number of NewValues' value of
  // the same column; Clear sets them to 0.
  void SetBlobBlockNumbers(TORVRowValues& NewValues);
  void ClearBlobBlockNumbers();

 protected:
  TORVMemoryStream* FBufferStream = nullptr;
  TORVColumns* FColumns;
  bool FRaiseTruncationErrors = true;
  bool FCreateComputedColumns;
  bool FModified = false;
};

}  // namespace orv
