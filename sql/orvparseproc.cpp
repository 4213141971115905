// Procedural language of the SQL parser: the routine entry points of stored
// functions, procedures, scripts, jobs and triggers, routine parameters,
// blocks with their declarations, RETURN and FINALLY or EXCEPTION sections,
// statement labels, and the control statements with their dispatcher. The
// slots of every node built here are named in sql/orvroutineslots.h.
//
// Data manipulation inside a routine is not a statement of its own: it runs
// through PREPARE and EXECUTE (or EXECUTE IMMEDIATE) from text, and INSERT,
// UPDATE and DELETE are the statements that act on an open cursor.
//
// Option flow: a block passes its options on to its statements with
// poRequireLineTerm added and poAllowDeclarations and poRequireNamedBlock
// removed; a statement list (the body of IF, CASE or a loop) also removes
// poRequireReturn. So RETURN is legal at the end of a function body, of a
// BEGIN block nested in it and of a statement list standing directly in one
// of those, and nowhere deeper.
//
// A statement list reads the labels of its statements itself, the first one
// included, so a labelled loop at the head of an IF branch keeps its label
// and a list may start with RETURN or be empty.
#include <cstdint>
#include <span>
#include <string_view>

#include "core/orvstrings.h"
#include "core/orvtypefunc.h"
#include "sql/orvexprtoken.h"
#include "sql/orvparser.h"
#include "sql/orvparseroptions.h"
#include "sql/orvroutineslots.h"
#include "sql/orvtokenizer.h"

namespace orv {

namespace {

// The words at which a block's statements end.
constexpr std::u16string_view NamedBlockEndWords[] = {u"END", u"FINALLY", u"EXCEPTION", u"RETURN"};
constexpr std::u16string_view ListEndWords[] = {u"END",  u"FINALLY", u"EXCEPTION", u"ELSEIF",
                                                u"ELSE", u"WHEN",    u"UNTIL",     u"RETURN"};
constexpr std::u16string_view ExceptionEndWords[] = {u"END",  u"EXCEPTION", u"ELSEIF", u"ELSE",
                                                     u"WHEN", u"UNTIL",     u"RETURN"};

// The words that start a statement, so that no label stands in front.
constexpr std::u16string_view StatementWords[] = {
    u"BEGIN",   u"END",     u"DECLARE", u"RAISE",    u"RETRY",   u"SET",       u"LOG",    u"ABORT",
    u"IF",      u"ELSE",    u"CASE",    u"ITERATE",  u"LEAVE",   u"LOOP",      u"REPEAT", u"WHILE",
    u"FOR",     u"USE",     u"START",   u"ROLLBACK", u"COMMIT",  u"OPEN",      u"CLOSE",  u"REFRESH",
    u"FETCH",   u"CALL",    u"PREPARE", u"EXECUTE",  u"UNPREPARE", u"INSERT",  u"UPDATE", u"DELETE",
};

// The words a label may stand in front of.
constexpr std::u16string_view LabelledWords[] = {u"BEGIN", u"LOOP", u"REPEAT", u"WHILE", u"FOR"};

constexpr std::u16string_view ControlWordsWithRaise =
    u"BEGIN, DECLARE, RAISE, SET, LOG, ABORT, IF, CASE, LOOP, REPEAT, WHILE, ITERATE, LEAVE, USE, START, "
    u"COMMIT, ROLLBACK, PREPARE, EXECUTE, UNPREPARE, OPEN, CLOSE, FETCH, INSERT, UPDATE, DELETE";
constexpr std::u16string_view ControlWords =
    u"BEGIN, DECLARE, SET, LOG, ABORT, IF, CASE, LOOP, REPEAT, WHILE, ITERATE, LEAVE, USE, START, "
    u"COMMIT, ROLLBACK, PREPARE, EXECUTE, UNPREPARE, OPEN, CLOSE, FETCH, INSERT, UPDATE, DELETE";

constexpr std::u16string_view ExceptionHandlingNotAllowed = u"exception handling statements and functions not allowed";

bool CheckAnyWord(const TORVExprParser& P, std::span<const std::u16string_view> Words) {
  for (std::u16string_view Word : Words)
    if (P.CheckSymbol(Word)) return true;
  return false;
}

// A routine node with its six slots, all nil.
TORVExprToken* NewRoutineNode(TORVExprToken* Name) {
  Name->SetNumArguments(RoutineSlotCount);
  return Name;
}

// A control statement's node at its keyword, which is then consumed.
TORVExprToken* NewControlNode(TORVExprParser& P, TORVTokenOperator Operator) {
  // Reading the next token may raise (an unclosed string after the word).
  TORVPartialTree Node(P.GetNewExprToken(ttCONTROL, Operator));
  P.NextToken();
  return Node.Release();
}

// In the routines of old engine versions a table or column written in a
// cursor statement or a transaction's table list is a name, not an
// expression: a column or function reference becomes, in place, a character
// constant holding the name as written. The table list also drops the
// database that the reference carried.
TORVExprToken* ConvertDynamicName(TORVExprToken* Token, TORVParseOptions Options, bool ClearDatabase) {
  if (!Options.Contains(poConvertDynamic)) return Token;
  if (Token->FTokenType != ttCOLUMNREF && Token->FTokenType != ttFUNCREF) return Token;
  Token->FTokenType = ttCONST;
  Token->FTokenOperator = toNONE;
  Token->SetDataType(dtCharacter);
  Token->FTokenConstant = Token->FName;
  Token->FLength = static_cast<int32_t>(Token->FTokenConstant.size());
  Token->FName.clear();
  if (ClearDatabase) Token->FDatabaseName.clear();
  return Token;
}

// USING arguments of EXECUTE and OPEN: a clause, empty without USING.
TORVExprToken* ParseUsing(TORVExprParser& P, TORVParseOptions Options) {
  TORVPartialTree Using(P.GetNewExprToken(ttCLAUSE, toNONE));
  if (P.SkipSymbol(u"USING")) {
    const TORVParseOptions Arguments = Options + TORVParseOptions{poAllowTableQualifier};
    do {
      Using->AddArgument(P.ParseOr(Arguments));
    } while (P.SkipToken(u','));
  }
  return Using.Release();
}

// The values of INSERT and the targets of FETCH fill the right sides of the
// pairs that a column list opened, one by one, adding pairs past its end.
void SetPairRight(TORVExprParser& P, TORVExprToken* Pairs, int32_t Index, TORVExprToken* Value) {
  TORVPartialTree Held(Value);
  if (Index >= Pairs->GetNumArguments()) {
    TORVExprToken* Pair = P.GetNewExprToken(ttCLAUSE, toNONE);
    Pair->AssignPos(Value);
    Pairs->AddArgument(Pair);
  }
  Pairs->GetArgument(Index)->SetRightToken(Held.Release());
}

// "( column, ... )" of INSERT and FETCH: one pair per column.
void ParsePairColumns(TORVExprParser& P, TORVExprToken* Pairs, TORVParseOptions Options) {
  P.ErrorIfNotSkipToken(u'(');
  do {
    TORVExprToken* Pair = P.GetNewExprToken(ttCLAUSE, toNONE);
    Pairs->AddArgument(Pair);
    Pair->SetLeftToken(ConvertDynamicName(P.ParsePlusMinus(Options), Options, false));
  } while (P.SkipToken(u','));
  P.ErrorIfNotSkipToken(u')');
}

// END LOOP, END REPEAT or END WHILE: the loop's own label may close it,
// and no other word may.
void ParseLoopEnd(TORVExprParser& P, std::u16string_view Word, const TORVString& LabelName) {
  P.ErrorIfNotSkipSymbol(u"END");
  P.ErrorIfNotSkipSymbol(Word);
  if (P.CheckToken(P.LineTerm())) return;
  if (LabelName.empty()) P.ExpectedToken(P.LineTerm());
  if (!P.TokenIsSymbol() || !SameString(P.GetTokenAsString(), LabelName)) P.ExpectedExpression(LabelName);
  P.NextToken();
}

// A statement whose one slot names a cursor or a prepared statement, after
// the word that follows its keyword, if any.
TORVExprToken* ParseReferenceControl(TORVExprParser& P, TORVTokenOperator Operator, std::u16string_view Word,
                                     int32_t ReferenceSlot, TORVExprToken* (TORVExprParser::*ParseReference)()) {
  TORVPartialTree Node(NewControlNode(P, Operator));
  if (!Word.empty()) P.ErrorIfNotSkipSymbol(Word);
  Node->SetNumArguments(ReferenceSlot + 1);
  Node->SetArgument(ReferenceSlot, (P.*ParseReference)());
  return Node.Release();
}

// ITERATE and LEAVE, each with an optional label.
TORVExprToken* ParseLoopJump(TORVExprParser& P, TORVTokenOperator Operator) {
  TORVPartialTree Node(NewControlNode(P, Operator));
  if (P.TokenIsSymbol()) {
    Node->FName = P.GetTokenAsString();
    P.NextToken();
  }
  return Node.Release();
}

}  // namespace

// ---------------------------------------------------------------------------
// Routine entry points and parameters

TORVExprToken* TORVExprParser::ParseFunctionRoutine(TORVParseOptions ParseOptions) {
  ErrorIfNotSkipSymbol(u"FUNCTION");
  TORVPartialTree Routine(NewRoutineNode(ParseFunctionName()));
  Routine->SetArgument(RoutineParamsSlot, ParseParams(TORVParseOptions{poAllowOutParameters}));
  ErrorIfNotSkipSymbol(u"RETURNS");
  Routine->SetArgument(RoutineReturnsSlot, ParseReturns(TORVParseOptions{}));
  if (SkipSymbol(u"EXTERNAL")) {
    ErrorIfNotSkipSymbol(u"NAME");
    Routine->SetArgument(RoutineModuleSlot, ParseModuleName());
    if (ParseOptions.Contains(poCheckEndRoutine) && !TokenAtEnd()) ExpectedExpression(u"end of expression");
  } else {
    Routine->SetArgument(RoutineBodySlot, ParseRoutine(ParseOptions + TORVParseOptions{poRequireReturn}));
  }
  return Routine.Release();
}

TORVExprToken* TORVExprParser::ParseProcedureRoutine(TORVParseOptions ParseOptions) {
  ErrorIfNotSkipSymbol(u"PROCEDURE");
  TORVPartialTree Routine(NewRoutineNode(ParseProcedureName()));
  Routine->SetArgument(RoutineParamsSlot, ParseParams(TORVParseOptions{poAllowOutParameters}));
  if (SkipSymbol(u"EXTERNAL")) {
    ErrorIfNotSkipSymbol(u"NAME");
    Routine->SetArgument(RoutineModuleSlot, ParseModuleName());
    if (ParseOptions.Contains(poCheckEndRoutine) && !TokenAtEnd()) ExpectedExpression(u"end of expression");
  } else {
    Routine->SetArgument(RoutineBodySlot, ParseRoutine(ParseOptions));
  }
  return Routine.Release();
}

TORVExprToken* TORVExprParser::ParseScriptRoutine(TORVParseOptions ParseOptions) {
  ErrorIfNotSkipSymbol(u"SCRIPT");
  TORVPartialTree Routine(NewRoutineNode(GetNewExprToken(ttSCRIPT, toNONE)));
  Routine->SetArgument(RoutineParamsSlot, ParseParams(TORVParseOptions{poAllowOutParameters}));
  Routine->SetArgument(RoutineBodySlot, ParseRoutine(ParseOptions));
  return Routine.Release();
}

TORVExprToken* TORVExprParser::ParseJobRoutine(TORVParseOptions ParseOptions) {
  ErrorIfNotSkipSymbol(u"JOB");
  TORVPartialTree Routine(NewRoutineNode(ParseJobName()));
  Routine->SetArgument(RoutineParamsSlot, ParseParams(TORVParseOptions{poNoParameters}));
  Routine->SetArgument(RoutineBodySlot, ParseRoutine(ParseOptions));
  return Routine.Release();
}

TORVExprToken* TORVExprParser::ParseTriggerRoutine(TORVParseOptions ParseOptions) {
  ErrorIfNotSkipSymbol(u"TRIGGER");
  TORVPartialTree Routine(NewRoutineNode(ParseTriggerName()));
  Routine->SetArgument(RoutineParamsSlot, ParseParams(TORVParseOptions{poNoParameters}));
  Routine->SetArgument(RoutineRowVariablesSlot, NewRowVariables());
  Routine->SetArgument(RoutineBodySlot, ParseRoutine(ParseOptions));
  return Routine.Release();
}

TORVExprToken* TORVExprParser::NewRowVariables() const {
  TORVExprToken* Rows = GetNewExprToken(ttCLAUSE, toNONE);
  for (int32_t ID : {OldRowVariableID, NewRowVariableID}) {
    TORVExprToken* Row = GetNewExprToken(ttROWVARIABLE, toNONE);
    Rows->AddArgument(Row);
    Row->FTokenID = ID;
    Row->FName = ID == OldRowVariableID ? u"OldRow" : u"NewRow";
  }
  return Rows;
}

TORVExprToken* TORVExprParser::ParseParams(TORVParseOptions ParseOptions) {
  TORVPartialTree Params(GetNewExprToken(ttCLAUSE, toNONE));
  if (ParseOptions.Contains(poNoParameters)) return Params.Release();
  if (SkipToken(u'(') && !SkipToken(u')')) {
    do {
      Params->AddArgument(ParseParam(ParseOptions));
    } while (SkipToken(u','));
    ErrorIfNotSkipToken(u')');
  }
  return Params.Release();
}

TORVExprToken* TORVExprParser::ParseParam(TORVParseOptions ParseOptions) {
  TORVTokenOperator Direction = toINPUT;
  if (CheckSymbol(u"OUT")) {
    Direction = toOUTPUT;
  } else if (CheckSymbol(u"INOUT")) {
    Direction = toINPUTOUTPUT;
  }
  if (Direction != toINPUT && !ParseOptions.Contains(poAllowOutParameters))
    InvalidExpr(u"output parameters not allowed");
  TORVPartialTree Param(GetNewExprToken(ttPARAM, Direction));
  if (Direction != toINPUT) {
    NextToken();
  } else {
    SkipSymbol(u"IN");
  }
  if (!TokenIsSymbol()) ExpectedExpression(u"parameter name");
  Param->FName = GetTokenAsString();
  NextToken();
  Param->SetNumArguments(ParamSlotCount);
  TORVExprToken* DataType = GetNewExprToken(ttDATATYPE, toNONE);
  Param->SetArgument(ParamDataTypeSlot, DataType);
  ParseDataType(DataType, ParseOptions, false, false);
  if (SkipSymbol(u"DESCRIPTION")) Param->SetArgument(ParamDescriptionSlot, ParseValue(TORVParseOptions{}));
  return Param.Release();
}

TORVExprToken* TORVExprParser::ParseReturns(TORVParseOptions ParseOptions) {
  TORVPartialTree Returns(GetNewExprToken(ttCLAUSE, toNONE));
  TORVExprToken* Result = GetNewExprToken(ttPARAM, toRESULT);
  Returns->AddArgument(Result);
  Result->FName = u"Result";
  TORVExprToken* DataType = GetNewExprToken(ttDATATYPE, toNONE);
  Result->SetNumArguments(ParamDataTypeSlot + 1);
  Result->SetArgument(ParamDataTypeSlot, DataType);
  ParseDataType(DataType, ParseOptions, false, false);
  return Returns.Release();
}

// ---------------------------------------------------------------------------
// Blocks and labels

TORVExprToken* TORVExprParser::ParseRoutine(TORVParseOptions ParseOptions) {
  return ParseBlock(ParseOptions + TORVParseOptions{poRequireNamedBlock}, TORVString());
}

TORVExprToken* TORVExprParser::ParseBlock(TORVParseOptions ParseOptions, const TORVString& LabelName) {
  TORVParseNesting Level(*this);
  const bool Named = ParseOptions.Contains(poRequireNamedBlock);
  if (Named) ErrorIfNotSymbol(u"BEGIN");
  TORVPartialTree Block(GetNewExprToken(ttBLOCK, Named ? toNAMED : toNONE));
  Block->SetNumArguments(BlockSlotCount);
  TORVExprToken* Declarations = GetNewExprToken(ttBLOCKCLAUSE, toNONE);
  Block->SetArgument(BlockDeclarationsSlot, Declarations);
  if (Named) {
    Block->FName = LabelName;
    NextToken();
    const TORVParseOptions DeclareOptions = ParseOptions + TORVParseOptions{poAllowDeclarations, poRequireLineTerm};
    while (CheckSymbol(u"DECLARE")) Declarations->AddArgument(ParseControl(DeclareOptions, TORVString()));
  }

  TORVParseOptions StatementOptions =
      ParseOptions + TORVParseOptions{poRequireLineTerm} - TORVParseOptions{poAllowDeclarations, poRequireNamedBlock};
  if (!Named) StatementOptions.Exclude(poRequireReturn);
  auto ParseStatements = [&](TORVExprToken* Clause, TORVParseOptions Options,
                             std::span<const std::u16string_view> EndWords) {
    while (!CheckAnyWord(*this, EndWords)) {
      TORVString Label;
      ParseLabel(Label);
      if (CheckSymbol(u"BEGIN")) {
        Clause->AddArgument(ParseBlock(Options + TORVParseOptions{poRequireNamedBlock}, Label));
      } else {
        Clause->AddArgument(ParseControl(Options, Label));
      }
    }
  };
  TORVExprToken* Statements = GetNewExprToken(ttBLOCKCLAUSE, toNONE);
  Block->SetArgument(BlockStatementsSlot, Statements);
  ParseStatements(Statements, StatementOptions, Named ? std::span<const std::u16string_view>(NamedBlockEndWords)
                                                         : std::span<const std::u16string_view>(ListEndWords));

  if (CheckSymbol(u"RETURN")) {
    if (!ParseOptions.Contains(poRequireReturn)) InvalidExpr(u"RETURN statement not allowed");
    MarkControlLine();
    TORVExprToken* Return = NewControlNode(*this, toRETURN);
    Block->SetArgument(BlockReturnSlot, Return);
    Return->SetNumArguments(ReturnValueSlot + 1);
    Return->SetArgument(ReturnValueSlot, ParseOr(ParseOptions));
    ErrorIfNotSkipToken(LineTerm());
  }

  if (CheckSymbol(u"FINALLY")) {
    TORVExprToken* Finally = GetNewExprToken(ttBLOCKCLAUSE, toNONE);
    Block->SetArgument(BlockHandlerSlot, Finally);
    Finally->FTokenID = BlockFinallyID;
    NextToken();
    ParseStatements(Finally, StatementOptions, ListEndWords);
  } else if (CheckSymbol(u"EXCEPTION")) {
    TORVExprToken* Handler = GetNewExprToken(ttBLOCKCLAUSE, toNONE);
    Block->SetArgument(BlockHandlerSlot, Handler);
    Handler->FTokenID = BlockExceptionID;
    NextToken();
    ParseStatements(Handler, StatementOptions + TORVParseOptions{poAllowExceptionHandling}, ExceptionEndWords);
  }

  if (Named) {
    ErrorIfNotSkipSymbol(u"END");
    if (ParseOptions.Contains(poRequireLineTerm)) {
      ErrorIfNotSkipToken(LineTerm());
    } else if (ParseOptions.Contains(poCheckEndRoutine) && !TokenAtEnd()) {
      ExpectedExpression(u"end of expression");
    }
  }
  return Block.Release();
}

void TORVExprParser::ParseLabel(TORVString& LabelName) {
  LabelName.clear();
  if (CheckAnyWord(*this, StatementWords)) return;
  if (!TokenIsSymbol()) ExpectedExpression(u"label name");
  LabelName = GetTokenAsString();
  NextToken();
  ErrorIfNotSkipToken(u':');
  if (!CheckAnyWord(*this, LabelledWords)) ExpectedExpression(u"BEGIN, LOOP, REPEAT, WHILE, FOR");
}

// ---------------------------------------------------------------------------
// Control statements

void TORVExprParser::BuildControlsTable() {
  FControlsTable.fill(nullptr);
  auto Set = [this](TORVTokenOperator Operator, TORVControlParseMethod Method) {
    FControlsTable[Operator - FirstControlOperator] = Method;
  };
  Set(toABORT, &TORVExprParser::ParseABORT);
  Set(toCALL, &TORVExprParser::ParseCALL);
  Set(toCASE, &TORVExprParser::ParseCASE);
  Set(toCLOSE, &TORVExprParser::ParseCLOSE);
  Set(toCOMMIT, &TORVExprParser::ParseCOMMIT);
  Set(toDECLARE, &TORVExprParser::ParseDECLARE);
  Set(toDELETECURSOR, &TORVExprParser::ParseDELETECURSOR);
  Set(toEXECUTE, &TORVExprParser::ParseEXECUTE);
  Set(toFETCH, &TORVExprParser::ParseFETCH);
  Set(toIF, &TORVExprParser::ParseIF);
  Set(toINSERTCURSOR, &TORVExprParser::ParseINSERTCURSOR);
  Set(toITERATE, &TORVExprParser::ParseITERATE);
  Set(toLEAVE, &TORVExprParser::ParseLEAVE);
  Set(toLOGEVENT, &TORVExprParser::ParseLOGEVENT);
  Set(toLOOP, &TORVExprParser::ParseLOOP);
  Set(toOPEN, &TORVExprParser::ParseOPEN);
  Set(toPREPARE, &TORVExprParser::ParsePREPARE);
  Set(toRAISE, &TORVExprParser::ParseRAISE);
  Set(toREFRESH, &TORVExprParser::ParseREFRESH);
  Set(toREPEAT, &TORVExprParser::ParseREPEAT);
  Set(toRETRY, &TORVExprParser::ParseRETRY);
  Set(toROLLBACK, &TORVExprParser::ParseROLLBACK);
  Set(toSET, &TORVExprParser::ParseSET);
  Set(toSTARTTRANS, &TORVExprParser::ParseSTARTTRANS);
  Set(toUNPREPARE, &TORVExprParser::ParseUNPREPARE);
  Set(toUPDATECURSOR, &TORVExprParser::ParseUPDATECURSOR);
  Set(toUSEDB, &TORVExprParser::ParseUSEDB);
  Set(toWHILE, &TORVExprParser::ParseWHILE);
}

TORVExprToken* TORVExprParser::ParseControl(TORVParseOptions ParseOptions, const TORVString& LabelName) {
  MarkControlLine();
  const TORVTokenOperator Control = CheckToken(tkSymbol) ? LookupControlKeyword() : toNONE;
  TORVControlParseMethod Parse = nullptr;
  if (Control >= FirstControlOperator && Control <= toWHILE) Parse = FControlsTable[Control - FirstControlOperator];
  if (Parse == nullptr)
    ExpectedExpression(ParseOptions.Contains(poAllowExceptionHandling) ? ControlWordsWithRaise : ControlWords);
  TORVPartialTree Statement((this->*Parse)(ParseOptions, LabelName));
  if (ParseOptions.Contains(poRequireLineTerm)) ErrorIfNotSkipToken(LineTerm());
  return Statement.Release();
}

TORVExprToken* TORVExprParser::ParseDECLARE(TORVParseOptions ParseOptions, const TORVString&) {
  if (!ParseOptions.Contains(poAllowDeclarations)) InvalidExpr(u"declarations not allowed");
  TORVPartialTree Node(NewControlNode(*this, toDECLARE));
  Node->SetNumArguments(DeclareNamesSlot + 1);
  TORVExprToken* Names = GetNewExprToken(ttCLAUSE, toNONE);
  Node->SetArgument(DeclareNamesSlot, Names);
  TORVExprToken* First = ParseVariableName();
  Names->AddArgument(First);

  int32_t Sensitivity = CursorSensitiveID;
  bool Cursor = true;
  if (SkipSymbol(u"INSENSITIVE")) {
    Sensitivity = CursorInsensitiveID;
  } else if (SkipSymbol(u"ASENSITIVE")) {
    Sensitivity = CursorAsensitiveID;
  } else if (!SkipSymbol(u"SENSITIVE")) {
    Cursor = CheckSymbol(u"CURSOR");
  }
  if (Cursor) {
    ErrorIfNotSkipSymbol(u"CURSOR");
    First->FTokenType = ttCURSOR;
    First->FTokenID = Sensitivity;
    First->SetNumArguments(CursorSlotCount);
    if (CheckSymbol(u"WITH")) {
      if (!ParseOptions.Contains(poAllowCursorReturn)) InvalidExpr(u"result cursor declarations not allowed");
      NextToken();
      ErrorIfNotSymbol(u"RETURN");
      First->SetArgument(CursorReturnSlot, GetNewExprToken(ttSTATEMENT, toNONE));
      NextToken();
    } else if (SkipSymbol(u"WITHOUT")) {
      ErrorIfNotSkipSymbol(u"RETURN");
    }
    ErrorIfNotSkipSymbol(u"FOR");
    First->SetArgument(CursorStatementSlot, ParseStatementName());
    return Node.Release();
  }

  while (SkipToken(u',')) Names->AddArgument(ParseVariableName());
  auto Retype = [Names](TORVTokenType Type) {
    for (int32_t I = 0; I < Names->GetNumArguments(); ++I) Names->GetArgument(I)->FTokenType = Type;
  };
  if (SkipSymbol(u"STATEMENT")) {
    Retype(ttSTATEMENT);
    return Node.Release();
  }
  Node->SetNumArguments(DeclareVariableSlotCount);
  TORVExprToken* DataType = GetNewExprToken(ttDATATYPE, toNONE);
  Node->SetArgument(DeclareDataTypeSlot, DataType);
  ParseDataType(DataType, ParseOptions, false, false);
  if (SkipSymbol(u"ARRAY")) {
    Retype(ttARRAY);
    ErrorIfNotSkipToken(u'[');
    Node->SetArgument(DeclareArraySizeSlot, ParseValue(TORVParseOptions{}));
    ErrorIfNotSkipToken(u']');
  }
  if (SkipSymbol(u"DEFAULT")) Node->SetArgument(DeclareDefaultSlot, ParseOr(ParseOptions));
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseRAISE(TORVParseOptions ParseOptions, const TORVString&) {
  if (!ParseOptions.Contains(poAllowExceptionHandling) && !PeekSymbol(u"ERROR"))
    InvalidExpr(ExceptionHandlingNotAllowed);
  TORVPartialTree Node(NewControlNode(*this, toRAISE));
  Node->SetNumArguments(RaiseMessageSlot + 1);
  if (SkipSymbol(u"ERROR")) {
    ErrorIfNotSkipSymbol(u"CODE");
    Node->SetArgument(RaiseCodeSlot, ParsePlusMinus(ParseOptions));
    ErrorIfNotSkipSymbol(u"MESSAGE");
    Node->SetArgument(RaiseMessageSlot, ParsePlusMinus(ParseOptions));
  }
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseSET(TORVParseOptions ParseOptions, const TORVString&) {
  TORVPartialTree Node(NewControlNode(*this, toSET));
  auto SetCache = [&](int32_t Cache) {
    Node->FTokenOperator = toSETCACHE;
    Node->FTokenID = Cache;
    NextToken();
    ErrorIfNotSkipSymbol(u"CACHE");
    ErrorIfNotSkipSymbol(u"TO");
    Node->SetNumArguments(SetValueSlot + 1);
    Node->SetArgument(SetValueSlot, ParseValue(TORVParseOptions{}));
  };
  auto SetText = [&](TORVTokenOperator Operator, bool Message) {
    Node->FTokenOperator = Operator;
    NextToken();
    if (Message) ErrorIfNotSkipSymbol(u"MESSAGE");
    ErrorIfNotSkipSymbol(u"TO");
    Node->SetNumArguments(SetValueSlot + 1);
    Node->SetArgument(SetValueSlot, ParseBinary(ParseOptions));
  };
  if (CheckSymbol(u"STATEMENT")) {
    SetCache(StatementCacheID);
  } else if (CheckSymbol(u"PROCEDURE")) {
    SetCache(ProcedureCacheID);
  } else if (CheckSymbol(u"LOG")) {
    SetText(toSETLOGMSG, true);
  } else if (CheckSymbol(u"PROGRESS")) {
    SetText(toSETPROGRESS, false);
  } else if (CheckSymbol(u"STATUS")) {
    SetText(toSETSTATUSMSG, true);
  } else {
    do {
      TORVExprToken* Assignment = GetNewExprToken(ttCLAUSE, toNONE);
      Node->AddArgument(Assignment);
      Assignment->SetLeftToken(ParseValue(TORVParseOptions{poAllowTableQualifier}));
      ErrorIfNotSkipToken(u'=');
      Assignment->SetRightToken(ParseOr(ParseOptions));
    } while (SkipToken(u','));
  }
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseLOGEVENT(TORVParseOptions ParseOptions, const TORVString&) {
  TORVPartialTree Node(NewControlNode(*this, toLOGEVENT));
  Node->FTokenID = LogInformationID;
  if (SkipSymbol(u"INFORMATION")) {
    ErrorIfNotSkipSymbol(u"EVENT");
  } else if (SkipSymbol(u"WARNING")) {
    Node->FTokenID = LogWarningID;
    ErrorIfNotSkipSymbol(u"EVENT");
  } else if (SkipSymbol(u"ERROR")) {
    Node->FTokenID = LogErrorID;
    ErrorIfNotSkipSymbol(u"EVENT");
  }
  Node->SetNumArguments(LogEventValueSlot + 1);
  Node->SetArgument(LogEventValueSlot, ParseBinary(ParseOptions));
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseABORT(TORVParseOptions, const TORVString&) {
  return NewControlNode(*this, toABORT);
}

TORVExprToken* TORVExprParser::ParseIF(TORVParseOptions ParseOptions, const TORVString&) {
  TORVPartialTree Node(NewControlNode(*this, toIF));
  Node->SetNumArguments(IfListsSlot + 1);
  TORVExprToken* Conditions = GetNewExprToken(ttCLAUSE, toIFOPTION);
  Node->SetArgument(IfConditionsSlot, Conditions);
  TORVExprToken* Lists = GetNewExprToken(ttCLAUSE, toIFRESULT);
  Node->SetArgument(IfListsSlot, Lists);
  do {
    Conditions->AddArgument(ParseOr(ParseOptions));
    ErrorIfNotSkipSymbol(u"THEN");
    Lists->AddArgument(ParseBlock(ParseOptions, TORVString()));
  } while (SkipSymbol(u"ELSEIF"));
  if (SkipSymbol(u"ELSE")) {
    Conditions->AddArgument(nullptr);
    Lists->AddArgument(ParseBlock(ParseOptions, TORVString()));
  }
  ErrorIfNotSkipSymbol(u"END");
  ErrorIfNotSkipSymbol(u"IF");
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseCASE(TORVParseOptions ParseOptions, const TORVString&) {
  TORVPartialTree Node(NewControlNode(*this, toCASE));
  TORVPartialTree Operand;
  if (!CheckSymbol(u"WHEN")) Operand.Reset(ParseOr(ParseOptions));
  Node->SetNumArguments(CaseListsSlot + 1);
  TORVExprToken* Options = GetNewExprToken(ttCLAUSE, toCASEOPTION);
  Node->SetArgument(CaseOptionsSlot, Options);
  TORVExprToken* Lists = GetNewExprToken(ttCLAUSE, toCASERESULT);
  Node->SetArgument(CaseListsSlot, Lists);
  ErrorIfNotSymbol(u"WHEN");
  while (SkipSymbol(u"WHEN")) {
    if (Operand.Get() != nullptr) {
      CountCaseOperandCopies(CountTokens(Operand.Get()));
      TORVExprToken* Equal = GetNewExprToken(ttBINARY, toEQ);
      Options->AddArgument(Equal);
      Equal->SetLeftToken(CopyTokens(Operand.Get()));
      Equal->SetRightToken(ParseOr(ParseOptions));
    } else {
      Options->AddArgument(ParseOr(ParseOptions));
    }
    ErrorIfNotSkipSymbol(u"THEN");
    Lists->AddArgument(ParseBlock(ParseOptions, TORVString()));
  }
  if (SkipSymbol(u"ELSE")) {
    Options->AddArgument(nullptr);
    Lists->AddArgument(ParseBlock(ParseOptions, TORVString()));
  }
  ErrorIfNotSkipSymbol(u"END");
  ErrorIfNotSkipSymbol(u"CASE");
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseLOOP(TORVParseOptions ParseOptions, const TORVString& LabelName) {
  TORVPartialTree Node(NewControlNode(*this, toLOOP));
  Node->FName = LabelName;
  Node->SetNumArguments(LoopListSlot + 1);
  Node->SetArgument(LoopListSlot, ParseBlock(ParseOptions, TORVString()));
  ParseLoopEnd(*this, u"LOOP", LabelName);
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseREPEAT(TORVParseOptions ParseOptions, const TORVString& LabelName) {
  TORVPartialTree Node(NewControlNode(*this, toREPEAT));
  Node->FName = LabelName;
  Node->SetNumArguments(RepeatConditionSlot + 1);
  Node->SetArgument(RepeatListSlot, ParseBlock(ParseOptions, TORVString()));
  ErrorIfNotSkipSymbol(u"UNTIL");
  Node->SetArgument(RepeatConditionSlot, ParseOr(ParseOptions));
  ParseLoopEnd(*this, u"REPEAT", LabelName);
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseWHILE(TORVParseOptions ParseOptions, const TORVString& LabelName) {
  TORVPartialTree Node(NewControlNode(*this, toWHILE));
  Node->FName = LabelName;
  Node->SetNumArguments(WhileListSlot + 1);
  Node->SetArgument(WhileConditionSlot, ParseOr(ParseOptions));
  ErrorIfNotSkipSymbol(u"DO");
  Node->SetArgument(WhileListSlot, ParseBlock(ParseOptions, TORVString()));
  ParseLoopEnd(*this, u"WHILE", LabelName);
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseITERATE(TORVParseOptions, const TORVString&) {
  return ParseLoopJump(*this, toITERATE);
}

TORVExprToken* TORVExprParser::ParseLEAVE(TORVParseOptions, const TORVString&) {
  return ParseLoopJump(*this, toLEAVE);
}

TORVExprToken* TORVExprParser::ParseRETRY(TORVParseOptions ParseOptions, const TORVString&) {
  if (!ParseOptions.Contains(poAllowRetry)) InvalidExpr(ExceptionHandlingNotAllowed);
  return NewControlNode(*this, toRETRY);
}

TORVExprToken* TORVExprParser::ParseCALL(TORVParseOptions ParseOptions, const TORVString&) {
  TORVPartialTree Node(NewControlNode(*this, toCALL));
  Node->SetNumArguments(CallProcedureSlot + 1);
  Node->SetArgument(CallProcedureSlot, ParseProcRef(ParseOptions));
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseUSEDB(TORVParseOptions ParseOptions, const TORVString&) {
  if (!ParseOptions.Contains(poAllowDatabaseUse)) InvalidExpr(u"database operations not allowed");
  TORVPartialTree Node(NewControlNode(*this, toUSEDB));
  Node->SetNumArguments(UseDatabaseSlot + 1);
  if (!CheckToken(LineTerm())) Node->SetArgument(UseDatabaseSlot, ParseDatabaseName());
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseSTARTTRANS(TORVParseOptions ParseOptions, const TORVString&) {
  TORVPartialTree Node(NewControlNode(*this, toSTARTTRANS));
  ErrorIfNotSkipSymbol(u"TRANSACTION");
  Node->SetNumArguments(StartTransTimeoutSlot + 1);
  if (SkipSymbol(u"ON")) {
    ErrorIfNotSkipSymbol(u"TABLES");
    TORVExprToken* Tables = GetNewExprToken(ttCLAUSE, toNONE);
    Node->SetArgument(StartTransTablesSlot, Tables);
    do {
      Tables->AddArgument(ConvertDynamicName(ParsePlusMinus(ParseOptions), ParseOptions, true));
    } while (SkipToken(u','));
  }
  if (SkipSymbol(u"TIMEOUT")) Node->SetArgument(StartTransTimeoutSlot, ParseValue(TORVParseOptions{}));
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseCOMMIT(TORVParseOptions, const TORVString&) {
  TORVPartialTree Node(NewControlNode(*this, toCOMMIT));
  SkipSymbol(u"WORK");
  Node->SetNumArguments(CommitNoFlushSlot + 1);
  if (CheckSymbol(u"NO")) {
    Node->SetArgument(CommitNoFlushSlot, GetNewExprToken(ttCLAUSE, toNONE));
    NextToken();
    ErrorIfNotSkipSymbol(u"FLUSH");
  }
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseROLLBACK(TORVParseOptions, const TORVString&) {
  TORVPartialTree Node(NewControlNode(*this, toROLLBACK));
  SkipSymbol(u"WORK");
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseEXECUTE(TORVParseOptions ParseOptions, const TORVString&) {
  TORVPartialTree Node(NewControlNode(*this, toEXECUTE));
  Node->SetNumArguments(ExecuteUsingSlot + 1);
  if (SkipSymbol(u"IMMEDIATE")) {
    Node->FTokenOperator = toEXECUTEIMMEDIATE;
    Node->SetArgument(ExecuteStatementSlot, ParsePlusMinus(TORVParseOptions{poAllowTableQualifier}));
  } else {
    Node->SetArgument(ExecuteStatementSlot, ParseStatementRef());
  }
  Node->SetArgument(ExecuteUsingSlot, ParseUsing(*this, ParseOptions));
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParsePREPARE(TORVParseOptions, const TORVString&) {
  TORVPartialTree Node(NewControlNode(*this, toPREPARE));
  Node->SetNumArguments(PrepareTextSlot + 1);
  Node->SetArgument(PrepareStatementSlot, ParseStatementRef());
  ErrorIfNotSkipSymbol(u"FROM");
  Node->SetArgument(PrepareTextSlot, ParsePlusMinus(TORVParseOptions{poAllowTableQualifier}));
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseUNPREPARE(TORVParseOptions, const TORVString&) {
  return ParseReferenceControl(*this, toUNPREPARE, u"", PrepareStatementSlot, &TORVExprParser::ParseStatementRef);
}

TORVExprToken* TORVExprParser::ParseOPEN(TORVParseOptions ParseOptions, const TORVString&) {
  TORVPartialTree Node(NewControlNode(*this, toOPEN));
  Node->SetNumArguments(OpenUsingSlot + 1);
  Node->SetArgument(CursorRefSlot, ParseCursorRef());
  Node->SetArgument(OpenUsingSlot, ParseUsing(*this, ParseOptions));
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseCLOSE(TORVParseOptions, const TORVString&) {
  return ParseReferenceControl(*this, toCLOSE, u"", CursorRefSlot, &TORVExprParser::ParseCursorRef);
}

TORVExprToken* TORVExprParser::ParseREFRESH(TORVParseOptions, const TORVString&) {
  return ParseReferenceControl(*this, toREFRESH, u"", CursorRefSlot, &TORVExprParser::ParseCursorRef);
}

TORVExprToken* TORVExprParser::ParseFETCH(TORVParseOptions ParseOptions, const TORVString&) {
  TORVPartialTree Node(NewControlNode(*this, toFETCH));
  Node->SetNumArguments(FetchPairsSlot + 1);
  TORVExprToken* Orientation = GetNewExprToken(ttCLAUSE, toNONE);
  Node->SetArgument(FetchOrientationSlot, Orientation);
  static constexpr struct {
    std::u16string_view Word;
    int32_t ID;
  } Orientations[] = {{u"NEXT", FetchNextID},         {u"PRIOR", FetchPriorID},
                      {u"FIRST", FetchFirstID},       {u"LAST", FetchLastID},
                      {u"ABSOLUTE", FetchAbsoluteID}, {u"RELATIVE", FetchRelativeID}};
  for (const auto& Item : Orientations) {
    if (!SkipSymbol(Item.Word)) continue;
    Orientation->FTokenID = Item.ID;
    if (Item.ID == FetchAbsoluteID || Item.ID == FetchRelativeID) {
      Orientation->SetNumArguments(FetchOrientationValueSlot + 1);
      Orientation->SetArgument(FetchOrientationValueSlot, ParseValue(TORVParseOptions{}));
    }
    break;
  }
  ErrorIfNotSkipSymbol(u"FROM");
  Node->SetArgument(FetchCursorSlot, ParseCursorRef());
  if (!CheckToken(u'(') && !CheckSymbol(u"INTO")) return Node.Release();
  TORVExprToken* Pairs = GetNewExprToken(ttCLAUSE, toNONE);
  Node->SetArgument(FetchPairsSlot, Pairs);
  if (CheckToken(u'(')) ParsePairColumns(*this, Pairs, ParseOptions);
  ErrorIfNotSkipSymbol(u"INTO");
  int32_t Index = 0;
  do {
    SetPairRight(*this, Pairs, Index++, ParseValue(ParseOptions));
  } while (SkipToken(u','));
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseINSERTCURSOR(TORVParseOptions ParseOptions, const TORVString&) {
  TORVPartialTree Node(NewControlNode(*this, toINSERTCURSOR));
  ErrorIfNotSkipSymbol(u"INTO");
  Node->SetNumArguments(CursorPairsSlot + 1);
  Node->SetArgument(CursorRefSlot, ParseCursorRef());
  TORVExprToken* Pairs = GetNewExprToken(ttCLAUSE, toNONE);
  Node->SetArgument(CursorPairsSlot, Pairs);
  if (CheckToken(u'(')) ParsePairColumns(*this, Pairs, ParseOptions);
  ErrorIfNotSkipSymbol(u"VALUES");
  ErrorIfNotSkipToken(u'(');
  int32_t Index = 0;
  do {
    SetPairRight(*this, Pairs, Index++, ParseOr(ParseOptions));
  } while (SkipToken(u','));
  ErrorIfNotSkipToken(u')');
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseUPDATECURSOR(TORVParseOptions ParseOptions, const TORVString&) {
  TORVPartialTree Node(NewControlNode(*this, toUPDATECURSOR));
  Node->SetNumArguments(CursorPairsSlot + 1);
  Node->SetArgument(CursorRefSlot, ParseCursorRef());
  ErrorIfNotSkipSymbol(u"SET");
  TORVExprToken* Pairs = GetNewExprToken(ttCLAUSE, toNONE);
  Node->SetArgument(CursorPairsSlot, Pairs);
  do {
    TORVExprToken* Pair = GetNewExprToken(ttCLAUSE, toNONE);
    Pairs->AddArgument(Pair);
    Pair->SetLeftToken(ConvertDynamicName(ParsePlusMinus(ParseOptions), ParseOptions, false));
    ErrorIfNotSkipToken(u'=');
    Pair->SetRightToken(ParseOr(ParseOptions));
  } while (SkipToken(u','));
  return Node.Release();
}

TORVExprToken* TORVExprParser::ParseDELETECURSOR(TORVParseOptions, const TORVString&) {
  return ParseReferenceControl(*this, toDELETECURSOR, u"FROM", CursorRefSlot, &TORVExprParser::ParseCursorRef);
}

}  // namespace orv
