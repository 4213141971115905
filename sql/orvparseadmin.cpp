// Administration statement grammar of the SQL parser: emptying, repairing,
// verifying, optimizing, importing and exporting tables; enabling and
// disabling; SET and RESET; backing up, restoring, comparing and migrating
// databases; server sessions; GRANT and REVOKE; publishing, saving and
// loading updates; copying files. Each routine is entered at its statement
// word; the slots are named in sql/orvstmtslots.h. Clauses are recognised
// only in the order of their grammar.
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "sql/orvexprtoken.h"
#include "sql/orvparser.h"
#include "sql/orvparseroptions.h"
#include "sql/orvstmtslots.h"
#include "sql/orvtokenizer.h"

namespace orv {

namespace {

const TORVParseOptions NoOptions{};

// Skips the words of a multi-word keyword: the first must be the current
// word (the caller has checked it), each later one is required.
void SkipWords(TORVExprParser& P, std::initializer_list<std::u16string_view> Words) {
  for (std::u16string_view Word : Words) P.ErrorIfNotSkipSymbol(Word);
}

// A node made right after the words that select the statement's form.
TORVExprToken* NewStatement(TORVExprParser& P, TORVTokenOperator Operator, int32_t Kind = 0) {
  TORVExprToken* Statement = P.GetNewExprToken(ttDYNSTATEMENT, Operator);
  Statement->FTokenID = Kind;
  return Statement;
}

// Appends Make() when the current word is Word (consumed with its Rest),
// else nil; says whether the clause was there.
template <typename TMake>
bool OptionalClause(TORVExprParser& P, TORVExprToken* Statement, std::u16string_view Word,
                    std::initializer_list<std::u16string_view> Rest, TMake Make) {
  if (!P.SkipSymbol(Word)) {
    Statement->AddArgument(nullptr);
    return false;
  }
  SkipWords(P, Rest);
  Statement->AddArgument(Make());
  return true;
}

bool OptionalMarker(TORVExprParser& P, TORVExprToken* Statement, std::u16string_view Word,
                    std::initializer_list<std::u16string_view> Rest) {
  return OptionalClause(P, Statement, Word, Rest, [&P] { return P.NewMarker(); });
}

bool OptionalTrue(TORVExprParser& P, TORVExprToken* Statement, std::u16string_view Word,
                  std::initializer_list<std::u16string_view> Rest) {
  return OptionalClause(P, Statement, Word, Rest, [&P] { return P.NewTrueConstant(false); });
}

bool OptionalValue(TORVExprParser& P, TORVExprToken* Statement, std::u16string_view Word,
                   std::initializer_list<std::u16string_view> Rest) {
  return OptionalClause(P, Statement, Word, Rest, [&P] { return P.ParseValue(NoOptions); });
}

// [TABLES table, ...]: each name with no options, in the statement's
// database unless it names its own.
bool OptionalTableList(TORVExprParser& P, TORVExprToken* Statement) {
  const TORVString DatabaseName = Statement->GetArgument(0)->FName;
  return OptionalClause(P, Statement, u"TABLES", {}, [&P, &DatabaseName] {
    TORVPartialTree List(P.NewMarker());
    do {
      List->AddArgument(P.ParseTableName(NoOptions, DatabaseName));
    } while (P.SkipToken(u','));
    return List.Release();
  });
}

// A comma-separated list of names in a clause.
template <typename TParseName>
TORVExprToken* ParseNameList(TORVExprParser& P, TParseName ParseName) {
  TORVPartialTree List(P.NewMarker());
  do {
    List->AddArgument(ParseName());
  } while (P.SkipToken(u','));
  return List.Release();
}

// After INCLUDE CATALOG, BACKUP and RESTORE take ONLY unless tables are
// listed: a partial backup or restore cannot be of the catalog alone.
void OptionalCatalogOnly(TORVExprParser& P, TORVExprToken* Statement, bool HasTables) {
  if (HasTables && P.CheckSymbol(u"ONLY"))
    P.InvalidExpr(u"the ONLY clause can only be specified when the TABLES clause is not specified");
  OptionalTrue(P, Statement, u"ONLY", {});
}

// ENABLE and DISABLE share everything but ENABLE STATEMENT LOGGING's limits.
TORVExprToken* ParseEnableOrDisable(TORVExprParser& P, TORVTokenOperator Operator, TORVParseOptions Options) {
  P.NextToken();
  const TORVParseOptions TableOptions = OptionsWithout(Options, poAllowSchemaQualifier);
  auto OnTable = [&P, &TableOptions] {
    P.ErrorIfNotSkipSymbol(u"ON");
    return P.ParseTableName(TableOptions, TORVString());
  };
  TORVPartialTree Statement;
  if (P.SkipSymbol(u"TRIGGER")) {
    Statement.Reset(NewStatement(P, Operator, dokTrigger));
    Statement->AddArgument(P.ParseTriggerName());
    Statement->AddArgument(nullptr);
    Statement->AddArgument(OnTable());
  } else if (P.SkipSymbol(u"TRIGGERS")) {
    Statement.Reset(NewStatement(P, Operator, dokTrigger));
    Statement->AddArgument(nullptr);
    Statement->AddArgument(nullptr);
    Statement->AddArgument(OnTable());
  } else if (P.SkipSymbol(u"JOB")) {
    Statement.Reset(NewStatement(P, Operator, dokJob));
    Statement->AddArgument(P.ParseJobName());
  } else if (P.SkipSymbol(u"JOBS")) {
    Statement.Reset(NewStatement(P, Operator, dokJob));
    Statement->AddArgument(nullptr);
  } else if (P.SkipSymbol(u"DEFAULTS")) {
    Statement.Reset(NewStatement(P, Operator, dokColumnDefaults));
    Statement->AddArgument(OnTable());
  } else if (P.SkipSymbol(u"GENERATED")) {
    Statement.Reset(NewStatement(P, Operator, dokGeneratedColumns));
    Statement->AddArgument(OnTable());
  } else if (P.SkipSymbol(u"STATEMENT")) {
    P.ErrorIfNotSkipSymbol(u"LOGGING");
    Statement.Reset(NewStatement(P, Operator, dokStatementLogging));
    if (Operator == toENABLE) {
      OptionalValue(P, Statement.Get(), u"MINIMUM", {u"EXECUTION"});
      OptionalValue(P, Statement.Get(), u"MAXIMUM", {u"LOGGED"});
    }
  } else {
    P.ExpectedExpression(u"TRIGGER, TRIGGERS, JOB, JOBS, DEFAULTS, GENERATED, STATEMENT");
  }
  return Statement.Release();
}

// DISCONNECT and REMOVE SERVER SESSION value.
TORVExprToken* ParseServerSession(TORVExprParser& P, TORVTokenOperator Operator) {
  P.NextToken();
  SkipWords(P, {u"SERVER", u"SESSION"});
  TORVPartialTree Statement(NewStatement(P, Operator));
  Statement->AddArgument(P.ParseValue(NoOptions));
  return Statement.Release();
}

// GRANT and REVOKE: roles to (from) users, or privileges on an object to
// (from) users and roles, told apart by the first word.
TORVExprToken* ParseGrantOrRevoke(TORVExprParser& P, bool Grant, TORVParseOptions Options) {
  static constexpr std::u16string_view PrivilegeWords[] = {
      u"ALL",  u"SELECT",   u"INSERT", u"UPDATE",  u"DELETE", u"CREATE",
      u"ALTER", u"DROP",    u"MAINTAIN", u"BACKUP", u"RESTORE", u"EXECUTE"};
  const std::u16string_view Direction = Grant ? u"TO" : u"FROM";
  P.NextToken();
  bool Privileges = false;
  for (std::u16string_view Word : PrivilegeWords) Privileges = Privileges || P.CheckSymbol(Word);
  if (!Privileges) {
    TORVPartialTree Statement(NewStatement(P, Grant ? toGRANTROLES : toREVOKEROLES));
    Statement->AddArgument(ParseNameList(P, [&P] { return P.ParseRoleName(); }));
    P.ErrorIfNotSkipSymbol(Direction);
    Statement->AddArgument(ParseNameList(P, [&P] { return P.ParseUserName(); }));
    return Statement.Release();
  }
  TORVPartialTree Statement(NewStatement(P, Grant ? toGRANTPRIVILEGES : toREVOKEPRIVILEGES));
  if (P.CheckSymbol(u"ALL")) {
    TORVExprToken* List = P.NewMarker();
    Statement->AddArgument(List);
    TORVExprToken* All = P.GetNewExprToken(ttPRIVILEGE, toNONE);
    List->AddArgument(All);
    All->FName = u"ALL";
    P.NextToken();
    P.ErrorIfNotSkipSymbol(u"PRIVILEGES");
  } else {
    Statement->AddArgument(ParseNameList(P, [&P] { return P.ParsePrivilegeName(); }));
  }
  P.ErrorIfNotSkipSymbol(u"ON");
  if (P.SkipSymbol(u"DATABASE")) {
    Statement->AddArgument(P.ParseDatabaseName());
  } else if (P.SkipSymbol(u"STORE")) {
    Statement->AddArgument(P.ParseStoreName());
  } else if (P.SkipSymbol(u"TABLE")) {
    Statement->AddArgument(P.ParseTableName(OptionsWithout(Options, poAllowSchemaQualifier), TORVString()));
  } else if (P.SkipSymbol(u"VIEW")) {
    Statement->AddArgument(P.ParseViewName());
  } else if (P.SkipSymbol(u"PROCEDURE")) {
    Statement->AddArgument(P.ParseProcedureName());
  } else if (P.SkipSymbol(u"FUNCTION")) {
    Statement->AddArgument(P.ParseFunctionName());
  } else {
    P.ExpectedExpression(u"DATABASE, STORE, TABLE, VIEW, PROCEDURE, FUNCTION");
  }
  P.ErrorIfNotSkipSymbol(Direction);
  Statement->AddArgument(ParseNameList(P, [&P] { return P.ParseAuthorizationName(); }));
  return Statement.Release();
}

// IMPORT TABLE table FROM file and EXPORT TABLE table TO file share one
// layout; only the direction word and the headers word differ.
TORVExprToken* ParseImportOrExport(TORVExprParser& P, bool Import, TORVParseOptions Options) {
  P.NextToken();
  P.ErrorIfNotSkipSymbol(u"TABLE");
  TORVPartialTree Statement(NewStatement(P, Import ? toIMPORTTABLE : toEXPORTTABLE, ImportFormatDelimited));
  Statement->AddArgument(P.ParseTableName(Options, TORVString()));
  P.ErrorIfNotSkipSymbol(Import ? u"FROM" : u"TO");
  Statement->AddArgument(P.ParseFileName());
  SkipWords(P, {u"IN", u"STORE"});
  Statement->AddArgument(P.ParseStoreName());
  Statement->AddArgument(P.ParseColumnNames(NoOptions));
  if (P.SkipSymbol(u"FORMAT")) {
    if (P.SkipSymbol(u"XML")) {
      Statement->FTokenID = ImportFormatXML;
    } else if (!P.SkipSymbol(u"DELIMITED")) {
      P.ExpectedExpression(u"DELIMITED, XML");
    }
  }
  TORVExprToken* Encoding = P.NewMarker();
  Statement->AddArgument(Encoding);
  Encoding->FTokenID = ImportEncodingAuto;
  if (P.SkipSymbol(u"ENCODING")) {
    if (P.SkipSymbol(u"ANSI")) {
      Encoding->FTokenID = ImportEncodingANSI;
    } else if (P.SkipSymbol(u"UNICODE")) {
      Encoding->FTokenID = ImportEncodingUnicode;
    } else if (!P.SkipSymbol(u"AUTO")) {
      P.ExpectedExpression(u"AUTO, ANSI, UNICODE");
    }
  }
  if (Statement->FTokenID == ImportFormatDelimited) {
    OptionalValue(P, Statement.Get(), u"DELIMITER", {u"CHAR"});
  } else {
    Statement->AddArgument(nullptr);
  }
  OptionalValue(P, Statement.Get(), u"QUOTE", {u"CHAR"});
  P.ParseFormatting(Statement.Get());
  OptionalMarker(P, Statement.Get(), Import ? u"USE" : u"INCLUDE", {u"HEADERS"});
  OptionalClause(P, Statement.Get(), u"MAX", {u"ROWS"}, [&P] { return P.ParseUnary(NoOptions); });
  return Statement.Release();
}

}  // namespace

TORVExprToken* TORVExprParser::ParseEMPTYTABLE(TORVParseOptions ParseOptions) {
  NextToken();
  ErrorIfNotSkipSymbol(u"TABLE");
  TORVPartialTree Statement(NewStatement(*this, toEMPTYTABLE));
  Statement->AddArgument(ParseTableName(OptionsWithout(ParseOptions, poAllowSchemaQualifier), TORVString()));
  OptionalMarker(*this, Statement.Get(), u"IGNORE", {u"CONSTRAINTS"});
  return Statement.Release();
}

TORVExprToken* TORVExprParser::ParseENABLE(TORVParseOptions ParseOptions) {
  return ParseEnableOrDisable(*this, toENABLE, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseDISABLE(TORVParseOptions ParseOptions) {
  return ParseEnableOrDisable(*this, toDISABLE, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseSETDYN(TORVParseOptions) {
  NextToken();
  TORVDDLObjectKind Kind = dokNone;
  if (SkipSymbol(u"BACKUPS")) {
    Kind = dokBackupsStore;
  } else if (SkipSymbol(u"FILES")) {
    Kind = dokFilesStore;
  } else if (SkipSymbol(u"UPDATES")) {
    Kind = dokUpdatesStore;
  } else if (SkipSymbol(u"INFORMATION")) {
    Kind = dokInformationCollation;
  } else if (SkipSymbol(u"MIGRATOR")) {
    Kind = dokMigrator;
  } else {
    ExpectedExpression(u"BACKUPS, FILES, UPDATES, INFORMATION, MIGRATOR");
  }
  if (Kind == dokInformationCollation) {
    ErrorIfNotSkipSymbol(u"COLLATE");
  } else if (Kind != dokMigrator) {
    ErrorIfNotSkipSymbol(u"STORE");
  }
  TORVPartialTree Statement(NewStatement(*this, toSETDYN, Kind));
  ErrorIfNotSkipSymbol(u"TO");
  if (Kind == dokMigrator) {
    Statement->AddArgument(ParseMigratorName());
  } else if (Kind == dokInformationCollation) {
    // No name after TO sets the default collation.
    Statement->AddArgument(TokenIsSymbol() ? ParseCollationRef() : nullptr);
  } else {
    Statement->AddArgument(ParseStoreName());
  }
  return Statement.Release();
}

TORVExprToken* TORVExprParser::ParseBACKUPDB(TORVParseOptions) {
  NextToken();
  ErrorIfNotSkipSymbol(u"DATABASE");
  TORVPartialTree Statement(NewStatement(*this, toBACKUPDB));
  Statement->AddArgument(ParseDatabaseName());
  ErrorIfNotSkipSymbol(u"AS");
  Statement->AddArgument(ParseBackupName());
  SkipWords(*this, {u"TO", u"STORE"});
  Statement->AddArgument(ParseStoreName());
  const bool HasTables = OptionalTableList(*this, Statement.Get());
  OptionalValue(*this, Statement.Get(), u"DESCRIPTION", {});
  OptionalValue(*this, Statement.Get(), u"COMPRESSION", {});
  if (OptionalTrue(*this, Statement.Get(), u"INCLUDE", {u"CATALOG"})) {
    OptionalCatalogOnly(*this, Statement.Get(), HasTables);
  } else {
    Statement->AddArgument(nullptr);
  }
  OptionalTrue(*this, Statement.Get(), u"EXCLUDE", {u"PUBLISHED", u"UPDATES"});
  return Statement.Release();
}

TORVExprToken* TORVExprParser::ParseRESTOREDB(TORVParseOptions) {
  NextToken();
  ErrorIfNotSkipSymbol(u"DATABASE");
  TORVPartialTree Statement(NewStatement(*this, toRESTOREDB));
  Statement->AddArgument(ParseDatabaseName());
  ErrorIfNotSkipSymbol(u"FROM");
  Statement->AddArgument(ParseBackupName());
  SkipWords(*this, {u"IN", u"STORE"});
  Statement->AddArgument(ParseStoreName());
  const bool HasTables = OptionalTableList(*this, Statement.Get());
  if (OptionalTrue(*this, Statement.Get(), u"INCLUDE", {u"CATALOG"})) {
    OptionalCatalogOnly(*this, Statement.Get(), HasTables);
    OptionalTrue(*this, Statement.Get(), u"RESET", {u"PUBLISHED", u"TABLES"});
  } else {
    Statement->AddArgument(nullptr);
    Statement->AddArgument(nullptr);
  }
  return Statement.Release();
}

TORVExprToken* TORVExprParser::ParseCOMPAREDB(TORVParseOptions) {
  NextToken();
  ErrorIfNotSkipSymbol(u"DATABASE");
  TORVPartialTree Statement(NewStatement(*this, toCOMPAREDB));
  Statement->AddArgument(ParseDatabaseName());
  ErrorIfNotSkipSymbol(u"TO");
  Statement->AddArgument(ParseDatabaseName());
  OptionalValue(*this, Statement.Get(), u"STATEMENT", {u"TERM", u"CHAR"});
  return Statement.Release();
}

TORVExprToken* TORVExprParser::ParseMIGRATEDB(TORVParseOptions ParseOptions) {
  NextToken();
  ErrorIfNotSkipSymbol(u"DATABASE");
  TORVPartialTree Statement(NewStatement(*this, toMIGRATEDB));
  ErrorIfNotSkipSymbol(u"FROM");
  Statement->AddArgument(ParseMigratorName());
  TORVExprToken* Params = NewMarker();
  Statement->AddArgument(Params);
  if (SkipSymbol(u"USING")) {
    do {
      TORVExprToken* Param = NewMarker();
      Params->AddArgument(Param);
      Param->SetLeftToken(ParseParamName());
      ErrorIfNotSkipToken(u'=');
      Param->SetRightToken(ParseValue(NoOptions));
    } while (SkipToken(u','));
  }
  if (SkipSymbol(u"WITH")) {
    const bool NoData = SkipSymbol(u"NO");
    ErrorIfNotSkipSymbol(u"DATA");
    Statement->AddArgument(NoData ? nullptr : NewMarker());
  } else {
    Statement->AddArgument(nullptr);
  }
  const TORVParseOptions TableOptions = OptionsWithout(ParseOptions, poAllowSchemaQualifier);
  OptionalClause(*this, Statement.Get(), u"START", {u"AT", u"TABLE"},
                 [this, &TableOptions] { return ParseTableName(TableOptions, TORVString()); });
  return Statement.Release();
}

TORVExprToken* TORVExprParser::ParseREPAIRTABLE(TORVParseOptions ParseOptions) {
  NextToken();
  ErrorIfNotSkipSymbol(u"TABLE");
  TORVPartialTree Statement(NewStatement(*this, toREPAIRTABLE));
  Statement->AddArgument(ParseTableName(OptionsWithout(ParseOptions, poAllowSchemaQualifier), TORVString()));
  OptionalMarker(*this, Statement.Get(), u"STRUCTURE", {u"ONLY"});
  OptionalMarker(*this, Statement.Get(), u"STATISTICS", {});
  return Statement.Release();
}

TORVExprToken* TORVExprParser::ParseVERIFYTABLE(TORVParseOptions ParseOptions) {
  NextToken();
  ErrorIfNotSkipSymbol(u"TABLE");
  TORVPartialTree Statement(NewStatement(*this, toVERIFYTABLE));
  Statement->AddArgument(ParseTableName(OptionsWithout(ParseOptions, poAllowSchemaQualifier), TORVString()));
  OptionalMarker(*this, Statement.Get(), u"STRUCTURE", {u"ONLY"});
  return Statement.Release();
}

TORVExprToken* TORVExprParser::ParseOPTIMIZETABLE(TORVParseOptions ParseOptions) {
  NextToken();
  ErrorIfNotSkipSymbol(u"TABLE");
  TORVPartialTree Statement(NewStatement(*this, toOPTIMIZETABLE));
  Statement->AddArgument(ParseTableName(OptionsWithout(ParseOptions, poAllowSchemaQualifier), TORVString()));
  OptionalClause(*this, Statement.Get(), u"USING", {}, [this] { return ParseIndexName(); });
  OptionalClause(*this, Statement.Get(), u"NO", {u"BACKUP", u"FILES"}, [this] { return NewTrueConstant(true); });
  return Statement.Release();
}

TORVExprToken* TORVExprParser::ParseIMPORTTABLE(TORVParseOptions ParseOptions) {
  return ParseImportOrExport(*this, true, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseEXPORTTABLE(TORVParseOptions ParseOptions) {
  return ParseImportOrExport(*this, false, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseDISCONNECTSESSION(TORVParseOptions) {
  return ParseServerSession(*this, toDISCONNECTSESSION);
}

TORVExprToken* TORVExprParser::ParseREMOVESESSION(TORVParseOptions) {
  return ParseServerSession(*this, toREMOVESESSION);
}

TORVExprToken* TORVExprParser::ParseRESET(TORVParseOptions) {
  NextToken();
  if (SkipSymbol(u"JOB")) {
    TORVPartialTree Statement(NewStatement(*this, toRESET, dokJob));
    Statement->AddArgument(ParseJobName());
    return Statement.Release();
  }
  if (SkipSymbol(u"SERVER")) {
    SkipWords(*this, {u"SESSION", u"STATISTICS"});
  } else if (SkipSymbol(u"SESSION")) {
    ErrorIfNotSkipSymbol(u"STATISTICS");
  } else {
    ExpectedExpression(u"SERVER SESSION STATISTICS, JOB");
  }
  TORVPartialTree Statement(NewStatement(*this, toRESET, dokServerSessionStatistics));
  Statement->AddArgument(ParseValue(NoOptions));
  return Statement.Release();
}

TORVExprToken* TORVExprParser::ParseGRANT(TORVParseOptions ParseOptions) {
  return ParseGrantOrRevoke(*this, true, ParseOptions);
}

TORVExprToken* TORVExprParser::ParseREVOKE(TORVParseOptions ParseOptions) {
  return ParseGrantOrRevoke(*this, false, ParseOptions);
}

TORVExprToken* TORVExprParser::ParsePUBLISH(TORVParseOptions) {
  NextToken();
  TORVPartialTree Statement(NewStatement(*this, toPUBLISH));
  ErrorIfNotSkipSymbol(u"DATABASE");
  Statement->AddArgument(ParseDatabaseName());
  OptionalTableList(*this, Statement.Get());
  OptionalClause(*this, Statement.Get(), u"BY", {}, [this] {
    int32_t ModeID = PublishByColumn;
    if (SkipSymbol(u"ROW")) {
      ModeID = PublishByRow;
    } else if (!SkipSymbol(u"COLUMN")) {
      ExpectedExpression(u"COLUMN, ROW");
    }
    TORVExprToken* Mode = NewMarker();
    Mode->FTokenID = ModeID;
    return Mode;
  });
  return Statement.Release();
}

TORVExprToken* TORVExprParser::ParseUNPUBLISH(TORVParseOptions) {
  NextToken();
  TORVPartialTree Statement(NewStatement(*this, toUNPUBLISH));
  ErrorIfNotSkipSymbol(u"DATABASE");
  Statement->AddArgument(ParseDatabaseName());
  OptionalTableList(*this, Statement.Get());
  return Statement.Release();
}

TORVExprToken* TORVExprParser::ParseSAVEDBUPDATES(TORVParseOptions) {
  NextToken();
  ErrorIfNotSkipSymbol(u"UPDATES");
  TORVPartialTree Statement(NewStatement(*this, toSAVEDBUPDATES));
  SkipWords(*this, {u"FOR", u"DATABASE"});
  Statement->AddArgument(ParseDatabaseName());
  ErrorIfNotSkipSymbol(u"AS");
  Statement->AddArgument(ParseUpdatesName());
  SkipWords(*this, {u"TO", u"STORE"});
  Statement->AddArgument(ParseStoreName());
  OptionalTableList(*this, Statement.Get());
  OptionalValue(*this, Statement.Get(), u"DESCRIPTION", {});
  OptionalValue(*this, Statement.Get(), u"COMPRESSION", {});
  OptionalMarker(*this, Statement.Get(), u"IF", {u"NOT", u"EMPTY"});
  return Statement.Release();
}

TORVExprToken* TORVExprParser::ParseLOADDBUPDATES(TORVParseOptions) {
  NextToken();
  ErrorIfNotSkipSymbol(u"UPDATES");
  TORVPartialTree Statement(NewStatement(*this, toLOADDBUPDATES));
  SkipWords(*this, {u"FOR", u"DATABASE"});
  Statement->AddArgument(ParseDatabaseName());
  ErrorIfNotSkipSymbol(u"FROM");
  Statement->AddArgument(ParseUpdatesName());
  SkipWords(*this, {u"IN", u"STORE"});
  Statement->AddArgument(ParseStoreName());
  OptionalTableList(*this, Statement.Get());
  OptionalMarker(*this, Statement.Get(), u"MERGE", {u"DUPLICATE", u"INSERTS"});
  if (OptionalMarker(*this, Statement.Get(), u"IGNORE", {u"MISSING", u"UPDATES"})) {
    Statement->AddArgument(nullptr);
  } else {
    OptionalMarker(*this, Statement.Get(), u"INSERT", {u"MISSING", u"UPDATES"});
  }
  OptionalMarker(*this, Statement.Get(), u"DISABLE", {u"TRIGGERS"});
  return Statement.Release();
}

TORVExprToken* TORVExprParser::ParseCOPYFILE(TORVParseOptions) {
  NextToken();
  ErrorIfNotSkipSymbol(u"FILE");
  TORVPartialTree Statement(NewStatement(*this, toCOPYFILE));
  Statement->AddArgument(ParseFileName());
  SkipWords(*this, {u"IN", u"STORE"});
  Statement->AddArgument(ParseStoreName());
  ErrorIfNotSkipSymbol(u"TO");
  Statement->AddArgument(ParseFileName());
  OptionalClause(*this, Statement.Get(), u"IN", {u"STORE"}, [this] { return ParseStoreName(); });
  return Statement.Release();
}

}  // namespace orv
