#include "sql/orvbuilder.h"

#include <string_view>
#include <vector>

#include "core/orvliteral.h"
#include "core/orvtypefunc.h"
#include "core/orvvalue.h"
#include "core/orvstrings.h"
#include "core/orvwords.h"
#include "sql/orvbuilderlevels.h"
#include "sql/orvconsts.h"
#include "sql/orvroutineslots.h"
#include "sql/orvstmtslots.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"

namespace orv {

namespace {

// The target table of a data change: the one table of its query's table
// slot.
const TORVExprToken* DmlTable(const TORVExprToken* Query) {
  const TORVExprToken* Clause = TokenSlot(Query, DmlTableSlot);
  return Clause != nullptr && Clause->GetNumArguments() > 0 ? Clause->GetArgument(0) : nullptr;
}

bool IsNumberType(int32_t DataType) {
  return DataType == dtSmallInt || DataType == dtInteger || DataType == dtBigInt || DataType == dtFloat ||
         DataType == dtDecimal;
}

int32_t BinaryLevel(TORVTokenOperator Operator) {
  switch (Operator) {
    case toOR:
      return LevelOr;
    case toAND:
      return LevelAnd;
    case toEQ:
    case toGE:
    case toGT:
    case toLE:
    case toLT:
    case toNE:
      return LevelComparison;
    case toADD:
    case toSUB:
      return LevelAdditive;
    case toSUBINTERVAL:
      return LevelValue;
    default:
      return LevelMultiplicative;
  }
}

int32_t LevelOf(const TORVExprToken* Token) {
  if (Token->FParentheses) return LevelValue;
  switch (Token->FTokenType) {
    case ttQUERY:
      return LevelQuery;
    case ttBINARY:
      return BinaryLevel(Token->FTokenOperator);
    case ttUNARY:
      return Token->FTokenOperator == toNOT ? LevelNot : LevelUnary;
    case ttEXTBINARY:
      return LevelComparison;
    case ttCONST:
      // A sign folded into a number reads as a unary minus.
      if (IsNumberType(Token->FDataType) && !Token->FTokenConstant.empty() && Token->FTokenConstant.front() == u'-')
        return LevelUnary;
      return LevelValue;
    default:
      return LevelValue;
  }
}

// The strength each side of a binary operator needs: the grammar reads
// operators of one level from left to right, so the right side of a level
// binds one step tighter; comparisons do not chain at all.
int32_t LeftOperandLevel(TORVTokenOperator Operator) {
  const int32_t Level = BinaryLevel(Operator);
  return Level == LevelComparison ? LevelAdditive : Level;
}

int32_t RightOperandLevel(TORVTokenOperator Operator) {
  const int32_t Level = BinaryLevel(Operator);
  return Level == LevelComparison ? LevelAdditive : Level + 1;
}

std::u16string_view BinaryOperatorText(TORVTokenOperator Operator) {
  switch (Operator) {
    case toADD: return u"+";
    case toAND: return u"AND";
    case toDIV: return u"/";
    case toEQ: return u"=";
    case toGE: return u">=";
    case toGT: return u">";
    case toLE: return u"<=";
    case toLT: return u"<";
    case toMOD: return u"MOD";
    case toMUL: return u"*";
    case toNE: return u"<>";
    case toOR: return u"OR";
    case toSUB:
    case toSUBINTERVAL: return u"-";
    default: return u"";
  }
}

std::u16string_view ExtBinaryOperatorText(TORVTokenOperator Operator) {
  switch (Operator) {
    case toBETWEEN: return u"BETWEEN";
    case toCONTAINS: return u"CONTAINS";
    case toCONTAINSANY: return u"CONTAINS ANY";
    case toIN: return u"IN";
    case toISNOTNULL: return u"IS NOT NULL";
    case toISNULL: return u"IS NULL";
    case toLIKE: return u"LIKE";
    case toNOTBETWEEN: return u"NOT BETWEEN";
    case toNOTCONTAINS: return u"DOES NOT CONTAIN";
    case toNOTCONTAINSANY: return u"DOES NOT CONTAIN ANY";
    case toNOTIN: return u"NOT IN";
    case toNOTLIKE: return u"NOT LIKE";
    default: return u"";
  }
}

std::u16string_view MergeOperatorText(TORVTokenOperator Operator) {
  switch (Operator) {
    case toUNION: return u"UNION";
    case toUNIONALL: return u"UNION ALL";
    case toINTERSECT: return u"INTERSECT";
    case toINTERSECTALL: return u"INTERSECT ALL";
    case toEXCEPT: return u"EXCEPT";
    case toEXCEPTALL: return u"EXCEPT ALL";
    default: return u"";
  }
}

std::u16string_view JoinOperatorText(TORVTokenOperator Operator) {
  switch (Operator) {
    case toINNERJOIN: return u"INNER JOIN";
    case toLEFTOUTERJOIN: return u"LEFT OUTER JOIN";
    case toRIGHTOUTERJOIN: return u"RIGHT OUTER JOIN";
    default: return u"";
  }
}

std::u16string_view ExtractPartText(TORVTokenOperator Operator) {
  switch (Operator) {
    case toEXTRACTDAY: return u"DAY";
    case toEXTRACTDAYOFWEEK: return u"DAYOFWEEK";
    case toEXTRACTDAYOFYEAR: return u"DAYOFYEAR";
    case toEXTRACTHOUR: return u"HOUR";
    case toEXTRACTMINUTE: return u"MINUTE";
    case toEXTRACTMONTH: return u"MONTH";
    case toEXTRACTMSECOND: return u"MSECOND";
    case toEXTRACTSECOND: return u"SECOND";
    case toEXTRACTWEEK: return u"WEEK";
    case toEXTRACTYEAR: return u"YEAR";
    default: return u"";
  }
}

std::u16string_view TrimSideText(TORVTokenOperator Operator) {
  switch (Operator) {
    case toTRIMBOTH: return u"BOTH";
    case toTRIMLEADING: return u"LEADING";
    case toTRIMTRAILING: return u"TRAILING";
    default: return u"";
  }
}

// The one spelling of each function operator; synonyms of the parser come
// back in it.
std::u16string_view FunctionName(TORVTokenOperator Operator) {
  switch (Operator) {
    case toABORTED: return u"ABORTED";
    case toABS: return u"ABS";
    case toACOS: return u"ACOS";
    case toASIN: return u"ASIN";
    case toATAN: return u"ATAN";
    case toATAN2: return u"ATAN2";
    case toAVG: return u"AVG";
    case toBOF: return u"BOF";
    case toCARDINALITY: return u"CARDINALITY";
    case toCAST: return u"CAST";
    case toCEILING: return u"CEILING";
    case toCOALESCE: return u"COALESCE";
    case toCOLCOUNT: return u"COLUMNCOUNT";
    case toCOLNAME: return u"COLUMNNAME";
    case toCONCAT: return u"CONCAT";
    case toCOS: return u"COS";
    case toCOT: return u"COT";
    case toCOUNT: return u"COUNT";
    case toCURCOMPUTER: return u"CURRENT_COMPUTER";
    case toCURDATABASE: return u"CURRENT_DATABASE";
    case toCURDATE: return u"CURRENT_DATE";
    case toCURGUID: return u"CURRENT_GUID";
    case toCURSESSIONID: return u"CURRENT_SESSIONID";
    case toCURTIME: return u"CURRENT_TIME";
    case toCURTIMESTAMP: return u"CURRENT_TIMESTAMP";
    case toCURUSER: return u"CURRENT_USER";
    case toCURVERSION: return u"CURRENT_VERSION";
    case toDEGREES: return u"DEGREES";
    case toEOF: return u"EOF";
    case toERRORCODE: return u"ERRORCODE";
    case toERRORMSG: return u"ERRORMSG";
    case toEXISTS: return u"EXISTS";
    case toEXP: return u"EXP";
    case toEXTRACT:
    case toEXTRACTDAY:
    case toEXTRACTDAYOFWEEK:
    case toEXTRACTDAYOFYEAR:
    case toEXTRACTHOUR:
    case toEXTRACTMINUTE:
    case toEXTRACTMONTH:
    case toEXTRACTMSECOND:
    case toEXTRACTSECOND:
    case toEXTRACTWEEK:
    case toEXTRACTYEAR: return u"EXTRACT";
    case toFLOOR: return u"FLOOR";
    case toICASE: return u"CASE";
    case toIFNULL: return u"IFNULL";
    case toIIF: return u"IF";
    case toINTRANS: return u"INTRANSACTION";
    case toLASTIDENTITY: return u"LASTIDENTITY";
    case toLEFT: return u"LEFT";
    case toLENGTH: return u"LENGTH";
    case toLIST: return u"LIST";
    case toLOADINGUPDATES: return u"LOADINGUPDATES";
    case toLOG: return u"LOG";
    case toLOG10: return u"LOG10";
    case toLOWER: return u"LOWER";
    case toMAX: return u"MAX";
    case toMIN: return u"MIN";
    case toNULLIF: return u"NULLIF";
    case toOCCURS: return u"OCCURS";
    case toOPERATION: return u"OPERATION";
    case toPI: return u"PI";
    case toPOS: return u"POS";
    case toPOWER: return u"POWER";
    case toQUOTEDSTR: return u"QUOTEDSTR";
    case toRADIANS: return u"RADIANS";
    case toRAND: return u"RAND";
    case toREPEATSTR: return u"REPEAT";
    case toREPLACE: return u"REPLACE";
    case toRIGHT: return u"RIGHT";
    case toROUND: return u"ROUND";
    case toROWCOUNT: return u"ROWCOUNT";
    case toROWSAFFECTED: return u"ROWSAFFECTED";
    case toRUNSUM: return u"RUNSUM";
    case toSENSITIVE: return u"SENSITIVE";
    case toSIGN: return u"SIGN";
    case toSIN: return u"SIN";
    case toSQRT: return u"SQRT";
    case toSTDDEV: return u"STDDEV";
    case toSTMTRESULT: return u"STMTRESULT";
    case toSUBSTRING: return u"SUBSTRING";
    case toSUM: return u"SUM";
    case toSUMSQUARE: return u"SUMSQUARE";
    case toTAN: return u"TAN";
    case toTRIM:
    case toTRIMBOTH:
    case toTRIMLEADING:
    case toTRIMTRAILING: return u"TRIM";
    case toTRUNCATE: return u"TRUNCATE";
    case toUPPER: return u"UPPER";
    default: return u"";
  }
}

// The strength an argument of a function needs: whole expressions where
// the grammar reads them, a single value where it reads only that, and an
// additive expression everywhere else.
int32_t ArgumentLevel(TORVTokenOperator Operator, int32_t Index) {
  switch (Operator) {
    case toIIF:
    case toIFNULL:
    case toNULLIF:
    case toCOALESCE:
    case toUDF:
      return LevelOr;
    case toCARDINALITY:
      return LevelComparison;
    case toEXISTS:
      return LevelValue;
    case toROUND:
    case toTRUNCATE:
      return Index == 1 ? LevelValue : LevelAdditive;
    default:
      return LevelAdditive;
  }
}

}  // namespace

// A simple CASE (CASE x WHEN 1 ...) keeps a copy of its operand on the left
// of each untyped equality; it is written back in that form.
const TORVExprToken* SimpleCaseOperand(const TORVExprToken* Options) {
  const TORVExprToken* Operand = nullptr;
  for (int32_t I = 0; I < Options->GetNumArguments(); ++I) {
    const TORVExprToken* Option = Options->GetArgument(I);
    // ELSE: a toDEFAULT constant in a CASE expression, nil in a CASE
    // statement.
    if (Option == nullptr || (Option->FTokenType == ttCONST && Option->FTokenOperator == toDEFAULT)) continue;
    if (Option->FTokenType != ttBINARY || Option->FTokenOperator != toEQ || Option->FDataType != dtUnknown ||
        Option->FParentheses || Option->GetLeftToken() == nullptr) {
      return nullptr;
    }
    if (Operand == nullptr) {
      Operand = Option->GetLeftToken();
    } else if (!CompareTokens(Operand, Option->GetLeftToken())) {
      return nullptr;
    }
  }
  return Operand;
}

const TORVExprToken* TokenSlot(const TORVExprToken* Token, int32_t Index) {
  if (Token == nullptr || Index >= Token->GetNumArguments()) return nullptr;
  return Token->GetArgument(Index);
}

TORVString QuotedName(const TORVString& Name) {
  TORVString Result;
  Result.reserve(Name.size() + 2);
  Result += u'"';
  // The tokenizer folds both doubled quotes inside a quoted name.
  for (char16_t C : Name) {
    if (C == u'"' || C == u'\'') Result += C;
    Result += C;
  }
  Result += u'"';
  return Result;
}

// Names of variables, parameters, cursors, statements and routines are
// written bare; one that would not read back as that name where a value
// stands (not one identifier, or a word the grammar reads as a value or
// function) keeps its quotes.
TORVString BareName(const TORVString& Name) {
  static constexpr std::u16string_view ValueWords[] = {u"TRUE", u"FALSE", u"NULL",      u"NAN",    u"DATE",
                                                       u"TIME", u"TIMESTAMP", u"INTERVAL", u"SELECT", u"TABLE",
                                                       u"NOT"};
  bool Plain = !Name.empty() && IsAlpha(Name.front());
  for (char16_t C : Name) Plain = Plain && IsAlphaNumeric(C);
  for (std::u16string_view Word : ValueWords) Plain = Plain && !SameString(Name, Word);
  Plain = Plain && FindKeyword(FunctionKeywords, Name) < 0;
  return Plain ? Name : QuotedName(Name);
}

TORVString TORVExprBuilder::FormattedConstant(const TORVString& Value, int32_t DataType, int32_t SubType) {
  auto Quoted = [&Value](bool DoubleQuotes) {
    TORVString Result = u"'";
    for (char16_t C : Value) {
      if (DoubleQuotes && C == u'\'') Result += u'\'';
      Result += C;
    }
    return Result + u"'";
  };
  switch (DataType) {
    case dtCharacter:
      return Quoted(true);
    case dtBytes:
      return u"X" + Quoted(false);
    case dtLargeObject:
      if (SubType == stClob) return Quoted(true);
      if (SubType == stBlob) return u"X" + Quoted(false);
      return Value;
    case dtDate:
      return u"DATE " + Quoted(false);
    case dtTime:
      return u"TIME " + Quoted(false);
    case dtTimeStamp:
      return u"TIMESTAMP " + Quoted(false);
    case dtYearMonthInterval:
    case dtDayTimeInterval: {
      TORVString Result = u"INTERVAL " + Quoted(false);
      const TORVString Qualifier = IntervalTypeToSQLString(DataType, SubType);
      if (!Qualifier.empty()) Result += u" " + Qualifier;
      return Result;
    }
    default:
      return Value;
  }
}

void TORVExprBuilder::NewLine() {
  Write(FIncludeLineBreaks ? u"\r\n" : u" ");
  Indent();
}

void TORVExprBuilder::Indent() {
  for (int32_t I = 0; I <= FIndentationLevel; ++I) Write(u"   ");
}

void TORVExprBuilder::BuildOperand(const TORVExprToken* Token, int32_t MinLevel) {
  if (Token == nullptr || LevelOf(Token) >= MinLevel) {
    BuildExpr(Token);
    return;
  }
  Write(u"(");
  BuildExpr(Token);
  Write(u")");
}

void TORVExprBuilder::BuildValue(const TORVExprToken* Token) { BuildOperand(Token, LevelValue); }

void TORVExprBuilder::BuildAdditive(const TORVExprToken* Token) { BuildOperand(Token, LevelAdditive); }

void TORVExprBuilder::BuildCondition(const TORVExprToken* Token) { BuildOperand(Token, LevelOr); }

void TORVExprBuilder::BuildExpr(const TORVExprToken* Token) {
  if (Token == nullptr) return;
  if (Token->FTokenType == ttQUERY) {
    FIndentationLevel = -1;
    BuildQuery(Token, true);
    return;
  }
  // A subtraction of dates carries its interval qualifier after its own
  // closing parenthesis, where the grammar reads it.
  const bool Parentheses = Token->FParentheses && Token->FTokenOperator != toSUBINTERVAL;
  if (Parentheses) Write(u"(");
  switch (Token->FTokenType) {
    case ttBINARY:
      if (FIncludePlan && Token->FTokenOperator != toSUBINTERVAL) {
        BuildConditionPlan(Token);
      } else {
        BuildBinary(Token);
      }
      break;
    case ttEXTBINARY:
      if (FIncludePlan) {
        BuildConditionPlan(Token);
      } else {
        BuildExtBinary(Token);
      }
      break;
    case ttFUNCREF:
      BuildFunction(Token);
      break;
    case ttROWVALUE:
      Write(u"(");
      for (int32_t I = 0; I < Token->GetNumArguments(); ++I) {
        if (I > 0) Write(u", ");
        BuildOperand(Token->GetArgument(I), LevelOr);
      }
      Write(u")");
      break;
    case ttUNARY:
      if (Token->FTokenOperator == toNOT) {
        Write(u"NOT ");
        BuildOperand(Token->GetLeftToken(), LevelComparison);
      } else {
        Write(u"- ");
        BuildOperand(Token->GetLeftToken(), LevelValue);
      }
      break;
    default:
      BuildToken(Token);
      break;
  }
  if (Parentheses) Write(u")");
}

// A chain of operators on the left (a OR b OR c ...) is walked without
// recursion, so that however long the chain the stack stays flat.
void TORVExprBuilder::BuildBinary(const TORVExprToken* Token) {
  if (Token->FTokenOperator == toSUBINTERVAL) {
    Write(u"(");
    BuildOperand(Token->GetLeftToken(), LeftOperandLevel(toSUB));
    Write(u" - ");
    BuildOperand(Token->GetRightToken(), RightOperandLevel(toSUB));
    Write(u") ");
    BuildIntervalType(Token);
    return;
  }
  std::vector<const TORVExprToken*> Chain{Token};
  for (;;) {
    const TORVExprToken* Left = Chain.back()->GetLeftToken();
    if (Left == nullptr || Left->FTokenType != ttBINARY || Left->FTokenOperator == toSUBINTERVAL ||
        Left->FParentheses || LevelOf(Left) < LeftOperandLevel(Chain.back()->FTokenOperator)) {
      break;
    }
    Chain.push_back(Left);
  }
  BuildOperand(Chain.back()->GetLeftToken(), LeftOperandLevel(Chain.back()->FTokenOperator));
  for (auto Node = Chain.rbegin(); Node != Chain.rend(); ++Node) {
    Write(u" ");
    Write(BinaryOperatorText((*Node)->FTokenOperator));
    Write(u" ");
    BuildOperand((*Node)->GetRightToken(), RightOperandLevel((*Node)->FTokenOperator));
  }
}

void TORVExprBuilder::BuildExtBinary(const TORVExprToken* Token) {
  const int32_t Count = Token->GetNumArguments();
  BuildOperand(TokenSlot(Token, LeftOperandSlot), LevelAdditive);
  Write(u" ");
  Write(ExtBinaryOperatorText(Token->FTokenOperator));
  switch (Token->FTokenOperator) {
    case toBETWEEN:
    case toNOTBETWEEN:
      for (int32_t I = 1; I < Count; ++I) {
        Write(I == 1 ? u" " : u" AND ");
        BuildOperand(Token->GetArgument(I), LevelAdditive);
      }
      break;
    case toIN:
    case toNOTIN: {
      Write(u" (");
      // A lone sub-query is the list's own parenthesis.
      const int32_t Level = Count == 2 ? LevelQuery : LevelAdditive;
      for (int32_t I = 1; I < Count; ++I) {
        if (I > 1) Write(u", ");
        BuildOperand(Token->GetArgument(I), Level);
      }
      Write(u")");
      break;
    }
    case toISNULL:
    case toISNOTNULL:
      break;
    case toLIKE:
    case toNOTLIKE:
      Write(u" ");
      BuildOperand(TokenSlot(Token, RightOperandSlot), LevelValue);
      if (Count > 2 && Token->GetArgument(2) != nullptr) {
        Write(u" ESCAPE ");
        BuildOperand(Token->GetArgument(2), LevelValue);
      }
      break;
    default:
      Write(u" ");
      BuildOperand(TokenSlot(Token, RightOperandSlot), LevelValue);
      break;
  }
}

void TORVExprBuilder::BuildFunction(const TORVExprToken* Token) {
  const TORVTokenOperator Operator = Token->FTokenOperator;
  if (Operator == toICASE) {
    BuildCase(Token);
    return;
  }
  if (Operator == toCAST) {
    BuildCast(Token);
    return;
  }
  BuildToken(Token);
  const int32_t Count = Token->GetNumArguments();
  // INTRANSACTION takes an argument when it has parentheses.
  if (Operator == toINTRANS && Count == 0) return;
  if (Operator == toEXISTS) Write(u" ");
  Write(u"(");
  if (IsAggregateOperator(Operator)) {
    if (Token->FTokenID & 1) Write(u"DISTINCT ");
    if (Token->FTokenID & 2) Write(u"ORDERED ");
    BuildOperand(TokenSlot(Token, AggregateArgumentSlot), LevelAdditive);
    // Only LIST has a second argument of the user's, its separator; the
    // others' further arguments are the supporting aggregates validation
    // adds.
    if (Operator == toLIST && Count > 1 && Token->GetArgument(1) != nullptr) {
      Write(u", ");
      BuildOperand(Token->GetArgument(1), LevelAdditive);
    }
  } else if (!ExtractPartText(Operator).empty()) {
    Write(ExtractPartText(Operator));
    Write(u", ");
    BuildOperand(TokenSlot(Token, ExtractValueSlot), LevelAdditive);
  } else if (!TrimSideText(Operator).empty()) {
    Write(TrimSideText(Operator));
    Write(u" ");
    BuildOperand(TokenSlot(Token, TrimCharactersSlot), LevelValue);
    Write(u", ");
    BuildOperand(TokenSlot(Token, TrimTextSlot), LevelAdditive);
  } else {
    for (int32_t I = 0; I < Count; ++I) {
      if (I > 0) Write(u", ");
      // A lone sub-query is the call's own parenthesis.
      BuildOperand(Token->GetArgument(I), Count == 1 ? LevelQuery : ArgumentLevel(Operator, I));
    }
  }
  Write(u")");
}

void TORVExprBuilder::BuildCase(const TORVExprToken* Token) {
  const TORVExprToken* Options = TokenSlot(Token, CaseFunctionOptionsSlot);
  const TORVExprToken* Results = TokenSlot(Token, CaseFunctionResultsSlot);
  Write(u"CASE");
  if (Options == nullptr || Results == nullptr) {
    Write(u" END");
    return;
  }
  const TORVExprToken* Operand = SimpleCaseOperand(Options);
  if (Operand != nullptr) {
    Write(u" ");
    BuildOperand(Operand, LevelOr);
  }
  NewLine();
  for (int32_t I = 0; I < Options->GetNumArguments(); ++I) {
    const TORVExprToken* Option = Options->GetArgument(I);
    if (Option != nullptr && Option->FTokenType == ttCONST && Option->FTokenOperator == toDEFAULT) {
      Write(u"ELSE");
    } else {
      Write(u"WHEN ");
      BuildOperand(Operand != nullptr ? Option->GetRightToken() : Option, LevelOr);
      Write(u" THEN");
    }
    Write(u" ");
    BuildOperand(TokenSlot(Results, I), LevelOr);
    NewLine();
  }
  Write(u"END");
}

void TORVExprBuilder::BuildCast(const TORVExprToken* Token) {
  Write(u"CAST(");
  BuildOperand(TokenSlot(Token, CastValueSlot), LevelOr);
  Write(u", ");
  BuildDataType(TokenSlot(Token, CastDataTypeSlot));
  if (const TORVExprToken* Date = TokenSlot(Token, CastDateFormatSlot)) {
    Write(u" DATE FORMAT ");
    BuildOperand(Date, LevelValue);
  }
  if (const TORVExprToken* Time = TokenSlot(Token, CastTimeFormatSlot)) {
    Write(u" TIME FORMAT ");
    if (Time->FTokenType == ttCONST) {
      BuildToken(Time);
    } else {
      BuildOperand(Time, LevelValue);
    }
    // The grammar appends the AM and PM literals to the format's own slots.
    const int32_t Count = Time->GetNumArguments();
    if (Count >= 2 && Time->GetArgument(Count - 2) != nullptr) {
      Write(u" AM LITERAL ");
      BuildOperand(Time->GetArgument(Count - 2), LevelValue);
    }
    if (Count >= 2 && Time->GetArgument(Count - 1) != nullptr) {
      Write(u" PM LITERAL ");
      BuildOperand(Time->GetArgument(Count - 1), LevelValue);
    }
  }
  if (const TORVExprToken* Decimal = TokenSlot(Token, CastDecimalCharSlot)) {
    Write(u" DECIMAL CHAR ");
    BuildOperand(Decimal, LevelValue);
  }
  if (const TORVExprToken* Literals = TokenSlot(Token, CastBooleanSlot)) {
    Write(u" BOOLEAN");
    if (const TORVExprToken* True = TokenSlot(Literals, BooleanTrueSlot)) {
      Write(u" TRUE LITERAL ");
      BuildOperand(True, LevelValue);
    }
    if (const TORVExprToken* False = TokenSlot(Literals, BooleanFalseSlot)) {
      Write(u" FALSE LITERAL ");
      BuildOperand(False, LevelValue);
    }
  }
  Write(u")");
}

// A parsed type keeps its length or precision as written in its slots; a
// typed one (from a column or the validater) in its fields.
void TORVExprBuilder::BuildDataType(const TORVExprToken* Token) {
  if (Token == nullptr) return;
  const int32_t DataType = Token->FDataType;
  const int32_t SubType = Token->FSubType;
  const TORVExprToken* First = TokenSlot(Token, DataTypeLengthSlot);
  auto WriteSlots = [&](int32_t Last) {
    Write(u"(");
    for (int32_t I = 0; I <= Last && I < Token->GetNumArguments(); ++I) {
      if (Token->GetArgument(I) == nullptr) break;
      if (I > 0) Write(u", ");
      BuildOperand(Token->GetArgument(I), LevelValue);
    }
    Write(u")");
  };
  if ((DataType == dtCharacter || DataType == dtBytes) && SubType != stGUID && First != nullptr) {
    Write(DataTypeToSQLString(DataType, SubType, 0, 0));
    WriteSlots(0);
  } else if ((DataType == dtDecimal || DataType == dtFloat) && First != nullptr) {
    Write(DataType == dtDecimal ? u"DECIMAL" : u"FLOAT");
    WriteSlots(1);
  } else if (DataType == dtYearMonthInterval || DataType == dtDayTimeInterval) {
    Write(u"INTERVAL ");
    BuildIntervalType(Token);
  } else if (DataType == dtUnknown) {
    Write(Token->FTokenConstant);
  } else {
    Write(DataTypeToSQLString(DataType, SubType, Token->FLength, Token->FScale));
  }
  const bool Collated = DataType == dtCharacter || (DataType == dtLargeObject && SubType == stClob);
  if (const TORVExprToken* Collation = TokenSlot(Token, DataTypeCollationSlot); Collated && Collation != nullptr) {
    Write(u" COLLATE ");
    Write(QuotedName(Collation->FName));
  }
}

void TORVExprBuilder::BuildIntervalType(const TORVExprToken* Token) {
  Write(IntervalTypeToSQLString(Token->FDataType, Token->FSubType));
}

void TORVExprBuilder::BuildQualifiedName(const TORVExprToken* Token) {
  bool Dot = false;
  for (const TORVString* Part : {&Token->FDatabaseName, &Token->FSourceName}) {
    if (Part->empty()) continue;
    if (Dot) Write(u".");
    Write(QuotedName(*Part));
    Dot = true;
  }
  if (Dot) Write(u".");
  // The wildcard stays a wildcard, not a column named "*".
  if (Token->FName == u"*") {
    Write(u"*");
  } else {
    Write(QuotedName(Token->FName));
  }
}

// A COLLATE clause node, or a collation reference.
void TORVExprBuilder::BuildCollation(const TORVExprToken* Clause) {
  const TORVExprToken* Collation = Clause->FTokenType == ttCOLLATIONREF ? Clause : TokenSlot(Clause, CollateNameSlot);
  if (Collation == nullptr) return;
  Write(u" COLLATE ");
  Write(QuotedName(Collation->FName));
}

void TORVExprBuilder::BuildToken(const TORVExprToken* Token) {
  switch (Token->FTokenType) {
    case ttCOLUMNREF:
    case ttLINKEDCOLUMNREF:
    case ttROWCOLUMNREF:
    case ttTABLEREF:
    case ttNONE:
      if (Token->FTokenOperator == toDERIVED) {
        Write(u"(");
        FIndentationLevel = -1;
        BuildQuery(TokenSlot(Token, TableRefQuerySlot), true);
        Write(u")");
      } else {
        BuildQualifiedName(Token);
      }
      if (Token->FTokenType == ttTABLEREF) {
        if (!Token->FCorrelationName.empty()) Write(u" AS " + QuotedName(Token->FCorrelationName));
      } else if (Token->FTokenType == ttCOLUMNREF) {
        if (const TORVExprToken* Index = TokenSlot(Token, RefIndexSlot); Index != nullptr && Index->FTokenType == ttCLAUSE) {
          Write(u" [");
          BuildOperand(TokenSlot(Index, IndexValueSlot), LevelAdditive);
          Write(u"]");
        }
        const TORVExprToken* Collation = TokenSlot(Token, RefCollationSlot);
        if (Collation != nullptr && Collation->FTokenType == ttCLAUSE) BuildCollation(Collation);
        // A column of an index or key list carries its direction.
        const TORVExprToken* Direction = TokenSlot(Token, RefDirectionSlot);
        if (Direction != nullptr && Direction->FTokenType == ttCLAUSE) {
          if (Direction->FTokenOperator == toASC) Write(u" ASC");
          if (Direction->FTokenOperator == toDESC) Write(u" DESC");
        }
      }
      break;
    case ttARRAY:
      Write(BareName(Token->FName) + u" [" + IntToString(Token->GetNumArguments()) + u"]");
      break;
    case ttARRAYREF:
    case ttPARAMREF:
    case ttVARIABLEREF:
      Write(BareName(Token->FName));
      if (const TORVExprToken* Collation = TokenSlot(Token, RefCollationSlot)) BuildCollation(Collation);
      break;
    case ttARRAYELEMENTREF:
      Write(BareName(Token->FName));
      if (const TORVExprToken* Index = TokenSlot(Token, RefIndexSlot)) {
        Write(u" [");
        BuildOperand(Index->FTokenType == ttCLAUSE ? TokenSlot(Index, IndexValueSlot) : Index, LevelAdditive);
        Write(u"]");
      }
      if (const TORVExprToken* Collation = TokenSlot(Token, RefCollationSlot)) BuildCollation(Collation);
      break;
    case ttBINARY:
      Write(BinaryOperatorText(Token->FTokenOperator));
      break;
    case ttEXTBINARY:
      Write(ExtBinaryOperatorText(Token->FTokenOperator));
      break;
    case ttUNARY:
      Write(Token->FTokenOperator == toNOT ? u"NOT" : u"-");
      break;
    case ttCONST:
      Write(FormattedConstant(Token->FTokenConstant, Token->FDataType, Token->FSubType));
      break;
    case ttDYNPARAMREF:
      if (FIncludeParameterValues && Token->FValue != nullptr && !Token->FValue->GetNull()) {
        Write(FormattedConstant(Token->FValue->GetAsString(), Token->FDataType, Token->FSubType));
      } else {
        Write(u"?");
      }
      break;
    case ttDATATYPE:
      Write(Token->FTokenConstant);
      break;
    case ttFUNCREF:
      if (Token->FTokenOperator == toUDF) {
        // Only an unquoted name is ever called.
        Write(Token->FName);
      } else {
        Write(FunctionName(Token->FTokenOperator));
      }
      break;
    case ttCURSOR:
    case ttCURSORREF:
    case ttPROCREF:
    case ttSTATEMENT:
    case ttSTATEMENTREF:
    case ttPARAM:
    case ttVARIABLE:
      Write(BareName(Token->FName));
      break;
    case ttQUERY: {
      const TORVExprToken* First = TokenSlot(TokenSlot(Token, QuerySelectSlot), FirstItemSlot);
      if (First == nullptr) break;
      if (!First->FTokenConstant.empty()) {
        Write(First->FTokenConstant);
      } else {
        BuildExpr(TokenSlot(First, ItemExpressionSlot));
      }
      break;
    }
    case ttSELECTCOLUMN:
      Write(QuotedName(Token->FCorrelationName));
      break;
    case ttSELECTCOLUMNREF:
      BuildExpr(Token->FSourceToken != nullptr ? TokenSlot(Token->FSourceToken, ItemExpressionSlot) : TokenSlot(Token, ItemExpressionSlot));
      break;
    case ttBLOCK:
    case ttBLOCKCLAUSE:
    case ttCLAUSE:
    case ttCONTROL:
    case ttDYNPARAM:
    case ttDYNSTATEMENT:
    case ttFILE:
    case ttJOIN:
    case ttPRIVILEGE:
    case ttROWVALUE:
    case ttROWVARIABLE:
    case ttSCRIPT:
    case ttSTORE:
    case ttTRIGGER:
    case ttUPDATES:
    case ttVIEW:
      break;
    default:
      Write(QuotedName(Token->FName));
      break;
  }
}

void TORVExprBuilder::BuildStatement(const TORVExprToken* Token) {
  if (Token == nullptr) return;
  // A statement of a routine, quoted by an error on its own.
  if (Token->FTokenType == ttCONTROL || Token->FTokenType == ttBLOCK) {
    BuildControl(Token);
    return;
  }
  if (Token->FTokenType != ttDYNSTATEMENT) {
    BuildExpr(Token);
    return;
  }
  // Only the data changes have a text; other statements write nothing.
  switch (Token->FTokenOperator) {
    case toINSERT:
      BuildInsert(Token);
      break;
    case toUPDATE:
      BuildUpdate(Token);
      break;
    case toDELETE:
      BuildDelete(Token);
      break;
    default:
      break;
  }
}

void TORVExprBuilder::BuildInsert(const TORVExprToken* Token) {
  const TORVExprToken* Query = TokenSlot(Token, DmlQuerySlot);
  NewLine();
  Write(u"INSERT INTO ");
  BuildTableRef(DmlTable(Query));
  // An empty pair of parentheses would not read back (the grammar takes a
  // parenthesis after the table for a column list of at least one column),
  // so a statement without a column list is written without one.
  if (const TORVExprToken* Columns = TokenSlot(Query, DmlColumnsSlot); Columns != nullptr) {
    NewLine();
    Write(u"(");
    for (int32_t I = 0; I < Columns->GetNumArguments(); ++I) {
      if (I > 0) Write(u", ");
      BuildExpr(Columns->GetArgument(I));
    }
    Write(u")");
  }
  NewLine();
  if (const TORVExprToken* Source = TokenSlot(Query, DmlSourceQuerySlot); Source != nullptr) {
    BuildQuery(Source, false);
    return;
  }
  Write(u"VALUES ");
  const TORVExprToken* Rows = TokenSlot(Query, DmlValuesSlot);
  for (int32_t I = 0; Rows != nullptr && I < Rows->GetNumArguments(); ++I) {
    if (I > 0) Write(u", ");
    BuildExpr(Rows->GetArgument(I));
  }
}

void TORVExprBuilder::BuildUpdate(const TORVExprToken* Token) {
  const TORVExprToken* Query = TokenSlot(Token, DmlQuerySlot);
  NewLine();
  Write(u"UPDATE ");
  BuildTableRef(DmlTable(Query));
  NewLine();
  Write(u"SET ");
  const TORVExprToken* Columns = TokenSlot(Query, DmlColumnsSlot);
  const TORVExprToken* Values = TokenSlot(Query, DmlValuesSlot);
  for (int32_t I = 0; Columns != nullptr && I < Columns->GetNumArguments(); ++I) {
    if (I > 0) {
      Write(u",");
      NewLine();
    }
    BuildOperand(Columns->GetArgument(I), LevelValue);
    Write(u" = ");
    BuildOperand(TokenSlot(Values, I), LevelOr);
  }
  BuildQueryWhere(TokenSlot(Query, DmlTableSlot), TokenSlot(Query, DmlWhereSlot));
}

void TORVExprBuilder::BuildDelete(const TORVExprToken* Token) {
  const TORVExprToken* Query = TokenSlot(Token, DmlQuerySlot);
  NewLine();
  Write(u"DELETE FROM ");
  BuildTableRef(DmlTable(Query));
  BuildQueryWhere(TokenSlot(Query, DmlTableSlot), TokenSlot(Query, DmlWhereSlot));
}

void TORVExprBuilder::BuildQuery(const TORVExprToken* Token, bool NoLineBreaks) {
  if (Token == nullptr) return;
  if (const TORVExprToken* Merge = TokenSlot(Token, QueryMergeWordSlot); Merge != nullptr) {
    const std::u16string_view Words = MergeOperatorText(Merge->FTokenOperator);
    if (!Words.empty()) {
      Write(Words);
      NewLine();
    }
  }
  if (Token->FParentheses) Write(u"(");
  const bool LineBreaks = FIncludeLineBreaks;
  if (NoLineBreaks || Token->FTokenOperator == toCORRELATED || Token->FTokenOperator == toUNCORRELATED)
    FIncludeLineBreaks = false;
  const TORVExprToken* Select = TokenSlot(Token, QuerySelectSlot);
  Write(Select != nullptr && Select->FTokenOperator == toDISTINCT ? u"SELECT DISTINCT" : u"SELECT ALL");
  BuildQueryColumns(Token);
  BuildQueryInto(Token);
  BuildQueryFrom(Token);
  BuildQueryWhere(TokenSlot(Token, QueryFromSlot), TokenSlot(Token, QueryWhereSlot));
  BuildQueryGroup(Token);
  BuildQueryHaving(Token);
  if (const TORVExprToken* Merged = TokenSlot(Token, QueryMergedQuerySlot)) {
    NewLine();
    BuildQuery(Merged, NoLineBreaks);
  }
  BuildQueryOrder(Token);
  BuildQueryExtensions(Token);
  if (Token->FParentheses) Write(u")");
  FIncludeLineBreaks = LineBreaks;
}

void TORVExprBuilder::BuildQueryColumns(const TORVExprToken* Query) {
  const TORVExprToken* Select = TokenSlot(Query, QuerySelectSlot);
  if (Select == nullptr) return;
  bool First = true;
  for (int32_t I = 0; I < Select->GetNumArguments(); ++I) {
    const TORVExprToken* Column = Select->GetArgument(I);
    if (Column == nullptr || Column->FHidden) continue;
    if (!First) Write(u",");
    First = false;
    NewLine();
    const TORVExprToken* Expression = TokenSlot(Column, ItemExpressionSlot);
    BuildOperand(Expression, LevelOr);
    if (Column->FCorrelationName.empty()) continue;
    // The grammar takes an alias of the wildcard only without AS.
    const bool Wildcard =
        Expression != nullptr && Expression->FTokenType == ttCOLUMNREF && Expression->FName == u"*";
    Write(Wildcard ? u" " : u" AS ");
    Write(QuotedName(Column->FCorrelationName));
  }
}

void TORVExprBuilder::BuildQueryInto(const TORVExprToken* Query) {
  const TORVExprToken* Into = TokenSlot(Query, QueryIntoSlot);
  if (Into == nullptr) return;
  NewLine();
  Write(u"INTO");
  for (int32_t I = 0; I < Into->GetNumArguments(); ++I) {
    if (I > 0) Write(u",");
    Write(u" ");
    BuildOperand(Into->GetArgument(I), LevelValue);
  }
}

void TORVExprBuilder::BuildTableRef(const TORVExprToken* Table) {
  if (Table != nullptr) BuildToken(Table);
}

// A table that an inner or outer join brings in is written with its join,
// after the table the join starts at; the others (cross-joined ones
// included) are listed with commas.
void TORVExprBuilder::BuildQueryFrom(const TORVExprToken* Query) {
  const TORVExprToken* From = TokenSlot(Query, QueryFromSlot);
  if (From == nullptr) return;
  auto IsWrittenJoin = [](const TORVExprToken* Join) {
    return Join != nullptr && !JoinOperatorText(Join->FTokenOperator).empty();
  };
  std::vector<const TORVExprToken*> Joined;
  for (int32_t I = 0; I < From->GetNumArguments(); ++I) {
    const TORVExprToken* Joins = TokenSlot(From->GetArgument(I), TableRefJoinsSlot);
    for (int32_t J = 0; Joins != nullptr && J < Joins->GetNumArguments(); ++J) {
      if (IsWrittenJoin(Joins->GetArgument(J))) Joined.push_back(Joins->GetArgument(J)->FTargetToken);
    }
  }
  NewLine();
  Write(u"FROM");
  bool First = true;
  bool PreviousHadJoins = false;
  for (int32_t I = 0; I < From->GetNumArguments(); ++I) {
    const TORVExprToken* Table = From->GetArgument(I);
    if (Table == nullptr) continue;
    bool IsJoined = false;
    for (const TORVExprToken* Target : Joined) IsJoined = IsJoined || Target == Table;
    if (!IsJoined) {
      if (!First) Write(u",");
      if (PreviousHadJoins) {
        NewLine();
      } else {
        Write(u" ");
      }
      BuildTableRef(Table);
      First = false;
    }
    bool HadJoins = false;
    const TORVExprToken* Joins = TokenSlot(Table, TableRefJoinsSlot);
    for (int32_t J = 0; Joins != nullptr && J < Joins->GetNumArguments(); ++J) {
      const TORVExprToken* Join = Joins->GetArgument(J);
      if (!IsWrittenJoin(Join)) continue;
      if (HadJoins || IsJoined) {
        NewLine();
      } else {
        Write(u" ");
      }
      HadJoins = true;
      Write(JoinOperatorText(Join->FTokenOperator));
      Write(u" ");
      BuildTableRef(Join->FTargetToken);
      Write(u" ON");
      const int32_t Count = Join->GetNumArguments();
      for (int32_t C = 0; C < Count; ++C) {
        if (C > 0) Write(u" AND");
        Write(u" ");
        BuildOperand(Join->GetArgument(C), Count > 1 ? LevelNot : LevelOr);
      }
    }
    PreviousHadJoins = HadJoins;
  }
}

// The conditions pushed down to the FROM tables come first, then those of
// the WHERE clause, all joined by AND.
void TORVExprBuilder::BuildQueryWhere(const TORVExprToken* From, const TORVExprToken* Where) {
  std::vector<const TORVExprToken*> Conditions;
  for (int32_t I = 0; From != nullptr && I < From->GetNumArguments(); ++I) {
    const TORVExprToken* Pushed = TokenSlot(From->GetArgument(I), TableRefConditionsSlot);
    for (int32_t J = 0; Pushed != nullptr && J < Pushed->GetNumArguments(); ++J) {
      if (Pushed->GetArgument(J) != nullptr) Conditions.push_back(Pushed->GetArgument(J));
    }
  }
  if (Where != nullptr && Where->FTokenType == ttCLAUSE) {
    for (int32_t J = 0; J < Where->GetNumArguments(); ++J) {
      if (Where->GetArgument(J) != nullptr) Conditions.push_back(Where->GetArgument(J));
    }
  } else if (Where != nullptr) {
    Conditions.push_back(Where);
  }
  if (Conditions.empty()) return;
  NewLine();
  Write(u"WHERE ");
  for (std::size_t I = 0; I < Conditions.size(); ++I) {
    if (I > 0) Write(u" AND ");
    BuildOperand(Conditions[I], Conditions.size() > 1 ? LevelNot : LevelOr);
  }
}

// GROUP BY or ORDER BY with its items, when it has any.
void TORVExprBuilder::BuildSortClause(const TORVExprToken* Clause, std::u16string_view Words, bool Direction) {
  if (Clause == nullptr || Clause->GetNumArguments() == 0) return;
  NewLine();
  Write(Words);
  Write(u" ");
  for (int32_t I = 0; I < Clause->GetNumArguments(); ++I) {
    const TORVExprToken* Item = Clause->GetArgument(I);
    if (Item == nullptr) continue;
    if (I > 0) Write(u", ");
    if (Item->FTokenType == ttSELECTCOLUMNREF) {
      BuildOperand(Item->FSourceToken != nullptr ? TokenSlot(Item->FSourceToken, ItemExpressionSlot) : TokenSlot(Item, ItemExpressionSlot), LevelOr);
      if (const TORVExprToken* Collation = TokenSlot(Item, ItemCollateSlot)) BuildCollation(Collation);
      if (const TORVExprToken* Order = TokenSlot(Item, ItemDirectionSlot); Direction && Order != nullptr) {
        if (Order->FTokenOperator == toASC) Write(u" ASC");
        if (Order->FTokenOperator == toDESC) Write(u" DESC");
      }
    } else {
      BuildOperand(Item, LevelOr);
    }
  }
}

void TORVExprBuilder::BuildQueryGroup(const TORVExprToken* Query) {
  BuildSortClause(TokenSlot(Query, QueryGroupBySlot), u"GROUP BY", false);
}

void TORVExprBuilder::BuildQueryHaving(const TORVExprToken* Query) {
  const TORVExprToken* Having = TokenSlot(Query, QueryHavingSlot);
  if (Having == nullptr) return;
  NewLine();
  Write(u"HAVING ");
  BuildOperand(Having, LevelOr);
}

void TORVExprBuilder::BuildQueryOrder(const TORVExprToken* Query) {
  const TORVExprToken* OrderBy = TokenSlot(Query, QueryOrderBySlot);
  // An order that validation added (an IN list's sub-query is searched in
  // order) is not the user's, and the grammar refuses it where the query
  // stands in a merge chain or a table's AS clause.
  if (OrderBy != nullptr && OrderBy->FHidden) return;
  BuildSortClause(OrderBy, u"ORDER BY", true);
}

void TORVExprBuilder::BuildQueryExtensions(const TORVExprToken* Query) {
  for (int32_t I = QueryExtensionSlot; I < Query->GetNumArguments(); ++I) {
    const TORVExprToken* Extension = Query->GetArgument(I);
    if (Extension == nullptr) continue;
    switch (Extension->FTokenOperator) {
      case toRANGE:
        NewLine();
        Write(u"RANGE ");
        BuildOperand(TokenSlot(Extension, RangeFirstSlot), LevelValue);
        if (const TORVExprToken* Last = TokenSlot(Extension, RangeLastSlot)) {
          Write(u" TO ");
          BuildOperand(Last, LevelValue);
        }
        break;
      case toNOJOINOPTIMIZE:
        NewLine();
        Write(u"NOJOINOPTIMIZE");
        break;
      case toJOINOPTIMIZECOSTS:
        NewLine();
        Write(u"JOINOPTIMIZECOSTS");
        break;
      case toJOININDEXTHRESHHOLD:
        NewLine();
        Write(u"JOININDEXTHRESHHOLD ");
        BuildOperand(TokenSlot(Extension, ClauseValueSlot), LevelValue);
        break;
      default:
        break;
    }
  }
}

}  // namespace orv
