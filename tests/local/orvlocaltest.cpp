#include "tests/local/orvlocaltest.h"

#include "sql/orvroutineslots.h"
#include "sql/orvtokenslots.h"

namespace orv::test {

TORVExprToken* LocalEvalTest::Declare(TORVTokenType Type, const TORVString& Name, int32_t DataType, int32_t Length,
                                      TORVExprToken* Size) {
  TORVExprToken* Statement = Node(ttCONTROL, toDECLARE);
  TORVExprToken* Names = Node(ttCLAUSE);
  TORVExprToken* Declared = Node(Type, toNONE, DataType, 0, Length);
  Declared->FName = Name;
  Names->AddArgument(Declared);
  Statement->SetNumArguments(DeclareVariableSlotCount);
  Statement->SetArgument(DeclareNamesSlot, Names);
  if (Size != nullptr) Statement->SetArgument(DeclareArraySizeSlot, Size);
  return Declared;
}

TORVExprToken* LocalEvalTest::Ref(TORVTokenType Type, TORVExprToken* Source, TORVExprToken* Index) {
  TORVExprToken* Token = Node(Type, toNONE, Source->FDataType, Source->FSubType, Source->FLength);
  Token->FName = Source->FName;
  Token->FSourceToken = Source;
  if (Index != nullptr) {
    TORVExprToken* Clause = Node(ttCLAUSE);
    Clause->AddArgument(Index);
    Token->SetNumArguments(RefDirectionSlot + 1);
    Token->SetArgument(RefIndexSlot, Clause);
  }
  return Token;
}

}  // namespace orv::test
