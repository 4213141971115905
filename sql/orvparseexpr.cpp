// Expression grammar of the SQL parser: the precedence chain from OR down to
// a single value, constants, column and function references, row values,
// sub-queries, data types, interval qualifiers and the formatting clauses of
// CAST, IMPORT and EXPORT.
//
// Every routine reads from the current token, consumes what it recognises
// and returns the tree it built. Until a routine returns, the nodes it made
// belong to a TORVPartialTree, so a syntax error frees them on the way out.
#include <cstdint>
#include <string_view>

#include "core/orvliteral.h"
#include "core/orvtypefunc.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvexprtoken.h"
#include "sql/orvparser.h"
#include "sql/orvparseroptions.h"
#include "sql/orvtokenizer.h"

namespace orv {

namespace {

const TORVParseOptions NoOptions{};

// The options of every operand after the first one: the wildcard may only
// stand alone.
TORVParseOptions LaterOperand(TORVParseOptions Options) {
  Options.Exclude(poAllowAllColumns);
  return Options;
}

bool IsAllColumns(const TORVExprToken* Token) {
  return Token != nullptr && Token->FTokenType == ttCOLUMNREF && Token->FName == u"*";
}

// A constant that came from a number token (its text starts with a digit or
// a decimal point); NAN and the constants of other kinds do not qualify.
bool IsNumberConstant(const TORVExprToken* Token) {
  if (Token->FTokenType != ttCONST || Token->FTokenConstant.empty()) return false;
  if (Token->FDataType != dtInteger && Token->FDataType != dtBigInt && Token->FDataType != dtFloat) return false;
  char16_t First = Token->FTokenConstant.front();
  return (First >= u'0' && First <= u'9') || First == u'.';
}

TORVExprToken* NewConstExprToken(TORVExprParser& P, int32_t DataType, const TORVString& Text) {
  TORVExprToken* Node = P.GetNewExprToken(ttCONST, toNONE);
  Node->SetDataType(DataType);
  Node->FTokenConstant = Text;
  return Node;
}

// Makes a binary node over Left (whose ownership moves into the node) once
// the operator has been consumed; the caller parses the right operand.
TORVExprToken* NewBinaryExprToken(TORVExprParser& P, TORVPartialTree& Left, TORVTokenOperator Operator,
                                  int32_t DataType) {
  P.CheckForAllColumns(Left.Get());
  TORVExprToken* Node = P.GetNewExprToken(ttBINARY, Operator);
  Node->SetDataType(DataType);
  Node->SetLeftToken(Left.Release());
  Left.Reset(Node);
  return Node;
}

// The extended binary node of a predicate over Left, made once the
// predicate's words have been consumed; Left becomes slot [0].
TORVExprToken* NewExtBinaryExprToken(TORVExprParser& P, TORVPartialTree& Left, TORVTokenOperator Operator) {
  P.CheckForAllColumns(Left.Get());
  TORVExprToken* Node = P.GetNewExprToken(ttEXTBINARY, Operator);
  Node->SetDataType(dtBoolean);
  Node->AddArgument(Left.Release());
  Left.Reset(Node);
  return Node;
}

void ParseBetweenOperands(TORVExprParser& P, TORVExprToken* Node, TORVParseOptions ParseOptions) {
  Node->AddArgument(P.ParsePlusMinus(ParseOptions));
  P.ErrorIfNotSkipSymbol(u"AND");
  Node->AddArgument(P.ParsePlusMinus(ParseOptions));
}

void ParseLikeOperands(TORVExprParser& P, TORVExprToken* Node, TORVParseOptions ParseOptions) {
  Node->AddArgument(P.ParseValue(ParseOptions));
  if (P.SkipSymbol(u"ESCAPE")) Node->AddArgument(P.ParseValue(ParseOptions));
}

void ParseInList(TORVExprParser& P, TORVExprToken* Node, TORVParseOptions ParseOptions) {
  P.ErrorIfNotSkipToken(u'(');
  if (P.SkipToken(u')')) return;
  do {
    Node->AddArgument(P.ParsePlusMinus(ParseOptions));
  } while (P.SkipToken(u','));
  P.ErrorIfNotSkipToken(u')');
}

bool ParseIntervalQualifier(TORVExprParser& P, TORVExprToken* Token, bool Required) {
  int32_t DataType = dtDayTimeInterval;
  int32_t SubType;
  if (P.SkipSymbol(u"YEAR")) {
    DataType = dtYearMonthInterval;
    SubType = stYear;
    if (P.SkipSymbol(u"TO")) {
      P.ErrorIfNotSkipSymbol(u"MONTH");
      SubType = stYearToMonth;
    }
  } else if (P.SkipSymbol(u"MONTH")) {
    DataType = dtYearMonthInterval;
    SubType = stMonth;
  } else if (P.SkipSymbol(u"DAY")) {
    SubType = stDay;
    if (P.SkipSymbol(u"TO")) {
      if (P.SkipSymbol(u"HOUR")) {
        SubType = stDayToHour;
      } else if (P.SkipSymbol(u"MINUTE")) {
        SubType = stDayToMinute;
      } else if (P.SkipSymbol(u"SECOND")) {
        SubType = stDayToSecond;
      } else if (P.SkipSymbol(u"MSECOND")) {
        SubType = stDayToMSecond;
      } else {
        P.ExpectedExpression(u"HOUR, MINUTE, SECOND, MSECOND");
      }
    }
  } else if (P.SkipSymbol(u"HOUR")) {
    SubType = stHour;
    if (P.SkipSymbol(u"TO")) {
      if (P.SkipSymbol(u"MINUTE")) {
        SubType = stHourToMinute;
      } else if (P.SkipSymbol(u"SECOND")) {
        SubType = stHourToSecond;
      } else if (P.SkipSymbol(u"MSECOND")) {
        SubType = stHourToMSecond;
      } else {
        P.ExpectedExpression(u"MINUTE, SECOND, MSECOND");
      }
    }
  } else if (P.SkipSymbol(u"MINUTE")) {
    SubType = stMinute;
    if (P.SkipSymbol(u"TO")) {
      if (P.SkipSymbol(u"SECOND")) {
        SubType = stMinuteToSecond;
      } else if (P.SkipSymbol(u"MSECOND")) {
        SubType = stMinuteToMSecond;
      } else {
        P.ExpectedExpression(u"SECOND, MSECOND");
      }
    }
  } else if (P.SkipSymbol(u"SECOND")) {
    SubType = stSecond;
    if (P.SkipSymbol(u"TO")) {
      P.ErrorIfNotSkipSymbol(u"MSECOND");
      SubType = stSecondToMSecond;
    }
  } else if (P.SkipSymbol(u"MSECOND")) {
    SubType = stMSecond;
  } else {
    if (Required) P.ExpectedExpression(u"YEAR, MONTH, DAY, HOUR, MINUTE, SECOND, MSECOND");
    return false;
  }
  Token->SetDataType(DataType);
  Token->SetSubType(SubType);
  return true;
}

// DATE, TIME, TIMESTAMP or INTERVAL followed by its string; the node is
// made at the type word.
TORVExprToken* ParseTypedConstant(TORVExprParser& P, int32_t DataType, std::u16string_view Expected) {
  TORVPartialTree Node(P.GetNewExprToken(ttCONST, toNONE));
  P.NextToken();
  if (!P.TokenIsString()) P.ExpectedExpression(Expected);
  Node->FTokenConstant = P.GetTokenAsString();
  P.NextToken();
  if (DataType == 0) {
    ParseIntervalQualifier(P, Node.Get(), true);
  } else {
    Node->SetDataType(DataType);
    Node->FLength = static_cast<int32_t>(Node->FTokenConstant.size());
  }
  return Node.Release();
}

TORVExprToken* ParseNumber(TORVExprParser& P) {
  TORVString Text = P.GetTokenAsLiteral();
  int32_t DataType = dtUnknown;
  if (P.CheckToken(tkInteger) && IsAnInteger(Text, false)) {
    DataType = dtInteger;
  } else if (P.CheckToken(tkInteger) && IsALargeInt(Text)) {
    DataType = dtBigInt;
  } else if (IsAFloat(Text)) {
    DataType = dtFloat;
  } else {
    P.ExpectedExpression(u"numeric constant");
  }
  TORVExprToken* Node = NewConstExprToken(P, DataType, Text);
  TORVPartialTree Guard(Node);
  P.NextToken();
  return Guard.Release();
}

TORVExprToken* ParseCharCode(TORVExprParser& P) {
  TORVString Text = P.GetTokenAsLiteral();
  if (!IsAnUnsignedChar(Text)) P.ExpectedExpression(u"character constant");
  int32_t Code = 0;
  for (char16_t C : Text)
    if (C >= u'0' && C <= u'9') Code = Code * 10 + (C - u'0');
  TORVPartialTree Node(NewConstExprToken(P, dtCharacter, TORVString(1, static_cast<char16_t>(Code))));
  Node->FLength = 1;
  P.NextToken();
  return Node.Release();
}

// "(" expression ")", a row value, or (a - b) with an interval qualifier.
TORVExprToken* ParseParenthesized(TORVExprParser& P, TORVParseOptions ParseOptions) {
  P.NextToken();
  TORVParseOptions Inner = ParseOptions;
  Inner.Exclude(poAllowAllColumns);
  Inner.Exclude(poForceRowValues);
  TORVParseOptions Members = Inner;
  Members.Exclude(poAllowRowValues);
  TORVPartialTree Result(P.ParseOr(P.CheckToken(u'(') ? Inner : Members));
  Result->FParentheses = true;
  bool RowValue = false;
  if (P.CheckToken(u',') || ParseOptions.Contains(poForceRowValues)) {
    if (!ParseOptions.Contains(poAllowRowValues)) P.InvalidExpr(u"row values not allowed");
    TORVExprToken* Row = P.GetNewExprToken(ttROWVALUE, toNONE);
    Row->AssignPos(Result.Get());
    Result->FParentheses = false;
    Row->AddArgument(Result.Release());
    Result.Reset(Row);
    while (P.SkipToken(u',')) Row->AddArgument(P.ParseOr(Members));
    RowValue = true;
  }
  P.ErrorIfNotSkipToken(u')');
  if (!RowValue && Result->FTokenType == ttBINARY && Result->FTokenOperator == toSUB &&
      ParseIntervalQualifier(P, Result.Get(), false)) {
    Result->FTokenOperator = toSUBINTERVAL;
  }
  return Result.Release();
}

TORVExprToken* ParseSubQuery(TORVExprParser& P, TORVParseOptions ParseOptions) {
  if (!ParseOptions.Contains(poAllowQueries)) P.InvalidExpr(u"query expression not allowed");
  TORVParseOptions QueryOptions = ParseOptions;
  QueryOptions.Exclude(poAllowInto);
  if (ParseOptions.Contains(poAllowQueryParameters)) QueryOptions.Include(poAllowParameters);
  P.MarkLiteral();
  TORVPartialTree Query(P.ParseQuery(QueryOptions));
  Query->FTokenConstant = P.GetLiteralString();
  return Query.Release();
}

// "(" value ")" as the length of a character or byte type; without it a
// fixed-length type has length 1.
void ParseTypeLength(TORVExprParser& P, TORVExprToken* Token, bool Fixed, bool LengthRequired) {
  if (P.CheckToken(u'(')) {
    P.NextToken();
    Token->FParentheses = true;
    Token->AddArgument(P.ParseValue(NoOptions));
    P.ErrorIfNotSkipToken(u')');
  } else if (Fixed) {
    TORVExprToken* One = NewConstExprToken(P, dtInteger, u"1");
    Token->AddArgument(One);
  } else {
    if (LengthRequired) P.ErrorIfNotToken(u'(');
    Token->AddArgument(nullptr);
  }
}

void ParseTypeCollation(TORVExprParser& P, TORVExprToken* Token) {
  if (P.SkipSymbol(u"COLLATE")) {
    Token->AddArgument(P.ParseCollationRef());
  } else {
    Token->AddArgument(nullptr);
  }
}

// "(" precision [, scale] ")" of DECIMAL and FLOAT.
bool ParseTypePrecision(TORVExprParser& P, TORVExprToken* Token) {
  if (!P.SkipToken(u'(')) return false;
  Token->FParentheses = true;
  Token->AddArgument(P.ParseValue(NoOptions));
  if (P.SkipToken(u',')) Token->AddArgument(P.ParseValue(NoOptions));
  P.ErrorIfNotSkipToken(u')');
  return true;
}
}  // namespace

TORVExprToken* TORVExprParser::ParseExpr(TORVParseOptions ParseOptions) {
  TORVPartialTree Result(ParseOr(ParseOptions));
  if (!CheckToken(tkEndOfText)) ExpectedExpression(u"end of expression");
  return Result.Release();
}

void TORVExprParser::CheckForAllColumns(TORVExprToken* Token) {
  if (IsAllColumns(Token)) InvalidExpr(u"columns wildcard (*) not allowed");
}

TORVExprToken* TORVExprParser::ParseOr(TORVParseOptions ParseOptions) {
  TORVPartialTree Result(ParseAnd(ParseOptions));
  while (CheckSymbol(u"OR")) {
    NextToken();
    TORVExprToken* Node = NewBinaryExprToken(*this, Result, toOR, dtBoolean);
    Node->SetRightToken(ParseAnd(LaterOperand(ParseOptions)));
  }
  return Result.Release();
}

TORVExprToken* TORVExprParser::ParseAnd(TORVParseOptions ParseOptions) {
  TORVPartialTree Result(ParseNot(ParseOptions));
  while (CheckSymbol(u"AND")) {
    NextToken();
    TORVExprToken* Node = NewBinaryExprToken(*this, Result, toAND, dtBoolean);
    Node->SetRightToken(ParseNot(LaterOperand(ParseOptions)));
  }
  return Result.Release();
}

TORVExprToken* TORVExprParser::ParseNot(TORVParseOptions ParseOptions) {
  if (!CheckSymbol(u"NOT")) return ParseBinary(ParseOptions);
  NextToken();
  TORVPartialTree Node(GetNewExprToken(ttUNARY, toNOT));
  Node->SetDataType(dtBoolean);
  Node->SetLeftToken(ParseBinary(LaterOperand(ParseOptions)));
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseBinary(TORVParseOptions ParseOptions) {
  TORVPartialTree Result(ParsePlusMinus(ParseOptions));
  const TORVParseOptions Later = LaterOperand(ParseOptions);
  auto Comparison = [&](TORVTokenOperator Operator) {
    TORVExprToken* Node = NewBinaryExprToken(*this, Result, Operator, dtBoolean);
    Node->SetRightToken(ParsePlusMinus(Later));
  };
  auto Predicate = [&](TORVTokenOperator Operator) {
    TORVExprToken* Node = NewExtBinaryExprToken(*this, Result, Operator);
    switch (Operator) {
      case toBETWEEN:
      case toNOTBETWEEN:
        ParseBetweenOperands(*this, Node, Later);
        break;
      case toLIKE:
      case toNOTLIKE:
        ParseLikeOperands(*this, Node, Later);
        break;
      default:
        ParseInList(*this, Node, Later);
        break;
    }
  };
  auto RequireContains = [&] {
    if (!ParseOptions.Contains(poAllowContains)) InvalidExpr(u"CONTAINS and DOES NOT CONTAIN operators not allowed");
  };

  if (SkipToken(u'=')) {
    Comparison(toEQ);
  } else if (SkipToken(u'<')) {
    if (SkipToken(u'>')) {
      Comparison(toNE);
    } else if (SkipToken(u'=')) {
      Comparison(toLE);
    } else {
      Comparison(toLT);
    }
  } else if (SkipToken(u'>')) {
    if (SkipToken(u'<')) {
      Comparison(toNE);
    } else if (SkipToken(u'=')) {
      Comparison(toGE);
    } else {
      Comparison(toGT);
    }
  } else if (CheckSymbol(u"NOT")) {
    // Column definitions read NOT NULL themselves.
    if (ParseOptions.Contains(poCheckForNotNull) && PeekSymbol(u"NULL")) return Result.Release();
    NextToken();
    if (SkipSymbol(u"BETWEEN")) {
      Predicate(toNOTBETWEEN);
    } else if (SkipSymbol(u"LIKE")) {
      Predicate(toNOTLIKE);
    } else if (SkipSymbol(u"IN")) {
      Predicate(toNOTIN);
    } else {
      ExpectedExpression(u"BETWEEN, LIKE, IN");
    }
  } else if (SkipSymbol(u"BETWEEN")) {
    Predicate(toBETWEEN);
  } else if (SkipSymbol(u"LIKE")) {
    Predicate(toLIKE);
  } else if (SkipSymbol(u"IN")) {
    Predicate(toIN);
  } else if (SkipSymbol(u"IS")) {
    TORVTokenOperator Operator = toISNULL;
    if (SkipSymbol(u"NOT")) {
      Operator = toISNOTNULL;
      ErrorIfNotSkipSymbol(u"NULL");
    } else if (!SkipSymbol(u"NULL")) {
      ExpectedExpression(u"NULL, NOT");
    }
    TORVExprToken* Node = NewExtBinaryExprToken(*this, Result, Operator);
    TORVExprToken* Null = GetNewExprToken(ttCONST, toNONE);
    Null->FTokenConstant = u"NULL";
    Node->AddArgument(Null);
  } else if (CheckSymbol(u"CONTAINS")) {
    RequireContains();
    NextToken();
    TORVExprToken* Node = NewExtBinaryExprToken(*this, Result, SkipSymbol(u"ANY") ? toCONTAINSANY : toCONTAINS);
    Node->AddArgument(ParseValue(Later));
  } else if (CheckSymbol(u"DOES")) {
    RequireContains();
    NextToken();
    ErrorIfNotSkipSymbol(u"NOT");
    ErrorIfNotSkipSymbol(u"CONTAIN");
    TORVExprToken* Node = NewExtBinaryExprToken(*this, Result, SkipSymbol(u"ANY") ? toNOTCONTAINSANY : toNOTCONTAINS);
    Node->AddArgument(ParseValue(Later));
  }
  return Result.Release();
}

TORVExprToken* TORVExprParser::ParsePlusMinus(TORVParseOptions ParseOptions) {
  TORVPartialTree Result(ParseMultDiv(ParseOptions));
  for (;;) {
    TORVTokenOperator Operator;
    if (SkipToken(u'+')) {
      Operator = toADD;
    } else if (SkipToken(u'-')) {
      Operator = toSUB;
    } else if (SkipToken(u'|')) {
      // Concatenation is addition of strings.
      ErrorIfNotSkipToken(u'|');
      Operator = toADD;
    } else {
      break;
    }
    TORVExprToken* Node = NewBinaryExprToken(*this, Result, Operator, Result->FDataType);
    Node->SetRightToken(ParseMultDiv(LaterOperand(ParseOptions)));
  }
  return Result.Release();
}

TORVExprToken* TORVExprParser::ParseMultDiv(TORVParseOptions ParseOptions) {
  TORVPartialTree Result(ParseUnary(ParseOptions));
  for (;;) {
    TORVTokenOperator Operator;
    if (SkipToken(u'*')) {
      Operator = toMUL;
    } else if (SkipToken(u'/')) {
      Operator = toDIV;
    } else if (SkipSymbol(u"MOD")) {
      Operator = toMOD;
    } else {
      break;
    }
    TORVExprToken* Node = NewBinaryExprToken(*this, Result, Operator, Result->FDataType);
    Node->SetRightToken(ParseUnary(LaterOperand(ParseOptions)));
  }
  return Result.Release();
}

TORVExprToken* TORVExprParser::ParseUnary(TORVParseOptions ParseOptions) {
  if (SkipToken(u'+')) return ParseValue(LaterOperand(ParseOptions));
  if (!SkipToken(u'-')) return ParseValue(ParseOptions);
  TORVPartialTree Operand(ParseValue(LaterOperand(ParseOptions)));
  // Only a number takes the sign into its text: a sign glued to any other
  // constant would change its value (a string would gain a "-" character).
  if (IsNumberConstant(Operand.Get())) {
    Operand->FTokenConstant.insert(0, 1, u'-');
    return Operand.Release();
  }
  TORVExprToken* Node = GetNewExprToken(ttUNARY, toNEGATE);
  Node->SetLeftToken(Operand.Release());
  return Node;
}

TORVExprToken* TORVExprParser::ParseValue(TORVParseOptions ParseOptions) {
  TORVParseNesting Level(*this);
  switch (GetToken()) {
    case tkSymbol: {
      if (CheckSymbol(u"TRUE") || CheckSymbol(u"FALSE")) {
        TORVPartialTree Node(NewConstExprToken(*this, dtBoolean, GetTokenAsLiteral()));
        NextToken();
        return Node.Release();
      }
      if (CheckSymbol(u"NULL")) {
        TORVPartialTree Node(NewConstExprToken(*this, dtUnknown, GetTokenAsLiteral()));
        NextToken();
        return Node.Release();
      }
      if (CheckSymbol(u"NAN")) {
        TORVPartialTree Node(NewConstExprToken(*this, dtFloat, GetTokenAsLiteral()));
        NextToken();
        return Node.Release();
      }
      if (CheckSymbol(u"DATE")) return ParseTypedConstant(*this, dtDate, u"date constant");
      if (CheckSymbol(u"TIME")) return ParseTypedConstant(*this, dtTime, u"time constant");
      if (CheckSymbol(u"TIMESTAMP")) return ParseTypedConstant(*this, dtTimeStamp, u"timestamp constant");
      if (CheckSymbol(u"INTERVAL")) return ParseTypedConstant(*this, dtUnknown, u"interval constant");
      if (CheckSymbol(u"SELECT") || CheckSymbol(u"TABLE")) return ParseSubQuery(*this, ParseOptions);
      // A function word whose grammar is not registered reads as a name.
      TORVTokenOperator Function = LookupFunctionKeyword();
      if (Function >= toABORTED && Function <= toUPPER) {
        TORVParseMethod Parse = FFunctionsTable[Function - toABORTED];
        if (Parse != nullptr) return (this->*Parse)(ParseOptions);
      }
      return ParseFuncColumnRef(ParseOptions);
    }
    case tkString: {
      TORVPartialTree Node(NewConstExprToken(*this, dtCharacter, GetTokenAsString()));
      Node->FLength = static_cast<int32_t>(Node->FTokenConstant.size());
      NextToken();
      return Node.Release();
    }
    case tkQuotedSymbol:
      return ParseColumnRef(ParseOptions);
    case tkCharCode:
      return ParseCharCode(*this);
    case tkInteger:
    case tkFloat:
      return ParseNumber(*this);
    case tkBytes: {
      TORVPartialTree Node(NewConstExprToken(*this, dtBytes, GetTokenAsString()));
      Node->FLength = static_cast<int32_t>(Node->FTokenConstant.size() / 2);
      NextToken();
      return Node.Release();
    }
    case u'(':
      return ParseParenthesized(*this, ParseOptions);
    case u'*': {
      if (!ParseOptions.Contains(poAllowAllColumns)) InvalidExpr(u"columns wildcard (*) not allowed");
      TORVPartialTree Node(GetNewExprToken(ttCOLUMNREF, toNONE));
      Node->FName = u"*";
      Node->AddArgument(nullptr);
      Node->AddArgument(nullptr);
      NextToken();
      return Node.Release();
    }
    case u'?': {
      if (!ParseOptions.Contains(poAllowParameters)) InvalidExpr(u"dynamic parameter references not allowed");
      TORVPartialTree Node(GetNewExprToken(ttDYNPARAMREF, toNONE));
      NextToken();
      return Node.Release();
    }
    default:
      ExpectedExpression(u"expression");
  }
}

TORVExprToken* TORVExprParser::ParseFuncColumnRef(TORVParseOptions ParseOptions) {
  if (!PeekToken(u'(')) return ParseColumnRef(ParseOptions);
  if (ParseOptions.Contains(poNoUDFs)) InvalidExpr(u"user-defined function references not allowed");
  TORVPartialTree Node(GetNewExprToken(ttFUNCREF, toUDF));
  Node->FName = GetTokenAsString();
  NextToken();
  ErrorIfNotSkipToken(u'(');
  if (SkipToken(u')')) return Node.Release();
  do {
    Node->AddArgument(ParseOr(LaterOperand(ParseOptions)));
  } while (SkipToken(u','));
  ErrorIfNotSkipToken(u')');
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseColumnRef(TORVParseOptions ParseOptions) {
  if (!TokenIsSymbol()) ExpectedExpression(u"column name");
  TORVPartialTree Node(GetNewExprToken(ttCOLUMNREF, toNONE));
  Node->FName = GetTokenAsString();
  NextToken();
  bool AllColumns = false;
  if (CheckToken(u'.')) {
    if (ParseOptions.Contains(poAllowTableQualifier)) {
      Node->FSourceName = Node->FName;
    } else if (FExpr == nullptr || !FExpr->IsRemoteColumn()) {
      InvalidExpr(u"table qualifier not allowed");
    }
    NextToken();
    if (TokenIsSymbol()) {
      Node->FName = GetTokenAsString();
    } else if (CheckToken(u'*')) {
      if (!ParseOptions.Contains(poAllowAllColumns)) InvalidExpr(u"columns wildcard (*) not allowed");
      Node->FName = u"*";
      AllColumns = true;
    } else {
      ExpectedExpression(u"column name");
    }
    NextToken();
  }
  if (CheckToken(u'[')) {
    if (AllColumns) InvalidExpr(u"columns wildcard (*) not allowed");
    TORVExprToken* Index = GetNewExprToken(ttCLAUSE, toNONE);
    Node->AddArgument(Index);
    NextToken();
    Index->AddArgument(ParsePlusMinus(LaterOperand(ParseOptions)));
    ErrorIfNotSkipToken(u']');
  } else {
    Node->AddArgument(nullptr);
  }
  ParseColumnOptions(Node.Get(), ParseOptions);
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseProcRef(TORVParseOptions ParseOptions) {
  if (!TokenIsSymbol()) ExpectedExpression(u"procedure name");
  TORVPartialTree Node(GetNewExprToken(ttPROCREF, toNONE));
  Node->FName = GetTokenAsString();
  NextToken();
  if (SkipToken(u'(') && !SkipToken(u')')) {
    do {
      Node->AddArgument(ParseOr(LaterOperand(ParseOptions)));
    } while (SkipToken(u','));
    ErrorIfNotSkipToken(u')');
  }
  return Node.Release();
}

void TORVExprParser::ParseColumnOptions(TORVExprToken* Token, TORVParseOptions ParseOptions) {
  if (!ParseOptions.Contains(poNoCollationRef) && CheckSymbol(u"COLLATE")) {
    TORVExprToken* Collate = GetNewExprToken(ttCLAUSE, toCOLLATE);
    Token->AddArgument(Collate);
    NextToken();
    Collate->AddArgument(ParseCollationRef());
  } else {
    Token->AddArgument(nullptr);
  }
  if (!ParseOptions.Contains(poAllowDirection)) return;
  TORVTokenOperator Direction = toNONE;
  if (CheckSymbol(u"ASC") || CheckSymbol(u"ASCENDING")) {
    Direction = toASC;
  } else if (CheckSymbol(u"DESC") || CheckSymbol(u"DESCENDING")) {
    Direction = toDESC;
  }
  if (Direction == toNONE) {
    Token->AddArgument(nullptr);
    return;
  }
  Token->AddArgument(GetNewExprToken(ttCLAUSE, Direction));
  NextToken();
}

bool TORVExprParser::ParseDataType(TORVExprToken* Token, TORVParseOptions ParseOptions, bool LengthRequired,
                                   bool TypeOptional) {
  (void)ParseOptions;
  Token->FTokenConstant = GetTokenAsString();
  auto SetType = [Token](int32_t DataType, int32_t SubType) {
    Token->SetDataType(DataType);
    Token->SetSubType(SubType);
  };
  auto Character = [&](int32_t SubType) {
    SetType(dtCharacter, SubType);
    ParseTypeLength(*this, Token, SubType == stChar, LengthRequired);
    ParseTypeCollation(*this, Token);
  };
  auto Bytes = [&](int32_t SubType) {
    SetType(dtBytes, SubType);
    ParseTypeLength(*this, Token, SubType == stByte, LengthRequired);
  };
  auto LargeText = [&] {
    SetType(dtLargeObject, stClob);
    Token->AddArgument(nullptr);
    ParseTypeCollation(*this, Token);
  };

  if (SkipSymbol(u"BOOLEAN") || SkipSymbol(u"BOOL")) {
    SetType(dtBoolean, stNone);
  } else if (SkipSymbol(u"SMALLINT")) {
    SetType(dtSmallInt, stNone);
  } else if (SkipSymbol(u"INTEGER") || SkipSymbol(u"INT")) {
    SetType(dtInteger, stNone);
  } else if (SkipSymbol(u"BIGINT")) {
    SetType(dtBigInt, stNone);
  } else if (SkipSymbol(u"DECIMAL") || SkipSymbol(u"NUMERIC")) {
    SetType(dtDecimal, stNone);
    if (!ParseTypePrecision(*this, Token)) {
      Token->AddArgument(nullptr);
      Token->AddArgument(nullptr);
    }
  } else if (SkipSymbol(u"FLOAT")) {
    SetType(dtFloat, stNone);
    ParseTypePrecision(*this, Token);
  } else if (SkipSymbol(u"DOUBLE")) {
    ErrorIfNotSkipSymbol(u"PRECISION");
    SetType(dtFloat, stNone);
  } else if (SkipSymbol(u"CHARACTER")) {
    if (SkipSymbol(u"VARYING")) {
      Character(stVarChar);
    } else if (SkipSymbol(u"LARGE")) {
      ErrorIfNotSkipSymbol(u"OBJECT");
      LargeText();
    } else {
      Character(stChar);
    }
  } else if (SkipSymbol(u"CHAR")) {
    Character(SkipSymbol(u"VARYING") ? stVarChar : stChar);
  } else if (SkipSymbol(u"VARCHAR")) {
    Character(stVarChar);
  } else if (SkipSymbol(u"CLOB")) {
    LargeText();
  } else if (SkipSymbol(u"GUID")) {
    SetType(dtCharacter, stGUID);
    Token->AddArgument(nullptr);
    ParseTypeCollation(*this, Token);
  } else if (SkipSymbol(u"BYTE")) {
    Bytes(SkipSymbol(u"VARYING") ? stVarByte : stByte);
  } else if (SkipSymbol(u"VARBYTE")) {
    Bytes(stVarByte);
  } else if (SkipSymbol(u"BINARY")) {
    ErrorIfNotSkipSymbol(u"LARGE");
    ErrorIfNotSkipSymbol(u"OBJECT");
    SetType(dtLargeObject, stBlob);
  } else if (SkipSymbol(u"BLOB")) {
    SetType(dtLargeObject, stBlob);
  } else if (SkipSymbol(u"DATE")) {
    SetType(dtDate, stNone);
  } else if (SkipSymbol(u"TIME")) {
    SetType(dtTime, stNone);
  } else if (SkipSymbol(u"TIMESTAMP")) {
    SetType(dtTimeStamp, stNone);
  } else if (SkipSymbol(u"INTERVAL")) {
    ParseIntervalQualifier(*this, Token, true);
  } else {
    if (TypeOptional) return false;
    ExpectedExpression(u"data type");
  }
  return true;
}

void TORVExprParser::ParseFormatting(TORVExprToken* Token) {
  if (SkipSymbol(u"DATE")) {
    ErrorIfNotSkipSymbol(u"FORMAT");
    Token->AddArgument(ParseValue(NoOptions));
  } else {
    Token->AddArgument(nullptr);
  }
  if (SkipSymbol(u"TIME")) {
    ErrorIfNotSkipSymbol(u"FORMAT");
    TORVExprToken* Format = ParseValue(NoOptions);
    Token->AddArgument(Format);
    if (SkipSymbol(u"AM")) {
      ErrorIfNotSkipSymbol(u"LITERAL");
      Format->AddArgument(ParseValue(NoOptions));
      ErrorIfNotSkipSymbol(u"PM");
      ErrorIfNotSkipSymbol(u"LITERAL");
      Format->AddArgument(ParseValue(NoOptions));
    } else {
      Format->AddArgument(nullptr);
      Format->AddArgument(nullptr);
    }
  } else {
    Token->AddArgument(nullptr);
  }
  if (SkipSymbol(u"DECIMAL")) {
    ErrorIfNotSkipSymbol(u"CHAR");
    Token->AddArgument(ParseValue(NoOptions));
  } else {
    Token->AddArgument(nullptr);
  }
  if (SkipSymbol(u"BOOLEAN")) {
    TORVExprToken* Literals = GetNewExprToken(ttCLAUSE, toNONE);
    Token->AddArgument(Literals);
    ErrorIfNotSkipSymbol(u"TRUE");
    ErrorIfNotSkipSymbol(u"LITERAL");
    Literals->AddArgument(ParseValue(NoOptions));
    ErrorIfNotSkipSymbol(u"FALSE");
    ErrorIfNotSkipSymbol(u"LITERAL");
    Literals->AddArgument(ParseValue(NoOptions));
  } else {
    Token->AddArgument(nullptr);
  }
}

}  // namespace orv
