#include <gtest/gtest.h>

#include <string>

#include "base/orvutf8.h"
#include "catalog/orvcursorrow.h"
#include "local/orvlocaleval.h"
#include "sql/orvroutineslots.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"
#include "tests/local/orvlocalroutinetest.h"
#include "tests/support/orvrowfakes.h"

namespace orv {
namespace {

// A cursor of three rows (a INTEGER, b VARCHAR(10)): (1, 'one'), (2,
// 'two'), (3, 'three'). Prior on the first row and Next on the last stay
// there, as a cursor at its ends does.
class TThreeRowCursor : public TFakeCursor {
 public:
  TThreeRowCursor() : TFakeCursor(CharacterSetUnicode) {
    AddTestColumn(*GetColumns(), u"a", dtInteger, 0, 0, 1);
    AddTestColumn(*GetColumns(), u"b", dtCharacter, stVarChar, 10, 2);
    MapDefaultTableColumns();
    const char16_t* Texts[] = {u"one", u"two", u"three"};
    for (int32_t I = 0; I < 3; ++I) {
      std::unique_ptr<TORVCursorRow> Row = CreateRow(true);
      Row->GetValues()->GetItems(0)->SetAsInteger(I + 1);
      Row->GetValues()->GetItems(1)->SetAsString(Texts[I]);
      AppendRow(*Row);
    }
  }
  bool GetBOF() override { return GetPositionIndex() <= 0; }
  bool GetEOF() override { return GetPositionIndex() >= GetRowCount() - 1; }
  void Prior() override {
    if (GetPositionIndex() > 0) InternalPrior();
  }
  void Next() override {
    if (!GetEOF()) InternalNext();
  }

  // Row edits: a locked read starts an edit that Update or Cancel ends;
  // an insert appends the row as written.
  void GetCurrentRow(TORVCursorRow& Row, bool LockIt) override {
    InternalGetCurrentRow(Row);
    if (LockIt) Editing = true;
  }
  bool Insert(TORVCursorRow& Row) override {
    AppendRow(Row);
    return true;
  }
  bool Update(TORVCursorRow& Row) override {
    Updated = StringToUtf8(Row.GetValues()->GetItems(1)->GetAsString());
    Editing = false;
    return true;
  }
  void Cancel(TORVCursorRow&) override {
    Cancelled = true;
    Editing = false;
  }

  bool Editing = false;
  bool Cancelled = false;
  // Column b of the row that Update wrote.
  std::string Updated;
};

class CursorStatements : public test::RoutineTest {
 protected:
  CursorStatements() { Evaluator.CursorToOpen = &Cursor; }

  // What the function answers after Body ran with x and y declared and
  // c open over the cursor.
  std::string After(const std::string& Body) {
    return Result("FUNCTION g() RETURNS VARCHAR(40) BEGIN DECLARE x INTEGER; DECLARE y VARCHAR(10); "
                  "DECLARE z INTEGER; DECLARE c CURSOR FOR s; PREPARE s FROM 'SELECT a, b FROM t'; OPEN c; " +
                  Body + " RETURN CAST(x AS VARCHAR(10)) || ':' || y; END");
  }

  TThreeRowCursor Cursor;
};

TEST_F(CursorStatements, FetchPositionsByItsOrientationAndReadsTheColumnsInto) {
  const struct {
    const char* Name;
    const char* Body;
    const char* Result;
  } Cases[] = {
      {"FETCH without orientation reads the current row", "FETCH FROM c INTO x, y;", "1:one"},
      {"NEXT moves on", "FETCH NEXT FROM c INTO x, y;", "2:two"},
      {"LAST and PRIOR", "FETCH LAST FROM c INTO x, y; FETCH PRIOR FROM c INTO x, y;", "2:two"},
      {"RELATIVE 0 re-reads the row", "FETCH NEXT FROM c INTO x, y; FETCH RELATIVE 0 FROM c INTO x, y;", "2:two"},
      {"RELATIVE (-3) from row 2 stops at the beginning",
       "FETCH NEXT FROM c INTO x, y; FETCH RELATIVE (-3) FROM c INTO x, y;", "1:one"},
      {"RELATIVE past the end stops at the last row",
       "FETCH RELATIVE 7 FROM c INTO x, y; FETCH PRIOR FROM c INTO x, y;", "2:two"},
      {"listed columns choose the source", "FETCH FROM c ('b', 'a') INTO y, x;", "1:one"},
      {"more variables than the cursor has columns fail", "FETCH FROM c INTO x, y, z;", "FETCH)"},
      {"CLOSE leaves a closed cursor", "CLOSE c; FETCH FROM c INTO x, y;", "closed cursor)"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const std::string Answer = After(Case.Body);
    const std::string Expected = Case.Result;
    if (Expected.back() != ')') {
      EXPECT_EQ(Answer, Expected);
    } else {
      // The cursor error, naming the cursor where the statement stands.
      EXPECT_EQ(Answer.rfind("1000 An error occurred with the cursor c at line 1 and column ", 0), 0u) << Answer;
      ASSERT_GE(Answer.size(), Expected.size()) << Answer;
      EXPECT_EQ(Answer.substr(Answer.size() - Expected.size()), Expected) << Answer;
    }
    EXPECT_EQ(Evaluator.GetValueStackCount(), 0);
  }
}

TEST_F(CursorStatements, InsertThroughACursorWritesTheListedColumnsAndRefusesUnmatchedValues) {
  const struct {
    const char* Name;
    const char* Insert;
    const char* Result;  // the new last row, an error, or the tail of the columns error
  } Cases[] = {
      {"values in column order", "INSERT INTO c VALUES (7, 'seven');", "7:seven"},
      {"a listed column gets its value and the others stay NULL", "INSERT INTO c ('b') VALUES ('new');",
       "NULL:new"},
      {"listed columns in another order", "INSERT INTO c ('b', 'a') VALUES ('eight', 8);", "8:eight"},
      {"fewer values than the cursor has columns leave the rest NULL", "INSERT INTO c VALUES (7);", "7:NULL"},
      {"a listed column the cursor lacks fails", "INSERT INTO c ('a', 'z') VALUES (7, 9);",
       "401 The column z does not exist"},
      {"more values than the cursor has columns fail", "INSERT INTO c VALUES (7, 'seven', 9);", "INSERT)"},
  };
  // The cursor's row is read first, so an insert that wrote over it
  // instead of a cleared row would show the first row's values.
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TThreeRowCursor Fresh;
    Evaluator.CursorToOpen = &Fresh;
    const std::string Answer = Result(
        std::string("FUNCTION g() RETURNS VARCHAR(40) BEGIN DECLARE x VARCHAR(10); DECLARE y VARCHAR(10); "
                    "DECLARE c CURSOR FOR s; PREPARE s FROM 'SELECT a, b FROM t'; OPEN c; FETCH FROM c INTO x, y; ") +
        Case.Insert +
        " FETCH LAST FROM c INTO x, y; IF x IS NULL THEN SET x = 'NULL'; END IF; "
        "IF y IS NULL THEN SET y = 'NULL'; END IF; RETURN x || ':' || y; END");
    const std::string Expected = Case.Result;
    if (Expected.back() != ')') {
      EXPECT_EQ(Answer, Expected);
      // A refused insert writes nothing.
      EXPECT_EQ(Fresh.GetRowCount(), Expected.find(':') != std::string::npos ? 4 : 3);
    } else {
      EXPECT_EQ(Answer.rfind("1000 An error occurred with the cursor c at line 1 and column ", 0), 0u) << Answer;
      EXPECT_NE(Answer.find("(The number of columns in the cursor does not match the source or target values for "
                            "the INSERT)"),
                std::string::npos)
          << Answer;
      // Nothing reached the cursor.
      EXPECT_EQ(Fresh.GetRowCount(), 3);
    }
    EXPECT_EQ(Evaluator.GetValueStackCount(), 0);
  }
}

TEST_F(CursorStatements, UpdateThroughACursorEndsTheRowEditWhetherItSucceedsOrNot) {
  // b is assigned before a fails to convert, so the edited row holds a
  // change that must not be written.
  const std::string Failed = After("UPDATE c SET 'b' = 'changed', 'a' = 'abc';");
  EXPECT_EQ(Failed.rfind("no error"), std::string::npos) << Failed;
  EXPECT_TRUE(Cursor.Cancelled);
  EXPECT_FALSE(Cursor.Editing) << "the failed update left the row locked for editing";
  EXPECT_EQ(Cursor.Updated, "");
  EXPECT_EQ(Evaluator.GetValueStackCount(), 0);

  // The row reads as before the failed edit.
  Cursor.Cancelled = false;
  EXPECT_EQ(After("BEGIN UPDATE c SET 'b' = 'changed', 'a' = 'abc'; EXCEPTION END; FETCH FROM c INTO x, y;"),
            "1:one");
  EXPECT_TRUE(Cursor.Cancelled);
  EXPECT_FALSE(Cursor.Editing);

  Cursor.Cancelled = false;
  EXPECT_EQ(After("UPDATE c SET 'b' = 'changed'; SET x = 1; SET y = 'done';"), "1:done");
  EXPECT_EQ(Cursor.Updated, "changed");
  EXPECT_FALSE(Cursor.Cancelled);
  EXPECT_FALSE(Cursor.Editing);
}

}  // namespace
}  // namespace orv
