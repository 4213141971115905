// Local cursors over the table t of the table-manager sessions: each cursor
// takes over one use of its session's table manager, as query execution's
// cursors do, and reads rows as t's model rows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "catalog/orvcursorrow.h"
#include "core/orvsessionmgr.h"
#include "exec/orvlocalcursor.h"
#include "tests/eval/orvtablemgrtest.h"

namespace orv::test {

// A cursor of Session's table manager; the caller owns it.
inline std::unique_ptr<TORVLocalCursor> NewLocalCursor(TTableConnection& Session, bool ReadOnly = false) {
  Session.Managers.Open(Session.Table, ltShared);
  auto Cursor = std::make_unique<TORVLocalCursor>(Session.Manager, u"c", ReadOnly, false);
  Cursor->MapDefaultTableColumns();
  return Cursor;
}

// The current row of Cursor as t's model row.
inline TModelRow CurrentModelRow(TORVLocalCursor& Cursor, bool LockIt = false) {
  auto Row = Cursor.CreateRow(true);
  Cursor.GetCurrentRow(*Row, LockIt);
  return TTableConnection::RowOf(*Row->GetValues());
}

// The ids of the rows a walk meets: forward from First, or backward from
// Last. Next on the last row leaves it current, which ends the walk.
inline std::vector<int32_t> WalkIds(TORVLocalCursor& Cursor, bool Forward = true) {
  std::vector<int32_t> Ids;
  if (Forward)
    Cursor.First();
  else
    Cursor.Last();
  while (Cursor.GetRowNumber() != 0) {
    Ids.push_back(CurrentModelRow(Cursor).Id);
    const int32_t Before = Cursor.GetRowNumber();
    if (Forward)
      Cursor.Next();
    else
      Cursor.Prior();
    if (Cursor.GetRowNumber() == Before) break;
  }
  return Ids;
}

// Sessions of t with cursors, which go before their sessions.
class LocalCursorTest : public TableFolderTest {
 protected:
  void TearDown() override {
    Cursors.clear();
    TableFolderTest::TearDown();
  }
  TORVLocalCursor& OpenCursor(TTableConnection& Session, bool ReadOnly = false) {
    Cursors.push_back(NewLocalCursor(Session, ReadOnly));
    return *Cursors.back();
  }
  void CloseAll() {
    Cursors.clear();
    CloseSessions();
  }

  std::vector<std::unique_ptr<TORVLocalCursor>> Cursors;
};

}  // namespace orv::test
