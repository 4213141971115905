// The fixture of the database manager's tests: logged-in sessions of a
// fault-injecting engine and databases added to their configurations.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "base/orvtype.h"
#include "catalog/orvconfig.h"
#include "catalog/orvtable.h"
#include "catalog/orvdatabase.h"
#include "core/orvliteral.h"
#include "core/orvlocktype.h"
#include "local/orvlocaldbmgr.h"
#include "local/orvlocalsessionmgr.h"
#include "storage/orvobjmgr.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/local/orvlocalsessiontest.h"

namespace orv::test {

// The events of Session's log that databases write (functions 33 and 34).
inline std::vector<TStoredEvent> DatabaseEvents(TORVLocalSessionManager& Session) {
  std::vector<TStoredEvent> Result;
  for (const TStoredEvent& Event : StoredEvents(Session))
    if (Event.FunctionCode == 33 || Event.FunctionCode == 34) Result.push_back(Event);
  return Result;
}

// Database Name of Session's configuration (in memory only) at Path.
inline TORVDatabaseContainer* AddDatabase(TORVLocalSessionManager& Session, const TORVString& Name,
                                          const TORVString& Path, bool InMemory = false) {
  TORVConfig& Config = *Session.GetConfig();
  std::unique_ptr<TORVDatabaseContainer> Database(
      static_cast<TORVDatabaseContainer*>(Config.GetDatabases().GetNewObject(Session.GetCurrentUser())));
  Database->SetName(Name);
  Database->SetPath(Path);
  Database->SetInMemory(InMemory);
  Config.GetDatabases().Add(Database.get());
  return Database.release();
}

// Tables Names stored in Database's catalog file, their files named after
// them and their lock slots 1, 2, ... in order; the database is opened for
// it and closed again. Shape adds to each table what it needs beyond the
// row ID.
inline void StoreTables(TORVLocalDatabaseManager& Database, const std::vector<const char16_t*>& Names,
                        const std::function<void(TORVBaseTable&)>& Shape = {}) {
  Database.Open(ltShared);
  Database.GetCatalogManager()->BeginUpdate();
  int32_t Slot = 0;
  for (const char16_t* Name : Names) {
    TORVBaseTable* Table = NewTable(*Database.GetCatalog(), Name);
    Table->SetInternalName(Name);
    Table->SetLockSlot(++Slot);
    if (Shape) Shape(*Table);
  }
  Database.GetCatalogManager()->EndUpdate();
  Database.Close(false);
}

class LocalDatabaseTest : public test::LocalSessionTest {
 protected:
  // A logged-in session of Engine (the fixture's when nil).
  TORVLocalSessionManager* LoggedIn(const TORVString& Name = u"Session", TORVEngineManager* Owner = nullptr) {
    TORVLocalSessionManager* Session = NewSession(Owner);
    Session->Open(u"Tests", Name, u"");
    Session->Login(AdminName, AdminPassword);
    return Session;
  }

  static TORVDatabaseContainer* AddDatabase(TORVLocalSessionManager& Session, const TORVString& Name,
                                            const TORVString& Path, bool InMemory = false) {
    return test::AddDatabase(Session, Name, Path, InMemory);
  }

  TORVLocalDatabaseManager* Manager(TORVLocalSessionManager& Session, const TORVString& Name, const TORVString& Path) {
    return Session.GetDatabaseManager(AddDatabase(Session, Name, Path));
  }

  // Nothing holds the database at Path: a new session opens it
  // exclusively.
  void ExpectReleased(const TORVString& Path) {
    TORVLocalSessionManager* Other = LoggedIn(u"Checker" + IntToString(++FCheckers));
    TORVLocalDatabaseManager* Database = Manager(*Other, u"x", Path);
    EXPECT_NO_THROW(Database->Open(ltExclusive));
    Database->Close(false);
    FreeSession(Other);
  }

 private:
  int32_t FCheckers = 0;
};

}  // namespace orv::test
