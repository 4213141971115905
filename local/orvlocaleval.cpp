// The local evaluator's core: contexts, the value stack, the value factory,
// initialization, parameter passing, bitmap bookkeeping and the statement
// dispatch tables.
#include "local/orvlocaleval.h"

#include <stdexcept>
#include <utility>

#include "base/orvassert.h"
#include "base/orverrors.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvtrigger.h"
#include "core/orvbitmap.h"
#include "core/orvcontainedvalue.h"
#include "core/orvliteral.h"
#include "exec/orvexecvalue.h"
#include "local/orvlocaldbmgr.h"
#include "local/orvlocalvalue.h"
#include "sql/orvexprtoken.h"
#include "sql/orvroutineslots.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"

namespace orv {

namespace {

// The statements as they are written, in operator order, for the errors
// that name them.
constexpr const char16_t* ControlNames[ControlsTableCount] = {
    u"ABORT",         u"CALL",           u"CASE",          u"CLOSE",          u"COMMIT",
    u"DECLARE",       u"DELETE",         u"EXECUTE",       u"EXECUTE IMMEDIATE", u"FETCH",
    u"FOR",           u"IF",             u"INSERT",        u"ITERATE",        u"LEAVE",
    u"LOG EVENT",     u"LOOP",           u"OPEN",          u"PREPARE",        u"RAISE",
    u"REFRESH",       u"REPEAT",         u"RETRY",         u"RETURN",         u"ROLLBACK",
    u"SET",           u"SET CACHE",      u"SET LOG MESSAGE", u"SET PROGRESS", u"SET STATUS MESSAGE",
    u"START TRANSACTION", u"UNPREPARE",  u"UPDATE",        u"USE",            u"WHILE",
};

constexpr const char16_t* StatementNames[StatementsTableCount] = {
    u"ALTER",           u"BACKUP DATABASE",  u"COMPARE DATABASE", u"COPY FILE",       u"CREATE",
    u"DELETE",          u"DELETE FILE",      u"DISABLE",          u"DISCONNECT SESSION", u"DROP",
    u"EMPTY TABLE",     u"ENABLE",           u"EXPORT TABLE",     u"GRANT",           u"GRANT",
    u"GRANT",           u"IMPORT TABLE",     u"INSERT",           u"LOAD UPDATES",    u"MIGRATE DATABASE",
    u"OPTIMIZE TABLE",  u"PUBLISH",          u"REMOVE SESSION",   u"RENAME",          u"RENAME FILE",
    u"REPAIR TABLE",    u"RESET",            u"RESTORE DATABASE", u"REVOKE",          u"REVOKE",
    u"REVOKE",          u"SAVE UPDATES",     u"SELECT",           u"SET",             u"UNPUBLISH",
    u"UPDATE",          u"VERIFY TABLE",
};

TORVString StatementName(const TORVExprToken* Token) {
  const int32_t Operator = Token->FTokenOperator;
  if (Token->FTokenType == ttCONTROL && Operator >= toABORT && Operator <= toWHILE) {
    return ControlNames[Operator - toABORT];
  }
  if (Token->FTokenType == ttSTATEMENT && Operator >= toALTER && Operator <= toVERIFYTABLE) {
    return StatementNames[Operator - toALTER];
  }
  // A stored tree can carry any operator byte: name it by number.
  return IntToString(Operator);
}

[[noreturn]] void RaiseStatementError(const TORVExprToken* Token, const TORVString& Detail) {
  throw MakeError(ORV_STATEMENT_ERROR, {IntToString(Token->FLine), IntToString(Token->FCol), Detail}, Token->FLine,
                  Token->FCol);
}

[[noreturn]] void RaiseNoRoutineError(const TORVExprToken* Token) {
  RaiseStatementError(Token, FormatString(ORV_NO_STATEMENT_ROUTINE_DETAIL, {StatementName(Token)}));
}

}  // namespace

TORVLocalExprEvaluator::TORVLocalExprEvaluator(int32_t CharacterSetToUse)
    : TORVExprEvaluator(CharacterSetToUse), FValueStack(CharacterSetToUse) {
  BuildControlTable();
  BuildStatementsTable();
  BuildCreateStatementsTable();
  BuildAlterStatementsTable();
  BuildDropStatementsTable();
  BuildRenameStatementsTable();
  BuildEnableStatementsTable();
  BuildDisableStatementsTable();
  BuildResetStatementsTable();
  BuildSetStatementsTable();
}

TORVLocalExprEvaluator::~TORVLocalExprEvaluator() = default;

std::unique_ptr<TORVExprEvaluator> TORVLocalExprEvaluator::Create(int32_t CharacterSetToUse) const {
  return std::make_unique<TORVLocalExprEvaluator>(CharacterSetToUse);
}

void TORVLocalExprEvaluator::BuildControlTable() {
  // DECLARE and RETURN stay empty for good (the block handles them); the
  // transaction and session statements are filled as they are built.
  FControlTable.fill(nullptr);
  auto Set = [this](TORVTokenOperator Operator, TORVControlRoutine Routine) {
    FControlTable[Operator - FirstControlOperator] = Routine;
  };
  Set(toABORT, &TORVLocalExprEvaluator::EvaluateABORT);
  Set(toCALL, &TORVLocalExprEvaluator::EvaluateCALL);
  Set(toCASE, &TORVLocalExprEvaluator::EvaluateCASE);
  Set(toCLOSE, &TORVLocalExprEvaluator::EvaluateCLOSE);
  Set(toDELETECURSOR, &TORVLocalExprEvaluator::EvaluateDELETECURSOR);
  Set(toEXECUTE, &TORVLocalExprEvaluator::EvaluateEXECUTE);
  Set(toFETCH, &TORVLocalExprEvaluator::EvaluateFETCH);
  Set(toFOR, &TORVLocalExprEvaluator::EvaluateFOR);
  Set(toIF, &TORVLocalExprEvaluator::EvaluateIF);
  Set(toINSERTCURSOR, &TORVLocalExprEvaluator::EvaluateINSERTCURSOR);
  Set(toITERATE, &TORVLocalExprEvaluator::EvaluateTransfer);
  Set(toLEAVE, &TORVLocalExprEvaluator::EvaluateTransfer);
  Set(toLOOP, &TORVLocalExprEvaluator::EvaluateLOOP);
  Set(toOPEN, &TORVLocalExprEvaluator::EvaluateOPEN);
  Set(toPREPARE, &TORVLocalExprEvaluator::EvaluatePREPARE);
  Set(toRAISE, &TORVLocalExprEvaluator::EvaluateTransfer);
  Set(toREFRESH, &TORVLocalExprEvaluator::EvaluateREFRESH);
  Set(toREPEAT, &TORVLocalExprEvaluator::EvaluateREPEAT);
  Set(toRETRY, &TORVLocalExprEvaluator::EvaluateTransfer);
  Set(toSET, &TORVLocalExprEvaluator::EvaluateSET);
  Set(toUNPREPARE, &TORVLocalExprEvaluator::EvaluateUNPREPARE);
  Set(toUPDATECURSOR, &TORVLocalExprEvaluator::EvaluateUPDATECURSOR);
  Set(toWHILE, &TORVLocalExprEvaluator::EvaluateWHILE);
}

void TORVLocalExprEvaluator::BuildStatementsTable() {
  FStatementsTable.fill(nullptr);
  auto Set = [this](TORVTokenOperator Operator, TORVStatementRoutine Routine) {
    FStatementsTable[Operator - FirstStatementOperator] = Routine;
  };
  Set(toALTER, &TORVLocalExprEvaluator::EvaluateALTER);
  Set(toCREATE, &TORVLocalExprEvaluator::EvaluateCREATE);
  Set(toDISABLE, &TORVLocalExprEvaluator::EvaluateDISABLE);
  Set(toDROP, &TORVLocalExprEvaluator::EvaluateDROP);
  Set(toENABLE, &TORVLocalExprEvaluator::EvaluateENABLE);
  Set(toRENAME, &TORVLocalExprEvaluator::EvaluateRENAME);
  Set(toRESET, &TORVLocalExprEvaluator::EvaluateRESET);
  Set(toSETDYN, &TORVLocalExprEvaluator::EvaluateSETDYN);
  // DELETE, GRANT, INSERT, REVOKE, SELECT and UPDATE stay empty for good:
  // data manipulation runs in the statement managers, and GRANT and REVOKE
  // compile to their PRIVILEGES or ROLES forms.
}

TORVEvaluatorContext* TORVLocalExprEvaluator::NewContext(const TORVEvaluatorContext& ContextToAssign) {
  auto Context = std::make_unique<TORVEvaluatorContext>();
  Context->Assign(ContextToAssign);
  TORVEvaluatorContext* Saved = FContext;
  FOwnedContexts.push_back({std::move(Context), Saved});
  FContext = FOwnedContexts.back().Context.get();
  return Saved;
}

void TORVLocalExprEvaluator::RestoreContext(TORVEvaluatorContext* SavedContext) {
  // Pairs nest: the context being left is the innermost one made, and the
  // one coming back is what its NewContext answered.
  if (FOwnedContexts.empty() || FOwnedContexts.back().Context.get() != FContext ||
      FOwnedContexts.back().Saved != SavedContext) {
    throw std::logic_error("RestoreContext without its NewContext");
  }
  FContext = SavedContext;
  FOwnedContexts.pop_back();
}

TORVEvaluatorContext* TORVLocalExprEvaluator::NewTriggerContext(const TORVTriggerContextSettings& Settings) {
  TORVEvaluatorContext Context;
  if (FContext != nullptr) Context.Assign(*FContext);
  Context.FAborted = false;
  Context.FRetryAfterException = false;
  Context.FCurrentTable = Settings.CurrentTable;
  Context.FLoadingUpdates = Settings.LoadingUpdates;
  Context.FOperationType = Settings.OperationType;
  Context.SetCurException(Settings.CurException);
  return NewContext(Context);
}

bool TORVLocalExprEvaluator::GetContextAborted() { return FContext != nullptr && FContext->FAborted; }

bool TORVLocalExprEvaluator::GetContextRetryAfterException() {
  return FContext != nullptr && FContext->FRetryAfterException;
}

namespace {

// The trigger body's row variable of slot Index (0 OldRow, 1 NewRow).
TORVExprToken* RowVariableToken(TORVTrigger& Trigger, int32_t Index) {
  TORVExprToken* Routine = Trigger.GetDefinition()->FTokens;
  if (!IsRoutineNode(Routine)) return nullptr;
  TORVExprToken* Rows = Routine->GetArgument(RoutineRowVariablesSlot);
  if (Rows == nullptr || Index >= Rows->GetNumArguments()) return nullptr;
  return Rows->GetArgument(Index);
}

}  // namespace

void TORVLocalExprEvaluator::BindRowVariables(TORVTrigger& Trigger, TORVRowValues* OldRowValues,
                                              TORVRowValues* NewRowValues) {
  TORVRowValues* const Rows[] = {OldRowValues, NewRowValues};
  for (int32_t I = 0; I < 2; ++I) {
    TORVExprToken* Token = RowVariableToken(Trigger, I);
    if (Token == nullptr) continue;
    if (Token->FValue == nullptr) GetValue(Token);
    if (auto* Row = dynamic_cast<TORVRowVariableValue*>(Token->FValue.get())) Row->FRowValues = Rows[I];
  }
}

void TORVLocalExprEvaluator::ReleaseRowVariables(TORVTrigger& Trigger) {
  for (int32_t I = 0; I < 2; ++I) {
    TORVExprToken* Token = RowVariableToken(Trigger, I);
    if (Token == nullptr) continue;
    if (auto* Row = dynamic_cast<TORVRowVariableValue*>(Token->FValue.get())) Row->FRowValues = nullptr;
  }
}

bool TORVLocalExprEvaluator::EvaluateCondition(TORVExprToken* Token) {
  Evaluate(Token);
  TORVValue* Value = Token->FValue.get();
  return Value != nullptr && !Value->GetNull() && Value->GetAsBoolean();
}

void TORVLocalExprEvaluator::PushValue(TORVExprToken* Token) {
  FValueStack.Add(Token->FValue.get());
  Token->FValue.release();
}

void TORVLocalExprEvaluator::PopValue(TORVExprToken* Token) {
  const int32_t Count = FValueStack.GetCount();
  if (Count == 0) return;
  Token->FValue.reset(FValueStack.GetItems(Count - 1));
  FValueStack.Delete(Count - 1);
}

void TORVLocalExprEvaluator::Notify(TORVExprToken* Token, const EORVException* Exception) {
  if (FContext != nullptr && FContext->FOnNotification) FContext->FOnNotification(Token, Exception);
}

TORVVirtualTable* TORVLocalExprEvaluator::GetTableRef(TORVExprToken* Token) {
  TORVExprToken* Source = Token->FSourceToken;
  if (FContext == nullptr) throw std::logic_error("table looked up outside an evaluation context");
  if (Source == nullptr) {
    if (FContext->FCurrentTable == nullptr) throw std::logic_error("column without its table");
    return FContext->FCurrentTable;
  }
  TORVLocalDatabaseManager* Database = FContext->FCurrentDatabaseManager;
  if (Database == nullptr || Database->FCatalog == nullptr) throw std::logic_error("table looked up without a database");
  TORVCatalog& Catalog = *Database->FCatalog;
  TORVSchema* Schema = Catalog.GetTokenSchema(Source, true);
  return Catalog.FindVirtualTable(Schema, Source->FName, nullptr, true, true);
}

void TORVLocalExprEvaluator::EvaluateParams(TORVExprToken* Token) {
  for (int32_t I = 0; I < Token->GetNumArguments(); ++I) {
    if (TORVExprToken* Argument = Token->GetArgument(I)) EvaluateNextToken(Argument);
  }
}

namespace {

void TakeTypeOf(TORVValue& Value, TORVValue& Source) {
  Value.SetDataType(Source.GetDataType());
  Value.SetSubType(Source.GetSubType());
  Value.SetLength(Source.GetLength());
  Value.SetScale(Source.GetScale());
  Value.SetCollation(Source.GetCollation());
}

}  // namespace

void TORVLocalExprEvaluator::AssignInputParams(TORVExprToken* Token, TORVParamValues& Params) {
  const int32_t NumArguments = Token->GetNumArguments();
  for (int32_t I = 0; I < Params.GetCount(); ++I) {
    TORVParamValue* Param = Params.GetParams(I);
    if (I >= NumArguments) {
      Param->SetAsNull(true);
      continue;
    }
    const TORVParamType Type = Param->GetParamType();
    if (Type != ptInput && Type != ptInputOutput) continue;
    TORVExprToken* Argument = Token->GetArgument(I);
    if (Argument == nullptr) {
      Param->SetAsNull(true);
      continue;
    }
    if (Param->GetDataType() == 0) TakeNodeType(*Param, Argument);
    Param->Assign(*Argument->FValue);
  }
}

void TORVLocalExprEvaluator::AssignOutputParams(TORVExprToken* Token, TORVParamValues& Params) {
  const int32_t Count = std::min(Params.GetCount(), Token->GetNumArguments());
  for (int32_t I = 0; I < Count; ++I) {
    TORVParamValue* Param = Params.GetParams(I);
    const TORVParamType Type = Param->GetParamType();
    if (Type != ptOutput && Type != ptInputOutput && Type != ptResult) continue;
    TORVExprToken* Argument = Token->GetArgument(I);
    if (Argument == nullptr) continue;
    if (Argument->FValue == nullptr) GetValue(Argument);
    TORVValue& Value = *Argument->FValue;
    if (Value.GetDataType() == 0) TakeTypeOf(Value, *Param);
    Value.Assign(*Param);
  }
}

void TORVLocalExprEvaluator::CreateBitmapValue(TORVExprToken* Token) {
  TORVValue& Value = *Token->FValue;
  auto Copy = std::make_unique<TORVContainedValue>(FCharacterSet);
  TakeTypeOf(*Copy, Value);
  Copy->SetRaiseTruncationErrors(false);
  Copy->Assign(Value);
  Token->FBitmapValue = std::move(Copy);
}

void TORVLocalExprEvaluator::FreeBitmapValue(TORVExprToken* Token) { Token->FBitmapValue.reset(); }

bool TORVLocalExprEvaluator::UpdateNextTokenBitmapValue(TORVExprToken* Token, bool Force) {
  bool Changed = false;
  switch (Token->FTokenType) {
    case ttBINARY: {
      if (TORVExprToken* Left = Token->GetLeftToken()) Changed = UpdateNextTokenBitmapValue(Left, Force);
      if (TORVExprToken* Right = Token->GetRightToken()) {
        Changed = UpdateNextTokenBitmapValue(Right, Force || Changed) || Changed;
      }
      break;
    }
    case ttDYNPARAMREF:
    case ttLINKEDCOLUMNREF:
      if (Token->FValue == nullptr) {
        FreeBitmapValue(Token);
        Changed = true;
        break;
      }
      if (Force) FreeBitmapValue(Token);
      if (Token->FBitmapValue != nullptr) {
        TORVValue& Value = *Token->FValue;
        // NULL equals only NULL here: a NULL parameter that stays NULL
        // keeps the bitmap.
        const bool SameNull = Value.GetNull() == Token->FBitmapValue->GetNull();
        if (SameNull && (Value.GetNull() ||
                         Token->FBitmapValue->Compare(Value, 0, false, Value.GetCollation()) == 0)) {
          break;
        }
      }
      CreateBitmapValue(Token);
      Changed = true;
      break;
    case ttEXTBINARY:
    case ttFUNCREF:
    case ttROWVALUE:
      for (int32_t I = 0; I < Token->GetNumArguments(); ++I) {
        if (TORVExprToken* Argument = Token->GetArgument(I)) {
          Changed = UpdateNextTokenBitmapValue(Argument, Force) || Changed;
        }
      }
      break;
    case ttUNARY:
      if (TORVExprToken* Left = Token->GetLeftToken()) Changed = UpdateNextTokenBitmapValue(Left, Force);
      break;
    default:
      break;
  }
  if (Force || Changed) Token->FreeBitmap();
  return Changed;
}

void TORVLocalExprEvaluator::UpdateBitmapValues(TORVExprToken* Token, bool Force) {
  if (Token != nullptr) UpdateNextTokenBitmapValue(Token, Force);
}

std::unique_ptr<TORVValue> TORVLocalExprEvaluator::CreateCursorValue(TORVExprToken* Token) {
  RaiseNoRoutineError(Token);
}

std::unique_ptr<TORVValue> TORVLocalExprEvaluator::CreateQueryValue(TORVExprToken* Token) {
  RaiseNoRoutineError(Token);
}

std::unique_ptr<TORVValue> TORVLocalExprEvaluator::CreateQueryManagerValue(TORVExprToken* Token) {
  RaiseNoRoutineError(Token);
}

std::unique_ptr<TORVValue> TORVLocalExprEvaluator::CreateStatementValue(TORVExprToken* Token) {
  RaiseNoRoutineError(Token);
}

std::unique_ptr<TORVValue> TORVLocalExprEvaluator::CreateRoutineValue(TORVExprToken* Token) {
  RaiseNoRoutineError(Token);
}

void TORVLocalExprEvaluator::GetValue(TORVExprToken* Token) {
  if (Token->FValue != nullptr) return;
  std::unique_ptr<TORVValue> Value;
  switch (Token->FTokenType) {
    case ttARRAY:
      Value = std::make_unique<TORVArrayValuesValue>(this, Token);
      break;
    case ttARRAYREF:
      Value = std::make_unique<TORVArrayValuesReferenceValue>(this, Token);
      break;
    case ttARRAYELEMENTREF:
      Value = std::make_unique<TORVArrayElementReferenceValue>(this, Token);
      break;
    case ttCOLUMNREF:
    case ttLINKEDCOLUMNREF:
    case ttROWCOLUMNREF:
      Value = std::make_unique<TORVColumnReferenceValue>(this, Token);
      break;
    case ttCURSORREF:
      Value = std::make_unique<TORVCursorReferenceValue>(this, Token);
      break;
    case ttDYNPARAM:
      Value = std::make_unique<TORVDynamicParamValue>(FCharacterSet, Token);
      break;
    case ttDYNPARAMREF:
      Value = std::make_unique<TORVDynamicParamReferenceValue>(this, Token);
      break;
    case ttFUNCREF:
      // A running sum is computed per row, not accumulated in a group.
      if (IsAggregateOperator(Token->FTokenOperator) && Token->FTokenOperator != toRUNSUM) {
        Value = std::make_unique<TORVAggregateFunctionReferenceValue>(this, Token);
      } else if (Token->FTokenOperator == toUDF) {
        Value = CreateRoutineValue(Token);
      }
      break;
    case ttPROCREF:
      Value = CreateRoutineValue(Token);
      break;
    case ttPARAM:
      Value = std::make_unique<TORVRoutineParamValue>(FCharacterSet, Token);
      break;
    case ttPARAMREF:
      Value = std::make_unique<TORVRoutineParamReferenceValue>(this, Token);
      break;
    case ttQUERY: {
      // A query joined to another by UNION, EXCEPT or INTERSECT carries the
      // set operator in its merge clause.
      const TORVExprToken* Merge = SlotOf(Token, QueryMergeWordSlot);
      Value = Merge != nullptr && Merge->FTokenOperator != toNONE ? CreateQueryManagerValue(Token)
                                                                   : CreateQueryValue(Token);
      break;
    }
    case ttROWVARIABLE:
      Value = std::make_unique<TORVRowVariableValue>(this, Token);
      break;
    case ttSELECTCOLUMNREF:
      Value = std::make_unique<TORVSelectColumnReferenceValue>(this, Token);
      break;
    case ttSTATEMENT:
      Value = CreateStatementValue(Token);
      break;
    case ttSTATEMENTREF:
      Value = std::make_unique<TORVStatementReferenceValue>(this, Token);
      break;
    case ttTABLEREF:
      Value = CreateCursorValue(Token);
      break;
    case ttVARIABLE:
      Value = std::make_unique<TORVVariableValue>(FCharacterSet, Token);
      break;
    case ttVARIABLEREF:
      Value = std::make_unique<TORVVariableReferenceValue>(this, Token);
      break;
    default:
      break;
  }
  if (Value == nullptr) {
    // Row values and everything else: the base's contained values.
    TORVExprEvaluator::GetValue(Token);
    return;
  }
  Token->FValue = std::move(Value);
}

void TORVLocalExprEvaluator::InitializeValue(TORVExprToken* Token) {
  switch (Token->FTokenType) {
    case ttCONTROL:
      // USE runs at once, so that the statements after it are prepared
      // against the database it names.
      if (Token->FTokenOperator == toUSEDB) DispatchControl(Token);
      break;
    case ttDYNPARAMREF:
      GetValue(Token);
      break;
    case ttFUNCREF:
    case ttPROCREF:
      if (Token->FTokenType == ttPROCREF || Token->FTokenOperator == toUDF) {
        GetValue(Token);
        if (auto* Routine = dynamic_cast<TORVRoutineValue*>(Token->FValue.get())) Routine->Prepare(Token->FName);
      }
      break;
    case ttQUERY: {
      // A derived table's query is run by its table reference's cursor.
      const TORVExprToken* Upper = Token->FUpperToken;
      if (Upper != nullptr && Upper->FTokenType == ttTABLEREF) break;
      GetValue(Token);
      if (auto* Query = dynamic_cast<TORVQueryManagerValue*>(Token->FValue.get())) Query->Prepare();
      break;
    }
    default:
      break;
  }
}

void TORVLocalExprEvaluator::CallStatementRoutine(TORVStatementRoutine Routine, TORVExprToken* Token) {
  if (Routine == nullptr) RaiseNoRoutineError(Token);
  (this->*Routine)(Token);
}

TORVExprToken* TORVLocalExprEvaluator::DispatchControl(TORVExprToken* Token) {
  const int32_t Operator = Token->FTokenOperator;
  TORVControlRoutine Routine = nullptr;
  if (Token->FTokenType == ttCONTROL && Operator >= toABORT && Operator <= toWHILE) {
    Routine = FControlTable[Operator - FirstControlOperator];
  }
  if (Routine == nullptr) RaiseNoRoutineError(Token);
  return (this->*Routine)(Token);
}

void TORVLocalExprEvaluator::DispatchStatement(TORVExprToken* Token) {
  const int32_t Operator = Token->FTokenOperator;
  TORVStatementRoutine Routine = nullptr;
  if (Token->FTokenType == ttSTATEMENT && Operator >= toALTER && Operator <= toVERIFYTABLE) {
    Routine = FStatementsTable[Operator - FirstStatementOperator];
  }
  CallStatementRoutine(Routine, Token);
}

void TORVLocalExprEvaluator::DispatchObjectKind(const TORVObjectKindTable& Table, TORVExprToken* Token) {
  const int32_t Kind = Token->FTokenID;
  TORVStatementRoutine Routine = Kind >= 1 && Kind <= ObjectKindCount ? Table[Kind - 1] : nullptr;
  if (Routine == nullptr) {
    RaiseStatementError(Token,
                        FormatString(ORV_NO_OBJECT_KIND_ROUTINE_DETAIL, {StatementName(Token), IntToString(Kind)}));
  }
  (this->*Routine)(Token);
}

void TORVLocalExprEvaluator::EvaluateCREATE(TORVExprToken* Token) { DispatchObjectKind(FCreateStatementsTable, Token); }
void TORVLocalExprEvaluator::EvaluateALTER(TORVExprToken* Token) { DispatchObjectKind(FAlterStatementsTable, Token); }
void TORVLocalExprEvaluator::EvaluateDROP(TORVExprToken* Token) { DispatchObjectKind(FDropStatementsTable, Token); }
void TORVLocalExprEvaluator::EvaluateRENAME(TORVExprToken* Token) { DispatchObjectKind(FRenameStatementsTable, Token); }
void TORVLocalExprEvaluator::EvaluateENABLE(TORVExprToken* Token) { DispatchObjectKind(FEnableStatementsTable, Token); }
void TORVLocalExprEvaluator::EvaluateDISABLE(TORVExprToken* Token) {
  DispatchObjectKind(FDisableStatementsTable, Token);
}
void TORVLocalExprEvaluator::EvaluateRESET(TORVExprToken* Token) { DispatchObjectKind(FResetStatementsTable, Token); }
void TORVLocalExprEvaluator::EvaluateSETDYN(TORVExprToken* Token) { DispatchObjectKind(FSetStatementsTable, Token); }

}  // namespace orv
