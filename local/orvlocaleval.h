// The evaluator of a local session. On top of the base evaluator it keeps
// the current evaluation context, binds every naming node to its run-time
// value (local/orvlocalvalue.h, exec/orvexecvalue.h), prepares routine calls
// and sub-queries once, passes parameters, keeps filters' cached bitmaps
// honest, saves declarations' values across recursion, and dispatches
// control, administration and DDL statements through tables.
// local/README.md describes the road a call takes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/orvtype.h"
#include "core/orvparam.h"
#include "core/orvvalues.h"
#include "eval/orveval.h"
#include "eval/orvtriggereval.h"
#include "local/orvevalcontext.h"

namespace orv {

class TORVVirtualTable;

class TORVLocalExprEvaluator : public TORVExprEvaluator, public TORVTriggerEvaluator {
 public:
  using TORVStatementRoutine = void (TORVLocalExprEvaluator::*)(TORVExprToken* Token);
  // Object kinds 1 .. ObjectKindCount (the statement node's FTokenID).
  static constexpr int32_t ObjectKindCount = 25;
  using TORVControlTable = std::array<TORVStatementRoutine, ControlsTableCount>;
  using TORVStatementsTable = std::array<TORVStatementRoutine, StatementsTableCount>;
  using TORVObjectKindTable = std::array<TORVStatementRoutine, ObjectKindCount>;

  explicit TORVLocalExprEvaluator(int32_t CharacterSetToUse);
  ~TORVLocalExprEvaluator() override;

  std::unique_ptr<TORVExprEvaluator> Create(int32_t CharacterSetToUse) const override;

  // A copy of ContextToAssign becomes current; returns the previous one.
  // Every NewContext is matched by RestoreContext(the answer), which frees
  // the copy and makes the saved one current again: use TORVContextScope.
  TORVEvaluatorContext* NewContext(const TORVEvaluatorContext& ContextToAssign);
  void RestoreContext(TORVEvaluatorContext* SavedContext) override;
  // Nil outside every bracketed call.
  TORVEvaluatorContext* GetContext() const { return FContext; }

  // Saves the node's value (possibly none) and clears it, so that the next
  // GetValue makes a fresh one; PopValue frees the fresh one and gives the
  // saved one back. Nothing happens on an empty stack.
  void PushValue(TORVExprToken* Token);
  void PopValue(TORVExprToken* Token);
  int32_t GetValueStackCount() const { return FValueStack.GetCount(); }

  // The context's notification event, when there is a context and an event.
  void Notify(TORVExprToken* Token, const EORVException* Exception);

  // The table a column-reference node belongs to: the context's current
  // table for a column without a source table node, else the table its
  // source node names in the current database's catalog (temporary ones
  // included; not found raises the catalog's error).
  TORVVirtualTable* GetTableRef(TORVExprToken* Token);

  // Every argument of a call node.
  void EvaluateParams(TORVExprToken* Token);
  // Before a call: input and input/output parameters from the node's
  // evaluated arguments (an untyped one takes its argument's type);
  // parameters beyond the arguments become NULL.
  void AssignInputParams(TORVExprToken* Token, TORVParamValues& Params);
  // After a call: the arguments of output, input/output and result
  // parameters from them (an untyped argument takes the parameter's type).
  void AssignOutputParams(TORVExprToken* Token, TORVParamValues& Params);

  // Frees the cached bitmaps of a condition whose dynamic parameters or
  // outer columns changed since the bitmap was built (every bitmap with
  // Force), and of every node above a changed one.
  void UpdateBitmapValues(TORVExprToken* Token, bool Force);
  // Whether anything under Token changed.
  bool UpdateNextTokenBitmapValue(TORVExprToken* Token, bool Force);
  // The copy of the node's value that its bitmap was built with.
  void CreateBitmapValue(TORVExprToken* Token);
  void FreeBitmapValue(TORVExprToken* Token);

  void GetValue(TORVExprToken* Token) override;
  void InitializeValue(TORVExprToken* Token) override;

  // Trigger execution. A trigger's context starts from the current one
  // (when there is one) with the flags of statements cleared.
  void InitializeCompiled(TORVExprToken* Token) override { Initialize(Token); }
  void ResetCompiled(TORVExprToken* Token) override { Reset(Token); }
  TORVEvaluatorContext* NewTriggerContext(const TORVTriggerContextSettings& Settings) override;
  bool GetContextAborted() override;
  bool GetContextRetryAfterException() override;
  void BindRowVariables(TORVTrigger& Trigger, TORVRowValues* OldRowValues, TORVRowValues* NewRowValues) override;
  void ReleaseRowVariables(TORVTrigger& Trigger) override;
  bool EvaluateCondition(TORVExprToken* Token) override;
  // Routine bodies cannot run in this build yet: the statement error.
  void EvaluateRoutine(TORVExprToken* Token) override;

  // Runs a control statement (ttCONTROL) or an administration or DDL
  // statement (ttSTATEMENT) through its table. An operator without a
  // routine raises the statement error (900) naming the statement.
  void DispatchControl(TORVExprToken* Token);
  void DispatchStatement(TORVExprToken* Token);

  // The DDL verbs: the routine of the node's object kind in their table;
  // a kind without one (2, or outside 1 .. 25, a stored tree can carry any
  // number) raises the statement error naming statement and kind.
  void EvaluateCREATE(TORVExprToken* Token);
  void EvaluateALTER(TORVExprToken* Token);
  void EvaluateDROP(TORVExprToken* Token);
  void EvaluateRENAME(TORVExprToken* Token);
  void EvaluateENABLE(TORVExprToken* Token);
  void EvaluateDISABLE(TORVExprToken* Token);
  void EvaluateRESET(TORVExprToken* Token);
  void EvaluateSETDYN(TORVExprToken* Token);

 protected:
  // The run-time values of query execution, made for their nodes. Until
  // query execution provides them they raise the statement error: no node
  // is bound to a value that cannot run.
  virtual std::unique_ptr<TORVValue> CreateCursorValue(TORVExprToken* Token);
  virtual std::unique_ptr<TORVValue> CreateQueryValue(TORVExprToken* Token);
  virtual std::unique_ptr<TORVValue> CreateQueryManagerValue(TORVExprToken* Token);
  virtual std::unique_ptr<TORVValue> CreateStatementValue(TORVExprToken* Token);
  virtual std::unique_ptr<TORVValue> CreateRoutineValue(TORVExprToken* Token);

  // Calls Table's routine of the node's object kind.
  void DispatchObjectKind(const TORVObjectKindTable& Table, TORVExprToken* Token);

  TORVControlTable FControlTable{};
  TORVStatementsTable FStatementsTable{};
  TORVObjectKindTable FCreateStatementsTable{};
  TORVObjectKindTable FAlterStatementsTable{};
  TORVObjectKindTable FDropStatementsTable{};
  TORVObjectKindTable FRenameStatementsTable{};
  TORVObjectKindTable FEnableStatementsTable{};
  TORVObjectKindTable FDisableStatementsTable{};
  TORVObjectKindTable FResetStatementsTable{};
  TORVObjectKindTable FSetStatementsTable{};

 private:
  void BuildControlTable();
  void BuildStatementsTable();
  // The per-kind tables are filled as their routines are built; until then
  // every entry is empty.
  void BuildCreateStatementsTable() {}
  void BuildAlterStatementsTable() {}
  void BuildDropStatementsTable() {}
  void BuildRenameStatementsTable() {}
  void BuildEnableStatementsTable() {}
  void BuildDisableStatementsTable() {}
  void BuildResetStatementsTable() {}
  void BuildSetStatementsTable() {}
  void CallStatementRoutine(TORVStatementRoutine Routine, TORVExprToken* Token);

  // Saved node values; owned, nil entries stand for nodes that had none.
  TORVValues FValueStack;
  TORVEvaluatorContext* FContext = nullptr;
  // The contexts NewContext made, innermost last, each with the context it
  // replaced; each is current until its RestoreContext.
  struct TOwnedContext {
    std::unique_ptr<TORVEvaluatorContext> Context;
    TORVEvaluatorContext* Saved;
  };
  std::vector<TOwnedContext> FOwnedContexts;
};

// Brackets one evaluation in a copy of a caller's context: the copy is
// current for the scope's life and the saved context comes back on every
// path, an exception included.
class TORVContextScope {
 public:
  TORVContextScope(TORVLocalExprEvaluator& Evaluator, const TORVEvaluatorContext& Context)
      : FEvaluator(Evaluator), FSaved(Evaluator.NewContext(Context)) {}
  ~TORVContextScope() { FEvaluator.RestoreContext(FSaved); }
  TORVContextScope(const TORVContextScope&) = delete;
  TORVContextScope& operator=(const TORVContextScope&) = delete;

 private:
  TORVLocalExprEvaluator& FEvaluator;
  TORVEvaluatorContext* FSaved;
};

}  // namespace orv
