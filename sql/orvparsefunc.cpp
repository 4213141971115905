// Built-in function grammar of the SQL parser: one routine per function
// operator, each reached through the function dispatch table when a
// function word stands where a value is expected.
//
// Every routine builds one ttFUNCREF node at the function word, with the
// arguments in fixed slots in the order written, and sets the result type
// where it does not depend on the arguments. Where standard SQL puts a
// keyword between two arguments (SUBSTRING(s FROM 2 FOR 3)) a comma is
// accepted as well, and both give the same tree. Argument forms: x is an
// additive expression (ParsePlusMinus), e a whole expression (ParseOr), v a
// single value (ParseValue).
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "core/orvtypefunc.h"
#include "sql/orvexprtoken.h"
#include "sql/orvparser.h"
#include "sql/orvparseroptions.h"
#include "sql/orvtokenizer.h"

namespace orv {

namespace {

enum TArgForm : uint8_t { afPlusMinus, afOr, afValue };

// One argument of a function with fixed slots: the keyword that may stand
// in place of the comma before it (empty: only a comma), its form, and
// whether it may be left out together with its separator.
struct TArgument {
  std::u16string_view Keyword;
  TArgForm Form = afPlusMinus;
  bool Optional = false;
};

TORVParseOptions ArgumentOptions(TORVParseOptions Options) {
  Options.Exclude(poAllowAllColumns);
  return Options;
}

TORVExprToken* ParseArgument(TORVExprParser& P, TArgForm Form, TORVParseOptions Options) {
  switch (Form) {
    case afOr:
      return P.ParseOr(Options);
    case afValue:
      return P.ParseValue(Options);
    default:
      return P.ParsePlusMinus(Options);
  }
}

// The separator before an argument: Keyword or a comma, or with an empty
// Keyword a comma only. Returns False with nothing consumed when neither
// follows and Optional is set.
bool SkipSeparator(TORVExprParser& P, std::u16string_view Keyword, bool Optional) {
  if (Keyword.empty()) {
    if (Optional) return P.SkipToken(u',');
    P.ErrorIfNotSkipToken(u',');
    return true;
  }
  if (P.SkipSymbol(Keyword) || P.SkipToken(u',')) return true;
  if (Optional) return false;
  P.ExpectedExpression(TORVString(Keyword) + u" or ,");
}

void SetResultType(TORVExprToken* Node, int32_t DataType) {
  if (DataType != dtUnknown) Node->SetDataType(DataType);
}

// The function node at the current word, typed; the word is consumed.
TORVExprToken* NewFunctionNode(TORVExprParser& P, TORVTokenOperator Operator, int32_t DataType) {
  TORVPartialTree Node(P.GetNewExprToken(ttFUNCREF, Operator));
  SetResultType(Node.Get(), DataType);
  P.NextToken();
  return Node.Release();
}

void RequireAggregates(TORVExprParser& P, TORVParseOptions Options) {
  if (!Options.Contains(poAllowAggregates)) P.InvalidExpr(u"aggregate functions not allowed");
}

// Word ( arguments ): the common shape of the functions with fixed slots.
TORVExprToken* ParseFixedArguments(TORVExprParser& P, TORVTokenOperator Operator, int32_t DataType,
                                   TORVParseOptions Options, std::initializer_list<TArgument> Arguments) {
  TORVPartialTree Node(NewFunctionNode(P, Operator, DataType));
  P.ErrorIfNotSkipToken(u'(');
  const TORVParseOptions Inner = ArgumentOptions(Options);
  bool First = true;
  for (const TArgument& Argument : Arguments) {
    if (!First && !SkipSeparator(P, Argument.Keyword, Argument.Optional)) break;
    First = false;
    Node->AddArgument(ParseArgument(P, Argument.Form, Inner));
  }
  P.ErrorIfNotSkipToken(u')');
  return Node.Release();
}

TORVExprToken* ParseOneArgument(TORVExprParser& P, TORVTokenOperator Operator, int32_t DataType,
                                TORVParseOptions Options) {
  return ParseFixedArguments(P, Operator, DataType, Options, {{}});
}

// SUM, RUNSUM, AVG and STDDEV: ( [DISTINCT] x ).
TORVExprToken* ParseDistinctAggregate(TORVExprParser& P, TORVTokenOperator Operator, TORVParseOptions Options) {
  RequireAggregates(P, Options);
  TORVPartialTree Node(NewFunctionNode(P, Operator, dtUnknown));
  P.ErrorIfNotSkipToken(u'(');
  if (P.SkipSymbol(u"DISTINCT")) Node->FTokenID = 1;
  Node->AddArgument(P.ParsePlusMinus(ArgumentOptions(Options)));
  P.ErrorIfNotSkipToken(u')');
  return Node.Release();
}

// A function whose parentheses may be left out, with no arguments.
TORVExprToken* ParseNoArguments(TORVExprParser& P, TORVTokenOperator Operator, int32_t DataType) {
  TORVPartialTree Node(NewFunctionNode(P, Operator, DataType));
  if (P.SkipToken(u'(')) P.ErrorIfNotSkipToken(u')');
  return Node.Release();
}

// CURRENT_DATE, CURRENT_TIME and CURRENT_TIMESTAMP: optional ( [UTC] ).
TORVExprToken* ParseCurrentMoment(TORVExprParser& P, TORVTokenOperator Operator, int32_t DataType) {
  TORVPartialTree Node(NewFunctionNode(P, Operator, DataType));
  if (!P.SkipToken(u'(')) return Node.Release();
  if (P.CheckSymbol(u"UTC")) {
    TORVExprToken* Utc = P.GetNewExprToken(ttCONST, toNONE);
    Utc->FTokenConstant = u"UTC";
    Node->AddArgument(Utc);
    P.NextToken();
  }
  P.ErrorIfNotSkipToken(u')');
  return Node.Release();
}

// ( cursor ) or ( statement ): a name, whatever the caller's options.
TORVExprToken* ParseNamedArgument(TORVExprParser& P, TORVTokenOperator Operator, int32_t DataType, bool Statement) {
  TORVPartialTree Node(NewFunctionNode(P, Operator, DataType));
  P.ErrorIfNotSkipToken(u'(');
  Node->AddArgument(Statement ? P.ParseStatementRef() : P.ParseCursorRef());
  P.ErrorIfNotSkipToken(u')');
  return Node.Release();
}

// ALLTRIM, LTRIM and RTRIM: ( x ), the same tree as TRIM with a blank.
TORVExprToken* ParseTrimBlanks(TORVExprParser& P, TORVTokenOperator Operator, TORVParseOptions Options) {
  TORVPartialTree Node(NewFunctionNode(P, Operator, dtCharacter));
  P.ErrorIfNotToken(u'(');
  TORVExprToken* Blank = P.GetNewExprToken(ttCONST, toNONE);
  Node->AddArgument(Blank);
  Blank->SetDataType(dtCharacter);
  Blank->FTokenConstant = u" ";
  Blank->FLength = 1;
  P.NextToken();
  Node->AddArgument(P.ParsePlusMinus(ArgumentOptions(Options)));
  P.ErrorIfNotSkipToken(u')');
  return Node.Release();
}


struct TExtractField {
  std::u16string_view Word;
  TORVTokenOperator Operator;
};

constexpr TExtractField ExtractFields[] = {
    {u"YEAR", toEXTRACTYEAR},           {u"MONTH", toEXTRACTMONTH},   {u"WEEK", toEXTRACTWEEK},
    {u"DAY", toEXTRACTDAY},             {u"DAYOFWEEK", toEXTRACTDAYOFWEEK},
    {u"DAYOFYEAR", toEXTRACTDAYOFYEAR}, {u"HOUR", toEXTRACTHOUR},     {u"MINUTE", toEXTRACTMINUTE},
    {u"SECOND", toEXTRACTSECOND},       {u"MSECOND", toEXTRACTMSECOND},
};

}  // namespace

void TORVExprParser::BuildFunctionsTable() {
  FFunctionsTable.fill(nullptr);
  auto Register = [this](TORVTokenOperator Operator, TORVParseMethod Method) {
    FFunctionsTable[Operator - FirstFunctionOperator] = Method;
  };
  Register(toABORTED, &TORVExprParser::ParseABORTED);
  Register(toABS, &TORVExprParser::ParseABS);
  Register(toACOS, &TORVExprParser::ParseACOS);
  Register(toASIN, &TORVExprParser::ParseASIN);
  Register(toATAN, &TORVExprParser::ParseATAN);
  Register(toATAN2, &TORVExprParser::ParseATAN2);
  Register(toAVG, &TORVExprParser::ParseAVG);
  Register(toBOF, &TORVExprParser::ParseBOF);
  Register(toCARDINALITY, &TORVExprParser::ParseCARDINALITY);
  Register(toCAST, &TORVExprParser::ParseCAST);
  Register(toCEILING, &TORVExprParser::ParseCEILING);
  Register(toCOALESCE, &TORVExprParser::ParseCOALESCE);
  Register(toCOLCOUNT, &TORVExprParser::ParseCOLCOUNT);
  Register(toCOLNAME, &TORVExprParser::ParseCOLNAME);
  Register(toCONCAT, &TORVExprParser::ParseCONCAT);
  Register(toCOS, &TORVExprParser::ParseCOS);
  Register(toCOT, &TORVExprParser::ParseCOT);
  Register(toCOUNT, &TORVExprParser::ParseCOUNT);
  Register(toCURCOMPUTER, &TORVExprParser::ParseCURCOMPUTER);
  Register(toCURDATABASE, &TORVExprParser::ParseCURDATABASE);
  Register(toCURDATE, &TORVExprParser::ParseCURDATE);
  Register(toCURGUID, &TORVExprParser::ParseCURGUID);
  Register(toCURSESSIONID, &TORVExprParser::ParseCURSESSIONID);
  Register(toCURTIME, &TORVExprParser::ParseCURTIME);
  Register(toCURTIMESTAMP, &TORVExprParser::ParseCURTIMESTAMP);
  Register(toCURUSER, &TORVExprParser::ParseCURUSER);
  Register(toCURVERSION, &TORVExprParser::ParseCURVERSION);
  Register(toDEGREES, &TORVExprParser::ParseDEGREES);
  Register(toEOF, &TORVExprParser::ParseEOF);
  Register(toERRORCODE, &TORVExprParser::ParseERRORCODE);
  Register(toERRORMSG, &TORVExprParser::ParseERRORMSG);
  Register(toEXISTS, &TORVExprParser::ParseEXISTS);
  Register(toEXP, &TORVExprParser::ParseEXP);
  Register(toEXTRACT, &TORVExprParser::ParseEXTRACT);
  Register(toFLOOR, &TORVExprParser::ParseFLOOR);
  Register(toICASE, &TORVExprParser::ParseICASE);
  Register(toIFNULL, &TORVExprParser::ParseIFNULL);
  Register(toIIF, &TORVExprParser::ParseIIF);
  Register(toINTRANS, &TORVExprParser::ParseINTRANS);
  Register(toLASTIDENTITY, &TORVExprParser::ParseLASTIDENTITY);
  Register(toLEFT, &TORVExprParser::ParseLEFT);
  Register(toLENGTH, &TORVExprParser::ParseLENGTH);
  Register(toLIST, &TORVExprParser::ParseLIST);
  Register(toLOADINGUPDATES, &TORVExprParser::ParseLOADINGUPDATES);
  Register(toLOG, &TORVExprParser::ParseLOG);
  Register(toLOG10, &TORVExprParser::ParseLOG10);
  Register(toLOWER, &TORVExprParser::ParseLOWER);
  Register(toMAX, &TORVExprParser::ParseMAX);
  Register(toMIN, &TORVExprParser::ParseMIN);
  Register(toNULLIF, &TORVExprParser::ParseNULLIF);
  Register(toOCCURS, &TORVExprParser::ParseOCCURS);
  Register(toOPERATION, &TORVExprParser::ParseOPERATION);
  Register(toPI, &TORVExprParser::ParsePI);
  Register(toPOS, &TORVExprParser::ParsePOS);
  Register(toPOWER, &TORVExprParser::ParsePOWER);
  Register(toQUOTEDSTR, &TORVExprParser::ParseQUOTEDSTR);
  Register(toRADIANS, &TORVExprParser::ParseRADIANS);
  Register(toRAND, &TORVExprParser::ParseRAND);
  Register(toREPEATSTR, &TORVExprParser::ParseREPEATSTR);
  Register(toREPLACE, &TORVExprParser::ParseREPLACE);
  Register(toRIGHT, &TORVExprParser::ParseRIGHT);
  Register(toROUND, &TORVExprParser::ParseROUND);
  Register(toROWCOUNT, &TORVExprParser::ParseROWCOUNT);
  Register(toROWSAFFECTED, &TORVExprParser::ParseROWSAFFECTED);
  Register(toRUNSUM, &TORVExprParser::ParseRUNSUM);
  Register(toSENSITIVE, &TORVExprParser::ParseSENSITIVE);
  Register(toSIGN, &TORVExprParser::ParseSIGN);
  Register(toSIN, &TORVExprParser::ParseSIN);
  Register(toSQRT, &TORVExprParser::ParseSQRT);
  Register(toSTDDEV, &TORVExprParser::ParseSTDDEV);
  Register(toSTMTRESULT, &TORVExprParser::ParseSTMTRESULT);
  Register(toSUBSTRING, &TORVExprParser::ParseSUBSTRING);
  Register(toSUM, &TORVExprParser::ParseSUM);
  Register(toTAN, &TORVExprParser::ParseTAN);
  Register(toTRIM, &TORVExprParser::ParseTRIM);
  Register(toTRIMBOTH, &TORVExprParser::ParseTRIMBOTH);
  Register(toTRIMLEADING, &TORVExprParser::ParseTRIMLEADING);
  Register(toTRIMTRAILING, &TORVExprParser::ParseTRIMTRAILING);
  Register(toTRUNCATE, &TORVExprParser::ParseTRUNCATE);
  Register(toUPPER, &TORVExprParser::ParseUPPER);
}

// ---------------------------------------------------------------- aggregates

TORVExprToken* TORVExprParser::ParseSUM(TORVParseOptions ParseOptions) {
  return ParseDistinctAggregate(*this, toSUM, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseRUNSUM(TORVParseOptions ParseOptions) {
  return ParseDistinctAggregate(*this, toRUNSUM, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseAVG(TORVParseOptions ParseOptions) {
  return ParseDistinctAggregate(*this, toAVG, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseSTDDEV(TORVParseOptions ParseOptions) {
  return ParseDistinctAggregate(*this, toSTDDEV, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseMIN(TORVParseOptions ParseOptions) {
  RequireAggregates(*this, ParseOptions);
  return ParseOneArgument(*this, toMIN, dtUnknown, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseMAX(TORVParseOptions ParseOptions) {
  RequireAggregates(*this, ParseOptions);
  return ParseOneArgument(*this, toMAX, dtUnknown, ParseOptions);
}

// COUNT(*) counts rows: without DISTINCT the argument may be the wildcard.
TORVExprToken* TORVExprParser::ParseCOUNT(TORVParseOptions ParseOptions) {
  RequireAggregates(*this, ParseOptions);
  TORVPartialTree Node(NewFunctionNode(*this, toCOUNT, dtUnknown));
  ErrorIfNotSkipToken(u'(');
  TORVParseOptions Inner = ParseOptions;
  if (SkipSymbol(u"DISTINCT")) {
    Node->FTokenID = 1;
  } else {
    Inner.Include(poAllowAllColumns);
  }
  Node->AddArgument(ParsePlusMinus(Inner));
  ErrorIfNotSkipToken(u')');
  return Node.Release();
}

// FTokenID: 1 DISTINCT, 2 ORDERED, 3 both.
TORVExprToken* TORVExprParser::ParseLIST(TORVParseOptions ParseOptions) {
  RequireAggregates(*this, ParseOptions);
  TORVPartialTree Node(NewFunctionNode(*this, toLIST, dtUnknown));
  ErrorIfNotSkipToken(u'(');
  if (SkipSymbol(u"DISTINCT")) Node->FTokenID |= 1;
  if (SkipSymbol(u"ORDERED")) Node->FTokenID |= 2;
  const TORVParseOptions Inner = ArgumentOptions(ParseOptions);
  Node->AddArgument(ParsePlusMinus(Inner));
  if (SkipSeparator(*this, u"USING", true)) Node->AddArgument(ParsePlusMinus(Inner));
  ErrorIfNotSkipToken(u')');
  return Node.Release();
}

// ---------------------------------------------------------------- strings

TORVExprToken* TORVExprParser::ParseLOWER(TORVParseOptions ParseOptions) {
  return ParseOneArgument(*this, toLOWER, dtCharacter, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseUPPER(TORVParseOptions ParseOptions) {
  return ParseOneArgument(*this, toUPPER, dtCharacter, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseLEFT(TORVParseOptions ParseOptions) {
  return ParseFixedArguments(*this, toLEFT, dtCharacter, ParseOptions, {{}, {u"FOR"}});
}

TORVExprToken* TORVExprParser::ParseRIGHT(TORVParseOptions ParseOptions) {
  return ParseFixedArguments(*this, toRIGHT, dtCharacter, ParseOptions, {{}, {u"FOR"}});
}

TORVExprToken* TORVExprParser::ParseREPEATSTR(TORVParseOptions ParseOptions) {
  return ParseFixedArguments(*this, toREPEATSTR, dtCharacter, ParseOptions, {{}, {u"FOR"}});
}

TORVExprToken* TORVExprParser::ParseCONCAT(TORVParseOptions ParseOptions) {
  return ParseFixedArguments(*this, toCONCAT, dtCharacter, ParseOptions, {{}, {u"WITH"}});
}

TORVExprToken* TORVExprParser::ParseLASTIDENTITY(TORVParseOptions ParseOptions) {
  return ParseFixedArguments(*this, toLASTIDENTITY, dtInteger, ParseOptions, {{}, {}});
}

TORVExprToken* TORVExprParser::ParseLENGTH(TORVParseOptions ParseOptions) {
  return ParseOneArgument(*this, toLENGTH, dtInteger, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseSUBSTRING(TORVParseOptions ParseOptions) {
  return ParseFixedArguments(*this, toSUBSTRING, dtCharacter, ParseOptions,
                             {{}, {u"FROM"}, {u"FOR", afPlusMinus, true}});
}

TORVExprToken* TORVExprParser::ParseREPLACE(TORVParseOptions ParseOptions) {
  return ParseFixedArguments(*this, toREPLACE, dtCharacter, ParseOptions, {{}, {u"WITH"}, {u"IN"}});
}

TORVExprToken* TORVExprParser::ParsePOS(TORVParseOptions ParseOptions) {
  return ParseFixedArguments(*this, toPOS, dtInteger, ParseOptions, {{}, {u"IN"}});
}

TORVExprToken* TORVExprParser::ParseOCCURS(TORVParseOptions ParseOptions) {
  return ParseFixedArguments(*this, toOCCURS, dtInteger, ParseOptions, {{}, {u"IN"}});
}

TORVExprToken* TORVExprParser::ParseQUOTEDSTR(TORVParseOptions ParseOptions) {
  return ParseFixedArguments(*this, toQUOTEDSTR, dtCharacter, ParseOptions,
                             {{}, {u"USING", afPlusMinus, true}});
}

// TRIM names the side to trim; there is no default.
TORVExprToken* TORVExprParser::ParseTRIM(TORVParseOptions ParseOptions) {
  TORVPartialTree Node(NewFunctionNode(*this, toTRIM, dtCharacter));
  ErrorIfNotSkipToken(u'(');
  if (SkipSymbol(u"LEADING")) {
    Node->FTokenOperator = toTRIMLEADING;
  } else if (SkipSymbol(u"TRAILING")) {
    Node->FTokenOperator = toTRIMTRAILING;
  } else if (SkipSymbol(u"BOTH")) {
    Node->FTokenOperator = toTRIMBOTH;
  } else {
    ExpectedExpression(u"LEADING, TRAILING, BOTH");
  }
  const TORVParseOptions Inner = ArgumentOptions(ParseOptions);
  Node->AddArgument(ParseValue(Inner));
  SkipSeparator(*this, u"FROM", false);
  Node->AddArgument(ParsePlusMinus(Inner));
  ErrorIfNotSkipToken(u')');
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseTRIMBOTH(TORVParseOptions ParseOptions) {
  return ParseTrimBlanks(*this, toTRIMBOTH, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseTRIMLEADING(TORVParseOptions ParseOptions) {
  return ParseTrimBlanks(*this, toTRIMLEADING, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseTRIMTRAILING(TORVParseOptions ParseOptions) {
  return ParseTrimBlanks(*this, toTRIMTRAILING, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseOPERATION(TORVParseOptions /*ParseOptions*/) {
  return ParseNoArguments(*this, toOPERATION, dtCharacter);
}

// ---------------------------------------------------------------- conversions and dates

TORVExprToken* TORVExprParser::ParseCARDINALITY(TORVParseOptions ParseOptions) {
  TORVPartialTree Node(NewFunctionNode(*this, toCARDINALITY, dtUnknown));
  ErrorIfNotSkipToken(u'(');
  Node->AddArgument(ParseBinary(ArgumentOptions(ParseOptions)));
  ErrorIfNotSkipToken(u')');
  return Node.Release();
}

// Slots: [0] the value, [1] the data type, [2] to [5] the formatting
// clauses (each nil when absent).
TORVExprToken* TORVExprParser::ParseCAST(TORVParseOptions ParseOptions) {
  TORVPartialTree Node(NewFunctionNode(*this, toCAST, dtUnknown));
  ErrorIfNotSkipToken(u'(');
  Node->AddArgument(ParseOr(ArgumentOptions(ParseOptions)));
  SkipSeparator(*this, u"AS", false);
  TORVExprToken* DataType = GetNewExprToken(ttDATATYPE, toNONE);
  Node->AddArgument(DataType);
  ParseDataType(DataType, ParseOptions, false, false);
  ParseFormatting(Node.Get());
  ErrorIfNotSkipToken(u')');
  return Node.Release();
}

// The node takes the field's operator.
TORVExprToken* TORVExprParser::ParseEXTRACT(TORVParseOptions ParseOptions) {
  TORVPartialTree Node(NewFunctionNode(*this, toEXTRACT, dtInteger));
  ErrorIfNotSkipToken(u'(');
  bool Found = false;
  for (const TExtractField& Field : ExtractFields) {
    if (SkipSymbol(Field.Word)) {
      Node->FTokenOperator = Field.Operator;
      Found = true;
      break;
    }
  }
  if (!Found) ExpectedExpression(u"YEAR, MONTH, WEEK, DAY, DAYOFWEEK, DAYOFYEAR, HOUR, MINUTE, SECOND, MSECOND");
  SkipSeparator(*this, u"FROM", false);
  Node->AddArgument(ParsePlusMinus(ArgumentOptions(ParseOptions)));
  ErrorIfNotSkipToken(u')');
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseCURDATE(TORVParseOptions /*ParseOptions*/) {
  return ParseCurrentMoment(*this, toCURDATE, dtDate);
}

TORVExprToken* TORVExprParser::ParseCURTIME(TORVParseOptions /*ParseOptions*/) {
  return ParseCurrentMoment(*this, toCURTIME, dtTime);
}

TORVExprToken* TORVExprParser::ParseCURTIMESTAMP(TORVParseOptions /*ParseOptions*/) {
  return ParseCurrentMoment(*this, toCURTIMESTAMP, dtTimeStamp);
}

TORVExprToken* TORVExprParser::ParseCURCOMPUTER(TORVParseOptions /*ParseOptions*/) {
  return ParseNoArguments(*this, toCURCOMPUTER, dtCharacter);
}

TORVExprToken* TORVExprParser::ParseCURDATABASE(TORVParseOptions /*ParseOptions*/) {
  return ParseNoArguments(*this, toCURDATABASE, dtCharacter);
}

TORVExprToken* TORVExprParser::ParseCURUSER(TORVParseOptions /*ParseOptions*/) {
  return ParseNoArguments(*this, toCURUSER, dtCharacter);
}

TORVExprToken* TORVExprParser::ParseCURGUID(TORVParseOptions /*ParseOptions*/) {
  TORVExprToken* Node = ParseNoArguments(*this, toCURGUID, dtCharacter);
  Node->SetSubType(stGUID);
  return Node;
}

TORVExprToken* TORVExprParser::ParseCURSESSIONID(TORVParseOptions /*ParseOptions*/) {
  TORVExprToken* Node = ParseNoArguments(*this, toCURSESSIONID, dtInteger);
  Node->SetSubType(stNone);
  return Node;
}

TORVExprToken* TORVExprParser::ParseCURVERSION(TORVParseOptions /*ParseOptions*/) {
  TORVExprToken* Node = ParseNoArguments(*this, toCURVERSION, dtDecimal);
  Node->SetScale(2);
  return Node;
}

// ---------------------------------------------------------------- numbers

TORVExprToken* TORVExprParser::ParseABS(TORVParseOptions ParseOptions) {
  return ParseOneArgument(*this, toABS, dtUnknown, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseROUND(TORVParseOptions ParseOptions) {
  return ParseFixedArguments(*this, toROUND, dtUnknown, ParseOptions, {{}, {u"TO", afValue, true}});
}

TORVExprToken* TORVExprParser::ParseTRUNCATE(TORVParseOptions ParseOptions) {
  return ParseFixedArguments(*this, toTRUNCATE, dtUnknown, ParseOptions, {{}, {u"TO", afValue, true}});
}

TORVExprToken* TORVExprParser::ParseACOS(TORVParseOptions ParseOptions) {
  return ParseOneArgument(*this, toACOS, dtFloat, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseASIN(TORVParseOptions ParseOptions) {
  return ParseOneArgument(*this, toASIN, dtFloat, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseATAN(TORVParseOptions ParseOptions) {
  return ParseOneArgument(*this, toATAN, dtFloat, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseATAN2(TORVParseOptions ParseOptions) {
  return ParseFixedArguments(*this, toATAN2, dtFloat, ParseOptions, {{}, {}});
}

TORVExprToken* TORVExprParser::ParseCOS(TORVParseOptions ParseOptions) {
  return ParseOneArgument(*this, toCOS, dtFloat, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseCOT(TORVParseOptions ParseOptions) {
  return ParseOneArgument(*this, toCOT, dtFloat, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseDEGREES(TORVParseOptions ParseOptions) {
  return ParseOneArgument(*this, toDEGREES, dtFloat, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseEXP(TORVParseOptions ParseOptions) {
  return ParseOneArgument(*this, toEXP, dtFloat, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseLOG(TORVParseOptions ParseOptions) {
  return ParseOneArgument(*this, toLOG, dtFloat, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseLOG10(TORVParseOptions ParseOptions) {
  return ParseOneArgument(*this, toLOG10, dtFloat, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseRADIANS(TORVParseOptions ParseOptions) {
  return ParseOneArgument(*this, toRADIANS, dtFloat, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseSIN(TORVParseOptions ParseOptions) {
  return ParseOneArgument(*this, toSIN, dtFloat, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseSQRT(TORVParseOptions ParseOptions) {
  return ParseOneArgument(*this, toSQRT, dtFloat, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseTAN(TORVParseOptions ParseOptions) {
  return ParseOneArgument(*this, toTAN, dtFloat, ParseOptions);
}

TORVExprToken* TORVExprParser::ParsePOWER(TORVParseOptions ParseOptions) {
  return ParseFixedArguments(*this, toPOWER, dtFloat, ParseOptions, {{}, {u"TO"}});
}

TORVExprToken* TORVExprParser::ParseCEILING(TORVParseOptions ParseOptions) {
  return ParseOneArgument(*this, toCEILING, dtBigInt, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseFLOOR(TORVParseOptions ParseOptions) {
  return ParseOneArgument(*this, toFLOOR, dtBigInt, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseSIGN(TORVParseOptions ParseOptions) {
  return ParseOneArgument(*this, toSIGN, dtInteger, ParseOptions);
}

TORVExprToken* TORVExprParser::ParsePI(TORVParseOptions /*ParseOptions*/) {
  return ParseNoArguments(*this, toPI, dtFloat);
}

// RAND, RAND(), RAND(x) or RAND(RANGE x).
TORVExprToken* TORVExprParser::ParseRAND(TORVParseOptions ParseOptions) {
  TORVPartialTree Node(NewFunctionNode(*this, toRAND, dtFloat));
  if (!SkipToken(u'(')) return Node.Release();
  if (!CheckToken(u')')) {
    SkipSymbol(u"RANGE");
    Node->AddArgument(ParsePlusMinus(ArgumentOptions(ParseOptions)));
  }
  ErrorIfNotSkipToken(u')');
  return Node.Release();
}

// ---------------------------------------------------------------- conditions

// INTRANSACTION or INTRANSACTION(x); empty parentheses are an error.
TORVExprToken* TORVExprParser::ParseINTRANS(TORVParseOptions ParseOptions) {
  TORVPartialTree Node(NewFunctionNode(*this, toINTRANS, dtBoolean));
  if (!SkipToken(u'(')) return Node.Release();
  Node->AddArgument(ParsePlusMinus(ArgumentOptions(ParseOptions)));
  ErrorIfNotSkipToken(u')');
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseIIF(TORVParseOptions ParseOptions) {
  TORVPartialTree Node(NewFunctionNode(*this, toIIF, dtUnknown));
  ErrorIfNotSkipToken(u'(');
  Node->AddArgument(ParseOr(ParseOptions));
  SkipSeparator(*this, u"THEN", false);
  Node->AddArgument(ParseOr(ParseOptions));
  SkipSeparator(*this, u"ELSE", false);
  Node->AddArgument(ParseOr(ParseOptions));
  ErrorIfNotSkipToken(u')');
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseIFNULL(TORVParseOptions ParseOptions) {
  return ParseFixedArguments(*this, toIFNULL, dtUnknown, ParseOptions,
                             {{{}, afOr}, {u"THEN", afOr}, {u"ELSE", afOr}});
}

TORVExprToken* TORVExprParser::ParseNULLIF(TORVParseOptions ParseOptions) {
  return ParseFixedArguments(*this, toNULLIF, dtUnknown, ParseOptions, {{{}, afOr}, {{}, afOr}});
}

TORVExprToken* TORVExprParser::ParseCOALESCE(TORVParseOptions ParseOptions) {
  TORVPartialTree Node(NewFunctionNode(*this, toCOALESCE, dtUnknown));
  ErrorIfNotSkipToken(u'(');
  const TORVParseOptions Inner = ArgumentOptions(ParseOptions);
  do {
    Node->AddArgument(ParseOr(Inner));
  } while (SkipToken(u','));
  ErrorIfNotSkipToken(u')');
  return Node.Release();
}

// CASE [operand] WHEN ... THEN ... [ELSE ...] END. Slot [0] lists the
// conditions and slot [1] the results, pairing up by position; the last
// pair is the default (the condition a TRUE marker, the result the ELSE or
// NULL). With an operand each condition compares a copy of it.
TORVExprToken* TORVExprParser::ParseICASE(TORVParseOptions ParseOptions) {
  TORVPartialTree Node(NewFunctionNode(*this, toICASE, dtUnknown));
  TORVExprToken* Conditions = GetNewExprToken(ttFUNCREF, toCASEOPTION);
  Node->AddArgument(Conditions);
  TORVExprToken* Results = GetNewExprToken(ttFUNCREF, toCASERESULT);
  Node->AddArgument(Results);
  const TORVParseOptions Inner = ArgumentOptions(ParseOptions);
  TORVPartialTree Operand;
  if (!CheckSymbol(u"WHEN")) Operand.Reset(ParseOr(Inner));
  ErrorIfNotSymbol(u"WHEN");
  while (SkipSymbol(u"WHEN")) {
    if (Operand.Get() != nullptr) {
      CountCaseOperandCopies(CountTokens(Operand.Get()));
      TORVExprToken* Equal = GetNewExprToken(ttBINARY, toEQ);
      Conditions->AddArgument(Equal);
      Equal->SetLeftToken(CopyTokens(Operand.Get()));
      Equal->SetRightToken(ParseOr(Inner));
    } else {
      Conditions->AddArgument(ParseOr(Inner));
    }
    ErrorIfNotSkipSymbol(u"THEN");
    Results->AddArgument(ParseOr(Inner));
  }
  TORVExprToken* Default = GetNewExprToken(ttCONST, toDEFAULT);
  Conditions->AddArgument(Default);
  Default->SetDataType(dtBoolean);
  Default->FTokenConstant = u"TRUE";
  if (SkipSymbol(u"ELSE")) {
    Results->AddArgument(ParseOr(Inner));
  } else {
    TORVExprToken* Null = GetNewExprToken(ttCONST, toNONE);
    Results->AddArgument(Null);
    Null->FTokenConstant = u"NULL";
  }
  ErrorIfNotSkipSymbol(u"END");
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseEXISTS(TORVParseOptions ParseOptions) {
  return ParseFixedArguments(*this, toEXISTS, dtBoolean, ParseOptions, {{{}, afValue}});
}

// ---------------------------------------------------------------- cursors, statements, sessions

TORVExprToken* TORVExprParser::ParseCOLCOUNT(TORVParseOptions /*ParseOptions*/) {
  return ParseNamedArgument(*this, toCOLCOUNT, dtInteger, false);
}

TORVExprToken* TORVExprParser::ParseCOLNAME(TORVParseOptions ParseOptions) {
  TORVPartialTree Node(NewFunctionNode(*this, toCOLNAME, dtCharacter));
  ErrorIfNotSkipToken(u'(');
  Node->AddArgument(ParseCursorRef());
  ErrorIfNotSkipToken(u',');
  Node->AddArgument(ParsePlusMinus(ArgumentOptions(ParseOptions)));
  ErrorIfNotSkipToken(u')');
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseBOF(TORVParseOptions /*ParseOptions*/) {
  return ParseNamedArgument(*this, toBOF, dtBoolean, false);
}

TORVExprToken* TORVExprParser::ParseEOF(TORVParseOptions /*ParseOptions*/) {
  return ParseNamedArgument(*this, toEOF, dtBoolean, false);
}

TORVExprToken* TORVExprParser::ParseSENSITIVE(TORVParseOptions /*ParseOptions*/) {
  return ParseNamedArgument(*this, toSENSITIVE, dtBoolean, false);
}

TORVExprToken* TORVExprParser::ParseROWCOUNT(TORVParseOptions /*ParseOptions*/) {
  return ParseNamedArgument(*this, toROWCOUNT, dtInteger, false);
}

TORVExprToken* TORVExprParser::ParseROWSAFFECTED(TORVParseOptions /*ParseOptions*/) {
  return ParseNamedArgument(*this, toROWSAFFECTED, dtInteger, true);
}

TORVExprToken* TORVExprParser::ParseSTMTRESULT(TORVParseOptions /*ParseOptions*/) {
  return ParseNamedArgument(*this, toSTMTRESULT, dtBoolean, true);
}

TORVExprToken* TORVExprParser::ParseERRORCODE(TORVParseOptions ParseOptions) {
  if (!ParseOptions.Contains(poAllowExceptionHandling))
    InvalidExpr(u"exception handling statements and functions not allowed");
  return ParseNoArguments(*this, toERRORCODE, dtInteger);
}

TORVExprToken* TORVExprParser::ParseERRORMSG(TORVParseOptions ParseOptions) {
  if (!ParseOptions.Contains(poAllowExceptionHandling))
    InvalidExpr(u"exception handling statements and functions not allowed");
  return ParseNoArguments(*this, toERRORMSG, dtCharacter);
}

TORVExprToken* TORVExprParser::ParseABORTED(TORVParseOptions /*ParseOptions*/) {
  return ParseNoArguments(*this, toABORTED, dtBoolean);
}

TORVExprToken* TORVExprParser::ParseLOADINGUPDATES(TORVParseOptions /*ParseOptions*/) {
  return ParseNoArguments(*this, toLOADINGUPDATES, dtBoolean);
}

}  // namespace orv
