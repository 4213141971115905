// The owner of a table's files, as far as the files need it: the table,
// the database's file manager, the errors that name the table, the change
// check across the table's files, and what the files reach of the session
// and database that opened the table. The table manager of the
// evaluation layer implements it; the files see only what they call.
#pragma once

#include <cstdint>

#include "base/orvtype.h"
#include "core/orvcommon.h"

namespace orv {

class TORVBaseTable;
class TORVColumns;
class TORVCompressionManager;
class TORVEngineManagerSettings;
class TORVExprToken;
class TORVFileManager;
class TORVIndexes;
class TORVMemoryStream;
class TORVRowValues;
class TORVSessionManager;
class TORVValue;

class TORVTableFileOwner : public TORVBaseObject {
 public:
  TORVTableFileOwner(TORVBaseTable* TableToManage, TORVFileManager* FileManagerToUse)
      : FTable(TableToManage), FFileManager(FileManagerToUse) {}

  // Raise 100 naming the table; the second for a header whose Writing flag
  // says that a write did not complete.
  [[noreturn]] virtual void ValidateError(const TORVString& Msg);
  [[noreturn]] virtual void WriteFlagError();
  // Raise 1007: the row a caller holds was deleted or replaced meanwhile.
  [[noreturn]] virtual void RowDeletedError();
  // True when another session changed the table since this one last
  // looked; every file whose update counter moved has dropped its cache.
  virtual bool CheckForChanges(bool ManualRefresh) = 0;

  // What the files reach through the database and session managers.
  virtual TORVSessionManager& GetSessionManager() = 0;
  virtual TORVEngineManagerSettings& GetSessionSettings() = 0;
  virtual TORVCompressionManager& GetCompressionManager() = 0;
  // The session's handle, written in decimal in memory paths.
  virtual int32_t GetSessionHandle() = 0;
  virtual TORVString GetDatabaseName() = 0;
  // The database's folder as an absolute path.
  virtual TORVString GetDatabaseFullPath() = 0;
  // A memory database kept apart per session.
  virtual bool GetDatabaseSessionIsolation() = 0;
  // The table belongs to the catalog's information schema.
  virtual bool GetInInformationSchema() = 0;
  // Category 0 information, 1 warning, 2 error.
  virtual void LogEvent(int32_t Category, int32_t FunctionCode, int32_t ErrorCode,
                        const TORVString& Description) = 0;
  // Raise 1300 and 1301 naming the database, with Msg as the detail.
  virtual void BackupError(const TORVString& Msg) = 0;
  virtual void RestoreError(const TORVString& Msg) = 0;

  // The large-object chain of a row of version RowVersion that starts at
  // BlockNumber, into BlobStream; and BlobStream stored as that row's,
  // giving its first block and its stored size.
  virtual void ReadBlobStream(int32_t RowVersion, int32_t BlockNumber, TORVMemoryStream& BlobStream,
                              bool Decompress) = 0;
  virtual void WriteBlobStream(int32_t RowVersion, int32_t& BlockNumber, TORVMemoryStream& BlobStream,
                               int32_t BlobCompression, int32_t& CompressedSize) = 0;
  // The version of the row that owns the large-object chain starting at
  // BlockNumber, as its first block records it; -1 when no sound first
  // block is there.
  virtual int32_t GetBlobVersion(int32_t BlockNumber) = 0;
  // Tells the session which of the table's files a verification is
  // checking now ("Verifying the table T - Detail...").
  virtual void VerifyStatus(const TORVString& Detail);
  // Evaluates Tokens with Values as the current row of the evaluator, whose
  // context is restored afterwards, also when the evaluation fails.
  virtual void EvaluateRow(TORVRowValues& Values, TORVExprToken* Tokens, TORVValue& Value) = 0;

  // The last row slot of the table's rows file: index entries point at
  // slots up to it.
  virtual int32_t GetRowsetLastNumber() = 0;

  // Set when a repair changed row IDs that the table's indexes hold, so
  // that the indexes are rebuilt before they are used again.
  bool GetIndexRebuildRequired() const { return FIndexRebuildRequired; }
  void SetIndexRebuildRequired(bool Value) { FIndexRebuildRequired = Value; }

  // The table's definition as its files read it.
  TORVColumns& GetColumns() const;
  int32_t GetColumnCount() const;
  bool GetColumnIdentity(int32_t Index) const;
  int32_t GetColumnSeedValue(int32_t Index) const;
  int32_t GetColumnIncrementValue(int32_t Index) const;
  int32_t GetColumnRowOffset(int32_t Index) const;
  // During an ALTER TABLE: the column's position before it (-1 for a new
  // column) and whether its identity sequence restarts.
  int32_t GetColumnOldPosition(int32_t Index) const;
  bool GetColumnAlterRestartIdentity(int32_t Index) const;
  int32_t GetRowsetRowSize() const;
  bool GetSystemTable() const;
  int32_t GetMaxRowBufferSize() const;
  int32_t GetBlobBlockSize() const;
  int32_t GetMaxBlobBufferSize() const;
  TORVIndexes& GetIndexes() const;
  int32_t GetIndexCount() const;
  int32_t GetIndexPageSize() const;
  int32_t GetMaxIndexBufferSize() const;
  int32_t GetPublishBlockSize() const;
  int32_t GetMaxPublishBufferSize() const;

  TORVBaseTable* GetTable() const { return FTable; }
  TORVFileManager* GetFileManager() const { return FFileManager; }

 protected:
  TORVBaseTable* FTable;
  TORVFileManager* FFileManager;
  bool FIndexRebuildRequired = false;
};

}  // namespace orv
