// The state of one evaluation: what database it acts on, which row
// operation and rows it reads, its events and the flags that statements
// set. A caller owns its context and lends a copy of it to the session's
// evaluator for one call (TORVLocalExprEvaluator::NewContext and
// RestoreContext, bracketed by TORVContextScope), so that nested
// evaluations never see each other's changes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "base/orverror.h"
#include "base/orvtype.h"
#include "core/orvcommon.h"
#include "core/orvsessionmgr.h"
#include "eval/orvtriggereval.h"

namespace orv {

class TORVExprToken;
class TORVLocalDatabaseManager;
class TORVRowValues;
class TORVVirtualTable;

// Debugger control; esStop ends the evaluation.
enum TORVEvaluationState : uint8_t { esRun, esStepOver, esStepInto, esStop };

// SET STATUS MESSAGE reports a status the user set (UserStatus True).
using TORVEvaluatorStatusMessageEvent = std::function<void(const TORVString& StatusMessage, bool UserStatus)>;
// Before each statement with no exception, and on each exception.
using TORVNotificationEvent = std::function<void(TORVExprToken* Token, const EORVException* Exception)>;

// Every field is a plain link: the context owns none of the managers, rows
// or tables it names. FCurException is the context's own copy, so that it
// outlives the handler that caught it.
class TORVEvaluatorContext : public TORVBaseObject {
 public:
  TORVEvaluatorContext() = default;
  TORVEvaluatorContext(const TORVEvaluatorContext&) = delete;
  TORVEvaluatorContext& operator=(const TORVEvaluatorContext&) = delete;

  // Both database fields.
  void SetDatabaseManager(TORVLocalDatabaseManager* Manager);
  void SetCurrentDatabaseManager(TORVLocalDatabaseManager* Manager) { FCurrentDatabaseManager = Manager; }
  // Closes a current database that a USE opened and goes back to the
  // context's own database, even when closing raises.
  void ResetDatabaseManager();
  // Every field, the events and the exception copy included.
  void Assign(const TORVEvaluatorContext& Context);

  const EORVException* GetCurException() const { return FCurException ? &*FCurException : nullptr; }
  void SetCurException(const EORVException* Value);

  TORVLocalDatabaseManager* FDatabaseManager = nullptr;
  TORVLocalDatabaseManager* FCurrentDatabaseManager = nullptr;
  TORVProgressEvent FOnProgress;
  TORVEvaluatorStatusMessageEvent FOnStatusMessage;
  TORVLogMessageEvent FOnLogMessage;
  TORVNotificationEvent FOnNotification;
  bool FAborted = false;
  bool FStatementResult = false;
  TORVEvaluationState FEvaluationState = esRun;
  bool FNotifyExceptions = false;
  std::optional<EORVException> FCurException;
  bool FRetryAfterException = false;
  bool FLoadingUpdates = false;
  bool FFoundErrors = false;
  TORVTableOperation FOperationType = toInsertRow;
  TORVVirtualTable* FCurrentTable = nullptr;
  TORVRowValues* FCurrentRowValues = nullptr;
  TORVRowValues* FResultRowValues = nullptr;
};

}  // namespace orv
