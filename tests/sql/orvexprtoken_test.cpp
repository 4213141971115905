#include "sql/orvexprtoken.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/orvbitmap.h"
#include "core/orvtypefunc.h"
#include "sql/orvtokenslots.h"
#include "tests/support/orvsqltreedump.h"

namespace orv {
namespace {

using test::DumpTokens;
using test::ReadTokens;

struct TTreeDeleter {
  void operator()(TORVExprToken* Token) const { FreeTokens(Token); }
};
using TTree = std::unique_ptr<TORVExprToken, TTreeDeleter>;

TTree Tree(const char16_t* Text) { return TTree(ReadTokens(Text)); }

TORVExprToken* NewToken(TORVTokenType Type, const TORVString& Name = u"") {
  auto* Token = new TORVExprToken();
  Token->FTokenType = Type;
  Token->FName = Name;
  return Token;
}

TEST(ExprToken, NewNodeIsBlankWithPositionMinusOne) {
  TORVExprToken Token;
  EXPECT_EQ(Token.FTokenType, ttNONE);
  EXPECT_EQ(Token.FTokenOperator, toNONE);
  EXPECT_EQ(Token.FPosition, -1);
  EXPECT_EQ(Token.GetNumArguments(), 0);
  EXPECT_EQ(Token.GetArgumentTokensCapacity(), 0);
  EXPECT_EQ(Token.FUpperToken, nullptr);
}

TEST(ExprToken, CapacityGrowsInBlocksOfEightAndNeverShrinks) {
  TORVExprToken Token;
  Token.SetArgumentTokensCapacity(9);
  EXPECT_EQ(Token.GetArgumentTokensCapacity(), 16);
  Token.SetNumArguments(3);
  EXPECT_EQ(Token.GetNumArguments(), 3);
  EXPECT_EQ(Token.GetArgumentTokensCapacity(), 16);
  Token.SetArgumentTokensCapacity(2);
  EXPECT_EQ(Token.GetArgumentTokensCapacity(), 16);
  for (int32_t I = 0; I < 3; ++I) EXPECT_EQ(Token.GetArgument(I), nullptr);
  Token.SetNumArguments(17);
  EXPECT_EQ(Token.GetArgumentTokensCapacity(), 24);
  EXPECT_THROW(Token.GetArgument(17), std::out_of_range);
}

TEST(ExprToken, SlotOperationsKeepParentLinksAndNeverFree) {
  TTree Parent(NewToken(ttFUNCREF, u"f"));
  TORVExprToken* A = NewToken(ttCOLUMNREF, u"a");
  TORVExprToken* B = NewToken(ttCOLUMNREF, u"b");
  TORVExprToken* C = NewToken(ttCOLUMNREF, u"c");
  Parent->AddArgument(A);
  Parent->AddArgument(nullptr);
  Parent->AddArgument(C);
  Parent->InsertArgument(1, B);
  ASSERT_EQ(Parent->GetNumArguments(), 4);
  EXPECT_EQ(Parent->GetArgument(0), A);
  EXPECT_EQ(Parent->GetArgument(1), B);
  EXPECT_EQ(Parent->GetArgument(2), nullptr);
  EXPECT_EQ(Parent->GetArgument(3), C);
  for (TORVExprToken* Child : {A, B, C}) EXPECT_EQ(Child->FUpperToken, Parent.get());

  // Deleting the last slot only lowers the count: the node stays the
  // caller's to free, and still names its former parent.
  Parent->DeleteArgument(3);
  EXPECT_EQ(Parent->GetNumArguments(), 3);
  EXPECT_EQ(C->FUpperToken, Parent.get());
  TTree Removed(C);

  // Overwriting a slot leaves the old node alive for the caller.
  TORVExprToken* D = NewToken(ttCONST);
  Parent->SetArgument(0, D);
  EXPECT_EQ(D->FUpperToken, Parent.get());
  TTree OldA(A);
  EXPECT_EQ(DumpTokens(Parent.get()), "(FUNCREF :name \"f\" (CONST) (COLUMNREF :name \"b\") nil)");

  Parent->DeleteArgument(0);
  TTree OldD(D);
  EXPECT_THROW(Parent->InsertArgument(5, nullptr), std::out_of_range);
  EXPECT_THROW(Parent->DeleteArgument(2), std::out_of_range);
  EXPECT_EQ(DumpTokens(Parent.get()), "(FUNCREF :name \"f\" (COLUMNREF :name \"b\") nil)");
}

TEST(ExprToken, AssignSharesChildrenOnlyWithReferences) {
  TTree Source = Tree(u"(BINARY :op AND :text \"x\" (CONST :text \"1\") (CONST :text \"2\"))");
  Source->FID = 7;
  Source->FPosition = 3;
  TORVExprToken Outer;
  Source->FUpperToken = &Outer;

  TORVExprToken Shallow;
  Shallow.Assign(Source.get(), false);
  EXPECT_EQ(Shallow.FTokenType, ttBINARY);
  EXPECT_EQ(Shallow.FTokenOperator, toAND);
  EXPECT_EQ(Shallow.FID, 7);
  EXPECT_EQ(Shallow.FPosition, 3);
  EXPECT_EQ(Shallow.FUpperToken, &Outer);
  EXPECT_EQ(Shallow.FAssignedToken, Source.get());
  EXPECT_EQ(Shallow.GetLeftToken(), nullptr);
  EXPECT_EQ(Shallow.GetRightToken(), nullptr);

  TTree Func = Tree(u"(FUNCREF (CONST) nil (CONST))");
  TORVExprToken Slots;
  Slots.Assign(Func.get(), false);
  ASSERT_EQ(Slots.GetNumArguments(), 3);
  for (int32_t I = 0; I < 3; ++I) EXPECT_EQ(Slots.GetArgument(I), nullptr);

  auto Shared = std::make_unique<TORVExprToken>();
  Shared->Assign(Func.get(), true);
  EXPECT_EQ(Shared->GetArgument(0), Func->GetArgument(0));
  EXPECT_EQ(Func->GetArgument(0)->FUpperToken, Shared.get());
  EXPECT_EQ(Shared->GetArgument(1), nullptr);
  // The shared children now name the copy as parent: the copy is a sound
  // tree, the source no longer is.
  Shared->CheckInvariants();
  EXPECT_THROW(Func->CheckInvariants(), std::logic_error);
}

TEST(ExprToken, CompareIgnoresCaseAndTrailingBlanksOfNamesAndConstants) {
  struct TCase {
    const char16_t* A;
    const char16_t* B;
    bool IncludeConstant;
    bool Equal;
  };
  const TCase Cases[] = {
      {u"(CONST :text \"a\" :type 1)", u"(CONST :text \"A\" :type 1)", true, true},
      {u"(CONST :text \"a\")", u"(CONST :text \"b\")", true, false},
      {u"(CONST :text \"a\")", u"(CONST :text \"b\")", false, true},
      {u"(COLUMNREF :text \"a\")", u"(COLUMNREF :text \"b\")", true, true},
      {u"(COLUMNREF :name \"Col  \")", u"(COLUMNREF :name \"col\")", true, true},
      {u"(COLUMNREF :name \"a\" :source \"T\")", u"(COLUMNREF :name \"a\" :source \"U\")", true, false},
      {u"(TABLEREF :name \"t\" :db \"D1\")", u"(TABLEREF :name \"t\" :db \"d1 \")", true, true},
      {u"(TABLEREF :name \"t\" :alias \"x\")", u"(TABLEREF :name \"t\")", true, false},
      {u"(CONST :type 6)", u"(CONST :type 7)", true, false},
      {u"(CONST :coll 1048576)", u"(CONST)", true, false},
      {u"(CONST :partial 2)", u"(CONST)", true, false},
      {u"(FUNCREF :op ABS)", u"(FUNCREF :op ACOS)", true, false},
      {u"(FUNCREF :id 1)", u"(FUNCREF)", true, false},
  };
  for (const TCase& Case : Cases) {
    TTree A = Tree(Case.A);
    TTree B = Tree(Case.B);
    EXPECT_EQ(A->Compare(B.get(), Case.IncludeConstant), Case.Equal) << DumpTokens(A.get()) << " / "
                                                                        << DumpTokens(B.get());
  }
}

TEST(ExprToken, NullConstantIsANonCharacterConstantWrittenNull) {
  struct TCase {
    const char16_t* Text;
    bool Null;
  };
  const TCase Cases[] = {
      {u"(CONST :text \"NULL\")", true},
      {u"(CONST :text \"null  \" :type 6)", true},
      {u"(CONST :text \"NULL\" :type 1)", false},
      {u"(COLUMNREF :text \"NULL\")", false},
      {u"(CONST :text \"NULLS\")", false},
  };
  for (const TCase& Case : Cases) {
    TTree Token = Tree(Case.Text);
    EXPECT_EQ(Token->GetNullConstant(), Case.Null) << DumpTokens(Token.get());
  }
}

TEST(ExprToken, IgnoreFlagsAreCollationBitsTwentyToTwentyThree) {
  TORVExprToken Token;
  Token.FCollation = 1033;
  Token.SetIgnoreCase(true);
  Token.SetIgnoreAccent(true);
  Token.SetIgnoreKana(true);
  Token.SetIgnoreWidth(true);
  EXPECT_EQ(Token.FCollation, 1033 | (0xF << 20));
  EXPECT_TRUE(Token.GetIgnoreCase() && Token.GetIgnoreAccent() && Token.GetIgnoreKana() && Token.GetIgnoreWidth());
  Token.SetIgnoreAccent(false);
  EXPECT_EQ(Token.FCollation, 1033 | (0xD << 20));
  EXPECT_FALSE(Token.GetIgnoreAccent());
}

TEST(ExprToken, TypeSettersNormaliseOnlyWhenTheValueChanges) {
  TORVExprToken Token;
  Token.SetDataType(dtCharacter);
  Token.SetLength(30);
  Token.FCollation = 1033;
  ASSERT_EQ(Token.FLength, 30);

  // The same type again leaves the dependent fields alone.
  Token.SetDataType(dtCharacter);
  EXPECT_EQ(Token.FLength, 30);
  EXPECT_EQ(Token.FCollation, 1033);

  // A Boolean carries neither length nor collation.
  Token.SetDataType(dtBoolean);
  EXPECT_EQ(Token.FDataType, dtBoolean);
  EXPECT_EQ(Token.FLength, 0);
  EXPECT_EQ(Token.FCollation, 0);
}

TEST(ExprToken, AssignTypeCopiesAsIsExceptVariableLengthOfDynamicParameters) {
  TTree Source = Tree(u"(COLUMNREF :type 1 :len 30 :coll 1033)");
  TORVExprToken Param;
  Param.FTokenType = ttDYNPARAM;
  Param.AssignType(Source.get());
  EXPECT_EQ(Param.FDataType, dtCharacter);
  EXPECT_EQ(Param.FLength, 0);
  EXPECT_EQ(Param.FCollation, 1033);

  TORVExprToken Column;
  Column.FTokenType = ttCOLUMNREF;
  Column.AssignType(Source.get());
  EXPECT_EQ(Column.FLength, 30);

  Source->FSubType = stChar;
  Param.AssignType(Source.get());
  EXPECT_EQ(Param.FLength, 30);
  Param.AdjustCharType();
  EXPECT_EQ(Param.FSubType, 0);
}

TEST(ExprToken, CheckBitmapCreatesTheBitmapOnce) {
  TORVExprToken Token;
  EXPECT_TRUE(Token.CheckBitmap());
  ASSERT_NE(Token.FBitmap, nullptr);
  EXPECT_FALSE(Token.CheckBitmap());
  Token.FreeBitmap();
  EXPECT_EQ(Token.FBitmap, nullptr);
}

TEST(CompareTokens, NilAgainstPresentIsUnequalInEverySlot) {
  TTree Full = Tree(u"(FUNCREF (CONST) (CONST) (CONST))");
  for (int32_t Slot = 0; Slot < 3; ++Slot) {
    TTree Holed(CopyTokens(Full.get()));
    Holed->CheckInvariants();
    TORVExprToken* Removed = Holed->GetArgument(Slot);
    Holed->SetArgument(Slot, nullptr);
    FreeTokens(Removed);
    EXPECT_FALSE(CompareTokens(Full.get(), Holed.get())) << "slot " << Slot;
    EXPECT_FALSE(CompareTokens(Holed.get(), Full.get())) << "slot " << Slot;
  }
  EXPECT_TRUE(CompareTokens(nullptr, nullptr));
  EXPECT_FALSE(CompareTokens(Full.get(), nullptr));
  EXPECT_FALSE(CompareTokens(nullptr, Full.get()));
}

TEST(CompareTokens, ComparesShapeOperandsAndEveryNode) {
  struct TCase {
    const char16_t* A;
    const char16_t* B;
    bool Equal;
  };
  const TCase Cases[] = {
      {u"(BINARY :op EQ (COLUMNREF :name \"a\") (CONST :text \"x\"))",
       u"(BINARY :op EQ (COLUMNREF :name \"A\") (CONST :text \"X\"))", true},
      {u"(BINARY :op EQ (COLUMNREF :name \"a\") (CONST :text \"x\"))",
       u"(BINARY :op EQ (COLUMNREF :name \"a\") (CONST :text \"y\"))", false},
      {u"(BINARY :op EQ (COLUMNREF :name \"a\") nil)", u"(BINARY :op EQ (COLUMNREF :name \"a\") (CONST))", false},
      {u"(UNARY :op NOT (CONST))", u"(UNARY :op NOT nil)", false},
      {u"(FUNCREF (CONST) (CONST))", u"(FUNCREF (CONST))", false},
      {u"(FUNCREF (CONST))", u"(FUNCREF (COLUMNREF))", false},
      {u"(CLAUSE (CLAUSE (CONST :text \"a\")))", u"(CLAUSE (CLAUSE (CONST :text \"b\")))", false},
  };
  for (const TCase& Case : Cases) {
    TTree A = Tree(Case.A);
    TTree B = Tree(Case.B);
    EXPECT_EQ(CompareTokens(A.get(), B.get()), Case.Equal) << DumpTokens(A.get()) << " / " << DumpTokens(B.get());
  }
}

// A query with two FROM tables, one select column, and a WHERE condition
// holding a sub-query whose own condition refers to its FROM table, to the
// outer query's table and to its own select column.
class CopyTokensTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Outer.reset(ReadTokens(
        u"(QUERY (CLAUSE) (CLAUSE) (CLAUSE :op ALL (SELECTCOLUMN (COLUMNREF :name \"a\")))"
        u" nil nil nil (CLAUSE (TABLEREF :name \"t\" nil (CLAUSE) (CLAUSE)))"
        u" (CLAUSE (EXTBINARY :op IN (COLUMNREF :name \"a\")"
        u"   (QUERY (CLAUSE) (CLAUSE) (CLAUSE :op ALL (SELECTCOLUMN (COLUMNREF :name \"b\")))"
        u"     nil nil nil (CLAUSE (TABLEREF :name \"u\" nil (CLAUSE) (CLAUSE)))"
        u"     (CLAUSE (BINARY :op AND (BINARY :op EQ (COLUMNREF :name \"b\") (COLUMNREF :name \"a\"))"
        u"                            (SELECTCOLUMNREF)))"
        u"     nil nil nil nil)))"
        u" nil nil nil nil)"));
    ASSERT_NE(Outer, nullptr);
    OuterTable = Outer->GetArgument(QueryFromSlot)->GetArgument(0);
    TORVExprToken* In = Outer->GetArgument(QueryWhereSlot)->GetArgument(0);
    Inner = In->GetArgument(1);
    InnerTable = Inner->GetArgument(QueryFromSlot)->GetArgument(0);
    InnerSelect = Inner->GetArgument(QuerySelectSlot)->GetArgument(0);
    TORVExprToken* Condition = Inner->GetArgument(QueryWhereSlot)->GetArgument(0);
    TORVExprToken* Eq = Condition->GetLeftToken();
    OwnRef = Eq->GetLeftToken();
    OuterRef = Eq->GetRightToken();
    SelectRef = Condition->GetRightToken();
    OwnRef->FSourceToken = InnerTable;
    OuterRef->FSourceToken = OuterTable;
    SelectRef->FSourceToken = InnerSelect;
    SelectRef->FTargetToken = InnerTable;
  }

  // The node of Copy at the place Node has in Source.
  static TORVExprToken* Counterpart(TORVExprToken* Source, TORVExprToken* Copy, TORVExprToken* Node) {
    std::vector<std::pair<bool, int32_t>> Path;  // (operand?, index)
    for (TORVExprToken* N = Node; N != Source; N = N->FUpperToken) {
      TORVExprToken* P = N->FUpperToken;
      if (P->GetLeftToken() == N) {
        Path.emplace_back(true, 0);
      } else if (P->GetRightToken() == N) {
        Path.emplace_back(true, 1);
      } else {
        for (int32_t I = 0; I < P->GetNumArguments(); ++I) {
          if (P->GetArgument(I) == N) Path.emplace_back(false, I);
        }
      }
    }
    TORVExprToken* Result = Copy;
    for (auto It = Path.rbegin(); It != Path.rend(); ++It) {
      if (It->first) {
        Result = It->second == 0 ? Result->GetLeftToken() : Result->GetRightToken();
      } else {
        Result = Result->GetArgument(It->second);
      }
    }
    return Result;
  }

  TTree Outer;
  TORVExprToken* OuterTable = nullptr;
  TORVExprToken* Inner = nullptr;
  TORVExprToken* InnerTable = nullptr;
  TORVExprToken* InnerSelect = nullptr;
  TORVExprToken* OwnRef = nullptr;
  TORVExprToken* OuterRef = nullptr;
  TORVExprToken* SelectRef = nullptr;
};

TEST_F(CopyTokensTest, LinksIntoTheCopiedQueryFollowTheCopyAndOuterLinksStay) {
  TTree Copy(CopyTokens(Inner));
  Copy->CheckInvariants();
  ASSERT_TRUE(CompareTokens(Inner, Copy.get()));
  EXPECT_EQ(Copy->FUpperToken, Inner->FUpperToken);
  EXPECT_EQ(Copy->FAssignedToken, Inner);

  TORVExprToken* CopiedTable = Counterpart(Inner, Copy.get(), InnerTable);
  TORVExprToken* CopiedSelect = Counterpart(Inner, Copy.get(), InnerSelect);
  EXPECT_EQ(Counterpart(Inner, Copy.get(), OwnRef)->FSourceToken, CopiedTable);
  EXPECT_EQ(Counterpart(Inner, Copy.get(), OuterRef)->FSourceToken, OuterTable);
  EXPECT_EQ(Counterpart(Inner, Copy.get(), SelectRef)->FSourceToken, CopiedSelect);
  EXPECT_EQ(Counterpart(Inner, Copy.get(), SelectRef)->FTargetToken, CopiedTable);

  // The source keeps its own links.
  EXPECT_EQ(OwnRef->FSourceToken, InnerTable);
  EXPECT_EQ(SelectRef->FSourceToken, InnerSelect);
}

TEST_F(CopyTokensTest, CopyOfTheWholeTreeRepointsBothQueries) {
  TTree Copy(CopyTokens(Outer.get()));
  Copy->CheckInvariants();
  EXPECT_EQ(Counterpart(Outer.get(), Copy.get(), OuterRef)->FSourceToken,
            Counterpart(Outer.get(), Copy.get(), OuterTable));
  EXPECT_EQ(Counterpart(Outer.get(), Copy.get(), OwnRef)->FSourceToken,
            Counterpart(Outer.get(), Copy.get(), InnerTable));
}

TEST_F(CopyTokensTest, CopyOfAPartBelowAQueryNeverChangesTheSource) {
  // The WHERE clause of the inner query lies below the query, which is not
  // copied: nothing may be re-pointed in the source tree.
  TORVExprToken* Where = Inner->GetArgument(QueryWhereSlot);
  TTree Copy(CopyTokens(Where));
  Copy->CheckInvariants();
  EXPECT_EQ(OwnRef->FSourceToken, InnerTable);
  EXPECT_EQ(SelectRef->FSourceToken, InnerSelect);
  EXPECT_EQ(Counterpart(Where, Copy.get(), OwnRef)->FSourceToken, InnerTable);

  TTree TableCopy(CopyTokens(InnerTable));
  TableCopy->CheckInvariants();
  TTree SelectCopy(CopyTokens(InnerSelect));
  SelectCopy->CheckInvariants();
  EXPECT_EQ(OwnRef->FSourceToken, InnerTable);
  EXPECT_EQ(SelectRef->FSourceToken, InnerSelect);
  EXPECT_EQ(SelectRef->FTargetToken, InnerTable);
}

TEST(CopyTokens, NilGivesNil) { EXPECT_EQ(CopyTokens(nullptr), nullptr); }

// Deep trees: a chain of ORs as deep on the left as the parser makes it,
// and nested clauses as deep parentheses give.
TEST(DeepTree, FreeCopyAndCompareSurviveAHundredThousandLevels) {
  constexpr int32_t Depth = 100000;
  for (bool Operands : {true, false}) {
    TORVExprToken* Root = NewToken(ttCONST);
    Root->FTokenConstant = u"leaf";
    TORVExprToken* Deepest = Root;
    for (int32_t I = 0; I < Depth; ++I) {
      TORVExprToken* Node = NewToken(Operands ? ttBINARY : ttCLAUSE);
      if (Operands) {
        Node->FTokenOperator = toOR;
        Node->SetLeftToken(Root);
        Node->SetRightToken(NewToken(ttCONST));
      } else {
        Node->AddArgument(Root);
      }
      Root = Node;
    }
    TTree Tree(Root);
    TTree Copy(CopyTokens(Tree.get()));
    Copy->CheckInvariants();
    EXPECT_TRUE(CompareTokens(Tree.get(), Copy.get()));
    EXPECT_GT(Tree->GetMemorySize(), Depth);

    Deepest->FTokenConstant = u"other";
    EXPECT_FALSE(CompareTokens(Tree.get(), Copy.get()));
    TORVExprToken* Released = Copy.release();
    FreeTokens(Released);
    EXPECT_EQ(Released, nullptr);
  }
}

TEST(FreeTokens, ClearsTheVariableAndAcceptsNil) {
  TORVExprToken* Token = ReadTokens(u"(BINARY (CONST) (FUNCREF nil (CONST)))");
  Token->CheckBitmap();
  FreeTokens(Token);
  EXPECT_EQ(Token, nullptr);
  FreeTokens(Token);
  EXPECT_EQ(Token, nullptr);
}

}  // namespace
}  // namespace orv
