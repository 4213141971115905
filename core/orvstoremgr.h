// A store of a session (a named folder, local or on another server) as the
// engine's users see it, and the records of its file listing.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/orvtype.h"
#include "core/orvcommon.h"
#include "core/orvlocktype.h"

namespace orv {

class TORVMemoryStream;

// File types of a listing entry, told apart by the configured backup and
// update extensions.
inline constexpr int32_t StoreFileTypeOther = 0;
inline constexpr int32_t StoreFileTypeBackup = 1;
inline constexpr int32_t StoreFileTypeUpdate = 2;

// One entry of a store's file listing.
//
// Record (strings with 32-bit counts, code page 0, in the stream's
// character set): Int32 FileType, Name; type 0: Int64 CreatedOn, Size,
// ModifiedOn; type 1: DatabaseName, DatabasePath, Int64 CreatedOn,
// CreatedBy, Int32 CompressionLevel, Int64 Size, Int64 ModifiedOn, Boolean
// IncludesCatalog, Currency CatalogVersion, Int32 NumTables and that many
// table names; type 2: as type 1 without IncludesCatalog and
// CatalogVersion; any other type: the first two fields only. Description is
// never written.
class TORVStoreFile : public TORVBaseObject {
 public:
  TORVStoreFile() = default;

  virtual void Save(TORVMemoryStream& Stream) const;
  // A table count the stream cannot hold is cut to the names present.
  virtual void Load(TORVMemoryStream& Stream);
  virtual void Assign(const TORVStoreFile& FromFile);

  int32_t GetFileType() const { return FType; }
  void SetFileType(int32_t Value) { FType = Value; }
  const TORVString& GetName() const { return FName; }
  void SetName(const TORVString& Value) { FName = Value; }
  const TORVString& GetDescription() const { return FDescription; }
  void SetDescription(const TORVString& Value) { FDescription = Value; }
  const TORVString& GetDatabaseName() const { return FDatabaseName; }
  void SetDatabaseName(const TORVString& Value) { FDatabaseName = Value; }
  const TORVString& GetDatabasePath() const { return FDatabasePath; }
  void SetDatabasePath(const TORVString& Value) { FDatabasePath = Value; }
  int64_t GetCreatedOn() const { return FCreatedOn; }
  void SetCreatedOn(int64_t Value) { FCreatedOn = Value; }
  const TORVString& GetCreatedBy() const { return FCreatedBy; }
  void SetCreatedBy(const TORVString& Value) { FCreatedBy = Value; }
  int32_t GetCompressionLevel() const { return FCompressionLevel; }
  void SetCompressionLevel(int32_t Value) { FCompressionLevel = Value; }
  int64_t GetSize() const { return FSize; }
  void SetSize(int64_t Value) { FSize = Value; }
  int64_t GetModifiedOn() const { return FModifiedOn; }
  void SetModifiedOn(int64_t Value) { FModifiedOn = Value; }
  bool GetIncludesCatalog() const { return FIncludesCatalog; }
  void SetIncludesCatalog(bool Value) { FIncludesCatalog = Value; }
  TORVCurrency GetCatalogVersion() const { return FCatalogVersion; }
  void SetCatalogVersion(TORVCurrency Value) { FCatalogVersion = Value; }
  int32_t GetNumTables() const { return FNumTables; }
  // Resizes Tables; new entries are empty. A negative count means none.
  void SetNumTables(int32_t Value);
  // Index must lie in 0 .. NumTables - 1 (std::out_of_range otherwise).
  const TORVString& GetTables(int32_t Index) const;
  void SetTables(int32_t Index, const TORVString& Value);

 private:
  int32_t FType = StoreFileTypeOther;
  TORVString FName;
  TORVString FDescription;
  TORVString FDatabaseName;
  TORVString FDatabasePath;
  int64_t FCreatedOn = 0;
  TORVString FCreatedBy;
  int32_t FCompressionLevel = 0;
  int64_t FSize = 0;
  int64_t FModifiedOn = 0;
  bool FIncludesCatalog = false;
  TORVCurrency FCatalogVersion;
  int32_t FNumTables = 0;
  std::vector<TORVString> FTables;
};

// An owning list of listing entries. Stream form: Int32 count, then each
// record.
class TORVStoreFilesList : public TORVBaseObject {
 public:
  static constexpr int32_t ExpandCount = 64;

  TORVStoreFilesList() = default;
  ~TORVStoreFilesList() override;

  // Appends and owns StoreFile; the capacity grows in steps of 64.
  TORVStoreFile* AddStoreFile(std::unique_ptr<TORVStoreFile> StoreFile);
  // Frees the entries from the last to the first.
  void Clear();
  void Save(TORVMemoryStream& Stream) const;
  // Replaces the contents; a count the stream cannot hold is cut to the
  // records present.
  void Load(TORVMemoryStream& Stream);
  void Assign(const TORVStoreFilesList& FromList);

  int32_t GetNumStoreFiles() const { return FNumStoreFiles; }
  int32_t GetStoreFilesCapacity() const { return FStoreFilesCapacity; }
  // Index must lie in 0 .. NumStoreFiles - 1 (std::out_of_range otherwise).
  TORVStoreFile* GetStoreFiles(int32_t Index) const;

 private:
  std::vector<std::unique_ptr<TORVStoreFile>> FStoreFiles;
  int32_t FNumStoreFiles = 0;
  int32_t FStoreFilesCapacity = 0;
};

// Reading and writing a file are bracketed: BeginReadFile ... ReadFile ...
// EndReadFile or CancelReadFile; BeginWriteFile ... WriteFile ...
// EndWriteFile or CancelWriteFile. A cancelled write leaves no file that
// looks complete.
class TORVStoreManager : public TORVHandleObject {
 public:
  TORVStoreManager();
  ~TORVStoreManager() override;

  virtual void Open(TORVLockType StoreLockType);
  virtual void Close(bool ForceClose);
  // Fills FilesList with the files matching the wildcard.
  virtual void RefreshFiles(const TORVString& FilesToList) = 0;
  // The size of the file.
  virtual int64_t BeginReadFile(const TORVString& FileToRead) = 0;
  // Appends up to BytesToRead bytes at DestStream's position; the bytes
  // given, 0 only at the end or on failure.
  virtual int32_t ReadFile(TORVMemoryStream& DestStream, int32_t BytesToRead) = 0;
  virtual void CancelReadFile() = 0;
  virtual void EndReadFile() = 0;
  virtual void BeginWriteFile(const TORVString& FileToWrite) = 0;
  // Takes BytesToWrite bytes from SourceStream's position; the bytes written.
  virtual int32_t WriteFile(TORVMemoryStream& SourceStream, int32_t BytesToWrite) = 0;
  virtual void CancelWriteFile() = 0;
  virtual void EndWriteFile() = 0;
  virtual void CopyFile(const TORVString& FileToCopy, const TORVString& NewFileName) = 0;
  virtual void RenameFile(const TORVString& FileToRename, const TORVString& NewFileName) = 0;
  virtual void DeleteFile(const TORVString& FileToDelete) = 0;

  bool GetOpened() const { return FOpened; }
  TORVStoreFilesList& GetFilesList() const { return *FFilesList; }

 protected:
  void SetOpened(bool Value) { FOpened = Value; }

 private:
  bool FOpened = false;
  std::unique_ptr<TORVStoreFilesList> FFilesList;
};

}  // namespace orv
