#include "local/orvevalcontext.h"

#include "local/orvlocaldbmgr.h"

namespace orv {

void TORVEvaluatorContext::SetDatabaseManager(TORVLocalDatabaseManager* Manager) {
  FDatabaseManager = Manager;
  FCurrentDatabaseManager = Manager;
}

void TORVEvaluatorContext::ResetDatabaseManager() {
  TORVLocalDatabaseManager* Current = FCurrentDatabaseManager;
  // Switch back first: a failing close must not leave statements acting on
  // the other database.
  FCurrentDatabaseManager = FDatabaseManager;
  if (Current != nullptr && Current != FDatabaseManager) Current->Close(false);
}

void TORVEvaluatorContext::Assign(const TORVEvaluatorContext& Context) {
  FDatabaseManager = Context.FDatabaseManager;
  FCurrentDatabaseManager = Context.FCurrentDatabaseManager;
  FOnProgress = Context.FOnProgress;
  FOnStatusMessage = Context.FOnStatusMessage;
  FOnLogMessage = Context.FOnLogMessage;
  FOnNotification = Context.FOnNotification;
  FAborted = Context.FAborted;
  FStatementResult = Context.FStatementResult;
  FEvaluationState = Context.FEvaluationState;
  FNotifyExceptions = Context.FNotifyExceptions;
  FCurException = Context.FCurException;
  FRetryAfterException = Context.FRetryAfterException;
  FLoadingUpdates = Context.FLoadingUpdates;
  FFoundErrors = Context.FFoundErrors;
  FOperationType = Context.FOperationType;
  FCurrentTable = Context.FCurrentTable;
  FCurrentRowValues = Context.FCurrentRowValues;
  FResultRowValues = Context.FResultRowValues;
}

void TORVEvaluatorContext::SetCurException(const EORVException* Value) {
  if (Value == nullptr) {
    FCurException.reset();
  } else {
    FCurException = *Value;
  }
}

}  // namespace orv
