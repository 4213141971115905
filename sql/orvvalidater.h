// The validater: the second stage of compilation. It walks the token tree
// that the parser built, binds every name through the callbacks of the
// compiled expression being compiled, gives every expression node its data
// type, subtype, length, scale and collation, and refuses what the typing
// rules of the language forbid.
//
// The members fall into groups, each in its own source file:
//   orvvalidater.cpp      the object, its dispatch tables, the error
//                         routines, the type sets and every operand check
//   orvvalidateexpr.cpp   the entry points and the recursive walk over
//                         expressions, with the result types of operators
//   orvvalidatebind.cpp   name binding: columns, declarations, dynamic
//                         parameters and the catalog forwarders
//   orvvalidatefunc.cpp   the validators of built-in and user-defined
//                         function calls
//   orvvalidatetype.cpp   data types as written in definitions and casts
//   orvvalidatequery.cpp  whole queries: FROM tables, select lists,
//                         grouping, ordering and merged queries
//   orvvalidatejoin.cpp   join order and the push-down of conditions to
//                         the tables they concern
//   orvvalidatestmt.cpp   statements: data changes, definitions and
//                         administration
//   orvvalidateproc.cpp   routines, blocks, declarations, data types,
//                         assignment targets and control statements
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "base/orvtype.h"
#include "core/orvcommon.h"
#include "sql/orvexprtoken.h"

namespace orv {

class TORVCompiledExpr;
class TORVExprValidater;

// A set of data type or subtype codes (0 to 255). A token passes a pair of
// sets when its data type is in the first and its subtype in the second;
// a code outside 0 to 255 is never a member.
using TORVTypeCodeSet = TORVSet<int32_t, 256>;

// True when Code is a member; codes outside the set's range are not.
bool TypeSetContains(const TORVTypeCodeSet& Set, int32_t Code);

// The named sets of the typing rules. Subtype 0 stands for every type
// without subtypes, so a subtype set that admits such types holds it.
const TORVTypeCodeSet& AllTypeSet();       // every type 1 to 14
const TORVTypeCodeSet& IntegerTypeSet();   // SmallInt, Integer, BigInt
const TORVTypeCodeSet& NumericTypeSet();   // the integer types, Float, Decimal
const TORVTypeCodeSet& DateTimeTypeSet();  // Date, Time, Timestamp
const TORVTypeCodeSet& IntervalTypeSet();  // year-month and day-time intervals
const TORVTypeCodeSet& AllSubTypeSet();
const TORVTypeCodeSet& NoSubTypeSet();           // 0 alone
const TORVTypeCodeSet& CharacterSubTypeSet();    // VarChar, Char, GUID
const TORVTypeCodeSet& YearMonthSubTypeSet();    // Year, Year To Month, Month
const TORVTypeCodeSet& DayTimeSubTypeSet();      // every day-time subtype
const TORVTypeCodeSet& TimeOfDaySubTypeSet();    // day-time leading with Hour, Minute, Second or MSecond
const TORVTypeCodeSet& SingleFieldSubTypeSet();  // 0 and the single-field interval subtypes

// Year or Month, or Day, Hour, Minute, Second or MSecond alone.
bool IsSingleFieldInterval(int32_t DataType, int32_t SubType);
// A day-time interval subtype leading with Hour, Minute, Second or MSecond.
bool IsTimeOfDayInterval(int32_t SubType);

// The validator of one construct, called through a dispatch table with the
// node to validate. An empty entry means that the generic walk is all the
// construct needs.
using TORVValidateMethod = void (TORVExprValidater::*)(TORVExprToken* Token);

// One validater serves one owner (a configuration object, a column list, a
// session manager), which serialises its use; it takes no locks itself.
// Nothing is kept between two validations but what Initialize sets, and a
// validation may run inside another on the same validater (the outer
// expression is kept in FLastExpr and restored when the inner one ends).
//
// Every error is raised at once through the error routines below, as the
// SQL error 700 of the expression being validated, at the line and column
// of the leftmost token of the offending node; nothing is rolled back in the
// tree. Validation mutates the tree: types, sources, dynamic-parameter
// declarations and the Boolean rewrite of filters.
class TORVExprValidater : public TORVBaseObject {
 public:
  // Fills the three dispatch tables.
  TORVExprValidater();

  TORVCompiledExpr* GetExpr() const { return FExpr; }
  void SetExpr(TORVCompiledExpr* Value) { FExpr = Value; }
  // The type the whole expression must have; 0 for any.
  int32_t GetRequiredDataType() const { return FRequiredDataType; }
  void SetRequiredDataType(int32_t Value) { FRequiredDataType = Value; }
  int32_t GetRequiredSubType() const { return FRequiredSubType; }
  void SetRequiredSubType(int32_t Value) { FRequiredSubType = Value; }
  // Whether Boolean and integer operands of conditions become comparisons
  // with TRUE (filters).
  bool GetTransformBooleans() const { return FTransformBooleans; }
  void SetTransformBooleans(bool Value) { FTransformBooleans = Value; }
  // The direction of the dynamic parameters declared from now on.
  TORVTokenOperator GetParamOperator() const { return FParamOperator; }
  void SetParamOperator(TORVTokenOperator Value) { FParamOperator = Value; }

  // ---- Entry points (orvvalidateexpr.cpp)
  //
  // The owner's calling order: Initialize(expression); then the required
  // type (0 for general expressions and statements, the column's type for
  // default and computed expressions, Boolean for trigger conditions and
  // filters) and, for filters, TransformBooleans; then Validate. When
  // Validate raises, the owner calls Initialize with the same expression
  // again and Unlock, and lets the error through.

  // Starts a validation of ExprToValidate: the current expression is kept
  // as the one to restore, parameters count from 1 again, parameters are
  // input parameters and Booleans are left alone. The required type is not
  // touched.
  void Initialize(TORVCompiledExpr* ExprToValidate);
  // Validates the tree of the expression (statements and routines through
  // their own entry points) and checks the required type; the outer
  // expression is restored however it ends.
  void Validate();
  // Releases what validation acquired (catalog reads of other databases,
  // databases switched to); copes with a partly validated tree. The outer
  // expression is restored however it ends.
  void Unlock();
  // Validates and types one node and, recursively, its operands.
  void ValidateNextToken(TORVExprToken* Token);
  void UnlockNextToken(TORVExprToken* Token);
  // Whether a text index with the column's collation covers the column.
  virtual bool TextIndexExists(TORVExprToken* Token);

  // Result types of operators over operands that passed their checks; 0
  // where no type is defined.
  static int32_t GetUnaryResultDataType(TORVTokenOperator Operator, int32_t DataType);
  static int32_t GetUnaryResultSubType(TORVTokenOperator Operator, int32_t SubType);
  static int32_t GetBinaryResultDataType(TORVTokenOperator Operator, int32_t LeftDataType, int32_t LeftSubType,
                                         int32_t RightDataType, int32_t RightSubType);
  static int32_t GetBinaryResultSubType(TORVTokenOperator Operator, int32_t LeftDataType, int32_t LeftSubType,
                                        int32_t RightDataType, int32_t RightSubType);
  static int32_t GetBinaryResultCollation(TORVTokenOperator Operator, int32_t LeftDataType, int32_t LeftSubType,
                                          int32_t LeftCollation, int32_t RightDataType, int32_t RightSubType,
                                          int32_t RightCollation);

  // Types a node with several candidate results (IFNULL, IIF, NULLIF,
  // COALESCE, a CASE's results) from its arguments FirstIndex on, which are
  // validated already: the first that is neither a NULL constant nor a
  // dynamic parameter is the model, the parameters take its type, every
  // argument must be assignable to it, and the node takes its type promoted
  // by each argument in turn.
  void ValidateMultipleExpressions(int32_t FirstIndex, TORVExprToken* Token);
  // Widens Token's type so that it also holds Argument's values: fixed
  // character or bytes become varying, integers grow to the wider number, a
  // string meets a large object, a Decimal keeps the larger scale.
  static void CheckTypePromotion(TORVExprToken* Token, const TORVExprToken* Argument);

  // Rewrites a Boolean or integer node that stands as a condition (at the
  // root, or under AND, OR, NOT or a clause, never in a row value) into
  // "node = TRUE", in place: the node becomes the comparison and a copy of
  // it, owning its children, the left operand.
  void TransformBooleanExpr(TORVExprToken* Token);

  // Token-type checks.
  static TORVString GetTokenTypeLiterals(const std::vector<TORVTokenType>& TokenTypes);
  void CheckTokenType(TORVExprToken* Token, const std::vector<TORVTokenType>& TokenTypes);
  // Every argument of Token.
  void CheckRowValueTokenTypes(TORVExprToken* Token, const std::vector<TORVTokenType>& TokenTypes);
  void CheckNullConstantTokenType(TORVExprToken* Token);
  // A ttROWVALUE, or a query of more than one select column.
  static bool RowValueTokenType(const TORVExprToken* Token);
  void CheckNotArrayReference(TORVExprToken* Token);

  // A dynamic-parameter reference gets a type: its declaration takes it
  // and the reference takes its declaration's. The function validators
  // type their parameter arguments through these.
  void SetDynamicParamType(TORVExprToken* Ref, int32_t DataType, int32_t SubType);
  void SetDynamicParamTypeFrom(TORVExprToken* Ref, const TORVExprToken* Model);

  // ---- Type literals, errors and checks (orvvalidater.cpp)

  // Appends ", " to a non-empty Builder, then Literal.
  static void AddLiteral(TORVString& Builder, const TORVString& Literal);
  // The readable list of the types in the sets, in a fixed order, joined
  // as "A expression", "A or B expression", "A, B, or C expression".
  static TORVString GetTypeLiterals(const TORVTypeCodeSet& TypeSet, const TORVTypeCodeSet& SubTypeSet);
  // Joins literals as GetTypeLiterals does.
  static TORVString JoinTypeLiterals(const TORVString& Literals, int32_t Count);

  // The error routines: each raises the SQL error of the expression at the
  // leftmost token of Token, quoting Token's SQL text.
  [[noreturn]] void ExpectedTypes(TORVExprToken* Token, const TORVTypeCodeSet& TypeSet,
                                  const TORVTypeCodeSet& SubTypeSet);
  [[noreturn]] void ExpectedExpression(TORVExprToken* Token, const TORVString& Expected);
  [[noreturn]] void ExpectedTokenTypes(TORVExprToken* Token, const std::vector<TORVTokenType>& TokenTypes);
  [[noreturn]] void InvalidToken(TORVExprToken* Token, const TORVString& Reason);

  void CheckTypes(TORVExprToken* Token, const TORVTypeCodeSet& TypeSet, const TORVTypeCodeSet& SubTypeSet);
  void CheckUnaryTypes(TORVTokenOperator Operator, TORVExprToken* Operand);
  // IntervalType and IntervalSubType are the qualifier of a difference of
  // datetimes read as an interval (toSUBINTERVAL).
  void CheckBinaryTypes(TORVTokenOperator Operator, int32_t IntervalType, int32_t IntervalSubType,
                        TORVExprToken* Left, TORVExprToken* Right);
  // True when the operands were row values and have been checked member by
  // member.
  bool CheckBinaryRowValueTypes(TORVTokenOperator Operator, int32_t IntervalType, int32_t IntervalSubType,
                                TORVExprToken* Left, TORVExprToken* Right);
  // A dynamic parameter on one side takes the other side's type; on both
  // sides it cannot be typed.
  void CheckBinaryParamTypes(TORVExprToken* Left, TORVExprToken* Right);
  // Whether Value may be assigned to (or stand beside) Target.
  void CheckArgumentTypes(TORVExprToken* Value, TORVExprToken* Target);
  bool CheckArgumentRowValueTypes(TORVExprToken* Value, TORVExprToken* Target);
  void CheckArgumentParamTypes(TORVExprToken* Value, TORVExprToken* Target);
  // The sets a value must pass to be assigned to a target of the type.
  static void GetCompatibleTypeInfo(const TORVExprToken* Value, int32_t TargetDataType, int32_t TargetSubType,
                                    TORVTypeCodeSet& TypeSet, TORVTypeCodeSet& SubTypeSet);

  void CheckNotRowValue(TORVExprToken* Token);
  // The node whose arguments are a row value's members: the row value
  // itself, or a query's select clause; nil otherwise.
  static TORVExprToken* GetArgumentsToken(TORVExprToken* Token);
  // The number of members: a query's visible select columns, otherwise the
  // node's arguments.
  static int32_t GetNumArguments(const TORVExprToken* Token);
  // The select columns of a select clause that are not hidden.
  static int32_t GetSelectColumnCount(const TORVExprToken* SelectClause);

  void CheckStringTypes(TORVExprToken* Token);
  void CheckStringBlobTypes(TORVExprToken* Token);
  void CheckNonBlobTypes(TORVExprToken* Token);
  void CheckBooleanTypes(TORVExprToken* Token);
  void CheckNumericTypes(TORVExprToken* Token);
  void CheckNumericIntervalTypes(TORVExprToken* Token);
  void CheckNumericDateTimeIntervalTypes(TORVExprToken* Token);
  void CheckIntegerTypes(TORVExprToken* Token);
  void CheckDateTypes(TORVExprToken* Token);
  void CheckTimeTypes(TORVExprToken* Token);
  // Whether Value may be cast to the type of TargetType.
  void CheckCastTypes(TORVExprToken* Value, TORVExprToken* TargetType);

  // ---- Name binding (orvvalidatebind.cpp)

  // Binds a column reference to a FROM table of its query, searching
  // outward through enclosing and merged queries; a qualified reference
  // that no table supplies is refused, an unqualified one is left to
  // BindReference.
  void SetColumnSourceToken(TORVExprToken* ColumnRef);
  // Bind to a variable or array of an enclosing block, or to a parameter of
  // the enclosing routine; with Required False a miss leaves the reference
  // unbound.
  void SetVariableSourceToken(TORVExprToken* Ref, bool Required);
  void SetParamSourceToken(TORVExprToken* Ref, bool Required);
  // Declares a new dynamic parameter in the statement's parameter list for
  // a "?" inside a query.
  void SetDynamicParamSourceToken(TORVExprToken* Ref);
  void SetCursorSourceToken(TORVExprToken* Ref);
  void SetStatementSourceToken(TORVExprToken* Ref);
  // Binds ITERATE, LEAVE or RETRY to the loop or block it jumps to: RETRY
  // to the routine's outermost block, ITERATE to a loop, LEAVE to a loop or
  // a BEGIN ... END block, by label when the jump has one.
  void SetJumpSourceToken(TORVExprToken* Jump);
  // The reference takes its source's type.
  static void AssignSourceType(TORVExprToken* Ref);
  // Checks the kind of reference (an unqualified column needs a table to
  // fall back on) and binds it through the catalog.
  void BindReference(TORVExprToken* Token, TORVTokenType ReferenceType, bool IncludeTemporary);
  // Binds the collation of a COLLATE option.
  void ValidateColumnOptions(TORVExprToken* Token);
  // Lets the expression turn trigger columns into row columns.
  void CheckForRowColumn(TORVExprToken* Token);

  // Catalog forwarders to the expression being validated.
  void BeginReadTokenCatalog(TORVExprToken* Token);
  void EndReadTokenCatalog(TORVExprToken* Token);
  TORVExprToken* GetFunctionParamToken(const TORVString& FunctionName, int32_t ParamIndex);
  TORVExprToken* GetProcedureParamToken(const TORVString& ProcedureName, int32_t ParamIndex);
  bool ColumnExists(TORVExprToken* TableToken, TORVExprToken* ColumnToken);
  void UseDatabase(TORVExprToken* Token);
  void UnlockDatabase(TORVExprToken* Token);
  void ExpandAllSelectColumns(TORVExprToken* Query, TORVExprToken* TableToken, int32_t& Position,
                              TORVExprToken* Column);
  void ExpandAllInsertColumns(TORVExprToken* TableToken, TORVExprToken* Columns);
  void DefaultSchemaName(TORVExprToken* Token, TORVString& Name);
  void DefaultTableName(TORVExprToken* Token, TORVString& Name);
  void TableFound(TORVExprToken* Token);
  void ColumnFound(TORVExprToken* Token);
  void FunctionFound(TORVExprToken* Token);
  void ProcedureFound(TORVExprToken* Token);

  // ---- Queries (orvvalidatequery.cpp, orvvalidatejoin.cpp)
  //
  // After validation every aggregate and every grouped or ordered
  // expression of a query is a select column (hidden when the text did not
  // list it) that the expression refers to through a ttSELECTCOLUMNREF;
  // AVG, RUNSUM and STDDEV carry the SUM, SUMSQUARE and COUNT columns they
  // are computed from as extra arguments.

  // Names an unnamed select column after its expression and makes every
  // name unique in the select list.
  void AssignSelectColumnCorrelationName(TORVExprToken* Column);
  void ValidateSelectColumn(TORVExprToken* Query, TORVExprToken* Column);
  // Appends a validated hidden select column holding a copy of Expression.
  TORVExprToken* AddSelectColumn(TORVExprToken* Query, TORVExprToken* Expression);
  // Binds Expression to the select column it names (ByName) or equals, or
  // to a new hidden one; with OnlyFind an existing match is left unbound.
  void SetSelectColumnSourceToken(TORVExprToken* Query, TORVExprToken* Expression, bool OnlyFind, bool NoBlobCheck,
                                  bool ByName);
  // Turns Expression, in place, into a reference to Column; what it held is
  // released and freed.
  void AssignSelectColumnSourceToken(TORVExprToken* Expression, TORVExprToken* Column, bool NoBlobCheck);
  static bool CompareSelectExpression(const TORVExprToken* A, const TORVExprToken* B);
  // Binds the parts of Expression that a grouped result computes (columns
  // with BindColumns, aggregates, sub-queries inside aggregates) to select
  // columns.
  void ReduceSelectColumn(TORVExprToken* Query, TORVExprToken* Expression, bool InAggregate, bool BindColumns);
  void CheckForDuplicateTableCorrelationName(TORVExprToken* Query, TORVExprToken* Table);

  // The FROM table a join should start at: the latest table before its
  // target that its condition needs; nil when none.
  TORVExprToken* GetOptimalDriverTable(TORVExprToken* Query, TORVExprToken* Join);
  void PushJoins(TORVExprToken* Query, TORVExprToken* Table);
  // Whether the condition compares columns of two tables of one query.
  static bool ContainsJoins(TORVExprToken* Condition);
  // The Reduce routines move the conditions that concern one table to that
  // table's conditions clause (or, from an inner join to the target of an
  // outer one, to WHERE); True means the condition has left its list.
  void ReduceWhere(TORVExprToken* Query);
  bool ReduceNextWhereToken(TORVExprToken* Query, TORVExprToken* Condition);
  void ReduceJoins(TORVExprToken* Query);
  // True when the join was freed (it lost its conditions beside others).
  bool ReduceJoin(TORVExprToken* Query, TORVExprToken* Table, TORVExprToken* Join);
  bool ReduceNextJoinToken(TORVExprToken* Query, TORVExprToken* Table, TORVExprToken* Join,
                           TORVExprToken* Condition, bool InOr);
  bool AddWhereTableToken(TORVExprToken* Query, TORVExprToken* Condition, TORVExprToken* Join);
  // Folds every list of conditions into one AND chain.
  void ConsolidateWhere(TORVExprToken* Query);
  static void ConsolidateTokens(TORVExprToken* Clause);

  // ---- Statements and routines (orvvalidatestmt.cpp, orvvalidateproc.cpp)
  //
  // Most values of definitions and administration statements must be
  // literal constants of one type; a constant is not validated further.
  // An absent optional clause is never checked.

  // Value, when given, must be a constant that passes TypeCheck
  // (CheckStringTypes, CheckIntegerTypes, ...).
  void CheckConstantTypes(TORVExprToken* Value, TORVValidateMethod TypeCheck);

  void ValidateControl(TORVExprToken* Control);
  // Declarations, then the statements, the RETURN and the FINALLY or
  // EXCEPTION section in order.
  void ValidateBlock(TORVExprToken* Block);
  // Types every declaration, then refuses the names declared twice.
  void ValidateDeclarations(TORVExprToken* Declarations);
  void ValidateParams(TORVExprToken* Params);
  // Whether Target may be assigned, and Value (nil for none) to it.
  void ValidateTarget(TORVExprToken* Target, TORVExprToken* Value);

  // The duplicate checks compare names without regard to case with the
  // declarations before the one checked, in the same clause.
  void CheckForDuplicateVariable(TORVExprToken* Declarations, TORVExprToken* Name);
  // Params nil: the parameters of the routine around Param.
  void CheckForDuplicateParam(TORVExprToken* Params, TORVExprToken* Param);
  void CheckForDuplicateCursor(TORVExprToken* Declarations, TORVExprToken* Cursor);
  void CheckForDuplicateCursorReturn(TORVExprToken* Declarations, TORVExprToken* Cursor);
  void CheckForDuplicateStatement(TORVExprToken* Declarations, TORVExprToken* StatementName);

  void UnlockBlock(TORVExprToken* Block);
  void UnlockControl(TORVExprToken* Control);

  // The statements' validators.
  void ValidateINSERT(TORVExprToken* Statement);
  void ValidateUPDATE(TORVExprToken* Statement);
  void ValidateDELETE(TORVExprToken* Statement);
  void ValidateCREATE(TORVExprToken* Statement);
  void ValidateALTER(TORVExprToken* Statement);
  void ValidateTableOperations(TORVExprToken* Statement);
  void ValidateTableExtensions(TORVExprToken* Statement);
  void ValidateENABLE(TORVExprToken* Statement);
  // BACKUP DATABASE and SAVE UPDATES.
  void ValidateBACKUPDB(TORVExprToken* Statement);
  void ValidateCOMPAREDB(TORVExprToken* Statement);
  void ValidateMIGRATEDB(TORVExprToken* Statement);
  // IMPORT and EXPORT TABLE.
  void ValidateIMPORTTABLE(TORVExprToken* Statement);
  // RESET SERVER SESSION STATISTICS, DISCONNECT and REMOVE SERVER SESSION.
  void ValidateRESET(TORVExprToken* Statement);
  void ValidateDISCONNECTSESSION(TORVExprToken* Statement);

  // The control statements' validators; ITERATE, LEAVE and RETRY are
  // SetJumpSourceToken's.
  void ValidateRAISE(TORVExprToken* Control);
  // LOG, SET LOG MESSAGE and SET STATUS MESSAGE.
  void ValidateLOGEVENT(TORVExprToken* Control);
  void ValidateSETPROGRESS(TORVExprToken* Control);
  void ValidateSETCACHE(TORVExprToken* Control);
  void ValidateSET(TORVExprToken* Control);
  void ValidateIF(TORVExprToken* Control);
  void ValidateCASE(TORVExprToken* Control);
  void ValidateLOOP(TORVExprToken* Control);
  void ValidateREPEAT(TORVExprToken* Control);
  void ValidateWHILE(TORVExprToken* Control);
  void ValidateRETURN(TORVExprToken* Control);
  void ValidateSTARTTRANS(TORVExprToken* Control);
  void ValidateUSEDB(TORVExprToken* Control);
  void ValidateCALL(TORVExprToken* Control);
  void ValidateEXECUTEIMMEDIATE(TORVExprToken* Control);
  void ValidatePREPARE(TORVExprToken* Control);
  // EXECUTE and OPEN: the reference and every USING argument.
  void ValidateEXECUTE(TORVExprToken* Control);
  // UNPREPARE, CLOSE, REFRESH and DELETE of a cursor: the reference.
  void ValidateCLOSE(TORVExprToken* Control);
  void ValidateFETCH(TORVExprToken* Control);
  void ValidateINSERTCURSOR(TORVExprToken* Control);
  void ValidateUPDATECURSOR(TORVExprToken* Control);

  // ---- Dispatch

  // The validator of a function, statement or control operator; nil when
  // the operator is outside the table or has no validator of its own.
  TORVValidateMethod GetFunctionValidator(TORVTokenOperator Operator) const;
  TORVValidateMethod GetStatementValidator(TORVTokenOperator Operator) const;
  TORVValidateMethod GetControlValidator(TORVTokenOperator Operator) const;

  // ---- Functions and data types (orvvalidatefunc.cpp, orvvalidatetype.cpp)
  //
  // Unless a validator says otherwise it validates every argument, refuses
  // row values and array references among them, types the dynamic
  // parameters among them, checks them by the typing rules and gives the
  // call its result type. Lengths computed from constant arguments stay
  // between 0 and the largest length; a computed length past it is refused.

  // Parameter Index of Routine's parameter list; nil outside it.
  static TORVExprToken* GetRoutineParamToken(const TORVExprToken* Routine, int32_t Index);
  // The largest length of a character, bytes or large-object expression.
  static constexpr int64_t MaxLength = 2147483647;
  // True with Value when Token is a constant whose text reads as a 64-bit
  // integer.
  static bool ConstantInteger(const TORVExprToken* Token, int64_t& Value);
  // Token's length is the sum of Left's and Right's; a sum past the largest
  // length is refused at Token.
  void SetConcatenatedLength(TORVExprToken* Token, const TORVExprToken* Left, const TORVExprToken* Right);
  // Checks a ttDATATYPE node and completes its type: the length of
  // character and bytes types, the scale of a Decimal, the collation of
  // character types and CLOBs.
  void ValidateDataType(TORVExprToken* DataTypeToken);

  void ValidateSUM(TORVExprToken* Token);  // also RUNSUM
  void ValidateSUMSQUARE(TORVExprToken* Token);
  void ValidateAVG(TORVExprToken* Token);
  void ValidateSTDDEV(TORVExprToken* Token);
  void ValidateMIN(TORVExprToken* Token);  // also MAX
  void ValidateCOUNT(TORVExprToken* Token);
  void ValidateLIST(TORVExprToken* Token);
  void ValidateUPPER(TORVExprToken* Token);  // also LOWER
  void ValidateLEFT(TORVExprToken* Token);   // also RIGHT
  void ValidateREPEATSTR(TORVExprToken* Token);
  void ValidateCONCAT(TORVExprToken* Token);
  void ValidateLASTIDENTITY(TORVExprToken* Token);
  void ValidateLENGTH(TORVExprToken* Token);
  void ValidateSUBSTRING(TORVExprToken* Token);
  void ValidateTRIM(TORVExprToken* Token);  // BOTH, LEADING and TRAILING
  void ValidateExtractField(TORVExprToken* Token);  // EXTRACT of every field
  void ValidatePOS(TORVExprToken* Token);  // also OCCURS
  void ValidateREPLACE(TORVExprToken* Token);
  void ValidateCARDINALITY(TORVExprToken* Token);
  void ValidateCAST(TORVExprToken* Token);
  void ValidateABS(TORVExprToken* Token);
  void ValidateROUND(TORVExprToken* Token);  // also TRUNCATE
  void ValidateFloatFunction(TORVExprToken* Token);  // ACOS ... TAN, ATAN2, POWER
  void ValidateCEILING(TORVExprToken* Token);  // also FLOOR and SIGN
  void ValidatePI(TORVExprToken* Token);
  void ValidateRAND(TORVExprToken* Token);
  void ValidateQUOTEDSTR(TORVExprToken* Token);
  void ValidateIFNULL(TORVExprToken* Token);
  void ValidateIIF(TORVExprToken* Token);
  void ValidateNULLIF(TORVExprToken* Token);
  void ValidateCOALESCE(TORVExprToken* Token);
  void ValidateICASE(TORVExprToken* Token);
  void ValidateCASEOPTION(TORVExprToken* Token);
  void ValidateCASERESULT(TORVExprToken* Token);
  void ValidateEXISTS(TORVExprToken* Token);
  void ValidateINTRANS(TORVExprToken* Token);
  void ValidateCursorFunction(TORVExprToken* Token);  // COLCOUNT, BOF, EOF, ROWCOUNT, SENSITIVE
  void ValidateCOLNAME(TORVExprToken* Token);
  void ValidateStatementFunction(TORVExprToken* Token);  // ROWSAFFECTED, STMTRESULT
  void ValidateABORTED(TORVExprToken* Token);  // also LOADINGUPDATES
  void ValidateUDF(TORVExprToken* Token);

  // ---- end of functions and data types

 protected:
  // The tables are indexed by operator ordinal minus the first operator of
  // their group (FirstFunctionOperator, FirstStatementOperator,
  // FirstControlOperator). Each Build routine sets the entries of the
  // validators its group has; a validator is a member of this class (or of
  // a subclass, through a virtual member) with the TORVValidateMethod
  // signature, named Validate plus the operator's name.
  void BuildFunctionsTable();
  void BuildStatementsTable();
  void BuildControlsTable();

  // Queries, statements and routines: what the walk and the root dispatch
  // hand to the validators of whole queries, statements and routines.
  // IncludeTemporary: whether the FROM tables may be the session's
  // temporary tables and views (not for the query of a view).
  void ValidateQuery(TORVExprToken* Query, bool IncludeTemporary);
  void UnlockQuery(TORVExprToken* Query);
  void ValidateStatement(TORVExprToken* Statement);
  void UnlockStatement(TORVExprToken* Statement);
  void ValidateRoutine(TORVExprToken* Routine);
  void UnlockRoutine(TORVExprToken* Routine);
  // A query that yields one value: not merged, and standing neither under
  // EXISTS, IN, NOT IN or a derived table nor in CREATE or INSERT.
  static bool IsScalarQuery(const TORVExprToken* Query);

  // The walk by node kind (orvvalidateexpr.cpp).
  void ValidateBinary(TORVExprToken* Token);
  void ValidateUnary(TORVExprToken* Token);
  void ValidateExtBinary(TORVExprToken* Token);
  void ValidateContains(TORVExprToken* Token);
  void ValidateLike(TORVExprToken* Token);
  void ValidateBetweenIn(TORVExprToken* Token);
  void ValidateColumnRef(TORVExprToken* Token);
  void ValidateVariableRef(TORVExprToken* Token);
  void ValidateConstant(TORVExprToken* Token);
  // A variable or parameter reference takes its source's type and its
  // COLLATE option's collation.
  void TypeDeclaredReference(TORVExprToken* Token);

 private:
  // Raises the SQL error of the expression at Token's leftmost token.
  [[noreturn]] void RaiseTokenError(TORVExprToken* Token, const TORVString& Message);
  // The SQL text of Token as the expression builds it.
  TORVString TokenText(TORVExprToken* Token);
  TORVCompiledExpr& Expr() const;

  TORVCompiledExpr* FLastExpr = nullptr;
  TORVCompiledExpr* FExpr = nullptr;
  std::array<TORVValidateMethod, FunctionsTableCount> FFunctionsTable{};
  std::array<TORVValidateMethod, StatementsTableCount> FStatementsTable{};
  std::array<TORVValidateMethod, ControlsTableCount> FControlsTable{};
  int32_t FRequiredDataType = 0;
  int32_t FRequiredSubType = 0;
  bool FTransformBooleans = false;
  TORVTokenOperator FParamOperator = toINPUT;
  int32_t FParamNum = 1;
};

}  // namespace orv
