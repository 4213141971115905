#include "sql/orvparser.h"

#include "base/orverrors.h"
#include "base/orverror.h"
#include "core/orvliteral.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvconsts.h"

namespace orv {

namespace {

static_assert(FunctionKeywordCount <= 96 && StatementKeywordCount <= 32 && ControlKeywordCount <= 32,
              "every keyword needs a slot in its lookup table");

template <std::size_t N, std::size_t M>
void FillLookupTable(std::array<uint8_t, N>& Table, const std::array<TORVKeyword, M>& Keywords) {
  static_assert(M <= N);
  Table.fill(toNONE);
  for (std::size_t i = 0; i < M; ++i) Table[i] = Keywords[i].Operator;
}

template <std::size_t N, std::size_t M>
TORVTokenOperator LookupKeyword(const std::array<uint8_t, N>& Table, const std::array<TORVKeyword, M>& Keywords,
                                std::u16string_view Word) {
  const int32_t index = FindKeyword(Keywords, Word);
  return index < 0 ? toNONE : static_cast<TORVTokenOperator>(Table[static_cast<std::size_t>(index)]);
}

}  // namespace

TORVExprParser::TORVExprParser() {
  BuildFunctionsLookupTable();
  BuildFunctionsTable();
  BuildStatementsLookupTable();
  BuildStatementsTable();
  BuildControlsLookupTable();
  BuildControlsTable();
}

std::unique_ptr<TORVExprParser> TORVExprParser::Create() const { return std::make_unique<TORVExprParser>(); }

void TORVExprParser::BuildFunctionsLookupTable() { FillLookupTable(FFunctionsLookupTable, FunctionKeywords); }
void TORVExprParser::BuildStatementsLookupTable() { FillLookupTable(FStatementsLookupTable, StatementKeywords); }
void TORVExprParser::BuildControlsLookupTable() { FillLookupTable(FControlsLookupTable, ControlKeywords); }


void TORVExprParser::Initialize(TORVCompiledExpr* ExprToParse) {
  FExpr = ExprToParse;
  FNestingDepth = 0;
  FCaseOperandCopies = 0;
  InitializeText(FExpr != nullptr ? std::u16string_view(FExpr->GetExpression()) : std::u16string_view());
  NextToken();
}

char16_t TORVExprParser::LineTerm() const { return FExpr != nullptr ? FExpr->FLineTerm : u';'; }

TORVTokenOperator TORVExprParser::LookupFunctionKeyword() const {
  return LookupKeyword(FFunctionsLookupTable, FunctionKeywords, GetTokenAsString());
}

TORVTokenOperator TORVExprParser::LookupStatementKeyword() const {
  return LookupKeyword(FStatementsLookupTable, StatementKeywords, GetTokenAsString());
}

TORVTokenOperator TORVExprParser::LookupControlKeyword() const {
  return LookupKeyword(FControlsLookupTable, ControlKeywords, GetTokenAsString());
}

TORVExprToken* TORVExprParser::GetNewExprToken(TORVTokenType TokenType, TORVTokenOperator TokenOperator) const {
  auto* token = new TORVExprToken();
  token->FTokenType = TokenType;
  token->FTokenOperator = TokenOperator;
  token->FLine = TokenType == ttCONTROL ? FControlLine : FTokenLine;
  token->FCol = GetCol();
  token->FExprPos = FTokenPos;
  return token;
}

void TORVExprParser::ExpressionError(const TORVString& Message, int32_t Line, int32_t Column) {
  if (FExpr != nullptr) FExpr->ExpressionError(Message, Line, Column);
  // An expression that does not raise must not let the parse go on as if
  // nothing had happened.
  throw EORVException(ORV_SQL_ERROR.Code, Message, Line, Column);
}

void TORVExprParser::EnterNesting() {
  if (FNestingDepth >= MaxParseNestingDepth)
    InvalidExpr(FormatString(u"nesting deeper than %s levels not allowed", {IntToString(MaxParseNestingDepth)}));
  ++FNestingDepth;
}

void TORVExprParser::LeaveNesting() {
  if (FNestingDepth > 0) --FNestingDepth;
}

void TORVExprParser::CountCaseOperandCopies(int32_t Count) {
  if (Count > MaxCaseOperandCopies - FCaseOperandCopies)
    InvalidExpr(FormatString(u"CASE operand repeated beyond %s nodes not allowed", {IntToString(MaxCaseOperandCopies)}));
  FCaseOperandCopies += Count;
}

// ---------------------------------------------------------------------------
// Name parsers

TORVExprToken* TORVExprParser::ParseObjectName(TORVTokenType TokenType, std::u16string_view Expected) {
  if (!TokenIsSymbol()) ExpectedExpression(Expected);
  TORVPartialTree token(GetNewExprToken(TokenType, toNONE));
  token->FName = GetTokenAsString();
  NextToken();
  return token.Release();
}

TORVExprToken* TORVExprParser::ParseBackupName() { return ParseObjectName(ttBACKUP, u"backup name"); }
TORVExprToken* TORVExprParser::ParseDatabaseName() { return ParseObjectName(ttDATABASE, u"database name"); }
TORVExprToken* TORVExprParser::ParseUpdatesName() { return ParseObjectName(ttUPDATES, u"updates name"); }
TORVExprToken* TORVExprParser::ParseTextFilterName() { return ParseObjectName(ttTEXTFILTER, u"text filter name"); }
TORVExprToken* TORVExprParser::ParseWordGeneratorName() {
  return ParseObjectName(ttWORDGEN, u"word generator name");
}
TORVExprToken* TORVExprParser::ParseMigratorName() { return ParseObjectName(ttMIGRATOR, u"migrator name"); }
TORVExprToken* TORVExprParser::ParseModuleName() { return ParseObjectName(ttMODULE, u"module name"); }
TORVExprToken* TORVExprParser::ParseJobName() { return ParseObjectName(ttJOB, u"job name"); }
TORVExprToken* TORVExprParser::ParseStoreName() { return ParseObjectName(ttSTORE, u"store name"); }
TORVExprToken* TORVExprParser::ParseFileName() { return ParseObjectName(ttFILE, u"file name"); }
TORVExprToken* TORVExprParser::ParseUserName() { return ParseObjectName(ttUSER, u"user name"); }
TORVExprToken* TORVExprParser::ParseRoleName() { return ParseObjectName(ttROLE, u"role name"); }
TORVExprToken* TORVExprParser::ParseAuthorizationName() {
  return ParseObjectName(ttAUTHORIZATION, u"user or role name");
}
TORVExprToken* TORVExprParser::ParseColumnName() { return ParseObjectName(ttCOLUMN, u"column name"); }
TORVExprToken* TORVExprParser::ParseConstraintName() { return ParseObjectName(ttCONSTRAINT, u"constraint name"); }
TORVExprToken* TORVExprParser::ParseViewName() { return ParseObjectName(ttVIEW, u"view name"); }
TORVExprToken* TORVExprParser::ParseProcedureName() { return ParseObjectName(ttPROCEDURE, u"procedure name"); }
TORVExprToken* TORVExprParser::ParseFunctionName() { return ParseObjectName(ttFUNCTION, u"function name"); }
TORVExprToken* TORVExprParser::ParseIndexName() { return ParseObjectName(ttINDEX, u"index name"); }
TORVExprToken* TORVExprParser::ParseTriggerName() { return ParseObjectName(ttTRIGGER, u"trigger name"); }
TORVExprToken* TORVExprParser::ParseCursorRef() { return ParseObjectName(ttCURSORREF, u"cursor name"); }
TORVExprToken* TORVExprParser::ParseParamName() { return ParseObjectName(ttPARAM, u"parameter name"); }
TORVExprToken* TORVExprParser::ParseVariableName() { return ParseObjectName(ttVARIABLE, u"variable name"); }
TORVExprToken* TORVExprParser::ParseStatementName() { return ParseObjectName(ttSTATEMENT, u"statement name"); }
TORVExprToken* TORVExprParser::ParseStatementRef() { return ParseObjectName(ttSTATEMENTREF, u"statement name"); }

}  // namespace orv
