// One session's table manager of the table t (id INTEGER, name VARCHAR(20),
// n INTEGER) of the database Main in a test folder, with the row
// operations as statements make them and the reads that check a table's
// rows against its indexes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "base/orvutf8.h"
#include "catalog/orvindexes.h"
#include "catalog/orvtable.h"
#include "core/orvliteral.h"
#include "core/orvsessionmgr.h"
#include "core/orvvalue.h"
#include "eval/orvschemaobjmgr.h"
#include "eval/orvtablemgr.h"
#include "storage/orvindexnav.h"
#include "storage/orvrowsfile.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/eval/orvtestdatabase.h"
#include "tests/support/orvfaultfilemgr.h"
#include "tests/support/orvtestfolder.h"

namespace orv::test {

// Column positions of t; the hidden row ID is column 0.
inline constexpr int32_t IdColumn = 1;
inline constexpr int32_t NameColumn = 2;
inline constexpr int32_t NColumn = 3;

struct TModelRow {
  int32_t Id = 0;
  TORVString Name;
  int32_t N = 0;
  bool operator==(const TModelRow&) const = default;
};

// Rows by row ID.
using TModelRows = std::map<int32_t, TModelRow>;

inline std::string DescribeRows(const TModelRows& Rows) {
  std::string Text;
  for (const auto& [RowID, Row] : Rows)
    Text += std::to_string(RowID) + ":(" + std::to_string(Row.Id) + "," + StringToUtf8(Row.Name) + "," +
            std::to_string(Row.N) + ") ";
  return Text;
}

// The shape of t for one session: its indexes and column flags.
struct TTableShape {
  // An index on name (plain) and a primary key on id, unless cleared.
  bool NameIndex = true;
  bool IdKey = true;
  bool NIndex = false;
  // Shapes the table further after its columns and indexes are added.
  std::function<void(TORVBaseTable&)> Configure;
};

class TTableUser : public TORVBaseObject {};

class TTableConnection {
 public:
  TTableConnection(TORVFileManager* Files, const TORVString& Folder, const TORVString& LockFileName,
                const TTableShape& Shape = {})
      : Database(Files, LockFileName), Managers(&Database) {
    Database.DatabaseFolder = Folder;
    Database.TableManagers = &Managers;
    Table = Database.AddTable(u"t", 1);
    Table->SetInternalName(u"t");
    AddTestColumn(Table->GetColumns(), u"id", dtInteger);
    AddTestColumn(Table->GetColumns(), u"name", dtCharacter, stVarChar, 20);
    AddTestColumn(Table->GetColumns(), u"n", dtInteger);
    if (Shape.IdKey) AddTestIndex(Table, u"ById", itPrimaryKey, {u"id"});
    if (Shape.NameIndex) AddTestIndex(Table, u"ByName", itIndex, {u"name"});
    if (Shape.NIndex) AddTestIndex(Table, u"ByN", itIndex, {u"n"});
    if (Shape.Configure) Shape.Configure(*Table);
    Database.Session().SetRowLockWait(1);
    Database.Session().SetRowLockRetries(3);
  }
  ~TTableConnection() {
    Values.reset();
    Row.reset();
    Managers.FreeAll();
  }

  // Opens t, making its files when they are missing; Alone leaves the
  // tables its foreign keys involve closed.
  TORVTableManager& Open(TORVLockType LockType = ltShared, bool Alone = false) {
    if (Alone) {
      Manager = static_cast<TORVTableManager*>(Managers.Get(Table, true));
      Manager->LockObject(LockType);
      Manager->Open(false);
    } else {
      Manager = static_cast<TORVTableManager*>(Managers.Open(Table, LockType));
    }
    Row = Manager->CreateNewRow();
    Values = std::make_unique<TORVRowsetRowValues>(Manager->RowsetManager(), CharacterSet());
    Values->SetRow(Row.get());
    return *Manager;
  }
  int32_t CharacterSet() { return Database.GetSessionSettings().GetCharacterSet(); }

  // A new row's values; NULL where Name is empty and Id 0 is kept as 0.
  TORVRowsetRowValues& NewValues(const TModelRow& New) {
    Row->Initialize();
    Values->SetRow(Row.get());
    Values->Clear();
    Values->GetItems(IdColumn)->SetAsInteger(New.Id);
    if (!New.Name.empty()) Values->GetItems(NameColumn)->SetAsString(New.Name);
    Values->GetItems(NColumn)->SetAsInteger(New.N);
    return *Values;
  }
  // Inserts New; its row ID.
  int32_t Insert(const TModelRow& New) {
    TORVRowsetRowValues& Fresh = NewValues(New);
    InsertValues(Fresh, false);
    return Fresh.GetItems(0)->GetAsInteger();
  }
  void InsertValues(TORVRowValues& Fresh, bool KeepExistingValues) {
    int32_t Version = 0;
    int32_t Counter = 0;
    Manager->InsertRow(Fresh, LastNumber, Version, Counter, KeepExistingValues);
  }
  // The stored row with RowID into the session's row; its number, or 0.
  int32_t Find(int32_t RowID) {
    Manager->CheckForChanges(false);
    int32_t Found = 0;
    for (int32_t Number = 1; Found == 0 && Number <= Manager->GetPhysicalRowCount(); ++Number)
      if (Manager->GetRowByNumber(Number, *Row) && Row->GetStatus() != TORVRowsetRow::StatusDeleted &&
          Row->GetRowID() == RowID) {
        Values->SetRow(Row.get());
        Found = Number;
      }
    Manager->UnlockObject(ltRead);
    return Found;
  }
  // As an UPDATE under the optimistic protocol: lock and refresh, change,
  // unlock. Name empty leaves the name as it is.
  void Update(int32_t RowID, const TORVString& Name, int32_t N) {
    const int32_t Number = Find(RowID);
    if (Number == 0) throw std::logic_error("no row to update");
    int32_t Counter = Row->GetUpdateCounter();
    const int32_t Version = Row->GetVersion();
    Manager->LockAndRefresh(&User, Number, Version, Counter, RowID, false, false, true);
    try {
      if (!Name.empty()) Values->GetItems(NameColumn)->SetAsString(Name);
      Values->GetItems(NColumn)->SetAsInteger(N);
      Manager->UpdateRow(*Values, Number, Version, Counter);
    } catch (...) {
      Manager->Unlock(Number);
      throw;
    }
    Manager->Unlock(Number);
  }
  void Delete(int32_t RowID) {
    const int32_t Number = Find(RowID);
    if (Number == 0) throw std::logic_error("no row to delete");
    int32_t Counter = Row->GetUpdateCounter();
    const int32_t Version = Row->GetVersion();
    Manager->LockAndRefresh(&User, Number, Version, Counter, RowID, false, true, false);
    try {
      Manager->DeleteRow(*Values, Number, Version, Counter);
    } catch (...) {
      Manager->Unlock(Number);
      throw;
    }
    Manager->Unlock(Number);
  }

  // Adds 1 to n of the row RowID at slot Number as a statement does under
  // a row lock: lock and refresh, read the fresh row, update, unlock. The
  // lock error (1005) passes on once the retries are spent.
  void AddOne(int32_t RowID, int32_t Number) {
    Manager->CheckForChanges(false);
    Manager->GetRowByNumber(Number, *Row);
    Manager->UnlockObject(ltRead);
    Manager->LockAndRefresh(&User, Number, Row->GetVersion(), 0, RowID, true, false, false);
    try {
      Manager->GetRowByNumber(Number, *Row);
      Values->SetRow(Row.get());
      Values->GetItems(NColumn)->SetAsInteger(Values->GetItems(NColumn)->GetAsInteger() + 1);
      int32_t Counter = Row->GetUpdateCounter();
      Manager->UpdateRow(*Values, Number, Row->GetVersion(), Counter);
    } catch (...) {
      Manager->Unlock(Number);
      throw;
    }
    Manager->Unlock(Number);
  }

  void StartTransaction() {
    Table->StartTransaction();
    Manager->StartTransaction(true);
  }
  void Commit() {
    Manager->Commit(false);
    Table->EndTransaction();
  }
  void Rollback() {
    Manager->Rollback();
    Table->EndTransaction();
  }
  // As a database starts and ends a transaction on t: its transaction lock
  // is held from the start until the end.
  void StartLockedTransaction(int32_t LockTimeout) {
    Database.GetLockManager().LockObject(Table, ltTransaction, LockTimeout);
    StartTransaction();
  }
  void EndLockedTransaction(bool CommitIt) {
    if (CommitIt)
      Commit();
    else
      Rollback();
    Database.GetLockManager().UnlockObject(Table, ltTransaction);
  }

  static TModelRow RowOf(TORVRowValues& From) {
    TModelRow Result;
    Result.Id = From.GetItems(IdColumn)->GetAsInteger();
    if (!From.GetItems(NameColumn)->GetNull()) Result.Name = From.GetItems(NameColumn)->GetAsString();
    Result.N = From.GetItems(NColumn)->GetAsInteger();
    return Result;
  }

  // Every live row by a scan of the rows file, with other sessions'
  // changes picked up first.
  TModelRows Scan() {
    Manager->CheckForChanges(false);
    TModelRows Rows;
    for (int32_t Number = 1; Number <= Manager->GetPhysicalRowCount(); ++Number)
      if (Manager->GetRowByNumber(Number, *Row) && Row->GetStatus() != TORVRowsetRow::StatusDeleted) {
        Values->SetRow(Row.get());
        Rows[Row->GetRowID()] = RowOf(*Values);
      }
    Manager->UnlockObject(ltRead);
    return Rows;
  }
  // The row IDs an index walk finds, in index order.
  std::vector<int32_t> Walk(int32_t IndexNumber) {
    Manager->CheckForChanges(false);
    std::vector<int32_t> Found;
    for (bool On = Manager->GetRowForFirstKey(*Row, IndexNumber); On;
         On = Manager->GetRowForNextKey(*Row, IndexNumber))
      Found.push_back(Row->GetRowID());
    Manager->UnlockObject(ltRead);
    return Found;
  }
  // Empty when every index walk finds exactly the scanned rows, in key
  // order; else what differs.
  std::string IndexesAgreeWithRows() {
    const TModelRows Rows = Scan();
    std::string Problems;
    for (int32_t Index = 0; Index < Table->GetIndexes().GetCount(); ++Index) {
      const std::vector<int32_t> Found = Walk(Index);
      TORVIndex* Def = Table->GetIndexes().GetIndex(Index);
      const std::u16string Column = Def->GetIndexColumns()->GetIndexColumn(0)->GetSourceColumn()->GetName();
      auto Key = [&](int32_t RowID) {
        const TModelRow& R = Rows.at(RowID);
        return Column == u"name" ? std::make_tuple(0, R.Name) : std::make_tuple(Column == u"id" ? R.Id : R.N, TORVString());
      };
      std::map<int32_t, int32_t> Seen;
      for (size_t At = 0; At < Found.size(); ++At) {
        ++Seen[Found[At]];
        if (Rows.count(Found[At]) == 0) {
          Problems += "index " + std::to_string(Index) + " holds the missing row " + std::to_string(Found[At]) + "; ";
          continue;
        }
        if (At > 0 && Rows.count(Found[At - 1]) != 0 && Key(Found[At]) < Key(Found[At - 1]))
          Problems += "index " + std::to_string(Index) + " out of order at " + std::to_string(Found[At]) + "; ";
      }
      for (const auto& [RowID, Row] : Rows)
        if (Seen[RowID] != 1 && Problems.size() < 400)
          Problems += "index " + std::to_string(Index) + " holds row " + std::to_string(RowID) + " " +
                      std::to_string(Seen[RowID]) + " times; ";
    }
    return Problems;
  }

  TTestDatabase Database;
  TORVTableManagers Managers;
  TORVBaseTable* Table = nullptr;
  TORVTableManager* Manager = nullptr;
  std::unique_ptr<TORVRowsetRow> Row;
  std::unique_ptr<TORVRowsetRowValues> Values;
  TTableUser User;
  int32_t LastNumber = 0;
};

// One side of the shared-counter run: Rounds times AddOne on the row
// CounterID at CounterNumber, a refused lock tried again, each followed by
// an insert of a row of its own (id Base + round). The count of refusals.
inline int32_t RunCounterSide(TTableConnection& Side, int32_t CounterID, int32_t CounterNumber, int32_t Base,
                              int32_t Rounds) {
  int32_t Refused = 0;
  for (int32_t Round = 0; Round < Rounds; ++Round) {
    for (bool Done = false; !Done;) {
      try {
        Side.AddOne(CounterID, CounterNumber);
        Done = true;
      } catch (const EORVException& Error) {
        if (Error.ErrorCode() != ORV_ROW_LOCK_ERROR.Code) throw;
        ++Refused;
      }
    }
    Side.Insert({Base + Round, u"s" + IntToString(Base), Round});
  }
  return Refused;
}

// A verification's answers and what it logged besides its start and end.
struct TVerifyRun {
  bool Result = false;
  bool FoundErrors = false;
  std::vector<std::string> Findings;
};

inline TVerifyRun VerifyTable(TTableConnection& Session, bool Repair, bool StructureOnly = false) {
  TVerifyRun Run;
  TORVSessionManager& Log = Session.Database.Session();
  Log.SetOnLogMessage([&Run](const TORVString& Line) {
    if (Line.rfind(u"Verification of the ", 0) != 0) Run.Findings.push_back(StringToUtf8(Line));
  });
  struct TLogOff {
    TORVSessionManager& Log;
    ~TLogOff() { Log.SetOnLogMessage({}); }
  } LogOff{Log};
  Run.Result = Session.Manager->Verify(Run.FoundErrors, Repair, StructureOnly);
  return Run;
}

inline std::string Joined(const std::vector<std::string>& Lines) {
  std::string Text;
  for (const std::string& Line : Lines) Text += Line + "\n";
  return Text;
}

// Empty when every row of Seen is as Before or After has it and every row
// the operation left alone is there; else what differs. A torn write may
// leave a changed row half old and half new: with Torn set such a row only
// needs a known row ID.
inline std::string RowsBeforeOrAfter(const TModelRows& Seen, const TModelRows& Before, const TModelRows& After,
                                     bool Torn = false) {
  std::string Problems;
  for (const auto& [RowID, Row] : Seen) {
    const auto Old = Before.find(RowID);
    const auto New = After.find(RowID);
    const bool Known = Old != Before.end() || New != After.end();
    if (Torn && Known) continue;
    if ((Old == Before.end() || !(Old->second == Row)) && (New == After.end() || !(New->second == Row)))
      Problems += "row " + DescribeRows({{RowID, Row}}) + "is neither before nor after; ";
  }
  for (const auto& [RowID, Row] : Before) {
    const auto New = After.find(RowID);
    if (New != After.end() && New->second == Row && (Seen.count(RowID) == 0 || !(Seen.at(RowID) == Row)))
      Problems += "untouched row " + std::to_string(RowID) + " is lost; ";
  }
  return Problems;
}

// Sessions of t in subfolders of a fresh folder, on disk files shared with
// other processes.
class TableFolderTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    Files = NewSharedOSFileManager();
  }
  void TearDown() override {
    Sessions.clear();
    Files.reset();
    TempFolderTest::TearDown();
  }
  // A session of t in Subfolder (made when missing); not opened.
  TTableConnection& NewSession(const TTableShape& Shape = {}, const std::string& Subfolder = "db") {
    std::filesystem::create_directories(Folder() / Subfolder);
    Sessions.push_back(std::make_unique<TTableConnection>(Files.get(), PathName(Subfolder), PathName("orv.lock"), Shape));
    return *Sessions.back();
  }
  TTableConnection& OpenSession(const TTableShape& Shape = {}, const std::string& Subfolder = "db") {
    TTableConnection& Session = NewSession(Shape, Subfolder);
    Session.Open();
    return Session;
  }
  void CloseSessions() { Sessions.clear(); }
  // REPAIR TABLE on t in Subfolder: the table opened alone in its repair
  // state and verified with repair, then closed.
  TVerifyRun RepairTable(const TTableShape& Shape = {}, const std::string& Subfolder = "db") {
    CloseSessions();
    TTableConnection& Repairer = NewSession(Shape, Subfolder);
    Repairer.Table->StartRepair();
    TVerifyRun Run;
    try {
      Repairer.Open(ltExclusive);
      Run = VerifyTable(Repairer, true);
    } catch (...) {
      Repairer.Table->EndRepair();
      CloseSessions();
      throw;
    }
    Repairer.Table->EndRepair();
    CloseSessions();
    return Run;
  }
  // After a repair: a fresh session finds t verifying clean, its indexes
  // agreeing with its rows, and its rows as Before or After. Empty when so.
  std::string CheckRepaired(const TModelRows& Before, const TModelRows& After, const TTableShape& Shape = {},
                            const std::string& Subfolder = "db", bool Torn = false) {
    TTableConnection& Check = OpenSession(Shape, Subfolder);
    const TVerifyRun Clean = VerifyTable(Check, false);
    std::string Problems;
    if (!Clean.Result || Clean.FoundErrors) Problems += "verifies with findings: " + Joined(Clean.Findings);
    Problems += Check.IndexesAgreeWithRows();
    Problems += RowsBeforeOrAfter(Check.Scan(), Before, After, Torn);
    CloseSessions();
    return Problems;
  }
  bool FileExists(const std::string& Subfolder, const std::string& Name) {
    return std::filesystem::exists(Folder() / Subfolder / Name);
  }
  std::vector<std::string> FilesIn(const std::string& Subfolder) {
    std::vector<std::string> Names;
    for (const auto& Entry : std::filesystem::directory_iterator(Folder() / Subfolder))
      Names.push_back(Entry.path().filename().string());
    std::sort(Names.begin(), Names.end());
    return Names;
  }

  std::unique_ptr<TFaultOSFileManager> Files;
  std::vector<std::unique_ptr<TTableConnection>> Sessions;
};

// What opening a table whose write stopped part-way raises.
inline constexpr char RepairRequired[] =
    "100 There is an error in the metadata for the table t (A write operation did not complete and a repair is "
    "required)";

}  // namespace orv::test
