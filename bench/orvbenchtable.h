// The table a storage benchmark loads: an Integer row ID, an Integer
// "Amount" and an 80-character VarChar "Label", in single-byte text, owned
// by one session in a folder of its own, with the files shared with other
// processes as a database's are.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/orvtype.h"
#include "bench/orvbenchsqlite.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvindexes.h"
#include "catalog/orvtable.h"
#include "core/orvcompressmgr.h"
#include "core/orvtypefunc.h"
#include "storage/orvenginesettings.h"
#include "storage/orvosfilemgr.h"
#include "storage/orvrowsfile.h"
#include "storage/orvtablefileowner.h"
#include "tests/support/orvfakesession.h"

namespace orv::bench {

inline constexpr int32_t TextLength = 80;

// Files shared with other processes, as a database's are.
class TSharedFiles : public TORVOSFileManager {
 public:
  bool GetExclusiveFileAccess() override { return false; }
};

// A column of Columns, sized without a catalog; Length 0 keeps the type's.
inline TORVColumn* AddBenchColumn(TORVColumns& Columns, const char16_t* Name, int32_t ID, int32_t DataType,
                                  int32_t SubType, int32_t Length) {
  std::unique_ptr<TORVColumn> Column(static_cast<TORVColumn*>(Columns.GetNewObject()));
  Column->SetName(Name);
  Column->SetID(ID);
  Column->SetDataType(DataType);
  Column->SetSubType(SubType);
  if (Length != 0) Column->SetLength(Length);
  Columns.Add(Column.get());
  return Column.release();
}

// An index of Table over the column at Position.
inline TORVIndex* AddBenchIndex(TORVBaseTable& Table, const TORVString& Name, int32_t IndexType, int32_t Position) {
  std::unique_ptr<TORVIndex> Index(static_cast<TORVIndex*>(Table.GetIndexes().GetNewObject()));
  Index->SetName(Name);
  Index->SetIndexType(IndexType);
  std::unique_ptr<TORVIndexColumn> Key(static_cast<TORVIndexColumn*>(Index->GetIndexColumns()->GetNewObject()));
  Key->SetSourceColumn(Table.GetColumns().GetColumn(Position));
  Index->GetIndexColumns()->Add(Key.release());
  Table.GetIndexes().Add(Index.get());
  return Index.release();
}

// The rows a large case loads: ORV_BENCH_ROWS, else 1,000,000.
inline int32_t BenchRowCount() { return CountFromEnvironment("ORV_BENCH_ROWS", 1000000); }

class TBenchSession : public test::TFakeSession<TORVSessionManager> {
 public:
  void Lock(uint32_t /*WaitTimeout*/) override {}
  bool TryLock(uint32_t /*WaitTimeout*/) override { return true; }
  void Unlock() override {}
};

// One session's table without large objects or computed columns; the
// change check reads the header of each of its files, as a shared
// table's does.
class TBenchTableManager : public TORVTableFileOwner {
 public:
  TBenchTableManager(TORVFileManager* Files, const TORVString& Folder)
      : TORVTableFileOwner(&FOwnTable, Files), FFolder(Folder) {
    // Text in single bytes, as the columns are sized without a catalog and
    // as SQLite keeps it.
    FSettings.SetCharacterSet(CharacterSetAnsi);
    FOwnTable.SetName(u"Bench");
    FOwnTable.SetInternalName(u"Bench");
    TORVColumns& Columns = FOwnTable.GetColumns();
    const struct {
      const char16_t* Name;
      int32_t DataType;
      int32_t SubType;
      int32_t Length;
    } Layout[] = {{u"ID", dtInteger, 0, 0}, {u"Amount", dtInteger, 0, 0}, {u"Label", dtCharacter, stVarChar, TextLength}};
    int32_t ID = 1;
    for (const auto& Spec : Layout) AddBenchColumn(Columns, Spec.Name, ID++, Spec.DataType, Spec.SubType, Spec.Length);
  }

  // The rows file first, then every other file of the table.
  bool CheckForChanges(bool /*ManualRefresh*/) override {
    bool Result = Rows != nullptr && Rows->CheckForChanges();
    for (TORVTableFileManager* File : OtherFiles)
      if (File->CheckForChanges()) Result = true;
    return Result;
  }
  int32_t GetRowsetLastNumber() override { return Rows != nullptr ? Rows->GetLastNumber() : 0; }
  TORVSessionManager& GetSessionManager() override { return FSession; }
  TORVEngineManagerSettings& GetSessionSettings() override { return FSettings; }
  TORVCompressionManager& GetCompressionManager() override { return FCompression; }
  int32_t GetSessionHandle() override { return 1; }
  TORVString GetDatabaseName() override { return u"Bench"; }
  TORVString GetDatabaseFullPath() override { return FFolder; }
  bool GetDatabaseSessionIsolation() override { return false; }
  bool GetInInformationSchema() override { return false; }
  void LogEvent(int32_t, int32_t, int32_t, const TORVString&) override {}
  void BackupError(const TORVString&) override { std::abort(); }
  void RestoreError(const TORVString&) override { std::abort(); }
  void ReadBlobStream(int32_t, int32_t, TORVMemoryStream&, bool) override { std::abort(); }
  void WriteBlobStream(int32_t, int32_t&, TORVMemoryStream&, int32_t, int32_t&) override { std::abort(); }
  int32_t GetBlobVersion(int32_t) override { return -1; }
  void EvaluateRow(TORVRowValues&, TORVExprToken*, TORVValue&) override { std::abort(); }

  TORVBaseTable& Table() { return FOwnTable; }

  TORVRowsetManager* Rows = nullptr;
  std::vector<TORVTableFileManager*> OtherFiles;

 private:
  TORVBaseTable FOwnTable;
  TORVString FFolder;
  TORVEngineManagerSettings FSettings{nullptr};
  TBenchSession FSession;
  TORVCompressionManager FCompression;
};

std::string Text(int32_t Index) {
  std::string Result(TextLength, ' ');
  for (int32_t Position = 0; Position < TextLength; ++Position)
    Result[static_cast<size_t>(Position)] = static_cast<char>('a' + (Index * 7 + Position * 3) % 26);
  return Result;
}

// What a reader takes from a row: the Amount and the Label, copied out.
inline int64_t TakeRow(TORVRowsetNavigator& Navigator, TORVString& Label) {
  Label = Navigator.GetRowValues().GetItems(2)->GetAsString();
  return Navigator.GetRowValues().GetItems(1)->GetAsInteger() + static_cast<int64_t>(Label.size());
}

inline int64_t TakeRow(TBenchStatement& Select, std::string& Label) {
  Label = Select.ColumnText(1);
  return Select.ColumnInt(0) + static_cast<int64_t>(Label.size());
}

// A text of TextLength letters for Index.
inline std::string BenchText(int32_t Index) {
  std::string Result(TextLength, ' ');
  for (int32_t Position = 0; Position < TextLength; ++Position)
    Result[static_cast<size_t>(Position)] = static_cast<char>('a' + (Index * 7 + Position * 3) % 26);
  return Result;
}

// The one set of stores of a benchmark program: made by the first case
// that needs it, or made again empty with Fresh, and removed at exit.
template <typename TStores>
TStores& BenchStores(bool Fresh = false) {
  static std::unique_ptr<TStores> Stores;
  if (Fresh) Stores.reset();
  if (!Stores) Stores = std::make_unique<TStores>();
  return *Stores;
}

// A new folder under the system's temporary folder, named from Prefix.
inline std::filesystem::path MakeBenchFolder(const std::string& Prefix) {
  std::string Pattern = (std::filesystem::temp_directory_path() / (Prefix + "-XXXXXX")).string();
  if (mkdtemp(Pattern.data()) == nullptr) std::abort();
  return Pattern;
}

}  // namespace orv::bench
