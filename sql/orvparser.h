// The SQL parser object: a hand-written tokenizer with a recursive-descent
// grammar on top. This header holds its framework (binding to an expression,
// keyword and dispatch tables, the node factory, error reporting through the
// expression, a nesting bound) and the name parsers that the statement,
// routine and function grammars share. The grammars themselves are member
// routines defined in their own source files.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "base/orvtype.h"
#include "sql/orvexprtoken.h"
#include "sql/orvparseroptions.h"
#include "sql/orvtokenizer.h"

namespace orv {

class TORVCompiledExpr;
class TORVExprParser;

// A grammar routine of a built-in function or a statement, and one of a
// control statement of the procedural language (which also takes its label).
using TORVParseMethod = TORVExprToken* (TORVExprParser::*)(TORVParseOptions ParseOptions);
using TORVControlParseMethod = TORVExprToken* (TORVExprParser::*)(TORVParseOptions ParseOptions,
                                                                  const TORVString& LabelName);

// How deep grammar routines may nest (parentheses, sub-queries, blocks)
// before the parse is refused; deeper text would exhaust the stack.
inline constexpr int32_t MaxParseNestingDepth = 1000;

// How many nodes one parse may copy from the operands of simple CASE
// expressions into their conditions. Each WHEN repeats the operand, so an
// operand that is itself a simple CASE multiplies: without a bound a few
// kilobytes of nested CASEs would ask for billions of nodes.
inline constexpr int32_t MaxCaseOperandCopies = 100000;

// Turns the SQL text of a compiled expression into a token tree. One parser
// serves one session (or configuration), which uses it from one thread at a
// time: Initialize binds it to an expression and reads the first token, then
// one entry point consumes the text. A parse that raises leaves the reading
// state where the error occurred; the next Initialize resets it. The keyword
// and dispatch tables never change after construction.
class TORVExprParser : public TORVExprTokenizer {
 public:
  TORVExprParser();

  virtual std::unique_ptr<TORVExprParser> Create() const;

  // Binds the parser to ExprToParse (whose text must not change while it is
  // parsed), resets the reading state and reads the first token.
  void Initialize(TORVCompiledExpr* ExprToParse);
  TORVCompiledExpr* GetExpr() const { return FExpr; }
  // The statement terminator of the expression being parsed.
  char16_t LineTerm() const;

  // The operator of the current token's text in a keyword list, or toNONE.
  // The text is the token's value whatever its kind: callers that must not
  // match quoted names test the kind first.
  TORVTokenOperator LookupFunctionKeyword() const;
  TORVTokenOperator LookupStatementKeyword() const;
  TORVTokenOperator LookupControlKeyword() const;

  // A new node (owned by the caller) at the position of the current token;
  // a control statement takes the line noted by MarkControlLine.
  TORVExprToken* GetNewExprToken(TORVTokenType TokenType, TORVTokenOperator TokenOperator) const;

  // Passes a syntax error to the expression, which raises ORV_SQL_ERROR.
  [[noreturn]] void ExpressionError(const TORVString& Message, int32_t Line, int32_t Column) override;

  // Counts one more level of nesting; past MaxParseNestingDepth the parse is
  // refused at the current token. Pair every call with LeaveNesting (or use
  // TORVParseNesting).
  void EnterNesting();
  void LeaveNesting();
  int32_t GetNestingDepth() const { return FNestingDepth; }

  // Name parsers: the current token must be an identifier or a quoted
  // identifier, whose value becomes the new token's FName; it is consumed.
  // Keywords are not reserved. Anything else raises with the expected text.
  TORVExprToken* ParseBackupName();
  TORVExprToken* ParseDatabaseName();
  TORVExprToken* ParseUpdatesName();
  TORVExprToken* ParseTextFilterName();
  TORVExprToken* ParseWordGeneratorName();
  TORVExprToken* ParseMigratorName();
  TORVExprToken* ParseModuleName();
  TORVExprToken* ParseJobName();
  TORVExprToken* ParseStoreName();
  TORVExprToken* ParseFileName();
  TORVExprToken* ParseUserName();
  TORVExprToken* ParseRoleName();
  TORVExprToken* ParseAuthorizationName();
  TORVExprToken* ParseColumnName();
  TORVExprToken* ParseConstraintName();
  TORVExprToken* ParseViewName();
  TORVExprToken* ParseProcedureName();
  TORVExprToken* ParseFunctionName();
  TORVExprToken* ParseIndexName();
  TORVExprToken* ParseTriggerName();
  TORVExprToken* ParseCursorRef();
  TORVExprToken* ParseParamName();
  TORVExprToken* ParseVariableName();
  TORVExprToken* ParseStatementName();
  TORVExprToken* ParseStatementRef();

  // Expression grammar (orvparseexpr.cpp). Each routine reads from the
  // current token and returns the tree it built, or raises having freed it.
  // ParseExpr is a whole expression that must use up the text; the levels
  // run from the loosest (OR) to the tightest (a single value).
  TORVExprToken* ParseExpr(TORVParseOptions ParseOptions);
  TORVExprToken* ParseOr(TORVParseOptions ParseOptions);
  TORVExprToken* ParseAnd(TORVParseOptions ParseOptions);
  TORVExprToken* ParseNot(TORVParseOptions ParseOptions);
  TORVExprToken* ParseBinary(TORVParseOptions ParseOptions);
  TORVExprToken* ParsePlusMinus(TORVParseOptions ParseOptions);
  TORVExprToken* ParseMultDiv(TORVParseOptions ParseOptions);
  TORVExprToken* ParseUnary(TORVParseOptions ParseOptions);
  TORVExprToken* ParseValue(TORVParseOptions ParseOptions);
  TORVExprToken* ParseColumnRef(TORVParseOptions ParseOptions);
  // A user-defined function call when "(" follows the name, else a column.
  TORVExprToken* ParseFuncColumnRef(TORVParseOptions ParseOptions);
  TORVExprToken* ParseProcRef(TORVParseOptions ParseOptions);
  // Fills Token (a ttDATATYPE node); with TypeOptional an unknown first word
  // gives False with nothing consumed.
  bool ParseDataType(TORVExprToken* Token, TORVParseOptions ParseOptions, bool LengthRequired, bool TypeOptional);
  // Adds the four formatting slots (date, time, decimal, Boolean) to Token.
  void ParseFormatting(TORVExprToken* Token);
  // Raises when Token is the wildcard column reference.
  void CheckForAllColumns(TORVExprToken* Token);
  // Adds the collation slot and, with poAllowDirection, the direction slot.
  void ParseColumnOptions(TORVExprToken* Token, TORVParseOptions ParseOptions);

  // Query grammar (orvparsequery.cpp): a query starting at SELECT or TABLE
  // and its clauses.
  TORVExprToken* ParseQuery(TORVParseOptions ParseOptions);
  void ParseSelectColumn(TORVExprToken* Column, TORVParseOptions ParseOptions);
  TORVExprToken* ParseTableRef(TORVParseOptions ParseOptions);
  void ParseTableRefCorrelation(TORVExprToken* Table, bool Required);
  TORVExprToken* ParseFrom(TORVParseOptions ParseOptions);
  TORVExprToken* ParseJoin(TORVParseOptions ParseOptions);
  TORVExprToken* ParseWhere(TORVParseOptions ParseOptions);
  TORVExprToken* ParseHaving(TORVParseOptions ParseOptions);
  TORVExprToken* ParseGroupByColumn();
  TORVExprToken* ParseOrderByColumn();
  // The query merged by UNION, EXCEPT or INTERSECT, or nil when none follows.
  TORVExprToken* ParseMerge(TORVParseOptions ParseOptions);
  TORVExprToken* ParseMergeQuery(TORVParseOptions ParseOptions, TORVTokenOperator MergeOperator);
  TORVExprToken* ParseRange(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCollationRef();

  // Built-in function grammar (orvparsefunc.cpp): one routine per function
  // operator, reached through the function dispatch table at the function
  // word. Each builds one ttFUNCREF node at the word.
  TORVExprToken* ParseABORTED(TORVParseOptions ParseOptions);
  TORVExprToken* ParseABS(TORVParseOptions ParseOptions);
  TORVExprToken* ParseACOS(TORVParseOptions ParseOptions);
  TORVExprToken* ParseASIN(TORVParseOptions ParseOptions);
  TORVExprToken* ParseATAN(TORVParseOptions ParseOptions);
  TORVExprToken* ParseATAN2(TORVParseOptions ParseOptions);
  TORVExprToken* ParseAVG(TORVParseOptions ParseOptions);
  TORVExprToken* ParseBOF(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCARDINALITY(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCAST(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCEILING(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCOALESCE(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCOLCOUNT(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCOLNAME(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCONCAT(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCOS(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCOT(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCOUNT(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCURCOMPUTER(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCURDATABASE(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCURDATE(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCURGUID(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCURSESSIONID(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCURTIME(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCURTIMESTAMP(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCURUSER(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCURVERSION(TORVParseOptions ParseOptions);
  TORVExprToken* ParseDEGREES(TORVParseOptions ParseOptions);
  TORVExprToken* ParseEOF(TORVParseOptions ParseOptions);
  TORVExprToken* ParseERRORCODE(TORVParseOptions ParseOptions);
  TORVExprToken* ParseERRORMSG(TORVParseOptions ParseOptions);
  TORVExprToken* ParseEXISTS(TORVParseOptions ParseOptions);
  TORVExprToken* ParseEXP(TORVParseOptions ParseOptions);
  TORVExprToken* ParseEXTRACT(TORVParseOptions ParseOptions);
  TORVExprToken* ParseFLOOR(TORVParseOptions ParseOptions);
  TORVExprToken* ParseICASE(TORVParseOptions ParseOptions);
  TORVExprToken* ParseIFNULL(TORVParseOptions ParseOptions);
  TORVExprToken* ParseIIF(TORVParseOptions ParseOptions);
  TORVExprToken* ParseINTRANS(TORVParseOptions ParseOptions);
  TORVExprToken* ParseLASTIDENTITY(TORVParseOptions ParseOptions);
  TORVExprToken* ParseLEFT(TORVParseOptions ParseOptions);
  TORVExprToken* ParseLENGTH(TORVParseOptions ParseOptions);
  TORVExprToken* ParseLIST(TORVParseOptions ParseOptions);
  TORVExprToken* ParseLOADINGUPDATES(TORVParseOptions ParseOptions);
  TORVExprToken* ParseLOG(TORVParseOptions ParseOptions);
  TORVExprToken* ParseLOG10(TORVParseOptions ParseOptions);
  TORVExprToken* ParseLOWER(TORVParseOptions ParseOptions);
  TORVExprToken* ParseMAX(TORVParseOptions ParseOptions);
  TORVExprToken* ParseMIN(TORVParseOptions ParseOptions);
  TORVExprToken* ParseNULLIF(TORVParseOptions ParseOptions);
  TORVExprToken* ParseOCCURS(TORVParseOptions ParseOptions);
  TORVExprToken* ParseOPERATION(TORVParseOptions ParseOptions);
  TORVExprToken* ParsePI(TORVParseOptions ParseOptions);
  TORVExprToken* ParsePOS(TORVParseOptions ParseOptions);
  TORVExprToken* ParsePOWER(TORVParseOptions ParseOptions);
  TORVExprToken* ParseQUOTEDSTR(TORVParseOptions ParseOptions);
  TORVExprToken* ParseRADIANS(TORVParseOptions ParseOptions);
  TORVExprToken* ParseRAND(TORVParseOptions ParseOptions);
  TORVExprToken* ParseREPEATSTR(TORVParseOptions ParseOptions);
  TORVExprToken* ParseREPLACE(TORVParseOptions ParseOptions);
  TORVExprToken* ParseRIGHT(TORVParseOptions ParseOptions);
  TORVExprToken* ParseROUND(TORVParseOptions ParseOptions);
  TORVExprToken* ParseROWCOUNT(TORVParseOptions ParseOptions);
  TORVExprToken* ParseROWSAFFECTED(TORVParseOptions ParseOptions);
  TORVExprToken* ParseRUNSUM(TORVParseOptions ParseOptions);
  TORVExprToken* ParseSENSITIVE(TORVParseOptions ParseOptions);
  TORVExprToken* ParseSIGN(TORVParseOptions ParseOptions);
  TORVExprToken* ParseSIN(TORVParseOptions ParseOptions);
  TORVExprToken* ParseSQRT(TORVParseOptions ParseOptions);
  TORVExprToken* ParseSTDDEV(TORVParseOptions ParseOptions);
  TORVExprToken* ParseSTMTRESULT(TORVParseOptions ParseOptions);
  TORVExprToken* ParseSUBSTRING(TORVParseOptions ParseOptions);
  TORVExprToken* ParseSUM(TORVParseOptions ParseOptions);
  TORVExprToken* ParseTAN(TORVParseOptions ParseOptions);
  TORVExprToken* ParseTRIM(TORVParseOptions ParseOptions);
  TORVExprToken* ParseTRIMBOTH(TORVParseOptions ParseOptions);
  TORVExprToken* ParseTRIMLEADING(TORVParseOptions ParseOptions);
  TORVExprToken* ParseTRIMTRAILING(TORVParseOptions ParseOptions);
  TORVExprToken* ParseTRUNCATE(TORVParseOptions ParseOptions);
  TORVExprToken* ParseUPPER(TORVParseOptions ParseOptions);

  // Counts Count more nodes copied from the operand of a simple CASE into
  // its conditions; past MaxCaseOperandCopies in one parse the parse is
  // refused at the current token.
  void CountCaseOperandCopies(int32_t Count);

  // Procedural language (orvparseproc.cpp). The routine entry points parse
  // the stored text of a function, procedure, script, job or trigger into
  // its routine node (slots in sql/orvroutineslots.h); the caller owns it.
  TORVExprToken* ParseFunctionRoutine(TORVParseOptions ParseOptions);
  TORVExprToken* ParseProcedureRoutine(TORVParseOptions ParseOptions);
  TORVExprToken* ParseScriptRoutine(TORVParseOptions ParseOptions);
  TORVExprToken* ParseJobRoutine(TORVParseOptions ParseOptions);
  TORVExprToken* ParseTriggerRoutine(TORVParseOptions ParseOptions);
  // Routine parameters: a clause of parameters (empty with poNoParameters
  // or without "("), one parameter, and the RETURNS type after the word.
  TORVExprToken* ParseParams(TORVParseOptions ParseOptions);
  TORVExprToken* ParseParam(TORVParseOptions ParseOptions);
  TORVExprToken* ParseReturns(TORVParseOptions ParseOptions);
  // A routine body: a BEGIN ... END block.
  TORVExprToken* ParseRoutine(TORVParseOptions ParseOptions);
  // A BEGIN ... END block named LabelName with poRequireNamedBlock, else
  // the statement list of a compound statement (LabelName unused), which
  // reads the label of each of its statements itself, the first included.
  TORVExprToken* ParseBlock(TORVParseOptions ParseOptions, const TORVString& LabelName);
  // An optional label and its ":" in front of a statement; empty when the
  // current word starts a statement.
  void ParseLabel(TORVString& LabelName);
  // One control statement, with its terminator under poRequireLineTerm.
  TORVExprToken* ParseControl(TORVParseOptions ParseOptions, const TORVString& LabelName);
  // One routine per control statement, entered at its keyword; the label
  // is kept by the loops only.
  TORVExprToken* ParseABORT(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseCALL(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseCASE(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseCLOSE(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseCOMMIT(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseDECLARE(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseDELETECURSOR(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseEXECUTE(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseFETCH(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseIF(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseINSERTCURSOR(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseITERATE(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseLEAVE(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseLOGEVENT(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseLOOP(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseOPEN(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParsePREPARE(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseRAISE(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseREFRESH(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseREPEAT(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseRETRY(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseROLLBACK(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseSET(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseSTARTTRANS(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseUNPREPARE(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseUPDATECURSOR(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseUSEDB(TORVParseOptions ParseOptions, const TORVString& LabelName);
  TORVExprToken* ParseWHILE(TORVParseOptions ParseOptions, const TORVString& LabelName);

  // Statement grammar (orvparsestmt.cpp: the dispatcher, data changes,
  // CREATE, ALTER, DROP and RENAME; orvparseadmin.cpp: administration).
  // Each statement routine is entered at its statement word and returns the
  // finished tree, whose slots are named in sql/orvstmtslots.h. Routines
  // that parse their values with no options ignore ParseOptions.
  TORVExprToken* ParseStatement(TORVParseOptions ParseOptions);
  TORVExprToken* ParseSELECT(TORVParseOptions ParseOptions);
  TORVExprToken* ParseINSERT(TORVParseOptions ParseOptions);
  TORVExprToken* ParseUPDATE(TORVParseOptions ParseOptions);
  TORVExprToken* ParseDELETE(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCREATE(TORVParseOptions ParseOptions);
  TORVExprToken* ParseALTER(TORVParseOptions ParseOptions);
  TORVExprToken* ParseDROP(TORVParseOptions ParseOptions);
  TORVExprToken* ParseRENAME(TORVParseOptions ParseOptions);
  TORVExprToken* ParseEMPTYTABLE(TORVParseOptions ParseOptions);
  TORVExprToken* ParseENABLE(TORVParseOptions ParseOptions);
  TORVExprToken* ParseDISABLE(TORVParseOptions ParseOptions);
  TORVExprToken* ParseSETDYN(TORVParseOptions ParseOptions);
  TORVExprToken* ParseBACKUPDB(TORVParseOptions ParseOptions);
  TORVExprToken* ParseRESTOREDB(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCOMPAREDB(TORVParseOptions ParseOptions);
  TORVExprToken* ParseMIGRATEDB(TORVParseOptions ParseOptions);
  TORVExprToken* ParseREPAIRTABLE(TORVParseOptions ParseOptions);
  TORVExprToken* ParseVERIFYTABLE(TORVParseOptions ParseOptions);
  TORVExprToken* ParseOPTIMIZETABLE(TORVParseOptions ParseOptions);
  TORVExprToken* ParseIMPORTTABLE(TORVParseOptions ParseOptions);
  TORVExprToken* ParseEXPORTTABLE(TORVParseOptions ParseOptions);
  TORVExprToken* ParseDISCONNECTSESSION(TORVParseOptions ParseOptions);
  TORVExprToken* ParseREMOVESESSION(TORVParseOptions ParseOptions);
  TORVExprToken* ParseRESET(TORVParseOptions ParseOptions);
  TORVExprToken* ParseGRANT(TORVParseOptions ParseOptions);
  TORVExprToken* ParseREVOKE(TORVParseOptions ParseOptions);
  TORVExprToken* ParsePUBLISH(TORVParseOptions ParseOptions);
  TORVExprToken* ParseUNPUBLISH(TORVParseOptions ParseOptions);
  TORVExprToken* ParseSAVEDBUPDATES(TORVParseOptions ParseOptions);
  TORVExprToken* ParseLOADDBUPDATES(TORVParseOptions ParseOptions);
  TORVExprToken* ParseCOPYFILE(TORVParseOptions ParseOptions);

  // Data definition grammar (orvparseddl.cpp): the bodies of CREATE and
  // ALTER. Each appends its slots to the statement node Token, which its
  // caller owns and frees with every slot already added when one raises.
  // ParseDefinition is the body of a CREATE or ALTER whose object words
  // (and, for a table, the name) are read; the operator and FTokenID of
  // Statement say what is defined.
  void ParseDefinition(TORVExprToken* Statement, TORVParseOptions ParseOptions);
  void ParseDatabase(TORVExprToken* Token);
  void ParseUser(TORVExprToken* Token);
  void ParseRole(TORVExprToken* Token);
  void ParseStore(TORVExprToken* Token);
  void ParseJob(TORVExprToken* Token, TORVParseOptions ParseOptions);
  void ParseTrigger(TORVExprToken* Token, TORVParseOptions ParseOptions);
  // Sets the timing (FTokenOperator) and operation (FTokenID) of Trigger.
  void ParseTriggerOperation(TORVExprToken* Trigger);
  void ParseFunction(TORVExprToken* Token, TORVParseOptions ParseOptions);
  void ParseProcedure(TORVExprToken* Token, TORVParseOptions ParseOptions);
  void ParseView(TORVExprToken* Token, TORVParseOptions ParseOptions);
  void ParseIndex(TORVExprToken* Token, TORVParseOptions ParseOptions);
  void ParseTextIndex(TORVExprToken* Token, TORVParseOptions ParseOptions);
  // The definition slots of CREATE TABLE and ALTER TABLE after the name,
  // and the extension slots that follow them.
  void ParseTableCreate(TORVExprToken* Token, TORVParseOptions ParseOptions);
  void ParseTableAlter(TORVExprToken* Token, TORVParseOptions ParseOptions);
  void ParseTableExtensions(TORVExprToken* Token);
  // Column clauses: each returns its clause (a description its value), or
  // nil when the clause is not written.
  TORVExprToken* ParseColumnCompress();
  TORVExprToken* ParseColumnDefault(bool RequireKeyword);
  TORVExprToken* ParseColumnGenerate();
  TORVExprToken* ParseColumnCompute();
  TORVExprToken* ParseColumnRequired();
  TORVExprToken* ParseColumnDescription();
  TORVExprToken* ParseConstraintError();
  TORVExprToken* ParseConstraintDescription();
  // A constraint with its kind and five slots; ParseConstraintOptions fills
  // them into a constraint token already made.
  TORVExprToken* ParseConstraint(TORVParseOptions ParseOptions);
  void ParseConstraintOptions(TORVExprToken* Token, TORVParseOptions ParseOptions);
  // Appends the update and delete rule slots, and one rule (nil for NO
  // ACTION).
  void ParseReferenceRules(TORVExprToken* Token);
  TORVExprToken* ParseReferenceRule();
  // WHEN condition of a trigger, or nil.
  TORVExprToken* ParseTriggerCondition(TORVParseOptions ParseOptions);
  // Job schedules: a clause of seven day slots, one day's number, a clause
  // of twelve month slots.
  TORVExprToken* ParseDays();
  TORVExprToken* ParseDay();
  TORVExprToken* ParseMonths();
  // A trigger's clause of its two row variables, OldRow and NewRow.
  TORVExprToken* NewRowVariables() const;

  // Sub-parsers shared by the statements.
  // A ttTABLE of one to three parts; DatabaseName is the default FDatabaseName.
  TORVExprToken* ParseTableName(TORVParseOptions ParseOptions, const TORVString& DatabaseName);
  TORVExprToken* ParsePrivilegeName();
  // A parenthesised clause of ttCOLUMN names when "(" follows (or the
  // options require one), else nil.
  TORVExprToken* ParseColumnNames(TORVParseOptions ParseOptions);
  // Appends the NO BACKUP FILES slot of an index definition to Token.
  void ParseIndexExtensions(TORVExprToken* Token);
  // Gives a table reference of a FROM clause or a data change its clause
  // for pushed-down conditions and its join list.
  void AddTableRefClauses(TORVExprToken* Table);
  // An empty clause whose presence is a flag, and the flag constant "TRUE"
  // (typed Boolean where Typed).
  TORVExprToken* NewMarker() const;
  TORVExprToken* NewTrueConstant(bool Typed) const;

 protected:
  void BuildFunctionsLookupTable();
  void BuildFunctionsTable();
  void BuildStatementsLookupTable();
  void BuildStatementsTable();
  void BuildControlsLookupTable();
  void BuildControlsTable();

  TORVExprToken* ParseObjectName(TORVTokenType TokenType, std::u16string_view Expected);
  // Reads the parts of a table name into Table (a ttTABLE or ttTABLEREF
  // whose FDatabaseName holds the default database).
  void ParseQualifiedTableName(TORVExprToken* Table, TORVParseOptions ParseOptions);

  TORVCompiledExpr* FExpr = nullptr;
  // Operator of each keyword, by the keyword's index in its sorted list.
  std::array<uint8_t, 96> FFunctionsLookupTable{};
  // Grammar routine of each operator, by operator - toABORTED (functions),
  // - toALTER (statements), - toABORT (controls); an empty entry is never
  // called.
  std::array<TORVParseMethod, FunctionsTableCount> FFunctionsTable{};
  std::array<uint8_t, 32> FStatementsLookupTable{};
  std::array<TORVParseMethod, StatementsTableCount> FStatementsTable{};
  std::array<uint8_t, 32> FControlsLookupTable{};
  std::array<TORVControlParseMethod, ControlsTableCount> FControlsTable{};
  int32_t FNestingDepth = 0;
  int32_t FCaseOperandCopies = 0;
};

// One level of grammar nesting for the lifetime of the object.
class TORVParseNesting {
 public:
  explicit TORVParseNesting(TORVExprParser& Parser) : FParser(Parser) { FParser.EnterNesting(); }
  ~TORVParseNesting() { FParser.LeaveNesting(); }
  TORVParseNesting(const TORVParseNesting&) = delete;
  TORVParseNesting& operator=(const TORVParseNesting&) = delete;

 private:
  TORVExprParser& FParser;
};

// Holds a tree that a grammar routine is building, so that an error leaves
// no nodes behind: the tree is freed unless it was released to the caller.
class TORVPartialTree {
 public:
  explicit TORVPartialTree(TORVExprToken* Token = nullptr) : FToken(Token) {}
  ~TORVPartialTree() { FreeTokens(FToken); }
  TORVPartialTree(const TORVPartialTree&) = delete;
  TORVPartialTree& operator=(const TORVPartialTree&) = delete;

  TORVExprToken* Get() const { return FToken; }
  TORVExprToken* operator->() const { return FToken; }
  // Frees what was held and holds Token instead.
  void Reset(TORVExprToken* Token) {
    FreeTokens(FToken);
    FToken = Token;
  }
  TORVExprToken* Release() {
    TORVExprToken* token = FToken;
    FToken = nullptr;
    return token;
  }

 private:
  TORVExprToken* FToken;
};

}  // namespace orv
