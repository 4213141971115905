#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "catalog/orvrowvalues.h"
#include "local/orvlocalvalue.h"
#include "tests/local/orvlocaltest.h"

namespace orv {
namespace {

using test::ErrorOf;
using test::LocalEvalTest;

class ArrayValues : public LocalEvalTest {
 protected:
  TORVArrayValuesValue& ArrayOf(TORVExprToken* Array) {
    Evaluator.GetValue(Array);
    return dynamic_cast<TORVArrayValuesValue&>(*Array->FValue);
  }
  // a[Index] as a fresh element reference.
  TORVExprToken* Element(TORVExprToken* Array, int32_t Index) { return Ref(ttARRAYELEMENTREF, Array, IntConst(Index)); }
};

TEST_F(ArrayValues, IndexOutsideTheCardinalityRaisesTheIndexError) {
  TORVExprToken* A = Declare(ttARRAY, u"a", dtInteger, 0, IntConst(3));
  struct TCase {
    int32_t Index;
    const char* Error;
  };
  const TCase Cases[] = {
      {0, "1011 An error occurred with the array a (The value 0 is out of the range of permissible index values)"},
      {4, "1011 An error occurred with the array a (The value 4 is out of the range of permissible index values)"},
      {-7, "1011 An error occurred with the array a (The value -7 is out of the range of permissible index values)"},
      {1, "no error"},
      {3, "no error"},
  };
  for (const TCase& Case : Cases) {
    TORVExprToken* E = Element(A, Case.Index);
    EXPECT_EQ(ErrorOf([&] { Text(E); }), Case.Error) << Case.Index;
  }
}

TEST_F(ArrayValues, ReadingAnElementMakesItAndRaisesTheCardinality) {
  TORVExprToken* A = Declare(ttARRAY, u"a", dtInteger, 0, IntConst(3));
  EXPECT_EQ(ArrayOf(A).GetCardinality(), 0);
  EXPECT_EQ(Text(Element(A, 2)), "NULL");
  EXPECT_EQ(ArrayOf(A).GetCardinality(), 2);
  // Writing through one reference is read through another.
  TORVExprToken* First = Element(A, 1);
  Evaluator.Evaluate(First);
  First->FValue->SetAsInteger(42);
  EXPECT_EQ(Text(Element(A, 1)), "42");
  EXPECT_EQ(ArrayOf(A).GetCardinality(), 2);
  EXPECT_EQ(dynamic_cast<TORVArrayValuesReferenceValue&>(*[&] {
              TORVExprToken* R = Ref(ttARRAYREF, A);
              Evaluator.GetValue(R);
              return R->FValue.get();
            }()).GetCardinality(),
            2);
}

TEST_F(ArrayValues, AHugeCardinalityAllocatesOnlyWhatIsUsed) {
  TORVExprToken* A = Declare(ttARRAY, u"a", dtInteger, 0, IntConst(2000000000));
  EXPECT_EQ(ArrayOf(A).GetCardinality(), 0);
  TORVExprToken* E = Element(A, 5);
  Evaluator.Evaluate(E);
  E->FValue->SetAsInteger(5);
  EXPECT_EQ(ArrayOf(A).GetCardinality(), 5);
  EXPECT_EQ(ArrayOf(A).GetMaxCardinality(), 2000000000);
}

TEST_F(ArrayValues, AScalarAssignedToAHugeArrayMakesNoElementsUpFront) {
  TORVExprToken* A = Declare(ttARRAY, u"a", dtCharacter, 3, IntConst(2000000000));
  TORVExprToken* Early = Element(A, 2);
  Evaluator.Evaluate(Early);
  Early->FValue->SetAsString(u"x");
  TORVExprToken* Whole = Ref(ttARRAYREF, A);
  Evaluator.GetValue(Whole);
  TORVExprToken* Text = Node(ttCONST, toNONE, dtCharacter, stVarChar, 3);
  Text->FTokenConstant = u"abc";
  Evaluator.Evaluate(Text);
  Whole->FValue->Assign(*Text->FValue);
  EXPECT_EQ(ArrayOf(A).GetCardinality(), 2000000000);
  EXPECT_EQ(ArrayOf(A).GetMadeCount(), 1);
  EXPECT_EQ(this->Text(Element(A, 2)), "abc");
  EXPECT_EQ(this->Text(Element(A, 1999999999)), "abc");
  EXPECT_EQ(ArrayOf(A).GetMadeCount(), 2);
  // A value the elements refuse is refused at once, as an element would.
  Text->FTokenConstant = u"abcd";
  Evaluator.Reset(Text);
  Evaluator.Evaluate(Text);
  EXPECT_EQ(ErrorOf([&] { Whole->FValue->Assign(*Text->FValue); }),
            "1011 An error occurred with the variable a (The value abcd would result in truncation)");

  // The filled array assigned to a smaller one gives it its values too.
  TORVExprToken* Small = Declare(ttARRAY, u"s", dtCharacter, 3, IntConst(4));
  TORVExprToken* SmallWhole = Ref(ttARRAYREF, Small);
  Evaluator.GetValue(SmallWhole);
  SmallWhole->FValue->Assign(*Whole->FValue);
  EXPECT_EQ(ArrayOf(Small).GetMaxCardinality(), 2000000000);
  EXPECT_EQ(this->Text(Element(Small, 3)), "abc");
}

TEST_F(ArrayValues, ANegativeCardinalityRaisesTheIndexError) {
  TORVExprToken* A = Declare(ttARRAY, u"a", dtInteger, 0, IntConst(-1));
  EXPECT_EQ(ErrorOf([&] { Evaluator.GetValue(A); }),
            "1011 An error occurred with the array a (The value -1 is out of the range of permissible index values)");
}

TEST_F(ArrayValues, AScalarAssignedToAnArraySetsEveryElement) {
  TORVExprToken* A = Declare(ttARRAY, u"a", dtInteger, 0, IntConst(3));
  TORVExprToken* Whole = Ref(ttARRAYREF, A);
  Evaluator.GetValue(Whole);
  TORVExprToken* Seven = IntConst(7);
  Evaluator.Evaluate(Seven);
  Whole->FValue->Assign(*Seven->FValue);
  for (int32_t I = 1; I <= 3; ++I) EXPECT_EQ(Text(Element(A, I)), "7") << I;
  EXPECT_EQ(ArrayOf(A).GetCardinality(), 3);
}

TEST_F(ArrayValues, AnArrayAssignedToALargerOneLimitsItsIndexes) {
  TORVExprToken* Small = Declare(ttARRAY, u"s", dtInteger, 0, IntConst(2));
  TORVExprToken* Large = Declare(ttARRAY, u"l", dtInteger, 0, IntConst(5));
  for (int32_t I = 1; I <= 5; ++I) {
    TORVExprToken* E = Element(Large, I);
    Evaluator.Evaluate(E);
    E->FValue->SetAsInteger(100 + I);
  }
  // Only s[1] is made: l[2] keeps its own value.
  TORVExprToken* S1 = Element(Small, 1);
  Evaluator.Evaluate(S1);
  S1->FValue->SetAsInteger(1);

  TORVExprToken* Target = Ref(ttARRAYREF, Large);
  TORVExprToken* Source = Ref(ttARRAYREF, Small);
  Evaluator.GetValue(Target);
  Evaluator.GetValue(Source);
  Target->FValue->Assign(*Source->FValue);

  EXPECT_EQ(Text(Element(Large, 1)), "1");
  EXPECT_EQ(Text(Element(Large, 2)), "102");
  EXPECT_EQ(ArrayOf(Large).GetMaxCardinality(), 2);
  EXPECT_EQ(ErrorOf([&] { Text(Element(Large, 3)); }),
            "1011 An error occurred with the array l (The value 3 is out of the range of permissible index values)");
}

TEST_F(LocalEvalTest, AVariableRefusesATextLongerThanItsLength) {
  TORVExprToken* V = Declare(ttVARIABLE, u"v", dtCharacter, 3);
  TORVExprToken* R = Ref(ttVARIABLEREF, V);
  Evaluator.GetValue(R);
  EXPECT_EQ(ErrorOf([&] { R->FValue->SetAsString(u"abcd"); }),
            "1011 An error occurred with the variable v (The value abcd would result in truncation)");
  R->FValue->SetAsString(u"abc  ");
  EXPECT_EQ(Text(V), "abc");
  EXPECT_EQ(Text(R), "abc");
}

TEST_F(LocalEvalTest, RowValuesCompareElementByElement) {
  auto Row = [this](std::vector<int32_t> Items) {
    TORVExprToken* Token = Node(ttROWVALUE);
    for (int32_t Item : Items) Token->AddArgument(IntConst(Item));
    Evaluator.Evaluate(Token);
    return Token;
  };
  TORVExprToken* A = Row({1, 2});
  TORVExprToken* B = Row({1, 3});
  TORVExprToken* Empty = Row({});
  EXPECT_EQ(A->FValue->Compare(*B->FValue, 0, false, 0), -1);
  EXPECT_EQ(B->FValue->Compare(*A->FValue, 0, false, 0), 1);
  EXPECT_EQ(A->FValue->Compare(*Row({1, 2})->FValue, 0, false, 0), 0);
  EXPECT_EQ(Empty->FValue->Compare(*A->FValue, 0, false, 0), -1);
}

// A row of the columns ID (Integer) and Name (VarChar(10)).
class RowReferences : public LocalEvalTest {
 protected:
  RowReferences() {
    Columns.SetCatalogCharacterSet(CharacterSetUnicode);
    AddTestColumn(Columns, u"ID", dtInteger, 0, 0, 1);
    AddTestColumn(Columns, u"Name", dtCharacter, stVarChar, 10, 2);
  }
  std::unique_ptr<TTestRow> MakeRow(int32_t Id) {
    auto Row = std::make_unique<TTestRow>(CharacterSetUnicode, Columns);
    Row->Values->CreateValueObjects();
    Row->Values->GetItems(0)->SetAsInteger(Id);
    return Row;
  }
  TORVExprToken* Column(TORVTokenType Type, TORVExprToken* Source, int32_t Position) {
    TORVExprToken* Token = Node(Type, toNONE, dtInteger);
    Token->FSourceToken = Source;
    Token->FPosition = Position;
    return Token;
  }

  TORVColumns Columns;
};

TEST_F(RowReferences, AColumnReadsTheCurrentRowElseTheCursorsActiveRow) {
  auto CursorRow = MakeRow(7);
  auto CurrentRow = MakeRow(9);
  TORVExprToken* Table = Node(ttTABLEREF);
  Evaluator.GetValue(Table);
  dynamic_cast<TORVCursorValue&>(*Table->FValue).FActiveRow = CursorRow->Values.get();
  TORVExprToken* Plain = Column(ttCOLUMNREF, Table, 0);
  TORVExprToken* Linked = Column(ttLINKEDCOLUMNREF, Table, 0);

  TORVEvaluatorContext Context;
  {
    TORVContextScope Scope(Evaluator, Context);
    EXPECT_EQ(Text(Plain), "7");
    Evaluator.GetContext()->FCurrentRowValues = CurrentRow->Values.get();
    EXPECT_EQ(Text(Plain), "9");
    // An outer query's column always reads the outer cursor.
    EXPECT_EQ(Text(Linked), "7");
    // The reference follows the row it reads: no value is kept.
    CurrentRow->Values->GetItems(0)->SetAsInteger(10);
    EXPECT_EQ(Text(Plain), "10");
  }
}

TEST_F(RowReferences, ASelectColumnReadsTheItemAfterItsPosition) {
  auto Result = MakeRow(3);
  Result->Values->GetItems(1)->SetAsString(u"x");
  TORVExprToken* Select = Node(ttSELECTCOLUMN, toNONE, dtCharacter, stVarChar, 10);
  Select->FPosition = 0;
  TORVExprToken* Ref = Node(ttSELECTCOLUMNREF);
  Ref->FSourceToken = Select;
  TORVEvaluatorContext Context;
  Context.FResultRowValues = Result->Values.get();
  TORVContextScope Scope(Evaluator, Context);
  EXPECT_EQ(Text(Ref), "x");
  EXPECT_EQ(Ref->FValue->GetDataType(), dtCharacter);
}

TEST_F(RowReferences, ATriggerRowThatTheOperationLacksRaisesTheRowError) {
  TORVExprToken* NewRow = Node(ttROWVARIABLE);
  NewRow->FName = u"NEWROW";
  TORVExprToken* X = Column(ttROWCOLUMNREF, NewRow, 0);
  struct TCase {
    TORVTableOperation Operation;
    const char* Word;
  };
  const TCase Cases[] = {{toInsertRow, "INSERT"}, {toUpdateRow, "UPDATE"}, {toDeleteRow, "DELETE"},
                         {toVerifyRow, "All"},    {toLoadRow, "All"}};
  for (const TCase& Case : Cases) {
    TORVEvaluatorContext Context;
    Context.FOperationType = Case.Operation;
    TORVContextScope Scope(Evaluator, Context);
    EXPECT_EQ(ErrorOf([&] { Text(X); }), std::string("1011 An error occurred with the row NEWROW (The row value "
                                                     "cannot be referenced in an ") +
                                             Case.Word + " operation)");
  }
  // With its row set it reads the row.
  auto Row = MakeRow(4);
  Evaluator.GetValue(NewRow);
  dynamic_cast<TORVRowVariableValue&>(*NewRow->FValue).FRowValues = Row->Values.get();
  TORVEvaluatorContext Context;
  TORVContextScope Scope(Evaluator, Context);
  EXPECT_EQ(Text(X), "4");
}

TEST(AggregateValues, DistinctKeepsEachValueOnceInOrder) {
  TORVAggregateValues Set(CharacterSetUnicode);
  TORVContainedValue Value(CharacterSetUnicode);
  Value.SetDataType(dtInteger);
  std::vector<bool> Answers;
  for (int32_t Item : {5, 3, 5}) {
    Value.SetAsInteger(Item);
    Answers.push_back(Set.AddValue(Value, true));
  }
  EXPECT_EQ(Answers, (std::vector<bool>{true, true, false}));
  EXPECT_EQ(Set.GetValuesAsString(u","), u"3,5");
  // Without Distinct a duplicate is kept, and still answers False.
  Value.SetAsInteger(3);
  EXPECT_FALSE(Set.AddValue(Value, false));
  EXPECT_EQ(Set.GetValuesAsString(u","), u"3,3,5");
}

TEST(AggregateValues, CapacityGrowsInStepsOf256) {
  TORVAggregateValues Set(CharacterSetUnicode);
  TORVContainedValue Value(CharacterSetUnicode);
  Value.SetDataType(dtInteger);
  EXPECT_EQ(Set.GetValuesCapacity(), 0);
  // Descending, so that every insert goes to the front.
  for (int32_t Item = 300; Item >= 1; --Item) {
    Value.SetAsInteger(Item);
    ASSERT_TRUE(Set.AddValue(Value, true));
    EXPECT_EQ(Set.GetValuesCapacity(), Set.GetNumValues() <= 256 ? 256 : 512);
  }
  for (int32_t I = 0; I < Set.GetNumValues(); ++I) ASSERT_EQ(Set.GetValues(I)->GetAsInteger(), I + 1);
  Set.FreeValues();
  EXPECT_EQ(Set.GetNumValues(), 0);
}

}  // namespace
}  // namespace orv
