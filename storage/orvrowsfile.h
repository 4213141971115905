// A table's rows file: one fixed-size slot per row behind a reserved
// header area. A row's number is its slot number, which index entries, row
// locks and bookmarks keep for as long as the row lives; deleted slots stay
// in place on a free chain that inserts take from.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/orvtype.h"
#include "catalog/orvrowvalues.h"
#include "core/orvnavigator.h"
#include "storage/orvtablefile.h"

namespace orv {

class TORVRowsetManager;

// Row slot layout: NextNumber (4, the free-chain link of a deleted row),
// Status (1), Version (4), UpdateCounter (4), InternalCounter (4), then the
// row values, whose first column is the row ID (presence flag at 17, the
// Int32 at 18).
class TORVRowsetRow : public TORVTableFileBuffer {
 public:
  static constexpr uint8_t StatusLive = 0;
  static constexpr uint8_t StatusDeleted = 1;
  // A deleted slot just taken from the free chain for reuse; never on disk.
  static constexpr uint8_t StatusReused = 4;
  static constexpr int32_t RowHeaderBytes = 17;
  static constexpr int32_t RowIDOffset = 18;

  explicit TORVRowsetRow(TORVRowsetManager* Owner);

  int32_t GetHeaderSize() override { return RowHeaderBytes; }
  void Initialize() override;
  void Save(TORVMemoryStream& Stream) override;
  void Load(TORVMemoryStream& Stream) override;
  void Assign(const TORVTableFileBuffer& FromBuffer) override;
  bool Compare(const TORVTableFileBuffer& BufferToCompare) const override;

  void IncVersion();
  void IncUpdateCounter();

  TORVRowsetManager* GetRowsetManager() const { return FRowsetManager; }
  uint8_t GetStatus() const { return FStatus; }
  void SetStatus(uint8_t Value);
  int32_t GetVersion() const { return FVersion; }
  void SetVersion(int32_t Value);
  int32_t GetUpdateCounter() const { return FUpdateCounter; }
  void SetUpdateCounter(int32_t Value);
  int32_t GetInternalCounter() const { return FInternalCounter; }
  void SetInternalCounter(int32_t Value);
  int32_t GetRowID() const;
  void SetRowID(int32_t Value);

 private:
  TORVRowsetManager* FRowsetManager;
  uint8_t FStatus = StatusLive;
  int32_t FVersion = 0;
  int32_t FUpdateCounter = 0;
  int32_t FInternalCounter = 0;
};

// Header after the common part: RowCount, LastRowID, LastVersion (Int32),
// Status (Byte), Updated (Int64 timestamp), then one Int32 last value per
// column (the identity counter of identity columns, the seed elsewhere).
//
// Free chain: NextFreeNumber names the most recently deleted slot; each
// deleted slot (status 1) names the one deleted before it in NextNumber,
// and the last one 0. Every slot on the chain is deleted and every deleted
// slot is on it, once; Verify finds and mends chains that break this.
class TORVRowsetManager : public TORVTableFileManager {
 public:
  static constexpr int32_t AvailableHeaderBytes = 16384;
  static constexpr int32_t SystemAvailableHeaderBytes = 1024;
  static constexpr int32_t MinRowBufferCount = 64;
  static constexpr int32_t ReadAheadRowCount = 64;

  explicit TORVRowsetManager(TORVTableFileOwner* Owner);

  TORVString GetFileExtension() override;
  TORVString GetBufferName() override { return u"row"; }
  std::unique_ptr<TORVTableFileBuffer> CreateBuffer() override;
  int32_t GetBufferSize() override;
  int32_t GetBufferStreamSize() override { return GetBufferSize(); }
  int32_t GetAvailableHeaderSize() override;
  int32_t GetActualHeaderSize() override;
  int32_t CalculateMaxBufferCount() override;
  int32_t CalculateMaxReadAheadBufferCount() override { return ReadAheadRowCount; }
  // Row locks live at MaximumLockedFileSize + row number, so the file may
  // not grow past that size.
  void CheckMaxBuffers() override;
  void Initialize() override;
  void ReadHeader() override;
  void WriteHeader(bool IncUpdateCounter) override;
  void CopyHeader(TORVTableFileManager& Source) override;
  // Row versions keep rising across an empty.
  void Empty() override;
  bool VerifyBuffers(bool& FoundErrors, bool RepairErrors) override;

  std::unique_ptr<TORVRowsetRow> CreateNewRow();
  // Held until PutRow. A nil result with FoundChanges set: another session
  // changed the table and the caller repositions.
  TORVRowsetRow* GetRow(int32_t RowNumber, bool ReadAhead, int32_t Direction, int32_t ReadAheadRows,
                        bool& FoundChanges);
  // Never nil: restarts the read while other sessions keep changing the
  // table, and raises when it does not settle.
  TORVRowsetRow* GetRow(int32_t RowNumber, bool ReadAhead = false, int32_t Direction = 0,
                        int32_t ReadAheadRows = 0);
  // The first free slot, else a new one at the end; initialized, status 4
  // when it was deleted.
  TORVRowsetRow* GetNextFreeRow();
  // Pushes a deleted row onto the free chain.
  void SetNextFreeRow(TORVRowsetRow& FreeRow);
  void PutRow(TORVRowsetRow* Row);

  // Hand-outs: the next row ID, version or identity value, wrapping after
  // MaxInt to 1. They change the header in memory only; the insert that
  // uses them marks it.
  int32_t GetLastRowID();
  int32_t GetLastVersion();
  int32_t GetLastValue(int32_t Index);
  void SetLastValue(int32_t Index, int32_t Value);
  int32_t GetLastValueAt(int32_t Index) const;

  int32_t GetRowCount() const { return FRowCount; }
  void SetRowCount(int32_t Value);
  void IncRowCount() { SetRowCount(FRowCount + 1); }
  void DecRowCount() { SetRowCount(FRowCount - 1); }
  int32_t GetLastRowIDValue() const { return FLastRowID; }
  void SetLastRowID(int32_t Value);
  int32_t GetLastVersionValue() const { return FLastVersion; }
  void SetLastVersion(int32_t Value);
  uint8_t GetStatus() const { return FStatus; }
  void SetStatus(uint8_t Value);
  int64_t GetUpdated() const { return FUpdated; }

  // One attempt; True when the lock was taken (released).
  bool LockRow(int32_t RowNumber);
  bool UnlockRow(int32_t RowNumber);

 private:
  int32_t ColumnCount() const;
  int64_t RowLockOffset(int32_t RowNumber) const;
  // The version a verify repair gives a live row whose version is invalid.
  int32_t RepairedVersion(TORVRowsetRow& Row);

  int32_t FRowCount = 0;
  int32_t FLastRowID = 0;
  int32_t FLastVersion = 0;
  uint8_t FStatus = 0;
  int64_t FUpdated = 0;
  std::vector<int32_t> FLastValues;
};

// Row values over a row slot's bytes; large objects go through the table
// manager with the slot's version.
class TORVRowsetRowValues : public TORVRowValues {
 public:
  TORVRowsetRowValues(TORVRowsetManager* Owner, int32_t CharacterSetToUse);

  void ReadBlobStream(int32_t BlockNumber, TORVMemoryStream& BlobStream, bool Decompress) override;
  void WriteBlobStream(int32_t RowVersion, int32_t& BlockNumber, TORVMemoryStream& BlobStream,
                       int32_t BlobCompression, int32_t& CompressedSize) override;
  void Evaluate(TORVExprToken* Tokens, TORVValue& Value) override;

  TORVRowsetRow* GetRow() const { return FRow; }
  // Binds the values to Value's bytes (nil unbinds).
  void SetRow(TORVRowsetRow* Value);

 private:
  TORVRowsetManager* FRowsetManager;
  TORVRowsetRow* FRow = nullptr;
};

// Movement over the slots in number order. The current row is a private
// copy (FRow), so the cached row is released at once; a deleted slot is
// never a valid position.
class TORVRowsetNavigator : public TORVNavigator {
 public:
  explicit TORVRowsetNavigator(TORVRowsetManager* Owner);
  ~TORVRowsetNavigator() override;

  int32_t GetRowCount() override;
  void ClearActiveRow() override;
  bool RowValid(int32_t RowNumber, int32_t Direction, bool& StopScan) override;
  int32_t GetRowNumber() override;
  int32_t Search(TORVValues& SearchValues, int32_t PartialLength, bool CaseInsensitive, bool& FoundChanges) override;
  bool GotoNumber(int32_t NewNumber, int32_t Direction, bool& FoundChanges) override;
  void GotoSequenceNumber(int32_t NewSequenceNumber, bool& FoundChanges) override;
  bool First(bool& FoundChanges) override;
  bool Next(bool& FoundChanges) override;
  bool Prior(bool& FoundChanges) override;
  bool Last(bool& FoundChanges) override;

  // The row ID is already in NewValues; NewVersion was handed out.
  virtual void Insert(int32_t NewVersion, TORVRowValues& NewValues, int32_t& NewNumber, int32_t& NewUpdateCounter);
  virtual void Update(TORVRowValues& ExistingValues, int32_t ExistingNumber, int32_t& ExistingUpdateCounter);
  virtual void Delete(TORVRowValues& ExistingValues, int32_t ExistingNumber, int32_t& ExistingUpdateCounter);

  void SetRow(TORVRowsetRow* Value);
  TORVRowsetRow& GetRow() const { return *FRow; }
  TORVRowsetRowValues& GetRowValues() const { return *FRowValues; }

 private:
  // Reads row Number into the working row; False on FoundChanges.
  bool ReadRow(int32_t Number, int32_t Direction, int32_t ReadAheadRows, bool& FoundChanges);
  // The live row Number for a change; raises for a number outside the file
  // or a deleted slot, so that a stale caller cannot corrupt the chain.
  TORVRowsetRow* GetLiveRow(int32_t Number);
  bool EmptyFile();

  TORVRowsetManager* FRowsetManager;
  std::unique_ptr<TORVRowsetRow> FRow;
  std::unique_ptr<TORVRowsetRowValues> FRowValues;
  std::unique_ptr<TORVRowsetRowValues> FSearchRowValues;
  std::unique_ptr<TORVRowsetRowValues> FUpdateRowValues;
};

}  // namespace orv
