// What the managers of table-like objects ask of the session's evaluator
// when they run triggers. The local evaluator implements it; the managers
// live below it and reach it through their database manager.
#pragma once

#include <cstdint>

#include "base/orverror.h"
#include "base/orvtype.h"

namespace orv {

class TORVEvaluatorContext;
class TORVExprToken;
class TORVRowValues;
class TORVTrigger;
class TORVVirtualTable;

// The row operation in progress; the ordinals are the values OPERATION()
// reports.
enum TORVTableOperation : uint8_t { toInsertRow, toUpdateRow, toDeleteRow, toLoadRow, toVerifyRow };

// What a trigger's context carries for the trigger's table.
struct TORVTriggerContextSettings {
  TORVVirtualTable* CurrentTable = nullptr;
  bool LoadingUpdates = false;
  TORVTableOperation OperationType = toInsertRow;
  // Only for ERROR triggers: the failure they answer.
  const EORVException* CurException = nullptr;
};

class TORVTriggerEvaluator {
 public:
  virtual ~TORVTriggerEvaluator() = default;

  // Build (give back) the run-time values of a compiled tree.
  virtual void InitializeCompiled(TORVExprToken* Token) = 0;
  virtual void ResetCompiled(TORVExprToken* Token) = 0;
  // A context with Settings becomes current; answers the one it replaced,
  // for RestoreContext. Use TORVTriggerContextScope.
  virtual TORVEvaluatorContext* NewTriggerContext(const TORVTriggerContextSettings& Settings) = 0;
  virtual void RestoreContext(TORVEvaluatorContext* SavedContext) = 0;
  // The current context's flags, as the procedural statements of a body
  // left them.
  virtual bool GetContextAborted() = 0;
  virtual bool GetContextRetryAfterException() = 0;
  // Trigger's OldRow and NewRow variables read these rows (either nil)
  // until ReleaseRowVariables.
  virtual void BindRowVariables(TORVTrigger& Trigger, TORVRowValues* OldRowValues,
                                TORVRowValues* NewRowValues) = 0;
  virtual void ReleaseRowVariables(TORVTrigger& Trigger) = 0;
  // A WHEN condition's truth (NULL is not true).
  virtual bool EvaluateCondition(TORVExprToken* Token) = 0;
  // Runs a routine body.
  virtual void EvaluateRoutine(TORVExprToken* Token) = 0;
};

// A trigger's context, current for the scope's life; the replaced one
// comes back on every path.
class TORVTriggerContextScope {
 public:
  TORVTriggerContextScope(TORVTriggerEvaluator& Evaluator, const TORVTriggerContextSettings& Settings)
      : FEvaluator(Evaluator), FSaved(Evaluator.NewTriggerContext(Settings)) {}
  ~TORVTriggerContextScope() { FEvaluator.RestoreContext(FSaved); }
  TORVTriggerContextScope(const TORVTriggerContextScope&) = delete;
  TORVTriggerContextScope& operator=(const TORVTriggerContextScope&) = delete;

 private:
  TORVTriggerEvaluator& FEvaluator;
  TORVEvaluatorContext* FSaved;
};

}  // namespace orv
