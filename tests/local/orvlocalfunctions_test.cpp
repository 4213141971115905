#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "catalog/orvcatalog.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvtable.h"
#include "core/orvenv.h"
#include "exec/orvexecvalue.h"
#include "local/orvlocaldbmgr.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/local/orvlocaltest.h"
#include "tests/support/orvrowfakes.h"
#include "tests/support/orvstubdbmgr.h"

namespace orv {
namespace {

using test::ErrorOf;
using test::LocalEvalTest;

// A cursor that reports as many rows as a test says.
class TCountedCursor : public TFakeCursor {
 public:
  TCountedCursor() : TFakeCursor(CharacterSetUnicode) {}
  int32_t GetRowCount() override { return Rows; }
  int32_t Rows = 0;
};

class SessionFunctions : public LocalEvalTest {
 protected:
  // f(Arguments...) as the compiler types it.
  TORVExprToken* Call(TORVTokenOperator Function, int32_t DataType, std::initializer_list<TORVExprToken*> Arguments) {
    TORVExprToken* Token = Node(ttFUNCREF, Function, DataType);
    Token->FLine = 3;
    Token->FCol = 7;
    for (TORVExprToken* Argument : Arguments) Token->AddArgument(Argument);
    return Token;
  }
  TORVExprToken* Text(const char16_t* Value) {
    TORVExprToken* Token = Node(ttCONST, toNONE, dtCharacter, stVarChar, 20);
    Token->FTokenConstant = Value;
    return Token;
  }
  using LocalEvalTest::Text;
};

TEST_F(SessionFunctions, ExistsAsksTheSubQuerysResultForRows) {
  TORVExprToken* Query = Node(ttQUERY);
  TORVExprToken* Exists = Call(toEXISTS, dtBoolean, {Query});
  TCountedCursor Result;
  Evaluator.GetValue(Query);
  dynamic_cast<TORVQueryValue&>(*Query->FValue).FResultCursor = &Result;
  TORVEvaluatorContext Context;
  TORVContextScope Scope(Evaluator, Context);
  EXPECT_EQ(Text(Exists), "FALSE");
  Result.Rows = 2;
  EXPECT_EQ(Text(Exists), "TRUE");
  // A query that produced no cursor has no rows either.
  dynamic_cast<TORVQueryValue&>(*Query->FValue).FResultCursor = nullptr;
  EXPECT_EQ(Text(Exists), "FALSE");
}

// A sub-query's result of texts, searched as Locate does: under the
// case-insensitive flag it is given.
class TTextsCursor : public TFakeCursor {
 public:
  TTextsCursor() : TFakeCursor(CharacterSetUnicode) {}
  bool Locate(TORVMappedCursorColumns&, TORVValues& Values, int32_t PartialLength, bool CaseInsensitive) override {
    for (const char16_t* Text : Texts) {
      TORVContainedValue Item(CharacterSetUnicode);
      Item.SetDataType(dtCharacter);
      Item.SetLength(20);
      Item.SetAsString(Text);
      if (Item.Compare(*Values.GetItems(0), PartialLength, CaseInsensitive, Item.GetCollation()) == 0) return true;
    }
    return false;
  }
  std::vector<const char16_t*> Texts{u"abc", u"def"};
};

TEST_F(SessionFunctions, InASubQueryIgnoresCaseWhenTheTestedValueDoes) {
  TTextsCursor Result;
  TORVEvaluatorContext Context;
  TORVContextScope Scope(Evaluator, Context);
  for (bool IgnoreCase : {false, true}) {
    TORVExprToken* X = Text(u"ABC");
    X->SetIgnoreCase(IgnoreCase);
    TORVExprToken* Query = Node(ttQUERY);
    Evaluator.GetValue(Query);
    auto& Value = dynamic_cast<test::TFakeQueryValue&>(*Query->FValue);
    Value.FResultCursor = &Result;
    TORVExprToken* In = Node(ttEXTBINARY, toIN, dtBoolean);
    In->AddArgument(X);
    In->AddArgument(Query);
    EXPECT_EQ(Text(In), IgnoreCase ? "TRUE" : "FALSE");
    In->FTokenOperator = toNOTIN;
    EXPECT_EQ(Text(In), IgnoreCase ? "FALSE" : "TRUE");
    // The search is made once for the query, not per evaluation.
    EXPECT_EQ(Value.SearchesMade, 1);
  }
}

TEST_F(SessionFunctions, CursorAttributesNeedAnOpenCursor) {
  TORVExprToken* Declared = Declare(ttSTATEMENT, u"c", dtUnknown);
  auto Attribute = [&](TORVTokenOperator Function, int32_t DataType) {
    TORVExprToken* Token = Call(Function, DataType, {Ref(ttCURSORREF, Declared)});
    return Token;
  };
  TORVExprToken* Bof = Attribute(toBOF, dtBoolean);
  TORVExprToken* RowCount = Attribute(toROWCOUNT, dtInteger);
  TORVExprToken* Name = Call(toCOLNAME, dtCharacter, {Ref(ttCURSORREF, Declared), IntConst(0)});
  TORVEvaluatorContext Context;
  TORVContextScope Scope(Evaluator, Context);
  for (TORVExprToken* Token : {Bof, RowCount, Name}) {
    EXPECT_EQ(ErrorOf([&] { Text(Token); }),
              "1000 An error occurred with the cursor c at line 3 and column 7 (An attempt was made to access a "
              "closed cursor)");
  }
  try {
    Text(Bof);
  } catch (const EORVException& E) {
    EXPECT_EQ(E.ErrorLine(), 3);
    EXPECT_EQ(E.ErrorColumn(), 7);
  }
  TCountedCursor Open;
  Open.Rows = 4;
  Evaluator.GetValue(Declared);
  dynamic_cast<TORVStatementValue&>(*Declared->FValue).FResultCursor = &Open;
  EXPECT_EQ(Text(RowCount), "4");
  EXPECT_EQ(Text(Bof), "TRUE");
  // Column 0 is no column: an empty name, not NULL.
  EXPECT_EQ(Text(Name), "");
}

TEST_F(SessionFunctions, StatementAttributesNeedAPreparedStatement) {
  TORVExprToken* Declared = Declare(ttSTATEMENT, u"s", dtUnknown);
  TORVExprToken* Affected = Call(toROWSAFFECTED, dtInteger, {Ref(ttSTATEMENTREF, Declared)});
  TORVEvaluatorContext Context;
  TORVContextScope Scope(Evaluator, Context);
  EXPECT_EQ(ErrorOf([&] { Text(Affected); }),
            "900 An error occurred with the statement at line 3 and column 7 (An attempt was made to execute the "
            "unprepared statement s)");
}

TEST_F(SessionFunctions, StateFunctionsReadTheContext) {
  TORVExprToken* Operation = Call(toOPERATION, dtCharacter, {});
  Operation->FLength = 20;
  TORVExprToken* Loading = Call(toLOADINGUPDATES, dtBoolean, {});
  TORVExprToken* Aborted = Call(toABORTED, dtBoolean, {});
  TORVExprToken* Code = Call(toERRORCODE, dtInteger, {});
  TORVExprToken* Message = Call(toERRORMSG, dtCharacter, {});
  Message->FLength = 100;
  TORVExprToken* Version = Call(toCURVERSION, dtDecimal, {});
  Version->FScale = 2;
  struct TCase {
    TORVTableOperation Operation;
    const char* Text;
  };
  for (const TCase& Case : {TCase{toInsertRow, "Insert"}, TCase{toUpdateRow, "Update"},
                            TCase{toDeleteRow, "Delete"}, TCase{toLoadRow, "NULL"}, TCase{toVerifyRow, "NULL"}}) {
    TORVEvaluatorContext Context;
    // The previous row's operation never shows through a load.
    Context.FOperationType = Case.Operation;
    TORVContextScope Scope(Evaluator, Context);
    EXPECT_EQ(Text(Operation), Case.Text);
  }
  TORVEvaluatorContext Context;
  TORVContextScope Scope(Evaluator, Context);
  EXPECT_EQ(Text(Loading), "FALSE");
  EXPECT_EQ(Text(Aborted), "FALSE");
  EXPECT_EQ(Text(Code), "0");
  EXPECT_EQ(Text(Message), "");
  Evaluator.GetContext()->FLoadingUpdates = true;
  Evaluator.GetContext()->FAborted = true;
  const EORVException Raised(10050, u"m");
  Evaluator.GetContext()->SetCurException(&Raised);
  EXPECT_EQ(Text(Loading), "TRUE");
  EXPECT_EQ(Text(Aborted), "TRUE");
  EXPECT_EQ(Text(Code), "10050");
  EXPECT_EQ(Text(Message), "m");
  EXPECT_EQ(Text(Version), "2.38");
  TORVExprToken* Computer = Call(toCURCOMPUTER, dtCharacter, {});
  Computer->FLength = 200;
  EXPECT_EQ(Text(Computer), StringToUtf8(Environment().GetComputerName()));
}

class TSessionDatabase : public TStubDatabaseManager<TORVLocalDatabaseManager> {};

TEST_F(SessionFunctions, TableFunctionsFindTheTableAndColumnOrRaise) {
  auto Config = test::NewRoot();
  TORVCatalog Catalog(Config.get());
  TORVBaseTable* T = test::NewTableT(Catalog);
  TORVColumn* Id = AddTestColumn(T->GetColumns(), u"id", dtInteger);
  Id->SetLastValue(41);
  TSessionDatabase Database;
  Database.FCatalog = &Catalog;
  TORVEvaluatorContext Context;
  Context.SetDatabaseManager(&Database);
  TORVContextScope Scope(Evaluator, Context);

  EXPECT_EQ(Text(Call(toLASTIDENTITY, dtInteger, {Text(u"T"), Text(u"ID")})), "41");
  EXPECT_EQ(Text(Call(toINTRANS, dtBoolean, {Text(u"t")})), "FALSE");
  T->StartTransaction();
  EXPECT_EQ(Text(Call(toINTRANS, dtBoolean, {Text(u"t")})), "TRUE");
  EXPECT_EQ(ErrorOf([&] { Text(Call(toINTRANS, dtBoolean, {Text(u"nosuch")})); }).substr(0, 4), "401 ");
  const std::string Missing = ErrorOf([&] { Text(Call(toLASTIDENTITY, dtInteger, {Text(u"t"), Text(u"nosuch")})); });
  EXPECT_EQ(Missing.substr(0, 4), "401 ");
  EXPECT_NE(Missing.find("does not exist"), std::string::npos) << Missing;
  EXPECT_EQ(ErrorOf([&] { Text(Call(toLASTIDENTITY, dtInteger, {Text(u"nosuch"), Text(u"id")})); }).substr(0, 4),
            "401 ");
}

TEST_F(SessionFunctions, ARoutineCallPassesItsEvaluatedArguments) {
  // The fake routine's Execute does nothing; what it is handed is checked.
  struct TRecordingRoutine : public test::TFakeRoutineValue {
    using TFakeRoutineValue::TFakeRoutineValue;
    void Execute(TORVExprToken* ParamsToken) override {
      Seen = ParamsToken->GetArgument(0)->FValue->GetAsString();
      SetAsInteger(Seen == u"2" ? 20 : 0);
    }
    TORVString Seen;
  };
  TORVExprToken* Call = Node(ttFUNCREF, toUDF, dtInteger);
  TORVExprToken* Sum = Node(ttBINARY, toADD, dtInteger);
  Sum->SetLeftToken(IntConst(1));
  Sum->SetRightToken(IntConst(1));
  Call->AddArgument(Sum);
  int32_t Prepares = 0;
  auto Routine = std::make_unique<TRecordingRoutine>(&Evaluator, Call, Prepares);
  TRecordingRoutine* Bound = Routine.get();
  Call->FValue = std::move(Routine);
  TORVEvaluatorContext Context;
  TORVContextScope Scope(Evaluator, Context);
  EXPECT_EQ(Text(Call), "20");
  EXPECT_EQ(Bound->Seen, u"2");
}

}  // namespace
}  // namespace orv
