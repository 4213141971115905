// The operations of the session's evaluator that run something or report
// on the session: sub-queries, table references and routine calls through
// query execution's values, the attributes of declared cursors and
// statements, and the error, state and session functions.
#include <stdexcept>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvcursor.h"
#include "catalog/orvcursorcolumns.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvtable.h"
#include "core/orvbuildversion.h"
#include "core/orvenv.h"
#include "core/orvliteral.h"
#include "core/orvstmtmgr.h"
#include "exec/orvexecvalue.h"
#include "local/orvlocaldbmgr.h"
#include "local/orvlocaleval.h"
#include "local/orvlocalsessionmgr.h"
#include "local/orvlocalvalue.h"
#include "sql/orvexprtoken.h"

namespace orv {

namespace {

TORVExprToken* Argument(TORVExprToken* Token, int32_t Index) {
  TORVExprToken* Found = Index < Token->GetNumArguments() ? Token->GetArgument(Index) : nullptr;
  if (Found == nullptr) throw std::logic_error("function without its argument");
  return Found;
}

// The value query execution bound to a node, of the class it must have.
template <typename TValue>
TValue& BoundValue(TORVExprToken* Token) {
  auto* Value = dynamic_cast<TValue*>(Token->FValue.get());
  if (Value == nullptr) throw std::logic_error("node without the value that runs it");
  return *Value;
}

}  // namespace

TORVEvaluatorContext& TORVLocalExprEvaluator::CurrentContext() const {
  if (FContext == nullptr) throw std::logic_error("evaluated outside an evaluation context");
  return *FContext;
}

TORVLocalDatabaseManager& TORVLocalExprEvaluator::CurrentDatabase() const {
  TORVLocalDatabaseManager* Database = CurrentContext().FCurrentDatabaseManager;
  if (Database == nullptr || Database->FCatalog == nullptr) throw std::logic_error("evaluated without a database");
  return *Database;
}

void TORVLocalExprEvaluator::EvaluateQuery(TORVExprToken* Token) { BoundValue<TORVQueryManagerValue>(Token).Execute(); }

void TORVLocalExprEvaluator::EvaluateTableRef(TORVExprToken* Token) { BoundValue<TORVCursorValue>(Token).Open(); }

void TORVLocalExprEvaluator::EvaluateFuncRef(TORVExprToken* Token) {
  EvaluateParams(Token);
  BoundValue<TORVRoutineValue>(Token).Execute(Token);
}

void TORVLocalExprEvaluator::EvaluateProcRef(TORVExprToken* Token) {
  GetValue(Token);
  EvaluateFuncRef(Token);
}

void TORVLocalExprEvaluator::EvaluateExistsQuery(TORVExprToken* QueryToken, TORVExprToken* ExistsToken) {
  auto* Query = dynamic_cast<TORVQueryValue*>(QueryToken->FValue.get());
  TORVCursor* Result = Query != nullptr ? Query->FResultCursor : nullptr;
  ExistsToken->FValue->SetAsBoolean(Result != nullptr && Result->GetRowCount() > 0);
}

void TORVLocalExprEvaluator::EvaluateInQuery(TORVExprToken* Left, int32_t PartialLength, TORVExprToken* InToken,
                                             TORVExprToken* QueryToken) {
  auto& Query = BoundValue<TORVQueryValue>(QueryToken);
  if (Query.FSubQueryColumns == nullptr || Query.FSubQueryValues == nullptr) Query.CreateSubQuerySearch();
  TORVValues& Values = *Query.FSubQueryValues;
  if (Left->FTokenType == ttROWVALUE) {
    for (int32_t I = 0; I < Left->GetNumArguments() && I < Values.GetCount(); ++I) {
      Values.GetItems(I)->Assign(*Left->GetArgument(I)->FValue);
    }
  } else if (Values.GetCount() > 0) {
    Values.GetItems(0)->Assign(*Left->FValue);
  }
  TORVCursor* Result = Query.FResultCursor;
  InToken->FValue->SetAsBoolean(Result != nullptr && Result->Locate(*Query.FSubQueryColumns, Values, PartialLength,
                                                                    Left->GetIgnoreCase()));
}

void TORVLocalExprEvaluator::EvaluateError(TORVExprToken* Token) {
  const EORVException* Current = CurrentContext().GetCurException();
  if (Token->FTokenOperator == toERRORCODE) {
    Token->FValue->SetAsInteger(Current != nullptr ? Current->ErrorCode() : 0);
  } else {
    Token->FValue->SetAsString(Current != nullptr ? Current->ErrorMsg() : TORVString());
  }
}

void TORVLocalExprEvaluator::EvaluateABORTED(TORVExprToken* Token) {
  Token->FValue->SetAsBoolean(CurrentContext().FAborted);
}

TORVStatementValue* TORVLocalExprEvaluator::EvaluateStatementArgument(TORVExprToken* Token) {
  TORVExprToken* Reference = Argument(Token, 0);
  EvaluateNextToken(Reference);
  auto* Declared = dynamic_cast<TORVReferenceValue*>(Reference->FValue.get());
  return dynamic_cast<TORVStatementValue*>(Declared != nullptr ? Declared->GetValue() : Reference->FValue.get());
}

void TORVLocalExprEvaluator::EvaluateCursorAttribute(TORVExprToken* Token) {
  TORVStatementValue* Statement = EvaluateStatementArgument(Token);
  const TORVString& Name = Argument(Token, 0)->FName;
  if (Statement == nullptr) {
    // A declaration that was never opened has no statement at all.
    throw MakeError(ORV_CURSOR_AT_ERROR,
                    {Name, IntToString(Token->FLine), IntToString(Token->FCol), ORV_CURSOR_CLOSED_DETAIL}, Token->FLine,
                    Token->FCol);
  }
  Statement->CheckCursorOpen(Name, Token->FLine, Token->FCol);
  TORVCursor& Cursor = *Statement->FResultCursor;
  TORVValue& Result = *Token->FValue;
  switch (Token->FTokenOperator) {
    case toBOF:
      Result.SetAsBoolean(Cursor.GetBOF());
      break;
    case toEOF:
      Result.SetAsBoolean(Cursor.GetEOF());
      break;
    case toCOLCOUNT:
      Result.SetAsInteger(Cursor.GetCursorColumns()->GetCount());
      break;
    case toCOLNAME: {
      TORVExprToken* Number = Argument(Token, 1);
      EvaluateNextToken(Number);
      const int32_t Count = Cursor.GetCursorColumns()->GetCount();
      const int32_t Position = Number->FValue->GetNull() ? 0 : Number->FValue->GetAsInteger();
      Result.SetAsString(Position >= 1 && Position <= Count
                             ? Cursor.GetCursorColumns()->GetCursorColumn(Position - 1)->GetName()
                             : TORVString());
      break;
    }
    case toROWCOUNT:
      Result.SetAsInteger(Cursor.GetRowCount());
      break;
    case toSENSITIVE:
      Result.SetAsBoolean(Statement->FStatementManager != nullptr && Statement->FStatementManager->GetLiveResult());
      break;
    default:
      break;
  }
}

void TORVLocalExprEvaluator::EvaluateStatementAttribute(TORVExprToken* Token) {
  TORVStatementValue* Statement = EvaluateStatementArgument(Token);
  const TORVString& Name = Argument(Token, 0)->FName;
  if (Statement == nullptr) {
    throw MakeError(ORV_STATEMENT_ERROR,
                    {IntToString(Token->FLine), IntToString(Token->FCol),
                     FormatString(ORV_STATEMENT_UNPREPARED_DETAIL, {Name})},
                    Token->FLine, Token->FCol);
  }
  Statement->CheckStatementPrepared(Name, Token->FLine, Token->FCol);
  TORVStatementManager& Manager = *Statement->FStatementManager;
  if (Token->FTokenOperator == toROWSAFFECTED) {
    Token->FValue->SetAsInteger(Manager.GetAffectedRowCount());
  } else {
    Token->FValue->SetAsBoolean(Manager.GetStmtResult());
  }
}

void TORVLocalExprEvaluator::EvaluateCARDINALITY(TORVExprToken* Token) {
  TORVExprToken* Array = Argument(Token, 0);
  EvaluateNextToken(Array);
  Token->FValue->SetAsInteger(BoundValue<TORVArrayValuesReferenceValue>(Array).GetCardinality());
}

void TORVLocalExprEvaluator::EvaluateCURCOMPUTER(TORVExprToken* Token) {
  Token->FValue->SetAsString(Environment().GetComputerName());
}

void TORVLocalExprEvaluator::EvaluateCURDATABASE(TORVExprToken* Token) {
  TORVDatabaseContainer* Database = CurrentDatabase().FCatalog->GetDatabase();
  Token->FValue->SetAsString(Database != nullptr ? Database->GetName() : TORVString());
}

void TORVLocalExprEvaluator::EvaluateCURSESSIONID(TORVExprToken* Token) {
  TORVLocalSessionManager* Session = CurrentDatabase().FSessionManager;
  if (Session == nullptr) throw std::logic_error("database without its session");
  Token->FValue->SetAsInteger(Session->GetHandle());
}

void TORVLocalExprEvaluator::EvaluateCURUSER(TORVExprToken* Token) {
  TORVLocalSessionManager* Session = CurrentDatabase().FSessionManager;
  if (Session == nullptr) throw std::logic_error("database without its session");
  Token->FValue->SetAsString(Session->GetCurrentUserName());
}

void TORVLocalExprEvaluator::EvaluateCURVERSION(TORVExprToken* Token) {
  Token->FValue->SetAsCurrency(TORVCurrency::FromScaled(BuildEngineVersion));
}

TORVBaseTable* TORVLocalExprEvaluator::EvaluateTableArgument(TORVExprToken* Token) {
  TORVExprToken* Name = Argument(Token, 0);
  EvaluateNextToken(Name);
  TORVCatalog& Catalog = *CurrentDatabase().FCatalog;
  // Temporary tables are not searched.
  return Catalog.FindTable(Catalog.GetDefaultSchema(), Name->FValue->GetAsString(), nullptr, true, false);
}

void TORVLocalExprEvaluator::EvaluateINTRANS(TORVExprToken* Token) {
  if (Token->GetNumArguments() > 0 && Token->GetArgument(0) != nullptr) {
    Token->FValue->SetAsBoolean(EvaluateTableArgument(Token)->GetObjectState().Contains(osInTransaction));
    return;
  }
  TORVDatabaseContainer* Database = CurrentDatabase().FCatalog->GetDatabase();
  Token->FValue->SetAsBoolean(Database != nullptr && Database->GetObjectState().Contains(osInTransaction));
}

void TORVLocalExprEvaluator::EvaluateLASTIDENTITY(TORVExprToken* Token) {
  TORVBaseTable* Table = EvaluateTableArgument(Token);
  TORVExprToken* ColumnName = Argument(Token, 1);
  EvaluateNextToken(ColumnName);
  auto* Column = static_cast<TORVColumn*>(Table->GetColumns().FindByName(ColumnName->FValue->GetAsString(), true));
  Token->FValue->SetAsInteger(Column->GetLastValue());
}

void TORVLocalExprEvaluator::EvaluateLOADINGUPDATES(TORVExprToken* Token) {
  Token->FValue->SetAsBoolean(CurrentContext().FLoadingUpdates);
}

void TORVLocalExprEvaluator::EvaluateOPERATION(TORVExprToken* Token) {
  switch (CurrentContext().FOperationType) {
    case toInsertRow:
      Token->FValue->SetAsString(u"Insert");
      break;
    case toUpdateRow:
      Token->FValue->SetAsString(u"Update");
      break;
    case toDeleteRow:
      Token->FValue->SetAsString(u"Delete");
      break;
    default:
      // Left as it was, the previous row's operation would show through.
      Token->FValue->SetAsNull(true);
      break;
  }
}

}  // namespace orv
