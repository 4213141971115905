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
  bool GetEOF() override { return GetPositionIndex() >= 2; }
  void Prior() override {
    if (GetPositionIndex() > 0) InternalPrior();
  }
  void Next() override {
    if (GetPositionIndex() < 2) InternalNext();
  }
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

}  // namespace
}  // namespace orv
