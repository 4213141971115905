// The expression evaluator: walks a compiled, typed token tree and leaves
// the result of every node in that node's own value object (FValue).
//
// The base class implements the operators and built-in functions that need
// nothing but values; everything that needs a session, a database, a cursor
// or a table is a virtual operation that the base leaves empty and the
// session's evaluator overrides. eval/README.md describes the road a call
// takes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/orvtype.h"
#include "core/orvcommon.h"
#include "sql/orvexprtoken.h"

namespace orv {

class TORVContainedValue;

class TORVExprEvaluator : public TORVBaseObject {
 public:
  // Every routine of the dispatch tables takes the node to evaluate and
  // leaves its result in the node's FValue.
  using TORVEvaluateRoutine = void (TORVExprEvaluator::*)(TORVExprToken* Token);

  static constexpr int32_t OperatorsTableCount = toSUBINTERVAL - toADD + 1;      // 16
  static constexpr int32_t ExtOperatorsTableCount = toNOTLIKE - toBETWEEN + 1;   // 12
  static constexpr int32_t FunctionsTableCount = toUPPER - toABORTED + 1;         // 94

  // CharacterSetToUse is the character set of every value this evaluator
  // creates (CharacterSetAnsi or CharacterSetUnicode).
  explicit TORVExprEvaluator(int32_t CharacterSetToUse);
  ~TORVExprEvaluator() override;

  // A new evaluator of the same class.
  virtual std::unique_ptr<TORVExprEvaluator> Create(int32_t CharacterSetToUse) const;

  // Once after compiling, per row, and before the tree is freed or
  // recompiled; each does nothing for a nil Token.
  void Initialize(TORVExprToken* Token);
  virtual void Evaluate(TORVExprToken* Token);
  void Reset(TORVExprToken* Token);

  // Evaluates one node; operator routines call it on their operands, so
  // each operator decides whether and in which order they are evaluated.
  void EvaluateNextToken(TORVExprToken* Token);
  // Children first (left, right, then every non-empty argument), then
  // InitializeValue of the node. Walks with an explicit stack.
  virtual void InitializeNextToken(TORVExprToken* Token);
  // Children first, then FreeValue of the node. Walks with an explicit
  // stack.
  virtual void ResetNextToken(TORVExprToken* Token);

  // Makes sure the node has its value object: created, typed from the node
  // and, for a constant, parsed from its text.
  virtual void GetValue(TORVExprToken* Token);
  virtual std::unique_ptr<TORVContainedValue> CreateContainedValue(TORVExprToken* Token);
  virtual void InitializeValue(TORVExprToken* Token);
  virtual void FreeValue(TORVExprToken* Token);

  int32_t GetCharacterSet() const { return FCharacterSet; }

  // Virtual operations. The base class leaves the result as it is unless
  // said otherwise; the session's evaluator gives them their meaning.
  virtual void EvaluateRowValue(TORVExprToken* Token);
  virtual void EvaluateQuery(TORVExprToken* Token);
  virtual void EvaluateTableRef(TORVExprToken* Token);
  virtual void EvaluateFuncRef(TORVExprToken* Token);
  virtual void EvaluateCOUNT(TORVExprToken* Token);
  virtual void EvaluateLIST(TORVExprToken* Token);
  virtual void EvaluateMAX(TORVExprToken* Token);
  virtual void EvaluateMIN(TORVExprToken* Token);
  virtual void EvaluateSUM(TORVExprToken* Token);
  virtual void EvaluateSUMSQUARE(TORVExprToken* Token);
  // The aggregates derived from the hidden SUM, SUMSQUARE and COUNT copies
  // that query validation adds as their further arguments; evaluating
  // those accumulates them (orvevalaggregate.cpp).
  void EvaluateAVG(TORVExprToken* Token);
  void EvaluateSTDDEV(TORVExprToken* Token);
  void EvaluateRUNSUM(TORVExprToken* Token);
  virtual void EvaluateInQuery(TORVExprToken* Left, int32_t PartialLength, TORVExprToken* InToken,
                               TORVExprToken* QueryToken);
  virtual void EvaluateExistsQuery(TORVExprToken* QueryToken, TORVExprToken* ExistsToken);
  // Set the Boolean of Token (CONTAINS or CONTAINS ANY, or their NOT form,
  // which negates it afterwards). Base: the engine error naming the
  // operator, since searching text needs the session's text indexes.
  virtual void EvaluateContainsText(TORVExprToken* Column, TORVExprToken* SearchText, TORVExprToken* Token);
  virtual void EvaluateContainsAnyText(TORVExprToken* Column, TORVExprToken* SearchText, TORVExprToken* Token);
  virtual void EvaluateError(TORVExprToken* Token);
  // Base: False.
  virtual void EvaluateABORTED(TORVExprToken* Token);
  virtual void EvaluateCursorAttribute(TORVExprToken* Token);
  virtual void EvaluateStatementAttribute(TORVExprToken* Token);
  virtual void EvaluateCARDINALITY(TORVExprToken* Token);
  virtual void EvaluateCURCOMPUTER(TORVExprToken* Token);
  virtual void EvaluateCURDATABASE(TORVExprToken* Token);
  virtual void EvaluateCURSESSIONID(TORVExprToken* Token);
  virtual void EvaluateCURUSER(TORVExprToken* Token);
  virtual void EvaluateCURVERSION(TORVExprToken* Token);
  virtual void EvaluateINTRANS(TORVExprToken* Token);
  virtual void EvaluateLASTIDENTITY(TORVExprToken* Token);
  virtual void EvaluateLOADINGUPDATES(TORVExprToken* Token);
  virtual void EvaluateOPERATION(TORVExprToken* Token);
  // Base: EvaluateStatementAttribute.
  virtual void EvaluateSTMTRESULT(TORVExprToken* Token);

  // Logical operators: three-valued, the right operand evaluated only when
  // the left one does not decide.
  void EvaluateAND(TORVExprToken* Token);
  void EvaluateOR(TORVExprToken* Token);
  void EvaluateNOT(TORVExprToken* Token);

  // Comparisons: NULL when either side has any NULL.
  void EvaluateEQ(TORVExprToken* Token);
  void EvaluateNE(TORVExprToken* Token);
  void EvaluateLT(TORVExprToken* Token);
  void EvaluateLE(TORVExprToken* Token);
  void EvaluateGT(TORVExprToken* Token);
  void EvaluateGE(TORVExprToken* Token);

  // Predicates (orvevalpredicate.cpp). Argument 0 is the tested value; a
  // NULL in it gives NULL, except for IS NULL and IS NOT NULL, which are
  // never NULL. NULL items of an IN list never make the result NULL.
  void EvaluateBETWEEN(TORVExprToken* Token);
  void EvaluateNOTBETWEEN(TORVExprToken* Token);
  void EvaluateIN(TORVExprToken* Token);
  void EvaluateNOTIN(TORVExprToken* Token);
  void EvaluateLIKE(TORVExprToken* Token);
  void EvaluateNOTLIKE(TORVExprToken* Token);
  void EvaluateISNULL(TORVExprToken* Token);
  void EvaluateISNOTNULL(TORVExprToken* Token);
  // The text searches: NULL when the column is; otherwise the search text
  // is evaluated and EvaluateContainsText or EvaluateContainsAnyText
  // answers, which the NOT forms negate.
  void EvaluateCONTAINS(TORVExprToken* Token);
  void EvaluateNOTCONTAINS(TORVExprToken* Token);
  void EvaluateCONTAINSANY(TORVExprToken* Token);
  void EvaluateNOTCONTAINSANY(TORVExprToken* Token);

  // Conditional functions (orvevalpredicate.cpp): only the operands that
  // decide, or that are chosen, are evaluated.
  void EvaluateICASE(TORVExprToken* Token);
  void EvaluateIIF(TORVExprToken* Token);
  void EvaluateIFNULL(TORVExprToken* Token);
  void EvaluateNULLIF(TORVExprToken* Token);
  void EvaluateCOALESCE(TORVExprToken* Token);

  // CAST (orvevalcast.cpp): a plain conversion, or with DATE FORMAT, TIME
  // FORMAT, DECIMAL CHAR or BOOLEAN clauses a formatted one. Text that the
  // formats cannot read raises the conversion error.
  void EvaluateCAST(TORVExprToken* Token);

  // Arithmetic, chosen by the operands' data types (orvevalarith.cpp).
  // Integer arithmetic wraps; division and remainder by zero give NULL.
  void EvaluateADD(TORVExprToken* Token);
  void EvaluateSUB(TORVExprToken* Token);
  void EvaluateMUL(TORVExprToken* Token);
  void EvaluateDIV(TORVExprToken* Token);
  void EvaluateMOD(TORVExprToken* Token);
  void EvaluateNEGATE(TORVExprToken* Token);
  void EvaluateSUBINTERVAL(TORVExprToken* Token);

  // Scalar functions (orvevalfunctions.cpp). A NULL first argument gives
  // NULL unless said otherwise; a type a function does not know raises the
  // conversion error.
  void EvaluateABS(TORVExprToken* Token);
  void EvaluateROUND(TORVExprToken* Token);
  void EvaluateTRUNCATE(TORVExprToken* Token);
  void EvaluateCEILING(TORVExprToken* Token);
  void EvaluateFLOOR(TORVExprToken* Token);
  void EvaluateSIGN(TORVExprToken* Token);
  void EvaluatePI(TORVExprToken* Token);
  void EvaluateRAND(TORVExprToken* Token);
  // NULL where the result is not a finite Double.
  void EvaluateACOS(TORVExprToken* Token);
  void EvaluateASIN(TORVExprToken* Token);
  void EvaluateCOT(TORVExprToken* Token);
  void EvaluateEXP(TORVExprToken* Token);
  void EvaluateLOG(TORVExprToken* Token);
  void EvaluateLOG10(TORVExprToken* Token);
  // The floating-point error where the result is not a finite Double.
  void EvaluateATAN(TORVExprToken* Token);
  void EvaluateATAN2(TORVExprToken* Token);
  void EvaluateCOS(TORVExprToken* Token);
  void EvaluateSIN(TORVExprToken* Token);
  void EvaluateTAN(TORVExprToken* Token);
  void EvaluateDEGREES(TORVExprToken* Token);
  void EvaluateRADIANS(TORVExprToken* Token);
  void EvaluatePOWER(TORVExprToken* Token);
  void EvaluateSQRT(TORVExprToken* Token);
  // Texts; a result longer than the largest character length is the range
  // error, raised before it is built.
  void EvaluateCONCAT(TORVExprToken* Token);
  void EvaluateLEFT(TORVExprToken* Token);
  void EvaluateRIGHT(TORVExprToken* Token);
  void EvaluateLENGTH(TORVExprToken* Token);
  void EvaluateLOWER(TORVExprToken* Token);
  void EvaluateUPPER(TORVExprToken* Token);
  void EvaluatePOS(TORVExprToken* Token);
  void EvaluateOCCURS(TORVExprToken* Token);
  void EvaluateQUOTEDSTR(TORVExprToken* Token);
  void EvaluateREPEATSTR(TORVExprToken* Token);
  void EvaluateREPLACE(TORVExprToken* Token);
  void EvaluateSUBSTRING(TORVExprToken* Token);
  void EvaluateTRIMBOTH(TORVExprToken* Token);
  void EvaluateTRIMLEADING(TORVExprToken* Token);
  void EvaluateTRIMTRAILING(TORVExprToken* Token);
  // EXTRACT of YEAR, MONTH, DAY, HOUR, MINUTE, SECOND and MSECOND; the ISO
  // calendar fields have routines of their own.
  void EvaluateExtractField(TORVExprToken* Token);
  void EvaluateEXTRACTDAYOFWEEK(TORVExprToken* Token);
  void EvaluateEXTRACTDAYOFYEAR(TORVExprToken* Token);
  void EvaluateEXTRACTWEEK(TORVExprToken* Token);
  // The clock, read at every evaluation, and a new GUID.
  void EvaluateCURDATE(TORVExprToken* Token);
  void EvaluateCURTIME(TORVExprToken* Token);
  void EvaluateCURTIMESTAMP(TORVExprToken* Token);
  void EvaluateCURGUID(TORVExprToken* Token);

  // Entries that forward to a virtual operation.
  void EvaluateBOF(TORVExprToken* Token);
  void EvaluateEOF(TORVExprToken* Token);
  void EvaluateCOLCOUNT(TORVExprToken* Token);
  void EvaluateCOLNAME(TORVExprToken* Token);
  void EvaluateROWCOUNT(TORVExprToken* Token);
  void EvaluateSENSITIVE(TORVExprToken* Token);
  void EvaluateROWSAFFECTED(TORVExprToken* Token);
  void EvaluateERRORCODE(TORVExprToken* Token);
  void EvaluateERRORMSG(TORVExprToken* Token);
  void EvaluateUDF(TORVExprToken* Token);
  void EvaluateEXISTS(TORVExprToken* Token);

 protected:
  // The routine of an operator of a table, or nil for an empty entry.
  TORVEvaluateRoutine GetOperatorRoutine(TORVTokenOperator Operator) const;
  TORVEvaluateRoutine GetExtOperatorRoutine(TORVTokenOperator Operator) const;
  TORVEvaluateRoutine GetFunctionRoutine(TORVTokenOperator Operator) const;

  int32_t FCharacterSet;

 private:
  void BuildOperatorsTable();
  void BuildExtOperatorsTable();
  void BuildFunctionsTable();
  // GetValue and the node's routine; the operands are evaluated by the
  // routine.
  void EvaluateToken(TORVExprToken* Token);
  void CallRoutine(TORVEvaluateRoutine Routine, TORVExprToken* Token);
  // A node whose left operand is a binary or unary node of its own chain;
  // such chains are evaluated bottom-up without recursion.
  static bool IsChainLink(const TORVExprToken* Token);
  void EvaluateChain(TORVExprToken* Token);
  // Evaluates the left, then the right operand; True, with the node's value
  // made NULL, when either is NULL (has any NULL, with AnyNull).
  bool EvaluateOperands(TORVExprToken* Token, bool AnyNull);
  // The six comparisons share one routine: the compare result decides.
  int32_t CompareOperands(TORVExprToken* Token, bool& AnyNull);
  // The Boolean of BETWEEN, IN and LIKE (the NOT forms negate it); False
  // when the node's value was made NULL instead.
  bool TestBetween(TORVExprToken* Token, bool& Result);
  bool TestInList(TORVExprToken* Token, bool& Result);
  bool TestLike(TORVExprToken* Token, bool& Result);
  // The same for the text searches, through the virtual operation.
  bool TestContains(TORVExprToken* Token, bool AnyWord, bool& Result);
  // Evaluates Source into the node's value, converted to the node's type.
  void TakeResult(TORVExprToken* Token, TORVExprToken* Source);
  // Scalar function helpers: False, with the node's value made NULL, when
  // the first argument (any argument) is NULL.
  bool EvaluateFirstArgument(TORVExprToken* Token);
  bool EvaluateAllArguments(TORVExprToken* Token);
  void EvaluateRoundOrTruncate(TORVExprToken* Token, bool Round);
  void EvaluateFloatFunction(TORVExprToken* Token, long double (*Function)(long double), bool NullOnError);
  void EvaluateFloatPair(TORVExprToken* Token, long double (*Function)(long double, long double));
  bool EvaluateSearchedText(TORVExprToken* Token, TORVString& Sub, TORVString& S);
  void EvaluateTrim(TORVExprToken* Token, bool Leading, bool Trailing);
  void EvaluateExtractDay(TORVExprToken* Token, int32_t (*Function)(int32_t));

  std::array<TORVEvaluateRoutine, OperatorsTableCount> FOperatorsTable{};
  std::array<TORVEvaluateRoutine, ExtOperatorsTableCount> FExtOperatorsTable{};
  std::array<TORVEvaluateRoutine, FunctionsTableCount> FFunctionsTable{};
  // The left operand of a chain link that EvaluateChain has just
  // evaluated: the link's routine finds its value in place instead of
  // walking down again. Nil outside EvaluateChain.
  TORVExprToken* FEvaluatedOperand = nullptr;
  // Scratch stack of the chain walk and of Initialize and Reset.
  std::vector<TORVExprToken*> FChain;
};

}  // namespace orv
