// The shared halves of the catalog and filter callbacks of a compiled
// expression: what every implementation does with a token once it has found
// the catalog object behind it. Implementations map their own objects onto
// the plain column descriptors used here.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "base/orvtype.h"
#include "sql/orvexprtoken.h"
#include "sql/orvparseroptions.h"

namespace orv {

class TORVCompiledExpr;
class TORVExprBuilder;
class TORVExprParser;

// Binds the session's or configuration's Parser to Expr and parses Expr's
// whole text as one expression under Options: the Parse of every catalog and
// filter expression is this call with the options its context permits.
TORVExprToken* ParseExprWithOptions(TORVExprParser& Parser, TORVCompiledExpr& Expr, TORVParseOptions Options);

// The same for a text that is one query (a view's definition, for example).
TORVExprToken* ParseQueryWithOptions(TORVExprParser& Parser, TORVCompiledExpr& Expr, TORVParseOptions Options);

// The text of Token (a statement, query or expression) as the Build of every
// catalog and filter expression gives it: the configuration's Builder with
// indentation -1, no line breaks and the three flags. The builder's text is
// cleared before and after, so that nothing of an earlier use leaks in.
TORVString BuildExprText(TORVExprBuilder& Builder, const TORVExprToken* Token, bool Plan, bool PlanCosts,
                         bool ShowParameterValues);

// A table or view column, or a routine parameter, as the compiler needs it.
struct TORVColumnDescriptor {
  TORVString Name;
  TORVString Description;
  // For a view column: the base column it comes from; empty otherwise.
  TORVString OriginName;
  int32_t DataType = 0;
  int32_t SubType = 0;
  int32_t Length = 0;
  int32_t Scale = 0;
  int32_t Collation = 0;
  int32_t Position = 0;
  // For a view column: the base column's position; -1 when there is none.
  int32_t OriginPosition = -1;
  bool Hidden = false;
};

// The columns of the table or view that a FROM table reference names.
using TORVTableColumnsFunc = std::function<std::vector<TORVColumnDescriptor>(TORVExprToken* TableRef)>;

// Types a reference from its column: position (the origin's when there is
// one), description, data type, subtype, length, scale and collation as
// they are, and, for a view column, the base column's name.
void AssignColumnToToken(TORVExprToken* Token, const TORVColumnDescriptor& Column);

// A new parameter declaration (owned by the caller) typed like Param, or nil
// when Index is outside Params.
TORVExprToken* MakeParamToken(const std::vector<TORVColumnDescriptor>& Params, int32_t Index);

// Replaces the wildcard select column StarColumn, found at Position in the
// select clause of Query, by one select column per visible column of
// TableRef (of every FROM table in order when TableRef is nil). Each new
// column holds a column reference bound to its FROM table and typed like the
// column; Position ends after the inserted columns. The star column is freed
// only once every column list has been read, so a failing look-up leaves the
// query as it was.
void ExpandSelectColumns(TORVExprToken* Query, TORVExprToken* TableRef, int32_t& Position,
                         TORVExprToken* StarColumn, const TORVTableColumnsFunc& ColumnsOf);

// Appends to the INSERT column list one column reference per column of the
// target table, in column order.
void ExpandInsertColumns(TORVExprToken* TableRef, TORVExprToken* ColumnsClause,
                         const std::vector<TORVColumnDescriptor>& Columns);

// Runs a validation; when it raises, Unlock releases what it had locked and
// the validation's error passes on (a failure of Unlock itself gives way to
// it).
void RunValidation(const std::function<void()>& Validate, const std::function<void()>& Unlock);

}  // namespace orv
