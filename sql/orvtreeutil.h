// Stateless routines over token trees shared by the parser, the compiled
// expression, the validater and the optimizer: comparison nodes and their
// reversal and negation, NOT removal, questions about what an expression or
// a query contains, and the enclosing query, block or routine of a node.
#pragma once

#include <cstdint>
#include <vector>

#include "sql/orvexprtoken.h"

namespace orv {

// Argument Index of Token; nil for a nil Token or a slot it does not have.
inline TORVExprToken* SlotOf(const TORVExprToken* Token, int32_t Index) {
  return Token != nullptr && Index >= 0 && Index < Token->GetNumArguments() ? Token->GetArgument(Index) : nullptr;
}

// A new Boolean binary node over Left and Right, owned by the caller.
TORVExprToken* CreateBinaryToken(TORVTokenOperator Operator, TORVExprToken* Left, TORVExprToken* Right);
// The comparison that holds with the operands exchanged (< becomes >).
void ReverseBinaryOperator(TORVExprToken* Token);
void ReverseBinaryTokens(TORVExprToken* Token);
void ReverseBinaryTokenOperator(TORVExprToken* Token);
// AND and OR exchange, comparisons are negated, other operators stay.
void FlipBinaryOperator(TORVExprToken* Token);
// BETWEEN, CONTAINS, CONTAINS ANY, IN, IS NULL and LIKE exchange with
// their negated forms.
void FlipExtBinaryOperator(TORVExprToken* Token);
// Exchanges two operands of different parents.
void SwitchTokens(TORVExprToken* Token1, TORVExprToken* Token2);
// The condition without NOT nodes, negations pushed down to the
// comparisons; the result replaces Token in its parent (its parent link is
// set). A negated condition that cannot take the negation itself (a
// constant, a function, a parameter, a Boolean column) keeps it as a NOT
// node, so the meaning never changes. Freed nodes: every NOT that was
// pushed down and every dropped unary minus.
TORVExprToken* RemoveNots(TORVExprToken* Token, bool Negate);

// Predicates over an expression. The walk follows binary and unary
// operands and the arguments of extended binary nodes, function calls and
// row values; it does not enter sub-queries.
bool ContainsFunctions(const TORVExprToken* Token);
bool ContainsColumns(const TORVExprToken* Token);
bool ContainsAllColumnReferences(const TORVExprToken* Token);
bool ContainsCorrelatedColumns(const TORVExprToken* Token);
bool ContainsSelectColumns(const TORVExprToken* Token);
bool ContainsAggregates(const TORVExprToken* Token);
bool ContainsQueries(const TORVExprToken* Token);
bool ContainsCorrelatedQueries(const TORVExprToken* Token);
// Walks further than the others: into joins and the clauses of queries.
bool ContainsInputParams(const TORVExprToken* Token);

// Predicates over a query node.
bool ContainsMultipleTables(const TORVExprToken* Query);
bool ContainsWhereClause(const TORVExprToken* Query);
bool ContainsNoJoinOptimizeClause(const TORVExprToken* Query);
bool ContainsJoinOptimizeCostsClause(const TORVExprToken* Query);
bool ContainsJoinIndexThreshholdClause(const TORVExprToken* Query);
// The JOININDEXTHRESHHOLD percentage as a factor; 0 without the clause.
double GetJoinIndexThreshhold(const TORVExprToken* Query);

// The operand that starts first in the text.
TORVExprToken* GetLeftMostToken(TORVExprToken* Token);
TORVExprToken* GetParentQueryToken(TORVExprToken* Token);
// The nearest enclosing query that is not merged into another.
TORVExprToken* GetMergeParentQueryToken(TORVExprToken* Token);
// The outermost query around Token, not leaving a derived table.
TORVExprToken* GetOuterQueryToken(TORVExprToken* Token);
// The first column reference after After in the text, walking in operand
// order; the first one for a nil After.
TORVExprToken* GetColumnToken(TORVExprToken* Token, const TORVExprToken* After);
// The column references under Token that GetColumnToken gives one after
// the other, from the first one on.
std::vector<TORVExprToken*> ColumnsOf(TORVExprToken* Token);
// A combination of columns of two tables of one query that is not a join
// comparison.
bool ReferencesMultipleTables(TORVExprToken* Token);
// Join lists. Every FROM table holds, in its joins clause, the joins that
// start at it; a join's FTargetToken is the table it joins in. These keep
// that structure consistent when joins are reordered and turned around.
//
// The FROM table whose join list holds a join of JoinOperator targeting
// TableToken; nil when none does.
TORVExprToken* GetParentTableToken(TORVExprToken* Query, TORVTokenOperator JoinOperator, TORVExprToken* TableToken);
// FROM table i gets FPosition i; with IncludeJoins, join j of every table's
// list gets FPosition j.
void SetTablePositions(TORVExprToken* Query, bool IncludeJoins);
// Whether a column of the condition that matters for joining (a comparison
// operand, a function, list or row member) is bound to TableToken.
bool ExpressionDependsUponTable(TORVExprToken* Expression, const TORVExprToken* TableToken);
bool JoinDependsUponTable(TORVExprToken* Join, const TORVExprToken* TableToken);
// Where Join goes in TableToken's join list: after the last join whose
// target it depends on, else (an inner join) in front of the first outer
// join, else first.
int32_t GetJoinPosition(TORVExprToken* TableToken, TORVExprToken* Join);
// Reverses every comparison of a join condition, so that it reads from the
// other table.
void FlipJoinTokens(TORVExprToken* Expression);
// Whether a join other than Join, in any table's list, targets TableToken.
bool TargetOfJoin(TORVExprToken* Query, const TORVExprToken* Join, const TORVExprToken* TableToken);
bool TargetOfInnerJoin(TORVExprToken* Query, const TORVExprToken* TableToken);
// Whether a JoinOperator join targets TableToken or a table that TableToken
// is inner-joined from, following inner joins backwards.
bool TargetOfOuterJoin(TORVExprToken* Query, TORVTokenOperator JoinOperator, TORVExprToken* TableToken);
// Turns the join that leads to TableToken (a JoinOperator join, else a
// cross join) around so that it starts at TableToken, after first turning
// around the join that leads to its table; a right outer join becomes a
// left outer one. False when no join leads to TableToken.
bool FlipJoins(TORVExprToken* Query, TORVTokenOperator JoinOperator, TORVExprToken* TableToken, bool KeepPosition);
// With Move, Table2 moves to Table1's place; without, the two exchange
// places. The FROM tables are renumbered.
void FlipTables(TORVExprToken* Query, TORVExprToken* Table1, TORVExprToken* Table2, bool Move);
// A join's condition may refer only to its own table, the tables before it
// and its target.
bool ValidateTableJoinPosition(TORVExprToken* Query, TORVExprToken* TableToken, TORVExprToken* Join);
bool ValidateTablePositions(TORVExprToken* Query);

TORVExprToken* GetParentRoutineToken(TORVExprToken* Token);
TORVExprToken* GetParentBlockToken(TORVExprToken* Token);

// Optimization level (0 scan, 1 partly, 2 fully index-served) of an AND and
// of an OR of two conditions.
int32_t EvaluateAndOptimizeTypes(int32_t Type1, int32_t Type2);
int32_t EvaluateOrOptimizeTypes(int32_t Type1, bool IsTextSearch1, int32_t Type2, bool IsTextSearch2);
// CONTAINS, CONTAINS ANY and their negations.
bool IsTextSearchToken(const TORVExprToken* Token);
// AVG, COUNT, LIST, MAX, MIN, RUNSUM, STDDEV, SUM and SUMSQUARE.
bool IsAggregateOperator(TORVTokenOperator Operator);
// =, >=, >, <=, < and <>.
bool IsComparisonOperator(TORVTokenOperator Operator);

}  // namespace orv
