// Statement grammar of the SQL parser: the dispatcher that hands a statement
// to the routine of its first word, the data changes (SELECT, INSERT, UPDATE,
// DELETE with DELETE FILE) and the CREATE, ALTER, DROP and RENAME dispatchers
// with the objects they parse inline. The statement nodes' slots are named in
// sql/orvstmtslots.h; the bodies of the other definitions are in
// orvparseddl.cpp and the administration statements in orvparseadmin.cpp.
#include <cstdint>
#include <stdexcept>
#include <string_view>

#include "sql/orvexprtoken.h"
#include "sql/orvparser.h"
#include "sql/orvparseroptions.h"
#include "sql/orvstmtslots.h"
#include "sql/orvtokenizer.h"
#include "sql/orvtokenslots.h"

namespace orv {

namespace {

const TORVParseOptions NoOptions{};

constexpr std::u16string_view StatementWords =
    u"SELECT, INSERT, UPDATE, DELETE, CREATE, ALTER, DROP, GRANT, REVOKE, BACKUP, RESTORE, COMPARE, "
    u"SET BACKUPS, MIGRATE, REPAIR, VERIFY, OPTIMIZE, IMPORT, EXPORT, DISCONNECT, REMOVE, PUBLISH, "
    u"UNPUBLISH, SAVE, LOAD, SET UPDATES, COPY FILE, RENAME FILE, DELETE FILE";

// The words that name an object after CREATE, ALTER, DROP or RENAME: one
// word, or two where Second is set (several entries may share a first
// word). Statements says which of the statements take them; ID goes to the
// name token (a temporary table's mark).
enum TObjectStatement : uint8_t { osCreate = 1, osAlter = 2, osDrop = 4 };  // osDrop also RENAME
constexpr uint8_t osAll = osCreate | osAlter | osDrop;

struct TObjectWords {
  std::u16string_view First;
  std::u16string_view Second;
  TORVDDLObjectKind Kind;
  uint8_t Statements;
  int32_t ID = 0;
};

// A text index is dropped and renamed as an index.
constexpr TObjectWords ObjectWords[] = {
    {u"DATABASE", u"", dokDatabase, osAll},
    {u"USER", u"", dokUser, osAll},
    {u"ROLE", u"", dokRole, osAll},
    {u"MODULE", u"", dokModule, osAll},
    {u"TEXT", u"INDEX", dokTextIndex, osCreate | osAlter},
    {u"TEXT", u"FILTER", dokTextFilter, osAll},
    {u"WORD", u"GENERATOR", dokWordGenerator, osAll},
    {u"MIGRATOR", u"", dokMigrator, osAll},
    {u"JOB", u"", dokJob, osAll},
    {u"TABLE", u"", dokTable, osAll},
    {u"TEMPORARY", u"TABLE", dokTable, osCreate, TemporaryTableID},
    {u"VIEW", u"", dokView, osAll},
    {u"INDEX", u"", dokIndex, osAll},
    {u"TRIGGER", u"", dokTrigger, osAll},
    {u"FUNCTION", u"", dokFunction, osAll},
    {u"PROCEDURE", u"", dokProcedure, osAll},
    {u"STORE", u"", dokStore, osAll},
};

constexpr std::u16string_view CreateExpected =
    u"DATABASE, USER, ROLE, MODULE, TEXT FILTER, WORD GENERATOR, JOB, TABLE, TEMPORARY, VIEW, INDEX, TEXT INDEX, "
    u"TRIGGER, FUNCTION, PROCEDURE, STORE";
constexpr std::u16string_view AlterExpected =
    u"DATABASE, USER, ROLE, MODULE, TEXT FILTER, WORD GENERATOR, JOB, TABLE, VIEW, INDEX, TRIGGER, FUNCTION, "
    u"PROCEDURE, STORE";
constexpr std::u16string_view DropExpected = AlterExpected;
constexpr std::u16string_view RenameExpected =
    u"DATABASE, USER, ROLE, MODULE, TEXT FILTER, WORD GENERATOR, JOB, TABLE, VIEW, INDEX, TRIGGER, FUNCTION, "
    u"PROCEDURE, STORE, FILE";

// Reads the object words that Statement takes at the current token; nil
// (nothing read) when the first word is none of them. A first word that
// needs a second raises when the second is none of those that may follow it.
const TObjectWords* ReadObjectWords(TORVExprParser& P, TObjectStatement Statement) {
  const TObjectWords* First = nullptr;
  for (const TObjectWords& Entry : ObjectWords) {
    if ((Entry.Statements & Statement) != 0 && P.CheckSymbol(Entry.First)) {
      First = &Entry;
      break;
    }
  }
  if (First == nullptr) return nullptr;
  P.NextToken();
  if (First->Second.empty()) return First;
  TORVString Expected;
  for (const TObjectWords& Entry : ObjectWords) {
    if ((Entry.Statements & Statement) == 0 || Entry.First != First->First) continue;
    if (P.SkipSymbol(Entry.Second)) return &Entry;
    TORVExprTokenizer::AddExpected(Expected, Entry.Second);
  }
  P.ExpectedExpression(Expected);
}

// A data change's query node: every slot nil but the two leading clauses.
TORVExprToken* NewDmlQuery(TORVExprParser& P, int32_t SlotCount) {
  TORVPartialTree Query(P.GetNewExprToken(ttQUERY, toNONE));
  Query->SetNumArguments(SlotCount);
  Query->SetArgument(DmlParametersSlot, P.NewMarker());
  Query->SetArgument(DmlMergeWordSlot, P.NewMarker());
  return Query.Release();
}

// The target table of a data change, in its clause in the query's table
// slot; it takes the conditions and join clauses of a FROM table.
TORVExprToken* ParseDmlTable(TORVExprParser& P, TORVExprToken* Query, TORVParseOptions Options) {
  TORVExprToken* Clause = P.NewMarker();
  Query->SetArgument(DmlTableSlot, Clause);
  TORVExprToken* Table = P.ParseTableRef(Options);
  Clause->AddArgument(Table);
  P.AddTableRefClauses(Table);
  return Table;
}

void ParseDmlWhere(TORVExprParser& P, TORVExprToken* Query, TORVParseOptions Options) {
  if (!P.CheckSymbol(u"WHERE")) return;
  TORVExprToken* Where = P.NewMarker();
  Query->SetArgument(DmlWhereSlot, Where);
  P.NextToken();
  Where->AddArgument(P.ParseWhere(Options));
}

// [DESCRIPTION value], appended as a value or nil.
void ParseOptionalDescription(TORVExprParser& P, TORVExprToken* Statement) {
  Statement->AddArgument(P.SkipSymbol(u"DESCRIPTION") ? P.ParseValue(NoOptions) : nullptr);
}

// The name token of an object kind; tables take no schema qualifier here.
TORVExprToken* ParseKindName(TORVExprParser& P, TORVDDLObjectKind Kind, TORVParseOptions Options) {
  switch (Kind) {
    case dokDatabase: return P.ParseDatabaseName();
    case dokFunction: return P.ParseFunctionName();
    case dokIndex: return P.ParseIndexName();
    case dokJob: return P.ParseJobName();
    case dokStore: return P.ParseStoreName();
    case dokMigrator: return P.ParseMigratorName();
    case dokProcedure: return P.ParseProcedureName();
    case dokRole: return P.ParseRoleName();
    case dokTable: return P.ParseTableName(OptionsWithout(Options, poAllowSchemaQualifier), TORVString());
    case dokTextFilter: return P.ParseTextFilterName();
    case dokTrigger: return P.ParseTriggerName();
    case dokUser: return P.ParseUserName();
    case dokView: return P.ParseViewName();
    case dokWordGenerator: return P.ParseWordGeneratorName();
    case dokModule: return P.ParseModuleName();
    // The callers pass only the kinds of the object word tables: any other
    // is a broken internal contract.
    default: throw std::logic_error("object kind without a name parser");
  }
}

// The objects that CREATE and ALTER define inline. A slot that ALTER cannot
// change stays nil, so both forms keep the same slot numbers.
void ParseModuleBacked(TORVExprParser& P, TORVExprToken* Statement, bool Create) {
  switch (Statement->FTokenID) {
    case dokModule:
      Statement->AddArgument(P.ParseModuleName());
      P.ErrorIfNotSkipSymbol(u"PATH");
      Statement->AddArgument(P.ParseValue(NoOptions));
      break;
    case dokTextFilter:
      Statement->AddArgument(P.ParseTextFilterName());
      if (Create) {
        P.ErrorIfNotSkipSymbol(u"TYPE");
        Statement->AddArgument(P.ParseValue(NoOptions));
        P.ErrorIfNotSkipSymbol(u"MODULE");
        Statement->AddArgument(P.ParseModuleName());
      } else {
        Statement->AddArgument(nullptr);
        Statement->AddArgument(nullptr);
      }
      break;
    default:  // word generator, migrator
      Statement->AddArgument(Statement->FTokenID == dokWordGenerator ? P.ParseWordGeneratorName()
                                                                     : P.ParseMigratorName());
      if (Create) {
        P.ErrorIfNotSkipSymbol(u"MODULE");
        Statement->AddArgument(P.ParseModuleName());
      } else {
        Statement->AddArgument(nullptr);
      }
      break;
  }
  ParseOptionalDescription(P, Statement);
}

bool IsModuleBacked(int32_t Kind) {
  return Kind == dokModule || Kind == dokTextFilter || Kind == dokWordGenerator || Kind == dokMigrator;
}

// CREATE and ALTER share everything but their word lists and the bodies of
// the module-backed objects.
TORVExprToken* ParseCreateOrAlter(TORVExprParser& P, TORVTokenOperator Operator, TORVParseOptions Options) {
  const bool Create = Operator == toCREATE;
  P.NextToken();
  const TObjectWords* Words = ReadObjectWords(P, Create ? osCreate : osAlter);
  if (Words == nullptr) P.ExpectedExpression(Create ? CreateExpected : AlterExpected);
  TORVPartialTree Statement(P.GetNewExprToken(ttDYNSTATEMENT, Operator));
  Statement->FTokenID = Words->Kind;
  if (IsModuleBacked(Words->Kind)) {
    ParseModuleBacked(P, Statement.Get(), Create);
    return Statement.Release();
  }
  if (Words->Kind == dokTable) {
    TORVExprToken* Table = P.ParseTableName(OptionsWithout(Options, poAllowSchemaQualifier), TORVString());
    Statement->AddArgument(Table);
    Table->FTokenID = Words->ID;
  }
  P.ParseDefinition(Statement.Get(), Options);
  return Statement.Release();
}

}  // namespace

void TORVExprParser::BuildStatementsTable() {
  FStatementsTable.fill(nullptr);
  auto Register = [this](TORVTokenOperator Operator, TORVParseMethod Method) {
    FStatementsTable[static_cast<std::size_t>(Operator - FirstStatementOperator)] = Method;
  };
  Register(toALTER, &TORVExprParser::ParseALTER);
  Register(toBACKUPDB, &TORVExprParser::ParseBACKUPDB);
  Register(toCOMPAREDB, &TORVExprParser::ParseCOMPAREDB);
  Register(toCOPYFILE, &TORVExprParser::ParseCOPYFILE);
  Register(toCREATE, &TORVExprParser::ParseCREATE);
  Register(toDELETE, &TORVExprParser::ParseDELETE);
  Register(toDISABLE, &TORVExprParser::ParseDISABLE);
  Register(toDISCONNECTSESSION, &TORVExprParser::ParseDISCONNECTSESSION);
  Register(toDROP, &TORVExprParser::ParseDROP);
  Register(toEMPTYTABLE, &TORVExprParser::ParseEMPTYTABLE);
  Register(toENABLE, &TORVExprParser::ParseENABLE);
  Register(toEXPORTTABLE, &TORVExprParser::ParseEXPORTTABLE);
  Register(toGRANT, &TORVExprParser::ParseGRANT);
  Register(toIMPORTTABLE, &TORVExprParser::ParseIMPORTTABLE);
  Register(toINSERT, &TORVExprParser::ParseINSERT);
  Register(toLOADDBUPDATES, &TORVExprParser::ParseLOADDBUPDATES);
  Register(toMIGRATEDB, &TORVExprParser::ParseMIGRATEDB);
  Register(toOPTIMIZETABLE, &TORVExprParser::ParseOPTIMIZETABLE);
  Register(toPUBLISH, &TORVExprParser::ParsePUBLISH);
  Register(toREMOVESESSION, &TORVExprParser::ParseREMOVESESSION);
  Register(toRENAME, &TORVExprParser::ParseRENAME);
  Register(toREPAIRTABLE, &TORVExprParser::ParseREPAIRTABLE);
  Register(toRESET, &TORVExprParser::ParseRESET);
  Register(toRESTOREDB, &TORVExprParser::ParseRESTOREDB);
  Register(toREVOKE, &TORVExprParser::ParseREVOKE);
  Register(toSAVEDBUPDATES, &TORVExprParser::ParseSAVEDBUPDATES);
  Register(toSELECT, &TORVExprParser::ParseSELECT);
  Register(toSETDYN, &TORVExprParser::ParseSETDYN);
  Register(toUNPUBLISH, &TORVExprParser::ParseUNPUBLISH);
  Register(toUPDATE, &TORVExprParser::ParseUPDATE);
  Register(toVERIFYTABLE, &TORVExprParser::ParseVERIFYTABLE);
}

TORVExprToken* TORVExprParser::NewMarker() const { return GetNewExprToken(ttCLAUSE, toNONE); }

TORVExprToken* TORVExprParser::NewTrueConstant(bool Typed) const {
  TORVExprToken* Constant = GetNewExprToken(ttCONST, toNONE);
  Constant->FTokenConstant = u"TRUE";
  if (Typed) Constant->SetDataType(4);
  return Constant;
}

TORVExprToken* TORVExprParser::ParseStatement(TORVParseOptions ParseOptions) {
  // A quoted word names something; only a bare word starts a statement.
  const TORVTokenOperator Operator = GetToken() == tkSymbol ? LookupStatementKeyword() : toNONE;
  const TORVParseMethod Method =
      Operator == toNONE ? nullptr : FStatementsTable[static_cast<std::size_t>(Operator - FirstStatementOperator)];
  if (Method == nullptr) ExpectedExpression(StatementWords);
  TORVPartialTree Statement((this->*Method)(ParseOptions));
  if (ParseOptions.Contains(poRequireLineTerm)) {
    ErrorIfNotSkipToken(LineTerm());
  } else {
    SkipToken(LineTerm());
  }
  if (!TokenAtEnd()) ExpectedExpression(u"end of expression");
  return Statement.Release();
}

TORVExprToken* TORVExprParser::ParseSELECT(TORVParseOptions ParseOptions) {
  if (!ParseOptions.Contains(poAllowQueries)) InvalidExpr(u"query expression not allowed");
  return ParseQuery(ParseOptions);
}

TORVExprToken* TORVExprParser::ParseINSERT(TORVParseOptions ParseOptions) {
  TORVPartialTree Statement(GetNewExprToken(ttDYNSTATEMENT, toINSERT));
  NextToken();
  ErrorIfNotSkipSymbol(u"INTO");
  TORVExprToken* Query = NewDmlQuery(*this, InsertQuerySlotCount);
  Statement->AddArgument(Query);
  ParseDmlTable(*this, Query, ParseOptions);
  if (CheckToken(u'(')) {
    TORVExprToken* Columns = NewMarker();
    Query->SetArgument(DmlColumnsSlot, Columns);
    NextToken();
    do {
      Columns->AddArgument(ParseColumnRef(TORVParseOptions{poAllowTableQualifier}));
    } while (SkipToken(u','));
    ErrorIfNotSkipToken(u')');
  }
  if (CheckSymbol(u"VALUES")) {
    TORVExprToken* Rows = NewMarker();
    Query->SetArgument(DmlValuesSlot, Rows);
    NextToken();
    TORVParseOptions RowOptions = ParseOptions;
    RowOptions.Include(poAllowParameters);
    RowOptions.Include(poAllowRowValues);
    RowOptions.Include(poForceRowValues);
    do {
      Rows->AddArgument(ParseValue(RowOptions));
    } while (SkipToken(u','));
    return Statement.Release();
  }
  const bool Parentheses = CheckToken(u'(');
  if (!Parentheses && !CheckSymbol(u"SELECT")) ExpectedExpression(u"VALUES, SELECT");
  if (Parentheses) NextToken();
  TORVExprToken* Source = ParseQuery(OptionsWithout(ParseOptions, poAllowInto));
  Query->SetArgument(DmlSourceQuerySlot, Source);
  if (Parentheses) {
    Source->FParentheses = true;
    ErrorIfNotSkipToken(u')');
  }
  return Statement.Release();
}

TORVExprToken* TORVExprParser::ParseUPDATE(TORVParseOptions ParseOptions) {
  TORVPartialTree Statement(GetNewExprToken(ttDYNSTATEMENT, toUPDATE));
  NextToken();
  TORVExprToken* Query = NewDmlQuery(*this, DmlQuerySlotCount);
  Statement->AddArgument(Query);
  ParseTableRefCorrelation(ParseDmlTable(*this, Query, ParseOptions), false);
  ErrorIfNotSkipSymbol(u"SET");
  TORVExprToken* Columns = NewMarker();
  Query->SetArgument(DmlColumnsSlot, Columns);
  TORVExprToken* Values = NewMarker();
  Query->SetArgument(DmlValuesSlot, Values);
  TORVParseOptions ValueOptions = ParseOptions;
  ValueOptions.Include(poAllowParameters);
  ValueOptions.Include(poAllowRowValues);
  do {
    Columns->AddArgument(ParseValue(TORVParseOptions{poAllowTableQualifier, poAllowRowValues}));
    ErrorIfNotSkipToken(u'=');
    Values->AddArgument(ParseOr(ValueOptions));
  } while (SkipToken(u','));
  ParseDmlWhere(*this, Query, ParseOptions);
  return Statement.Release();
}

TORVExprToken* TORVExprParser::ParseDELETE(TORVParseOptions ParseOptions) {
  NextToken();
  if (SkipSymbol(u"FILE")) {
    TORVPartialTree Statement(GetNewExprToken(ttDYNSTATEMENT, toDELETEFILE));
    Statement->AddArgument(ParseFileName());
    ErrorIfNotSkipSymbol(u"FROM");
    ErrorIfNotSkipSymbol(u"STORE");
    Statement->AddArgument(ParseStoreName());
    return Statement.Release();
  }
  if (!SkipSymbol(u"FROM")) ExpectedExpression(u"FROM, FILE");
  TORVPartialTree Statement(GetNewExprToken(ttDYNSTATEMENT, toDELETE));
  TORVExprToken* Query = NewDmlQuery(*this, DmlQuerySlotCount);
  Statement->AddArgument(Query);
  ParseTableRefCorrelation(ParseDmlTable(*this, Query, ParseOptions), false);
  ParseDmlWhere(*this, Query, ParseOptions);
  return Statement.Release();
}

TORVExprToken* TORVExprParser::ParseCREATE(TORVParseOptions ParseOptions) {
  return ParseCreateOrAlter(*this, toCREATE, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseALTER(TORVParseOptions ParseOptions) {
  return ParseCreateOrAlter(*this, toALTER, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseDROP(TORVParseOptions ParseOptions) {
  NextToken();
  const TObjectWords* Words = ReadObjectWords(*this, osDrop);
  if (Words == nullptr) ExpectedExpression(DropExpected);
  TORVPartialTree Statement(GetNewExprToken(ttDYNSTATEMENT, toDROP));
  Statement->FTokenID = Words->Kind;
  Statement->AddArgument(ParseKindName(*this, Words->Kind, ParseOptions));
  const TORVParseOptions TableOptions = OptionsWithout(ParseOptions, poAllowSchemaQualifier);
  switch (Words->Kind) {
    case dokDatabase:
    case dokStore:
      if (SkipSymbol(u"KEEP")) {
        ErrorIfNotSkipSymbol(u"CONTENTS");
        Statement->AddArgument(NewMarker());
      } else {
        Statement->AddArgument(nullptr);
      }
      break;
    case dokIndex:
      ErrorIfNotSkipSymbol(u"FROM");
      Statement->AddArgument(ParseTableName(TableOptions, TORVString()));
      while (Statement->GetNumArguments() < DropIndexExtensionsSlot) Statement->AddArgument(nullptr);
      ParseIndexExtensions(Statement.Get());
      break;
    case dokTrigger:
      ErrorIfNotSkipSymbol(u"FROM");
      Statement->AddArgument(nullptr);
      Statement->AddArgument(ParseTableName(TableOptions, TORVString()));
      break;
    default:
      break;
  }
  return Statement.Release();
}

TORVExprToken* TORVExprParser::ParseRENAME(TORVParseOptions ParseOptions) {
  NextToken();
  if (SkipSymbol(u"FILE")) {
    TORVPartialTree Statement(GetNewExprToken(ttDYNSTATEMENT, toRENAMEFILE));
    Statement->AddArgument(ParseFileName());
    ErrorIfNotSkipSymbol(u"IN");
    ErrorIfNotSkipSymbol(u"STORE");
    Statement->AddArgument(ParseStoreName());
    ErrorIfNotSkipSymbol(u"TO");
    Statement->AddArgument(ParseFileName());
    return Statement.Release();
  }
  const TObjectWords* Words = ReadObjectWords(*this, osDrop);
  if (Words == nullptr) ExpectedExpression(RenameExpected);
  TORVPartialTree Statement(GetNewExprToken(ttDYNSTATEMENT, toRENAME));
  Statement->FTokenID = Words->Kind;
  Statement->AddArgument(ParseKindName(*this, Words->Kind, ParseOptions));
  if (Words->Kind == dokIndex || Words->Kind == dokTrigger) {
    ErrorIfNotSkipSymbol(u"ON");
    if (Words->Kind == dokTrigger) Statement->AddArgument(nullptr);
    Statement->AddArgument(ParseKindName(*this, dokTable, ParseOptions));
  }
  ErrorIfNotSkipSymbol(u"TO");
  Statement->AddArgument(ParseKindName(*this, Words->Kind, ParseOptions));
  return Statement.Release();
}

// ---------------------------------------------------------------------------
// Sub-parsers shared by the statements

TORVExprToken* TORVExprParser::ParseTableName(TORVParseOptions ParseOptions, const TORVString& DatabaseName) {
  if (!TokenIsSymbol()) ExpectedExpression(u"table name");
  TORVPartialTree Table(GetNewExprToken(ttTABLE, toNONE));
  Table->FDatabaseName = DatabaseName;
  ParseQualifiedTableName(Table.Get(), ParseOptions);
  return Table.Release();
}

TORVExprToken* TORVExprParser::ParsePrivilegeName() {
  static constexpr std::u16string_view Privileges[] = {u"SELECT", u"INSERT", u"UPDATE",   u"DELETE",
                                                        u"CREATE", u"ALTER",  u"DROP",     u"MAINTAIN",
                                                        u"BACKUP", u"RESTORE", u"EXECUTE"};
  for (std::u16string_view Privilege : Privileges) {
    if (!CheckSymbol(Privilege)) continue;
    TORVPartialTree Token(GetNewExprToken(ttPRIVILEGE, toNONE));
    Token->FName = GetTokenAsString();
    NextToken();
    return Token.Release();
  }
  ExpectedExpression(u"SELECT, INSERT, UPDATE, DELETE, CREATE, ALTER, DROP, MAINTAIN, BACKUP, RESTORE, EXECUTE");
}

TORVExprToken* TORVExprParser::ParseColumnNames(TORVParseOptions ParseOptions) {
  if (ParseOptions.Contains(poColumnsNotAllowed)) return nullptr;
  if (!ParseOptions.Contains(poColumnsRequired) && !CheckToken(u'(')) return nullptr;
  TORVPartialTree Columns(NewMarker());
  ErrorIfNotSkipToken(u'(');
  do {
    Columns->AddArgument(ParseColumnName());
  } while (SkipToken(u','));
  ErrorIfNotSkipToken(u')');
  return Columns.Release();
}

void TORVExprParser::ParseIndexExtensions(TORVExprToken* Token) {
  if (!CheckSymbol(u"NO")) {
    Token->AddArgument(nullptr);
    return;
  }
  NextToken();
  ErrorIfNotSkipSymbol(u"BACKUP");
  ErrorIfNotSkipSymbol(u"FILES");
  Token->AddArgument(NewTrueConstant(true));
}

}  // namespace orv
