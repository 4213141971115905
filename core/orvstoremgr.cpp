#include "core/orvstoremgr.h"

#include <stdexcept>

#include "core/orvstream.h"

namespace orv {

namespace {

// The fewest bytes a string (its count) and a whole record (type and name
// count) take in a stream.
constexpr int32_t MinStringBytes = 4;
constexpr int32_t MinRecordBytes = 8;

}  // namespace

void TORVStoreFile::SetNumTables(int32_t Value) {
  if (Value < 0) Value = 0;
  FNumTables = Value;
  FTables.resize(static_cast<size_t>(Value));
}

const TORVString& TORVStoreFile::GetTables(int32_t Index) const {
  if (Index < 0 || Index >= FNumTables) throw std::out_of_range("store file table index");
  return FTables[static_cast<size_t>(Index)];
}

void TORVStoreFile::SetTables(int32_t Index, const TORVString& Value) {
  if (Index < 0 || Index >= FNumTables) throw std::out_of_range("store file table index");
  FTables[static_cast<size_t>(Index)] = Value;
}

void TORVStoreFile::Save(TORVMemoryStream& Stream) const {
  Stream.WriteInteger(FType);
  Stream.WriteString(FName);
  switch (FType) {
    case StoreFileTypeOther:
      Stream.WriteLargeInt(FCreatedOn);
      Stream.WriteLargeInt(FSize);
      Stream.WriteLargeInt(FModifiedOn);
      break;
    case StoreFileTypeBackup:
    case StoreFileTypeUpdate:
      Stream.WriteString(FDatabaseName);
      Stream.WriteString(FDatabasePath);
      Stream.WriteLargeInt(FCreatedOn);
      Stream.WriteString(FCreatedBy);
      Stream.WriteInteger(FCompressionLevel);
      Stream.WriteLargeInt(FSize);
      Stream.WriteLargeInt(FModifiedOn);
      if (FType == StoreFileTypeBackup) {
        Stream.WriteBoolean(FIncludesCatalog);
        Stream.WriteCurrency(FCatalogVersion);
      }
      Stream.WriteInteger(FNumTables);
      for (const TORVString& Table : FTables) Stream.WriteString(Table);
      break;
    default:
      break;
  }
}

void TORVStoreFile::Load(TORVMemoryStream& Stream) {
  FType = Stream.ReadInteger();
  Stream.ReadString(FName);
  switch (FType) {
    case StoreFileTypeOther:
      FCreatedOn = Stream.ReadLargeInt();
      FSize = Stream.ReadLargeInt();
      FModifiedOn = Stream.ReadLargeInt();
      break;
    case StoreFileTypeBackup:
    case StoreFileTypeUpdate: {
      Stream.ReadString(FDatabaseName);
      Stream.ReadString(FDatabasePath);
      FCreatedOn = Stream.ReadLargeInt();
      Stream.ReadString(FCreatedBy);
      FCompressionLevel = Stream.ReadInteger();
      FSize = Stream.ReadLargeInt();
      FModifiedOn = Stream.ReadLargeInt();
      if (FType == StoreFileTypeBackup) {
        FIncludesCatalog = Stream.ReadBoolean();
        FCatalogVersion = Stream.ReadCurrency();
      }
      const int32_t Count = Stream.ReadInteger();
      // A count from the stream sizes nothing it cannot back with bytes.
      FTables.clear();
      for (int32_t I = 0; I < Count && Stream.GetAvailable() >= MinStringBytes; ++I) {
        FTables.emplace_back();
        Stream.ReadString(FTables.back());
      }
      FNumTables = static_cast<int32_t>(FTables.size());
      break;
    }
    default:
      break;
  }
}

void TORVStoreFile::Assign(const TORVStoreFile& FromFile) {
  if (&FromFile == this) return;
  FType = FromFile.FType;
  FName = FromFile.FName;
  FDescription = FromFile.FDescription;
  FDatabaseName = FromFile.FDatabaseName;
  FDatabasePath = FromFile.FDatabasePath;
  FCreatedOn = FromFile.FCreatedOn;
  FCreatedBy = FromFile.FCreatedBy;
  FCompressionLevel = FromFile.FCompressionLevel;
  FSize = FromFile.FSize;
  FModifiedOn = FromFile.FModifiedOn;
  FIncludesCatalog = FromFile.FIncludesCatalog;
  FCatalogVersion = FromFile.FCatalogVersion;
  FNumTables = FromFile.FNumTables;
  FTables = FromFile.FTables;
}

TORVStoreFilesList::~TORVStoreFilesList() { Clear(); }

TORVStoreFile* TORVStoreFilesList::AddStoreFile(std::unique_ptr<TORVStoreFile> StoreFile) {
  if (FNumStoreFiles == FStoreFilesCapacity) {
    FStoreFilesCapacity = BlockOffset(FNumStoreFiles + 1, ExpandCount);
    FStoreFiles.reserve(static_cast<size_t>(FStoreFilesCapacity));
  }
  FStoreFiles.push_back(std::move(StoreFile));
  ++FNumStoreFiles;
  return FStoreFiles.back().get();
}

void TORVStoreFilesList::Clear() {
  while (!FStoreFiles.empty()) FStoreFiles.pop_back();
  FNumStoreFiles = 0;
}

TORVStoreFile* TORVStoreFilesList::GetStoreFiles(int32_t Index) const {
  if (Index < 0 || Index >= FNumStoreFiles) throw std::out_of_range("store files list index");
  return FStoreFiles[static_cast<size_t>(Index)].get();
}

void TORVStoreFilesList::Save(TORVMemoryStream& Stream) const {
  Stream.WriteInteger(FNumStoreFiles);
  for (const auto& StoreFile : FStoreFiles) StoreFile->Save(Stream);
}

void TORVStoreFilesList::Load(TORVMemoryStream& Stream) {
  Clear();
  const int32_t Count = Stream.ReadInteger();
  for (int32_t I = 0; I < Count && Stream.GetAvailable() >= MinRecordBytes; ++I) {
    auto StoreFile = std::make_unique<TORVStoreFile>();
    StoreFile->Load(Stream);
    AddStoreFile(std::move(StoreFile));
  }
}

void TORVStoreFilesList::Assign(const TORVStoreFilesList& FromList) {
  if (&FromList == this) return;
  Clear();
  for (const auto& StoreFile : FromList.FStoreFiles) {
    auto Copy = std::make_unique<TORVStoreFile>();
    Copy->Assign(*StoreFile);
    AddStoreFile(std::move(Copy));
  }
}

TORVStoreManager::TORVStoreManager() : FFilesList(std::make_unique<TORVStoreFilesList>()) {}

TORVStoreManager::~TORVStoreManager() = default;

void TORVStoreManager::Open(TORVLockType /*StoreLockType*/) { FOpened = true; }

void TORVStoreManager::Close(bool /*ForceClose*/) { FOpened = false; }

}  // namespace orv
