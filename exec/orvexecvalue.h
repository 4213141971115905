// The values that run something when a node is evaluated: the cursor of a
// table reference, a sub-query, a declared statement and a call of a stored
// routine. The session's evaluator puts them into the nodes that name such
// things; query execution gives them their bodies.
//
// Each is a contained value as well, typed from its node, so that the node
// reads like any other (a scalar sub-query's answer, a function's result).
#pragma once

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvcursorcolumns.h"
#include "catalog/orvcursorrow.h"
#include "core/orvcontainedvalue.h"
#include "core/orvvalues.h"
#include "eval/orvqueryexecvalue.h"

namespace orv {

class TORVCursor;
class TORVExprEvaluator;
class TORVExprToken;
class TORVRowValues;
class TORVStatementManager;

// The common part: the node the value belongs to and the evaluator that
// made it (neither owned).
class TORVExecValue : public TORVContainedValue {
 public:
  TORVExecValue(TORVExprEvaluator* Evaluator, TORVExprToken* Token);

  TORVExprToken* GetToken() const { return FToken; }
  TORVExprEvaluator* GetEvaluator() const { return FEvaluator; }

 protected:
  TORVExprEvaluator* FEvaluator;
  TORVExprToken* FToken;
};

// The cursor of a table reference (ttTABLEREF). Column references read the
// active row's values; the row belongs to the cursor.
class TORVCursorValue : public TORVExecValue, public TORVQueryExecutionValue {
 public:
  using TORVExecValue::TORVExecValue;

  // Opens or refreshes the cursor and reads its first row.
  virtual void Open() = 0;
  // For a cursor over a derived table: make the derived query run again,
  // and reset that view's query manager.
  void Initialize() override = 0;
  void Reset() override = 0;

  TORVRowValues* FActiveRow = nullptr;
};

// A query node that is run as a whole (a query joined to another by UNION,
// EXCEPT or INTERSECT, or any sub-query): prepared once, run at each
// evaluation.
class TORVQueryManagerValue : public TORVExecValue, public TORVQueryExecutionValue {
 public:
  using TORVExecValue::TORVExecValue;

  virtual void Prepare() = 0;
  virtual void Execute() = 0;
  // Sets the query manager's execution count to 0.
  void Initialize() override = 0;
  void Reset() override = 0;
};

// A sub-query whose result row a row value or a comparison reads.
class TORVQueryValue : public TORVQueryManagerValue {
 public:
  using TORVQueryManagerValue::TORVQueryManagerValue;

  // Makes the search of x IN (this query) once the query has run: the
  // result's visible columns in FSubQueryColumns and a value for each in
  // FSubQueryValues, which the evaluator fills with x before it locates.
  virtual void CreateSubQuerySearch() = 0;

  std::unique_ptr<TORVMappedCursorColumns> FSubQueryColumns;
  std::unique_ptr<TORVValues> FSubQueryValues;

  TORVCursor* FResultCursor = nullptr;
  TORVRowValues* FResultCursorRow = nullptr;
};

// A declared statement (ttSTATEMENT) of a procedural block.
class TORVStatementValue : public TORVExecValue {
 public:
  using TORVExecValue::TORVExecValue;

  virtual void Prepare(const TORVString& StatementToPrepare, int32_t StartLine, int32_t StartColumn) = 0;
  virtual void UnPrepare() = 0;
  virtual void Execute(TORVExprToken* ParamsToken, int32_t Line, int32_t Column) = 0;

  // The cursor error (1000) naming CursorName when there is no result
  // cursor, and the statement error (900) naming StatementName when
  // nothing is prepared; both at the caller's Line and Column.
  void CheckCursorOpen(const TORVString& CursorName, int32_t Line, int32_t Column) const;
  void CheckStatementPrepared(const TORVString& StatementName, int32_t Line, int32_t Column) const;
  // The cursor error when the open cursor has no current row.
  void CheckCursorRow(const TORVString& CursorName, int32_t Line, int32_t Column) const;
  // The cursor error for a FETCH or INSERT whose targets or values do not
  // match the cursor's columns (StatementWord names the statement).
  [[noreturn]] static void CursorColumnsError(const TORVString& CursorName, const TORVString& StatementWord,
                                              int32_t Line, int32_t Column);
  // Frees the result row; frees the result cursor with FreeCursor, else
  // only forgets it (a cursor handed to a routine's caller).
  virtual void FreeResultCursor(bool FreeCursor) = 0;

  TORVStatementManager* FStatementManager = nullptr;
  bool FWantLiveResult = false;
  TORVCursor* FResultCursor = nullptr;
  // The row of the result cursor that FETCH and the cursor statements
  // read and write; made with the cursor, owned here.
  std::unique_ptr<TORVCursorRow> FResultCursorRow;
};

// A call of a stored procedure or function (ttPROCREF, ttFUNCREF of a
// stored function): prepared once, then run with the node's evaluated
// arguments as its parameters.
class TORVRoutineValue : public TORVExecValue {
 public:
  using TORVExecValue::TORVExecValue;

  virtual void Prepare(const TORVString& Name) = 0;
  virtual void Execute(TORVExprToken* ParamsToken) = 0;
};

}  // namespace orv
