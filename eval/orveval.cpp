// The evaluator's framework: the dispatch tables, the walk over a tree, the
// node values, and the operations the base class leaves to the session's
// evaluator.
#include "eval/orveval.h"

#include <utility>

#include "base/orverrors.h"
#include "core/orvcontainedvalue.h"
#include "core/orvliteral.h"
#include "eval/orvevalvalue.h"

namespace orv {

namespace {

// A stored tree can carry any operator byte: an operator without a routine
// is refused at its place in the text instead of being called.
[[noreturn]] void RaiseNoRoutineError(const TORVExprToken* Token) {
  const TORVString Line = IntToString(Token->FLine);
  const TORVString Column = IntToString(Token->FCol);
  throw MakeError(ORV_SQL_ERROR,
                  {u"expression", Line, Column,
                   FormatString(u"the operator %s cannot be evaluated",
                                {IntToString(static_cast<int32_t>(Token->FTokenOperator))})},
                  Token->FLine, Token->FCol);
}

bool IsInListItem(const TORVExprToken* Item) {
  return Item != nullptr && (Item->FTokenType == ttCONST || Item->FTokenType == ttDYNPARAMREF);
}

}  // namespace

TORVExprEvaluator::TORVExprEvaluator(int32_t CharacterSetToUse) : FCharacterSet(CharacterSetToUse) {
  BuildOperatorsTable();
  BuildExtOperatorsTable();
  BuildFunctionsTable();
}

TORVExprEvaluator::~TORVExprEvaluator() = default;

std::unique_ptr<TORVExprEvaluator> TORVExprEvaluator::Create(int32_t CharacterSetToUse) const {
  return std::make_unique<TORVExprEvaluator>(CharacterSetToUse);
}

void TORVExprEvaluator::BuildOperatorsTable() {
  // In operator order, toADD .. toSUBINTERVAL.
  FOperatorsTable = {
      &TORVExprEvaluator::EvaluateADD, &TORVExprEvaluator::EvaluateAND,    &TORVExprEvaluator::EvaluateDIV,
      &TORVExprEvaluator::EvaluateEQ,  &TORVExprEvaluator::EvaluateGE,     &TORVExprEvaluator::EvaluateGT,
      &TORVExprEvaluator::EvaluateLE,  &TORVExprEvaluator::EvaluateLT,     &TORVExprEvaluator::EvaluateMOD,
      &TORVExprEvaluator::EvaluateMUL, &TORVExprEvaluator::EvaluateNE,     &TORVExprEvaluator::EvaluateNEGATE,
      &TORVExprEvaluator::EvaluateNOT, &TORVExprEvaluator::EvaluateOR,     &TORVExprEvaluator::EvaluateSUB,
      &TORVExprEvaluator::EvaluateSUBINTERVAL,
  };
}

void TORVExprEvaluator::BuildExtOperatorsTable() {
  // In operator order, toBETWEEN .. toNOTLIKE.
  FExtOperatorsTable = {
      &TORVExprEvaluator::EvaluateBETWEEN,     &TORVExprEvaluator::EvaluateCONTAINS,
      &TORVExprEvaluator::EvaluateCONTAINSANY, &TORVExprEvaluator::EvaluateIN,
      &TORVExprEvaluator::EvaluateISNOTNULL,   &TORVExprEvaluator::EvaluateISNULL,
      &TORVExprEvaluator::EvaluateLIKE,        &TORVExprEvaluator::EvaluateNOTBETWEEN,
      &TORVExprEvaluator::EvaluateNOTCONTAINS, &TORVExprEvaluator::EvaluateNOTCONTAINSANY,
      &TORVExprEvaluator::EvaluateNOTIN,       &TORVExprEvaluator::EvaluateNOTLIKE,
  };
}

void TORVExprEvaluator::BuildFunctionsTable() {
  FFunctionsTable.fill(nullptr);
  auto Set = [this](TORVTokenOperator Operator, TORVEvaluateRoutine Routine) {
    FFunctionsTable[Operator - toABORTED] = Routine;
  };
  // A pointer to a virtual member function calls the override, so these
  // entries reach the session's evaluator.
  Set(toABORTED, &TORVExprEvaluator::EvaluateABORTED);
  Set(toAVG, &TORVExprEvaluator::EvaluateAVG);
  Set(toSTDDEV, &TORVExprEvaluator::EvaluateSTDDEV);
  Set(toRUNSUM, &TORVExprEvaluator::EvaluateRUNSUM);
  Set(toCARDINALITY, &TORVExprEvaluator::EvaluateCARDINALITY);
  Set(toCOUNT, &TORVExprEvaluator::EvaluateCOUNT);
  Set(toCURCOMPUTER, &TORVExprEvaluator::EvaluateCURCOMPUTER);
  Set(toCURDATABASE, &TORVExprEvaluator::EvaluateCURDATABASE);
  Set(toCURSESSIONID, &TORVExprEvaluator::EvaluateCURSESSIONID);
  Set(toCURUSER, &TORVExprEvaluator::EvaluateCURUSER);
  Set(toCURVERSION, &TORVExprEvaluator::EvaluateCURVERSION);
  Set(toINTRANS, &TORVExprEvaluator::EvaluateINTRANS);
  Set(toLASTIDENTITY, &TORVExprEvaluator::EvaluateLASTIDENTITY);
  Set(toLIST, &TORVExprEvaluator::EvaluateLIST);
  Set(toLOADINGUPDATES, &TORVExprEvaluator::EvaluateLOADINGUPDATES);
  Set(toMAX, &TORVExprEvaluator::EvaluateMAX);
  Set(toMIN, &TORVExprEvaluator::EvaluateMIN);
  Set(toOPERATION, &TORVExprEvaluator::EvaluateOPERATION);
  Set(toSTMTRESULT, &TORVExprEvaluator::EvaluateSTMTRESULT);
  Set(toSUM, &TORVExprEvaluator::EvaluateSUM);
  Set(toSUMSQUARE, &TORVExprEvaluator::EvaluateSUMSQUARE);

  Set(toBOF, &TORVExprEvaluator::EvaluateBOF);
  Set(toEOF, &TORVExprEvaluator::EvaluateEOF);
  Set(toCOLCOUNT, &TORVExprEvaluator::EvaluateCOLCOUNT);
  Set(toCOLNAME, &TORVExprEvaluator::EvaluateCOLNAME);
  Set(toROWCOUNT, &TORVExprEvaluator::EvaluateROWCOUNT);
  Set(toSENSITIVE, &TORVExprEvaluator::EvaluateSENSITIVE);
  Set(toROWSAFFECTED, &TORVExprEvaluator::EvaluateROWSAFFECTED);
  Set(toERRORCODE, &TORVExprEvaluator::EvaluateERRORCODE);
  Set(toERRORMSG, &TORVExprEvaluator::EvaluateERRORMSG);
  Set(toUDF, &TORVExprEvaluator::EvaluateUDF);
  Set(toEXISTS, &TORVExprEvaluator::EvaluateEXISTS);

  Set(toICASE, &TORVExprEvaluator::EvaluateICASE);
  Set(toIIF, &TORVExprEvaluator::EvaluateIIF);
  Set(toIFNULL, &TORVExprEvaluator::EvaluateIFNULL);
  Set(toNULLIF, &TORVExprEvaluator::EvaluateNULLIF);
  Set(toCOALESCE, &TORVExprEvaluator::EvaluateCOALESCE);
  Set(toCAST, &TORVExprEvaluator::EvaluateCAST);

  Set(toABS, &TORVExprEvaluator::EvaluateABS);
  Set(toROUND, &TORVExprEvaluator::EvaluateROUND);
  Set(toTRUNCATE, &TORVExprEvaluator::EvaluateTRUNCATE);
  Set(toCEILING, &TORVExprEvaluator::EvaluateCEILING);
  Set(toFLOOR, &TORVExprEvaluator::EvaluateFLOOR);
  Set(toSIGN, &TORVExprEvaluator::EvaluateSIGN);
  Set(toPI, &TORVExprEvaluator::EvaluatePI);
  Set(toRAND, &TORVExprEvaluator::EvaluateRAND);
  Set(toACOS, &TORVExprEvaluator::EvaluateACOS);
  Set(toASIN, &TORVExprEvaluator::EvaluateASIN);
  Set(toCOT, &TORVExprEvaluator::EvaluateCOT);
  Set(toEXP, &TORVExprEvaluator::EvaluateEXP);
  Set(toLOG, &TORVExprEvaluator::EvaluateLOG);
  Set(toLOG10, &TORVExprEvaluator::EvaluateLOG10);
  Set(toATAN, &TORVExprEvaluator::EvaluateATAN);
  Set(toATAN2, &TORVExprEvaluator::EvaluateATAN2);
  Set(toCOS, &TORVExprEvaluator::EvaluateCOS);
  Set(toSIN, &TORVExprEvaluator::EvaluateSIN);
  Set(toTAN, &TORVExprEvaluator::EvaluateTAN);
  Set(toDEGREES, &TORVExprEvaluator::EvaluateDEGREES);
  Set(toRADIANS, &TORVExprEvaluator::EvaluateRADIANS);
  Set(toPOWER, &TORVExprEvaluator::EvaluatePOWER);
  Set(toSQRT, &TORVExprEvaluator::EvaluateSQRT);
  Set(toCONCAT, &TORVExprEvaluator::EvaluateCONCAT);
  Set(toLEFT, &TORVExprEvaluator::EvaluateLEFT);
  Set(toRIGHT, &TORVExprEvaluator::EvaluateRIGHT);
  Set(toLENGTH, &TORVExprEvaluator::EvaluateLENGTH);
  Set(toLOWER, &TORVExprEvaluator::EvaluateLOWER);
  Set(toUPPER, &TORVExprEvaluator::EvaluateUPPER);
  Set(toPOS, &TORVExprEvaluator::EvaluatePOS);
  Set(toOCCURS, &TORVExprEvaluator::EvaluateOCCURS);
  Set(toQUOTEDSTR, &TORVExprEvaluator::EvaluateQUOTEDSTR);
  Set(toREPEATSTR, &TORVExprEvaluator::EvaluateREPEATSTR);
  Set(toREPLACE, &TORVExprEvaluator::EvaluateREPLACE);
  Set(toSUBSTRING, &TORVExprEvaluator::EvaluateSUBSTRING);
  Set(toTRIMBOTH, &TORVExprEvaluator::EvaluateTRIMBOTH);
  Set(toTRIMLEADING, &TORVExprEvaluator::EvaluateTRIMLEADING);
  Set(toTRIMTRAILING, &TORVExprEvaluator::EvaluateTRIMTRAILING);
  for (TORVTokenOperator Field : {toEXTRACTYEAR, toEXTRACTMONTH, toEXTRACTDAY, toEXTRACTHOUR, toEXTRACTMINUTE,
                                  toEXTRACTSECOND, toEXTRACTMSECOND}) {
    Set(Field, &TORVExprEvaluator::EvaluateExtractField);
  }
  Set(toEXTRACTDAYOFWEEK, &TORVExprEvaluator::EvaluateEXTRACTDAYOFWEEK);
  Set(toEXTRACTDAYOFYEAR, &TORVExprEvaluator::EvaluateEXTRACTDAYOFYEAR);
  Set(toEXTRACTWEEK, &TORVExprEvaluator::EvaluateEXTRACTWEEK);
  Set(toCURDATE, &TORVExprEvaluator::EvaluateCURDATE);
  Set(toCURTIME, &TORVExprEvaluator::EvaluateCURTIME);
  Set(toCURTIMESTAMP, &TORVExprEvaluator::EvaluateCURTIMESTAMP);
  Set(toCURGUID, &TORVExprEvaluator::EvaluateCURGUID);
  // CASEOPTION, CASERESULT, EXTRACT and TRIM stay empty for good: the CASE
  // routine walks its option and result lists itself, and the compiler
  // turns EXTRACT and TRIM into their specific operators.
}

TORVExprEvaluator::TORVEvaluateRoutine TORVExprEvaluator::GetOperatorRoutine(TORVTokenOperator Operator) const {
  if (Operator < toADD || Operator > toSUBINTERVAL) return nullptr;
  return FOperatorsTable[Operator - toADD];
}

TORVExprEvaluator::TORVEvaluateRoutine TORVExprEvaluator::GetExtOperatorRoutine(TORVTokenOperator Operator) const {
  if (Operator < toBETWEEN || Operator > toNOTLIKE) return nullptr;
  return FExtOperatorsTable[Operator - toBETWEEN];
}

TORVExprEvaluator::TORVEvaluateRoutine TORVExprEvaluator::GetFunctionRoutine(TORVTokenOperator Operator) const {
  if (Operator < toABORTED || Operator > toUPPER) return nullptr;
  return FFunctionsTable[Operator - toABORTED];
}

void TORVExprEvaluator::Initialize(TORVExprToken* Token) {
  if (Token != nullptr) InitializeNextToken(Token);
}

void TORVExprEvaluator::Evaluate(TORVExprToken* Token) {
  if (Token != nullptr) EvaluateNextToken(Token);
}

void TORVExprEvaluator::Reset(TORVExprToken* Token) {
  if (Token != nullptr) ResetNextToken(Token);
}

namespace {

// Visits every node under Root after its children (left, right, then the
// arguments in order) with an explicit stack, so that trees of any depth
// are safe.
template <typename TVisit>
void VisitChildrenFirst(TORVExprToken* Root, TVisit&& Visit) {
  struct TFrame {
    TORVExprToken* Token;
    int32_t Next;  // -2 left, -1 right, 0.. the arguments
  };
  std::vector<TFrame> Stack;
  Stack.push_back({Root, -2});
  while (!Stack.empty()) {
    TFrame& Top = Stack.back();
    TORVExprToken* Child = nullptr;
    if (Top.Next == -2) {
      Child = Top.Token->GetLeftToken();
    } else if (Top.Next == -1) {
      Child = Top.Token->GetRightToken();
    } else if (Top.Next < Top.Token->GetNumArguments()) {
      Child = Top.Token->GetArgument(Top.Next);
    } else {
      TORVExprToken* Done = Top.Token;
      Stack.pop_back();
      Visit(Done);
      continue;
    }
    ++Top.Next;
    if (Child != nullptr) Stack.push_back({Child, -2});
  }
}

}  // namespace

void TORVExprEvaluator::InitializeNextToken(TORVExprToken* Token) {
  VisitChildrenFirst(Token, [this](TORVExprToken* Node) { InitializeValue(Node); });
}

void TORVExprEvaluator::ResetNextToken(TORVExprToken* Token) {
  VisitChildrenFirst(Token, [this](TORVExprToken* Node) { FreeValue(Node); });
}

void TORVExprEvaluator::GetValue(TORVExprToken* Token) {
  if (Token->FValue != nullptr) return;
  std::unique_ptr<TORVContainedValue> Value = CreateContainedValue(Token);
  Value->SetDataType(Token->FDataType);
  Value->SetSubType(Token->FSubType);
  Value->SetLength(Token->FLength);
  Value->SetScale(Token->FScale);
  Value->SetCollation(Token->FCollation);
  // A constant is parsed here, once per value object, not per row.
  if (Token->FTokenType == ttCONST && !Token->GetNullConstant()) {
    Value->SetAsString(Token->FTokenConstant);
  } else {
    Value->Clear();
  }
  Token->FValue = std::move(Value);
}

std::unique_ptr<TORVContainedValue> TORVExprEvaluator::CreateContainedValue(TORVExprToken* Token) {
  std::unique_ptr<TORVContainedValue> Value;
  if (Token->FTokenType == ttFUNCREF && Token->FTokenOperator == toCAST && Token->FLength > 0) {
    Value = std::make_unique<TORVCastContainedValue>(FCharacterSet);
  } else if (Token->FTokenType == ttEXTBINARY &&
             (Token->FTokenOperator == toIN || Token->FTokenOperator == toNOTIN)) {
    bool AllConstant = true;
    for (int32_t I = 1; I < Token->GetNumArguments() && AllConstant; ++I) {
      AllConstant = IsInListItem(Token->GetArgument(I));
    }
    if (AllConstant) {
      Value = std::make_unique<TORVInContainedValue>(FCharacterSet, Token);
    } else {
      Value = std::make_unique<TORVContainedValue>(FCharacterSet);
    }
  } else if (Token->FTokenType == ttROWVALUE) {
    // Comparisons test GetAnyNull, which for a row looks at the elements.
    Value = std::make_unique<TORVRowValueValue>(FCharacterSet, Token);
  } else {
    Value = std::make_unique<TORVContainedValue>(FCharacterSet);
  }
  Value->SetRaiseTruncationErrors(false);
  return Value;
}

void TORVExprEvaluator::InitializeValue(TORVExprToken* /*Token*/) {}

void TORVExprEvaluator::FreeValue(TORVExprToken* Token) { Token->FValue.reset(); }

bool TORVExprEvaluator::IsChainLink(const TORVExprToken* Token) {
  if (Token->FTokenType != ttBINARY && Token->FTokenType != ttUNARY) return false;
  const TORVExprToken* Left = Token->GetLeftToken();
  return Left != nullptr && (Left->FTokenType == ttBINARY || Left->FTokenType == ttUNARY);
}

void TORVExprEvaluator::EvaluateNextToken(TORVExprToken* Token) {
  if (Token == FEvaluatedOperand) {
    // Evaluated a moment ago by the chain walk; its value is in place.
    FEvaluatedOperand = nullptr;
    return;
  }
  if (IsChainLink(Token)) {
    EvaluateChain(Token);
  } else {
    EvaluateToken(Token);
  }
}

// Every binary and unary routine evaluates its left operand first, so a
// left-deep chain (a OR b OR c ..., a + b + c ...) can be evaluated from its
// bottom link up: each link's routine then finds its left operand already
// evaluated. The order of evaluation is the recursive one, and the stack
// depth no longer grows with the chain's length.
void TORVExprEvaluator::EvaluateChain(TORVExprToken* Token) {
  const std::size_t Base = FChain.size();
  for (TORVExprToken* Link = Token; IsChainLink(Link); Link = Link->GetLeftToken()) FChain.push_back(Link);
  const std::size_t Top = FChain.size();
  try {
    // The bottom link's left operand is no link: it is evaluated normally.
    for (std::size_t I = Top; I > Base; --I) {
      TORVExprToken* Link = FChain[I - 1];
      FEvaluatedOperand = I == Top ? nullptr : FChain[I];
      EvaluateToken(Link);
      FEvaluatedOperand = nullptr;
    }
  } catch (...) {
    FEvaluatedOperand = nullptr;
    FChain.resize(Base);
    throw;
  }
  FChain.resize(Base);
}

void TORVExprEvaluator::CallRoutine(TORVEvaluateRoutine Routine, TORVExprToken* Token) {
  if (Routine == nullptr) RaiseNoRoutineError(Token);
  (this->*Routine)(Token);
}

void TORVExprEvaluator::EvaluateToken(TORVExprToken* Token) {
  GetValue(Token);
  switch (Token->FTokenType) {
    case ttBINARY:
    case ttUNARY:
      CallRoutine(GetOperatorRoutine(Token->FTokenOperator), Token);
      break;
    case ttEXTBINARY:
      CallRoutine(GetExtOperatorRoutine(Token->FTokenOperator), Token);
      break;
    case ttFUNCREF:
      CallRoutine(GetFunctionRoutine(Token->FTokenOperator), Token);
      break;
    case ttQUERY:
      EvaluateQuery(Token);
      break;
    case ttROWVALUE:
      EvaluateRowValue(Token);
      break;
    case ttTABLEREF:
      EvaluateTableRef(Token);
      break;
    default:
      // Constants and references: the value made or bound by GetValue is
      // the result.
      break;
  }
}

void TORVExprEvaluator::EvaluateRowValue(TORVExprToken* Token) {
  bool AllNull = true;
  for (int32_t I = 0; I < Token->GetNumArguments(); ++I) {
    TORVExprToken* Element = Token->GetArgument(I);
    if (Element == nullptr) continue;
    EvaluateNextToken(Element);
    AllNull = AllNull && Element->FValue->GetNull();
  }
  Token->FValue->SetNull(AllNull);
}

// The operations that need a session, a cursor or a table: nothing here.
void TORVExprEvaluator::EvaluateQuery(TORVExprToken* /*Token*/) {}
void TORVExprEvaluator::EvaluateTableRef(TORVExprToken* /*Token*/) {}
void TORVExprEvaluator::EvaluateFuncRef(TORVExprToken* /*Token*/) {}
void TORVExprEvaluator::EvaluateCOUNT(TORVExprToken* /*Token*/) {}
void TORVExprEvaluator::EvaluateLIST(TORVExprToken* /*Token*/) {}
void TORVExprEvaluator::EvaluateMAX(TORVExprToken* /*Token*/) {}
void TORVExprEvaluator::EvaluateMIN(TORVExprToken* /*Token*/) {}
void TORVExprEvaluator::EvaluateSUM(TORVExprToken* /*Token*/) {}
void TORVExprEvaluator::EvaluateSUMSQUARE(TORVExprToken* /*Token*/) {}
void TORVExprEvaluator::EvaluateInQuery(TORVExprToken* /*Left*/, int32_t /*PartialLength*/,
                                        TORVExprToken* /*InToken*/, TORVExprToken* /*QueryToken*/) {}
void TORVExprEvaluator::EvaluateExistsQuery(TORVExprToken* /*QueryToken*/, TORVExprToken* /*ExistsToken*/) {}
// Left empty, a text search would answer with the previous row's value.
void TORVExprEvaluator::EvaluateContainsText(TORVExprToken* /*Column*/, TORVExprToken* /*SearchText*/,
                                             TORVExprToken* Token) {
  RaiseNoRoutineError(Token);
}
void TORVExprEvaluator::EvaluateContainsAnyText(TORVExprToken* /*Column*/, TORVExprToken* /*SearchText*/,
                                                TORVExprToken* Token) {
  RaiseNoRoutineError(Token);
}
void TORVExprEvaluator::EvaluateError(TORVExprToken* /*Token*/) {}
void TORVExprEvaluator::EvaluateABORTED(TORVExprToken* Token) { Token->FValue->SetAsBoolean(false); }
void TORVExprEvaluator::EvaluateCursorAttribute(TORVExprToken* /*Token*/) {}
void TORVExprEvaluator::EvaluateStatementAttribute(TORVExprToken* /*Token*/) {}
void TORVExprEvaluator::EvaluateCARDINALITY(TORVExprToken* /*Token*/) {}
void TORVExprEvaluator::EvaluateCURCOMPUTER(TORVExprToken* /*Token*/) {}
void TORVExprEvaluator::EvaluateCURDATABASE(TORVExprToken* /*Token*/) {}
void TORVExprEvaluator::EvaluateCURSESSIONID(TORVExprToken* /*Token*/) {}
void TORVExprEvaluator::EvaluateCURUSER(TORVExprToken* /*Token*/) {}
void TORVExprEvaluator::EvaluateCURVERSION(TORVExprToken* /*Token*/) {}
void TORVExprEvaluator::EvaluateINTRANS(TORVExprToken* /*Token*/) {}
void TORVExprEvaluator::EvaluateLASTIDENTITY(TORVExprToken* /*Token*/) {}
void TORVExprEvaluator::EvaluateLOADINGUPDATES(TORVExprToken* /*Token*/) {}
void TORVExprEvaluator::EvaluateOPERATION(TORVExprToken* /*Token*/) {}
void TORVExprEvaluator::EvaluateSTMTRESULT(TORVExprToken* Token) { EvaluateStatementAttribute(Token); }

void TORVExprEvaluator::EvaluateBOF(TORVExprToken* Token) { EvaluateCursorAttribute(Token); }
void TORVExprEvaluator::EvaluateEOF(TORVExprToken* Token) { EvaluateCursorAttribute(Token); }
void TORVExprEvaluator::EvaluateCOLCOUNT(TORVExprToken* Token) { EvaluateCursorAttribute(Token); }
void TORVExprEvaluator::EvaluateCOLNAME(TORVExprToken* Token) { EvaluateCursorAttribute(Token); }
void TORVExprEvaluator::EvaluateROWCOUNT(TORVExprToken* Token) { EvaluateCursorAttribute(Token); }
void TORVExprEvaluator::EvaluateSENSITIVE(TORVExprToken* Token) { EvaluateCursorAttribute(Token); }
void TORVExprEvaluator::EvaluateROWSAFFECTED(TORVExprToken* Token) { EvaluateStatementAttribute(Token); }
void TORVExprEvaluator::EvaluateERRORCODE(TORVExprToken* Token) { EvaluateError(Token); }
void TORVExprEvaluator::EvaluateERRORMSG(TORVExprToken* Token) { EvaluateError(Token); }
void TORVExprEvaluator::EvaluateUDF(TORVExprToken* Token) { EvaluateFuncRef(Token); }

void TORVExprEvaluator::EvaluateEXISTS(TORVExprToken* Token) {
  TORVExprToken* Query = Token->GetArgument(0);
  EvaluateNextToken(Query);
  EvaluateExistsQuery(Query, Token);
}

}  // namespace orv
