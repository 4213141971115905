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
#include <utility>
#include <vector>

#include "base/orvtype.h"
#include "core/orvparam.h"
#include "core/orvvalues.h"
#include "eval/orveval.h"
#include "eval/orvtriggereval.h"
#include "exec/orvexecvalue.h"
#include "local/orvevalcontext.h"

namespace orv {

class TORVBaseTable;
class TORVCursor;
class TORVLocalDatabaseManager;
class TORVStatementValue;
class TORVVirtualTable;

class TORVLocalExprEvaluator : public TORVExprEvaluator, public TORVTriggerEvaluator {
 public:
  using TORVStatementRoutine = void (TORVLocalExprEvaluator::*)(TORVExprToken* Token);
  // A control statement answers nil to carry on with the next statement,
  // or the ITERATE, LEAVE, RAISE or RETRY node that transfers control; the
  // blocks and loops pass it outward until the one it names (its
  // FSourceToken, compared by identity) consumes it.
  using TORVControlRoutine = TORVExprToken* (TORVLocalExprEvaluator::*)(TORVExprToken* Token);
  // Object kinds 1 .. ObjectKindCount (the statement node's FTokenID).
  static constexpr int32_t ObjectKindCount = 25;
  using TORVControlTable = std::array<TORVControlRoutine, ControlsTableCount>;
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

  // Procedural blocks (orvlocalblock.cpp). EvaluateRoutine runs a routine
  // node's body in the current context, clearing its flags first; a
  // database that a USE in the body opened is closed however it ends.
  void EvaluateRoutine(TORVExprToken* Token) override;
  // Declares, runs the statements, assigns a RETURN, runs FINALLY, and
  // handles engine errors in an EXCEPTION clause; the declarations are
  // popped however the block ends. Answers the transfer leaving it.
  TORVExprToken* EvaluateBlock(TORVExprToken* Block);
  // The statements of one clause of a block, in order; ReRaise asks the
  // caller to raise the current exception again (a bare RAISE).
  TORVExprToken* EvaluateBlockStatements(TORVExprToken* Clause, bool& ReRaise);
  // A new engine error from the context's current exception; nothing
  // without one.
  void ReRaiseCurrentException();
  // After a procedure ran: the cursor of its WITH RETURN declaration
  // (Token is the routine's RoutineResultCursorSlot, nil for none). The
  // statement value leaves its node, which gets the value it had before
  // the call back. With Keep and an open result cursor the answer holds
  // the cursor and the statement value it needs, which has forgotten it
  // without closing it; otherwise the statement value is freed and the
  // answer is empty.
  struct TORVReturnedCursor {
    TORVCursor* Cursor = nullptr;
    std::unique_ptr<TORVStatementValue> StatementValue;
  };
  TORVReturnedCursor EvaluateReturnCursor(TORVExprToken* Token, bool Keep);

  // Statements (orvlocalcontrol.cpp). EvaluateExpression evaluates a
  // condition or value on its own, telling the notification event before
  // and on an engine error; nothing under the stop state.
  void EvaluateExpression(TORVExprToken* Token);
  // A control statement through its table, with the notifications (IF,
  // CASE and WHILE notify per condition instead); nil under the stop
  // state.
  TORVExprToken* EvaluateControl(TORVExprToken* Token);
  // An administration or DDL statement, without notifications.
  void EvaluateStatement(TORVExprToken* Token) { DispatchStatement(Token); }

  // Runs a control statement (ttCONTROL) or an administration or DDL
  // statement (ttSTATEMENT) through its table. An operator without a
  // routine raises the statement error (900) naming the statement.
  TORVExprToken* DispatchControl(TORVExprToken* Token);
  void DispatchStatement(TORVExprToken* Token);

  // The control statements.
  TORVExprToken* EvaluateABORT(TORVExprToken* Token);
  TORVExprToken* EvaluateCALL(TORVExprToken* Token);
  // IF and CASE: the block of the first true condition, or of ELSE.
  TORVExprToken* EvaluateIF(TORVExprToken* Token);
  TORVExprToken* EvaluateCASE(TORVExprToken* Token) { return EvaluateIF(Token); }
  TORVExprToken* EvaluateFOR(TORVExprToken* Token);
  TORVExprToken* EvaluateLOOP(TORVExprToken* Token);
  // After an ITERATE naming it, REPEAT evaluates its UNTIL condition for
  // that pass too, so the loop never tests a stale or unmade value.
  TORVExprToken* EvaluateREPEAT(TORVExprToken* Token);
  TORVExprToken* EvaluateWHILE(TORVExprToken* Token);
  // ITERATE, LEAVE, RAISE and RETRY answer their own node.
  TORVExprToken* EvaluateTransfer(TORVExprToken* Token) { return Token; }
  TORVExprToken* EvaluateSET(TORVExprToken* Token);
  // The dynamic statements and cursors (orvlocalcursorstmt.cpp), on the
  // statement value of the declaration their reference names.
  TORVExprToken* EvaluatePREPARE(TORVExprToken* Token);
  TORVExprToken* EvaluateUNPREPARE(TORVExprToken* Token);
  TORVExprToken* EvaluateEXECUTE(TORVExprToken* Token);
  TORVExprToken* EvaluateOPEN(TORVExprToken* Token);
  TORVExprToken* EvaluateCLOSE(TORVExprToken* Token);
  // FETCH and INSERT INTO a cursor refuse more targets or values than the
  // cursor has columns with the cursor columns error.
  TORVExprToken* EvaluateFETCH(TORVExprToken* Token);
  TORVExprToken* EvaluateREFRESH(TORVExprToken* Token);
  TORVExprToken* EvaluateINSERTCURSOR(TORVExprToken* Token);
  // A value that fails cancels the row edit before the error passes on.
  TORVExprToken* EvaluateUPDATECURSOR(TORVExprToken* Token);
  TORVExprToken* EvaluateDELETECURSOR(TORVExprToken* Token);

  // The aggregates of a query (orvlocalaggregate.cpp): each accumulates
  // in its column of the current result row, the group of the source row
  // being evaluated. NULL values are skipped; a DISTINCT form skips values
  // its group has already seen.
  void EvaluateCOUNT(TORVExprToken* Token) override;
  void EvaluateSUM(TORVExprToken* Token) override;
  void EvaluateMIN(TORVExprToken* Token) override;
  void EvaluateMAX(TORVExprToken* Token) override;
  void EvaluateSUMSQUARE(TORVExprToken* Token) override;
  void EvaluateLIST(TORVExprToken* Token) override;

  // Sub-queries, table references and routine calls (orvlocalfunctions.cpp)
  // run through the values query execution binds to their nodes. A CALL
  // runs its procedure as EvaluateFuncRef runs a function.
  void EvaluateQuery(TORVExprToken* Token) override;
  void EvaluateTableRef(TORVExprToken* Token) override;
  void EvaluateFuncRef(TORVExprToken* Token) override;
  void EvaluateProcRef(TORVExprToken* Token);
  void EvaluateExistsQuery(TORVExprToken* QueryToken, TORVExprToken* ExistsToken) override;
  // x IN (sub-query): a search of the sub-query's result for x, each
  // element of a row value in its column; case-insensitive when x's
  // collation ignores case.
  void EvaluateInQuery(TORVExprToken* Left, int32_t PartialLength, TORVExprToken* InToken,
                       TORVExprToken* QueryToken) override;
  // The text searches decide each row on the words of the column's value,
  // built by the column's text index (orvlocaltext.cpp). A column without
  // a text index contains nothing.
  void EvaluateContainsText(TORVExprToken* Column, TORVExprToken* SearchText, TORVExprToken* Token) override;
  void EvaluateContainsAnyText(TORVExprToken* Column, TORVExprToken* SearchText, TORVExprToken* Token) override;
  // The attribute, error and session functions.
  void EvaluateError(TORVExprToken* Token) override;
  void EvaluateABORTED(TORVExprToken* Token) override;
  void EvaluateCursorAttribute(TORVExprToken* Token) override;
  void EvaluateStatementAttribute(TORVExprToken* Token) override;
  void EvaluateCARDINALITY(TORVExprToken* Token) override;
  void EvaluateCURCOMPUTER(TORVExprToken* Token) override;
  void EvaluateCURDATABASE(TORVExprToken* Token) override;
  void EvaluateCURSESSIONID(TORVExprToken* Token) override;
  void EvaluateCURUSER(TORVExprToken* Token) override;
  void EvaluateCURVERSION(TORVExprToken* Token) override;
  void EvaluateINTRANS(TORVExprToken* Token) override;
  void EvaluateLASTIDENTITY(TORVExprToken* Token) override;
  void EvaluateLOADINGUPDATES(TORVExprToken* Token) override;
  // NULL while rows are loaded or verified.
  void EvaluateOPERATION(TORVExprToken* Token) override;

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
  // Blocks (orvlocalblock.cpp).
  TORVExprToken* EvaluateBlockBody(TORVExprToken* Block);
  TORVExprToken* EvaluateHandler(TORVExprToken* Handler, const EORVException& Exception);
  void EvaluateReturn(TORVExprToken* Return);
  void EvaluateDeclarations(TORVExprToken* Clause);
  void EvaluateDeclaration(TORVExprToken* Declare);
  void PopDeclarations(TORVExprToken* Clause, int32_t Count);
  void PopDeclaration(TORVExprToken* Declare);
  // Pops the first Count names of a clause of declared names, last first.
  void PopNames(TORVExprToken* Names, int32_t Count);
  // Whether the stop state is set.
  bool Stopped() const { return FContext != nullptr && FContext->FEvaluationState == esStop; }
  // A condition's Boolean; NULL is not true.
  bool ConditionHolds(TORVExprToken* Condition);
  // The statement value of the declaration a cursor or statement
  // reference names (evaluation does not open it).
  TORVStatementValue& ReferencedStatement(TORVExprToken* Reference);
  // Opened cursor of a cursor reference, with its row when NeedRow.
  TORVStatementValue& OpenCursor(TORVExprToken* Reference, bool NeedRow);
  // The number that keys the current result row's value sets.
  int32_t GetResultRowNumber() const;
  // MIN (Sign -1) and MAX (Sign 1).
  void EvaluateExtreme(TORVExprToken* Token, int32_t Sign);
  // Every search word in the column's words (AnyWord False), or one.
  bool SearchText(TORVExprToken* Column, TORVExprToken* SearchText, bool AnyWord);
  // The context, which every session function needs.
  TORVEvaluatorContext& CurrentContext() const;
  // The current database, with its catalog.
  TORVLocalDatabaseManager& CurrentDatabase() const;
  // The table argument 0 names in the current database's default schema.
  TORVBaseTable* EvaluateTableArgument(TORVExprToken* Token);
  // The statement value behind the cursor or statement reference in
  // argument 0, evaluated; nil when it has none.
  TORVStatementValue* EvaluateStatementArgument(TORVExprToken* Token);
  // Evaluates argument 0 of an aggregate; False for NULL.
  bool EvaluateAggregated(TORVExprToken* Token);

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
  // The EXCEPTION clauses running, innermost last: a nested clause that
  // ends gives its context back the exception of the enclosing one.
  int32_t FHandlerDepth = 0;
  // The values a WITH RETURN cursor's statement node had before its block,
  // taken off the value stack at the block's end and given back when
  // EvaluateReturnCursor detaches the returned value; innermost last.
  std::vector<std::pair<TORVExprToken*, std::unique_ptr<TORVValue>>> FReturnCursorSaved;
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
