// The SQL text builder: turns token trees back into SQL text for messages,
// plans and the text that catalog objects derive from their trees.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/orvtype.h"
#include "core/orvcommon.h"
#include "sql/orvexprtoken.h"

namespace orv {

// Writes the normalised form of a tree: keywords in upper case, names in
// double quotes (a quote inside doubled), one spelling per function, commas
// where the grammar also takes keywords, and parentheses wherever the
// grammar needs them to read the same tree back, whether or not the tree
// carries them. Parsing the built text under the options of the first parse
// gives an equal tree.
//
// One builder serves one session manager or configuration, one caller at a
// time. Text accumulates across Build calls until ClearExpr, and the
// settings stay as the last caller left them (writing a sub-query sets the
// indentation to -1): a caller sets what it relies on, builds, reads
// GetExpressionLiteral and clears.
class TORVExprBuilder : public TORVBaseObject {
 public:
  TORVExprBuilder() = default;

  // Appends the text of an expression tree; nothing for nil.
  void BuildExpr(const TORVExprToken* Token);
  // A query tree; with NoLineBreaks every line break is one blank.
  void BuildQuery(const TORVExprToken* Token, bool NoLineBreaks);
  // A statement: statements other than queries and the data changes write
  // nothing, a control statement or block of a routine writes itself, and
  // a token that is no statement goes to BuildExpr.
  void BuildStatement(const TORVExprToken* Token);
  // The text of a routine node (a function, procedure, script, job or
  // trigger as its entry point parses it): the routine's words, parameters
  // and body, which parses back to the same node.
  void BuildRoutine(const TORVExprToken* Routine);
  // The text of a CREATE or ALTER statement (slots in sql/orvstmtslots.h),
  // which parses back to the same tree under the options of its first
  // parse; nothing for other statements. BuildStatement leaves definitions
  // out: their text is asked for by name.
  void BuildDefinition(const TORVExprToken* Token);
  // The data changes (slots in sql/orvstmtslots.h), each starting with a
  // line break.
  void BuildInsert(const TORVExprToken* Token);
  void BuildUpdate(const TORVExprToken* Token);
  void BuildDelete(const TORVExprToken* Token);

  void ClearExpr() { FStringBuilder.clear(); }
  const TORVString& GetExpressionLiteral() const { return FStringBuilder; }

  bool GetIncludeParameterValues() const { return FIncludeParameterValues; }
  void SetIncludeParameterValues(bool Value) { FIncludeParameterValues = Value; }
  bool GetIncludePlan() const { return FIncludePlan; }
  void SetIncludePlan(bool Value) { FIncludePlan = Value; }
  bool GetIncludePlanCosts() const { return FIncludePlanCosts; }
  void SetIncludePlanCosts(bool Value) { FIncludePlanCosts = Value; }
  bool GetIncludeLineBreaks() const { return FIncludeLineBreaks; }
  void SetIncludeLineBreaks(bool Value) { FIncludeLineBreaks = Value; }
  int32_t GetIndentationLevel() const { return FIndentationLevel; }
  void SetIndentationLevel(int32_t Value) { FIndentationLevel = Value; }

  // The SQL text of a constant's value of the given type: quoted strings,
  // X'..' bytes, DATE/TIME/TIMESTAMP '..', INTERVAL '..' with its
  // qualifier; other types as they are.
  static TORVString FormattedConstant(const TORVString& Value, int32_t DataType, int32_t SubType);

 protected:
  // The text of one node without its operands.
  void BuildToken(const TORVExprToken* Token);
  // Token in a place that needs at least the binding strength MinLevel;
  // parenthesised when it binds more loosely and has no parentheses.
  void BuildOperand(const TORVExprToken* Token, int32_t MinLevel);
  // Token where the grammar reads a single value, an additive expression
  // (a column default) or a whole condition.
  void BuildValue(const TORVExprToken* Token);
  void BuildAdditive(const TORVExprToken* Token);
  void BuildCondition(const TORVExprToken* Token);
  void BuildBinary(const TORVExprToken* Token);
  void BuildExtBinary(const TORVExprToken* Token);
  void BuildFunction(const TORVExprToken* Token);
  void BuildCase(const TORVExprToken* Token);
  void BuildCast(const TORVExprToken* Token);
  void BuildDataType(const TORVExprToken* Token);
  void BuildIntervalType(const TORVExprToken* Token);
  void BuildQualifiedName(const TORVExprToken* Token);
  void BuildCollation(const TORVExprToken* Clause);
  void BuildQueryColumns(const TORVExprToken* Query);
  void BuildQueryInto(const TORVExprToken* Query);
  void BuildQueryFrom(const TORVExprToken* Query);
  void BuildQueryWhere(const TORVExprToken* From, const TORVExprToken* Where);
  void BuildQueryGroup(const TORVExprToken* Query);
  void BuildQueryHaving(const TORVExprToken* Query);
  void BuildQueryOrder(const TORVExprToken* Query);
  void BuildQueryExtensions(const TORVExprToken* Query);
  void BuildSortClause(const TORVExprToken* Clause, std::u16string_view Words, bool Direction);
  void BuildTableRef(const TORVExprToken* Table);
  // Routine text: a block's sections, a statement list, one control
  // statement, the parameters, and a name in a position where a routine of
  // an old engine version kept a constant.
  void BuildBlock(const TORVExprToken* Block);
  void BuildBlockSections(const TORVExprToken* Block);
  void BuildControlList(const TORVExprToken* Clause);
  void BuildControl(const TORVExprToken* Control);
  void BuildRoutineParams(const TORVExprToken* Params);
  void BuildUsing(const TORVExprToken* Using);
  void BuildNameOperand(const TORVExprToken* Token, int32_t MinLevel);
  // Definition text (orvbuilderddl.cpp): one routine per object kind and
  // the clauses they share.
  void BuildOptionalValue(std::u16string_view Word, const TORVExprToken* Value);
  void BuildFlag(const TORVExprToken* Flag, std::u16string_view TrueWords, std::u16string_view FalseWords);
  void BuildNameList(const TORVExprToken* Clause);
  void BuildModuleBacked(const TORVExprToken* Token);
  void BuildDatabaseDef(const TORVExprToken* Token);
  void BuildStoreDef(const TORVExprToken* Token);
  void BuildJobDef(const TORVExprToken* Token);
  void BuildSchedule(const TORVExprToken* Token);
  void BuildTriggerDef(const TORVExprToken* Token);
  void BuildViewDef(const TORVExprToken* Token);
  void BuildIndexDef(const TORVExprToken* Token);
  void BuildTableDef(const TORVExprToken* Token);
  void BuildTableItem(const TORVExprToken* Item, bool Create);
  void BuildTableExtensions(const TORVExprToken* Token);
  void BuildColumnDef(const TORVExprToken* Column);
  void BuildConstraintDef(const TORVExprToken* Constraint);
  void BuildTableConstraint(const TORVExprToken* Constraint);
  void BuildErrorClause(const TORVExprToken* Clause);
  void BuildReferenceRule(std::u16string_view Event, const TORVExprToken* Rule);
  // With IncludePlan: a condition followed by its plan lines, an AND or OR
  // that the optimizer did not treat as a whole split into its operands.
  void BuildConditionPlan(const TORVExprToken* Token);
  // The plan lines of an optimised condition: its scan and any index hint.
  void BuildTokenPlan(const TORVExprToken* Token);
  void BuildPlanHint(const TORVExprToken* Token);
  void NewLine();
  void Indent();
  void Write(std::u16string_view Text) { FStringBuilder += Text; }

  TORVString FStringBuilder;
  bool FIncludeParameterValues = false;
  bool FIncludePlan = false;
  bool FIncludePlanCosts = false;
  int32_t FIndentationLevel = 0;
  bool FIncludeLineBreaks = false;
};

// Slot Index of Token; nil when Token is nil or has no such slot.
const TORVExprToken* TokenSlot(const TORVExprToken* Token, int32_t Index);
// A name in double quotes, each quote inside doubled, single or double, as
// the tokenizer folds both in a quoted name.
TORVString QuotedName(const TORVString& Name);
// A name as it stands when it reads as one identifier, else quoted.
TORVString BareName(const TORVString& Name);

}  // namespace orv
