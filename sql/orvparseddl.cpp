// Data definition grammar of the SQL parser: the bodies of CREATE and ALTER
// for every object that is not defined inline by the dispatcher (databases,
// users, roles, stores, jobs, triggers, functions, procedures, views,
// indexes, text indexes and tables), with the clauses they share: column
// clauses, constraints, reference rules, table extensions and the day and
// month lists of job schedules. The slots are named in sql/orvstmtslots.h.
//
// Every routine appends to a node its caller owns, so a slot is attached as
// soon as it is made: an error then leaves nothing that the caller's node
// does not free.
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string_view>

#include "core/orvliteral.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"
#include "sql/orvexprtoken.h"
#include "sql/orvparser.h"
#include "sql/orvparseroptions.h"
#include "sql/orvroutineslots.h"
#include "sql/orvstmtslots.h"
#include "sql/orvtokenizer.h"

namespace orv {

namespace {

const TORVParseOptions NoOptions{};

// [Word value], appended as the value or nil.
void ParseOptionalValue(TORVExprParser& P, TORVExprToken* Token, std::u16string_view Word) {
  Token->AddArgument(P.SkipSymbol(Word) ? P.ParseValue(NoOptions) : nullptr);
}

// Word value, appended as the value.
void ParseRequiredValue(TORVExprParser& P, TORVExprToken* Token, std::u16string_view Word) {
  P.ErrorIfNotSkipSymbol(Word);
  Token->AddArgument(P.ParseValue(NoOptions));
}

// A Boolean flag constant, "TRUE" or "FALSE".
TORVExprToken* NewFlag(const TORVExprParser& P, bool Value) {
  TORVExprToken* Flag = P.GetNewExprToken(ttCONST, toNONE);
  Flag->FTokenConstant = Value ? u"TRUE" : u"FALSE";
  Flag->SetDataType(dtBoolean);
  return Flag;
}

// TrueWord or FalseWord (each followed by Second when it is not empty)
// appended as a flag; nil when neither stands here.
void ParseFlag(TORVExprParser& P, TORVExprToken* Token, std::u16string_view TrueWord, std::u16string_view FalseWord,
               std::u16string_view Second) {
  const bool True = P.CheckSymbol(TrueWord);
  if (!True && !P.CheckSymbol(FalseWord)) {
    Token->AddArgument(nullptr);
    return;
  }
  Token->AddArgument(NewFlag(P, True));
  P.NextToken();
  if (!Second.empty()) P.ErrorIfNotSkipSymbol(Second);
}

bool CheckAnyWord(const TORVExprParser& P, std::span<const std::u16string_view> Words) {
  for (std::u16string_view Word : Words)
    if (P.CheckSymbol(Word)) return true;
  return false;
}

// Sets FTokenConstant of Holder to the source text of what Parse reads,
// cut from its first token to the start of the token after it.
template <typename TParse>
TORVExprToken* ParseWithText(TORVExprParser& P, TORVExprToken* Holder, TParse Parse) {
  P.MarkLiteral();
  TORVExprToken* Result = Parse();
  Holder->FTokenConstant = P.GetLiteralString();
  return Result;
}

// The stored text of a routine: its word, the name in double quotes, the
// separator and the source of the rest. A quote inside the name is doubled
// so that the text reads back as the same name.
TORVString RoutineText(std::u16string_view Word, const TORVString& Name, std::u16string_view Separator,
                       const TORVString& Source) {
  return TORVString(Word) + u" " + QuotedString(Name, u'"') + TORVString(Separator) + Source;
}

constexpr std::u16string_view CRLF = u"\r\n";

// The words that start a table constraint.
constexpr std::u16string_view ConstraintWords[] = {u"CONSTRAINT", u"PRIMARY", u"UNIQUE", u"FOREIGN", u"CHECK"};

// Where the constraints of a column end in CREATE TABLE and in ALTER TABLE
// (besides ",", the terminator and the end of the text).
constexpr std::u16string_view CreateColumnEndWords[] = {
    u"DESCRIPTION", u"VERSION", u"READONLY", u"READWRITE", u"ENCRYPTED", u"UNENCRYPTED",
    u"INDEX",       u"BLOB",    u"PUBLISH",  u"MAX",       u"ATTRIBUTES"};
constexpr std::u16string_view AlterColumnEndWords[] = {
    u"DESCRIPTION", u"AT",    u"VERSION", u"READONLY", u"READWRITE",  u"ENCRYPTED", u"UNENCRYPTED",
    u"INDEX",       u"BLOB",  u"PUBLISH", u"MAX",      u"ATTRIBUTES", u"NO"};

// A clause with one slot per name, set for each name of a comma-separated
// list.
TORVExprToken* ParseNameList(TORVExprParser& P, std::span<const std::u16string_view> Names,
                             std::u16string_view Duplicate, std::u16string_view None) {
  TORVPartialTree List(P.NewMarker());
  List->SetNumArguments(static_cast<int32_t>(Names.size()));
  do {
    int32_t Found = -1;
    for (std::size_t I = 0; I < Names.size() && Found < 0; ++I)
      if (P.CheckSymbol(Names[I])) Found = static_cast<int32_t>(I);
    if (Found < 0) P.InvalidExpr(None);
    if (List->GetArgument(Found) != nullptr) P.InvalidExpr(Duplicate);
    TORVExprToken* Name = P.GetNewExprToken(ttCONST, toNONE);
    Name->FTokenConstant = TORVString(Names[static_cast<std::size_t>(Found)]);
    List->SetArgument(Found, Name);
    P.NextToken();
  } while (P.SkipToken(u','));
  return List.Release();
}

// The constraints of a column: nil when one of the end words (or ",", ")",
// the terminator or the end of the text) follows at once.
TORVExprToken* ParseColumnConstraints(TORVExprParser& P, TORVParseOptions Options,
                                      std::span<const std::u16string_view> EndWords) {
  auto AtEnd = [&] {
    return CheckAnyWord(P, EndWords) || P.CheckToken(u',') || P.CheckToken(u')') || P.CheckToken(P.LineTerm()) ||
           P.TokenAtEnd();
  };
  if (AtEnd()) return nullptr;
  Options.Exclude(poColumnsRequired);
  Options.Include(poColumnsNotAllowed);
  TORVPartialTree Constraints(P.NewMarker());
  while (!AtEnd()) {
    TORVExprToken* Constraint = P.ParseConstraint(Options);
    Constraints->AddArgument(Constraint);
    Constraint->AddArgument(P.ParseConstraintError());
  }
  return Constraints.Release();
}

// A column definition after the name: data type, compression, value
// source, NOT NULL, constraints and description in slots 0 to 5.
void ParseColumnDefinition(TORVExprParser& P, TORVExprToken* Column, TORVParseOptions Options,
                           std::span<const std::u16string_view> EndWords) {
  TORVExprToken* DataType = P.GetNewExprToken(ttDATATYPE, toNONE);
  Column->AddArgument(DataType);
  P.ParseDataType(DataType, Options, true, false);
  Column->AddArgument(P.ParseColumnCompress());
  if (P.CheckSymbol(u"GENERATED")) {
    Column->AddArgument(P.ParseColumnGenerate());
  } else if (P.CheckSymbol(u"COMPUTED")) {
    Column->AddArgument(P.ParseColumnCompute());
  } else {
    Column->AddArgument(P.ParseColumnDefault(true));
  }
  Column->AddArgument(P.ParseColumnRequired());
  Column->AddArgument(ParseColumnConstraints(P, Options, EndWords));
  Column->AddArgument(P.ParseColumnDescription());
}

// A table constraint with its error clause and description.
TORVExprToken* ParseTableConstraint(TORVExprParser& P, TORVParseOptions Options) {
  Options.Include(poColumnsRequired);
  TORVPartialTree Constraint(P.ParseConstraint(Options));
  Constraint->AddArgument(P.ParseConstraintError());
  Constraint->AddArgument(P.ParseConstraintDescription());
  return Constraint.Release();
}

// LIKE table [INCLUDING kind | EXCLUDING kind] ...
TORVExprToken* ParseLikeTable(TORVExprParser& P, TORVParseOptions Options) {
  TORVPartialTree Table(P.ParseTableName(Options, TORVString()));
  Table->SetNumArguments(LikeSlotCount);
  auto AnyEmpty = [&] {
    for (int32_t I = 0; I < LikeSlotCount; ++I)
      if (Table->GetArgument(I) == nullptr) return true;
    return false;
  };
  while (AnyEmpty() && (P.CheckSymbol(u"INCLUDING") || P.CheckSymbol(u"EXCLUDING"))) {
    const bool Including = P.CheckSymbol(u"INCLUDING");
    P.NextToken();
    int32_t Found = -1;
    for (int32_t I = 0; I < LikeSlotCount && Found < 0; ++I)
      if (Table->GetArgument(I) == nullptr && P.CheckSymbol(LikeKindNames[I])) Found = I;
    if (Found < 0) {
      TORVString Expected;
      for (int32_t I = 0; I < LikeSlotCount; ++I)
        if (Table->GetArgument(I) == nullptr) TORVExprTokenizer::AddExpected(Expected, LikeKindNames[I]);
      P.ExpectedExpression(Expected);
    }
    if (Including) Table->SetArgument(Found, P.NewMarker());
    P.NextToken();
  }
  return Table.Release();
}

// A column item of ALTER TABLE: the column with its eight slots.
TORVExprToken* ParseAlterColumn(TORVExprParser& P, TORVTokenOperator Item, TORVParseOptions Options) {
  P.SkipSymbol(u"COLUMN");
  TORVPartialTree Column(P.ParseColumnName());
  switch (Item) {
    case toADD:
      ParseColumnDefinition(P, Column.Get(), Options, AlterColumnEndWords);
      ParseOptionalValue(P, Column.Get(), u"AT");
      Column->AddArgument(nullptr);
      break;
    case toALTER:
      if (P.SkipSymbol(u"AS")) {
        ParseColumnDefinition(P, Column.Get(), Options, AlterColumnEndWords);
        Column->SetNumArguments(AlterColumnSlotCount);
        break;
      }
      Column->SetNumArguments(AlterColumnSlotCount);
      if (P.SkipSymbol(u"SET")) {
        Column->FTokenOperator = toSETDEFAULT;
        Column->SetArgument(ColumnValueSlot, P.ParseColumnDefault(false));
      } else if (P.SkipSymbol(u"DROP")) {
        P.ErrorIfNotSkipSymbol(u"DEFAULT");
        Column->FTokenOperator = toDROPDEFAULT;
      } else if (P.SkipSymbol(u"MOVE")) {
        P.ErrorIfNotSkipSymbol(u"TO");
        Column->FTokenOperator = toMOVECOLUMN;
        Column->SetArgument(ColumnPositionSlot, P.ParseValue(NoOptions));
      } else if (P.SkipSymbol(u"DESCRIPTION")) {
        Column->FTokenOperator = toSETDESC;
        Column->SetArgument(ColumnDescriptionSlot, P.ParseValue(NoOptions));
      } else if (P.SkipSymbol(u"RESTART")) {
        P.ErrorIfNotSkipSymbol(u"WITH");
        Column->FTokenOperator = toRESTARTIDENTITY;
        Column->SetArgument(ColumnRestartSlot, P.ParseValue(NoOptions));
      } else {
        P.ExpectedExpression(u"SET, DROP, MOVE, DESCRIPTION, RESTART");
      }
      break;
    case toRENAME:
      P.ErrorIfNotSkipSymbol(u"TO");
      Column->AddArgument(P.ParseColumnName());
      break;
    default:  // DROP
      break;
  }
  return Column.Release();
}

// A constraint item of ALTER TABLE.
TORVExprToken* ParseAlterConstraint(TORVExprParser& P, TORVTokenOperator Item, TORVParseOptions Options) {
  if (Item == toADD) return ParseTableConstraint(P, Options);
  P.ErrorIfNotSkipSymbol(u"CONSTRAINT");
  TORVPartialTree Constraint(P.ParseConstraintName());
  switch (Item) {
    case toALTER:
      if (P.SkipSymbol(u"DESCRIPTION")) {
        Constraint->FTokenOperator = toSETDESC;
        Constraint->SetNumArguments(ConstraintSetDescriptionSlot);
        Constraint->AddArgument(P.ParseValue(NoOptions));
        break;
      }
      P.ErrorIfNotSkipSymbol(u"AS");
      Options.Include(poColumnsRequired);
      P.ParseConstraintOptions(Constraint.Get(), Options);
      Constraint->AddArgument(P.ParseConstraintError());
      Constraint->AddArgument(P.ParseConstraintDescription());
      break;
    case toRENAME:
      P.ErrorIfNotSkipSymbol(u"TO");
      Constraint->AddArgument(P.ParseConstraintName());
      break;
    default:  // DROP
      break;
  }
  return Constraint.Release();
}

// One schedule of a job: the kind in the marker and the five schedule
// slots appended to Token.
void ParseSchedule(TORVExprParser& P, TORVExprToken* Token) {
  TORVExprToken* Schedule = P.NewMarker();
  Token->AddArgument(Schedule);
  const int32_t First = Token->GetNumArguments();
  Token->SetNumArguments(First + (JobMonthsSlot - JobIntervalSlot + 1));
  auto Set = [&](int32_t Slot, TORVExprToken* Value) { Token->SetArgument(Slot, Value); };
  auto OptionalDays = [&] {
    if (P.SkipSymbol(u"ON")) Set(JobDaysSlot, P.ParseDays());
  };
  if (P.SkipSymbol(u"ONCE")) {
    Schedule->FTokenID = jsOnce;
  } else if (P.SkipSymbol(u"DAILY")) {
    Schedule->FTokenID = jsDaily;
    OptionalDays();
  } else if (P.SkipSymbol(u"WEEKLY")) {
    Schedule->FTokenID = jsWeekly;
    P.ErrorIfNotSkipSymbol(u"ON");
    Set(JobDaysSlot, P.ParseDays());
  } else if (P.SkipSymbol(u"MONTHLY")) {
    Schedule->FTokenID = jsMonthly;
    P.ErrorIfNotSkipSymbol(u"ON");
    if (P.SkipSymbol(u"DAY")) {
      Set(JobDayOfMonthSlot, P.ParseValue(NoOptions));
    } else {
      static constexpr std::u16string_view Ordinals[] = {u"FIRST", u"SECOND", u"THIRD", u"FOURTH", u"LAST"};
      TORVExprToken* Ordinal = P.GetNewExprToken(ttCONST, toNONE);
      Set(JobOrdinalSlot, Ordinal);
      Ordinal->SetDataType(dtInteger);
      for (int32_t I = 0; I < 5; ++I) {
        if (!P.CheckSymbol(Ordinals[I])) continue;
        Ordinal->FTokenConstant = IntToString(I + 1);
        P.NextToken();
        break;
      }
      Ordinal->AddArgument(P.ParseDay());
    }
    P.ErrorIfNotSkipSymbol(u"OF");
    Set(JobMonthsSlot, P.ParseMonths());
  } else if (P.SkipSymbol(u"EVERY")) {
    Set(JobIntervalSlot, P.ParseValue(NoOptions));
    if (P.SkipSymbol(u"MINUTES")) {
      Schedule->FTokenID = jsEveryMinutes;
      OptionalDays();
    } else if (P.SkipSymbol(u"HOURS")) {
      Schedule->FTokenID = jsEveryHours;
      OptionalDays();
    } else if (P.SkipSymbol(u"DAYS")) {
      Schedule->FTokenID = jsEveryDays;
    } else if (P.SkipSymbol(u"WEEKS")) {
      Schedule->FTokenID = jsEveryWeeks;
      P.ErrorIfNotSkipSymbol(u"ON");
      Set(JobDaysSlot, P.ParseDays());
    } else {
      P.ExpectedExpression(u"DAYS, WEEKS");
    }
  } else if (P.SkipSymbol(u"HOURLY")) {
    Schedule->FTokenID = jsHourly;
    OptionalDays();
  } else if (P.SkipSymbol(u"AT")) {
    Schedule->FTokenID = jsAtServerStart;
    P.ErrorIfNotSkipSymbol(u"SERVER");
    P.ErrorIfNotSkipSymbol(u"START");
  } else {
    P.ExpectedExpression(u"ONCE, HOURLY, DAILY, WEEKLY, MONTHLY, EVERY, AT SERVER START");
  }
}

// The slots that functions and procedures share after the routine node.
void ParseRoutineTrailer(TORVExprParser& P, TORVExprToken* Token) {
  ParseOptionalValue(P, Token, u"DESCRIPTION");
  ParseOptionalValue(P, Token, u"VERSION");
  ParseOptionalValue(P, Token, u"ATTRIBUTES");
}

// name [(parameters)] [RETURNS type] {EXTERNAL NAME module | body}, with the
// stored text in the statement's FTokenConstant.
void ParseStoredRoutine(TORVExprParser& P, TORVExprToken* Token, TORVParseOptions Options, bool Function) {
  TORVExprToken* Routine = Function ? P.ParseFunctionName() : P.ParseProcedureName();
  Token->AddArgument(Routine);
  Routine->SetNumArguments(RoutineSlotCount);
  P.MarkLiteral();
  Routine->SetArgument(RoutineParamsSlot, P.ParseParams(TORVParseOptions{poAllowOutParameters}));
  if (Function) {
    P.ErrorIfNotSkipSymbol(u"RETURNS");
    Routine->SetArgument(RoutineReturnsSlot, P.ParseReturns(NoOptions));
  }
  if (P.SkipSymbol(u"EXTERNAL")) {
    P.ErrorIfNotSkipSymbol(u"NAME");
    Routine->SetArgument(RoutineModuleSlot, P.ParseModuleName());
  } else {
    Options.Include(Function ? poRequireReturn : poAllowCursorReturn);
    Routine->SetArgument(RoutineBodySlot, P.ParseRoutine(Options));
  }
  Token->FTokenConstant =
      RoutineText(Function ? u"FUNCTION" : u"PROCEDURE", Routine->FName, u" ", P.GetLiteralString());
  ParseRoutineTrailer(P, Token);
}

}  // namespace

// ---------------------------------------------------------------------------
// The dispatcher of definition bodies

void TORVExprParser::ParseDefinition(TORVExprToken* Statement, TORVParseOptions ParseOptions) {
  const bool Create = Statement->FTokenOperator == toCREATE;
  switch (Statement->FTokenID) {
    case dokDatabase: ParseDatabase(Statement); break;
    case dokUser: ParseUser(Statement); break;
    case dokRole: ParseRole(Statement); break;
    case dokStore: ParseStore(Statement); break;
    case dokJob: ParseJob(Statement, ParseOptions); break;
    case dokTrigger: ParseTrigger(Statement, ParseOptions); break;
    case dokFunction: ParseFunction(Statement, ParseOptions); break;
    case dokProcedure: ParseProcedure(Statement, ParseOptions); break;
    case dokView: ParseView(Statement, ParseOptions); break;
    case dokIndex: ParseIndex(Statement, ParseOptions); break;
    case dokTextIndex: ParseTextIndex(Statement, ParseOptions); break;
    case dokTable:
      if (Create) {
        ParseTableCreate(Statement, ParseOptions);
      } else {
        ParseTableAlter(Statement, ParseOptions);
      }
      ParseTableExtensions(Statement);
      break;
    // The dispatcher hands over only the kinds of its object words.
    default: throw std::logic_error("object kind without a definition grammar");
  }
}

// ---------------------------------------------------------------------------
// Configuration objects

void TORVExprParser::ParseDatabase(TORVExprToken* Token) {
  Token->AddArgument(ParseDatabaseName());
  if (SkipSymbol(u"PATH")) {
    Token->AddArgument(ParseValue(NoOptions));
  } else {
    ErrorIfNotSkipSymbol(u"IN");
    ErrorIfNotSkipSymbol(u"MEMORY");
    Token->AddArgument(nullptr);
  }
  ParseFlag(*this, Token, u"ENCRYPTED", u"UNENCRYPTED", u"CATALOG");
  ParseOptionalValue(*this, Token, u"DESCRIPTION");
  ParseOptionalValue(*this, Token, u"ATTRIBUTES");
}

void TORVExprParser::ParseUser(TORVExprToken* Token) {
  Token->AddArgument(ParseUserName());
  ParseRequiredValue(*this, Token, u"PASSWORD");
  ParseOptionalValue(*this, Token, u"DESCRIPTION");
  ParseOptionalValue(*this, Token, u"ATTRIBUTES");
}

void TORVExprParser::ParseRole(TORVExprToken* Token) {
  Token->AddArgument(ParseRoleName());
  ParseOptionalValue(*this, Token, u"DESCRIPTION");
  ParseOptionalValue(*this, Token, u"ATTRIBUTES");
}

void TORVExprParser::ParseStore(TORVExprToken* Token) {
  Token->AddArgument(ParseStoreName());
  ErrorIfNotSkipSymbol(u"AS");
  Token->SetNumArguments(StoreDescriptionSlot);
  if (SkipSymbol(u"LOCAL")) {
    ErrorIfNotSkipSymbol(u"PATH");
    Token->SetArgument(StorePathSlot, ParseValue(NoOptions));
  } else if (SkipSymbol(u"REMOTE")) {
    if (SkipSymbol(u"ADDRESS")) {
      Token->SetArgument(StoreAddressSlot, ParseValue(NoOptions));
    } else if (SkipSymbol(u"HOST")) {
      Token->SetArgument(StoreHostSlot, ParseValue(NoOptions));
    } else {
      ExpectedExpression(u"ADDRESS, HOST");
    }
    if (SkipSymbol(u"PORT")) {
      Token->SetArgument(StorePortSlot, ParseValue(NoOptions));
    } else if (SkipSymbol(u"SERVICE")) {
      Token->SetArgument(StoreServiceSlot, ParseValue(NoOptions));
    } else {
      ExpectedExpression(u"PORT, SERVICE");
    }
    ErrorIfNotSkipSymbol(u"USER");
    Token->SetArgument(StoreUserSlot, ParseUserName());
    ErrorIfNotSkipSymbol(u"PASSWORD");
    Token->SetArgument(StorePasswordSlot, ParseValue(NoOptions));
    ErrorIfNotSkipSymbol(u"STORE");
    Token->SetArgument(StoreRemoteStoreSlot, ParseStoreName());
    if (SkipSymbol(u"SIGNATURE")) Token->SetArgument(StoreSignatureSlot, ParseValue(NoOptions));
    bool PasswordGiven = false;
    if (SkipSymbol(u"ENCRYPTED")) {
      Token->SetArgument(StoreEncryptedSlot, NewMarker());
      if (SkipSymbol(u"WITH")) {
        ErrorIfNotSkipSymbol(u"PASSWORD");
        Token->SetArgument(StoreEncryptionPasswordSlot, ParseValue(NoOptions));
        PasswordGiven = true;
      }
    }
    if (!PasswordGiven && SkipSymbol(u"ENCRYPTION")) {
      ErrorIfNotSkipSymbol(u"PASSWORD");
      Token->SetArgument(StoreEncryptionPasswordSlot, ParseValue(NoOptions));
    }
    if (SkipSymbol(u"COMPRESSION")) Token->SetArgument(StoreCompressionSlot, ParseValue(NoOptions));
    if (SkipSymbol(u"TIMEOUT")) Token->SetArgument(StoreTimeoutSlot, ParseValue(NoOptions));
    if (SkipSymbol(u"PING")) Token->SetArgument(StorePingSlot, ParseValue(NoOptions));
  } else {
    ExpectedExpression(u"LOCAL, REMOTE");
  }
  ParseOptionalValue(*this, Token, u"DESCRIPTION");
  ParseOptionalValue(*this, Token, u"ATTRIBUTES");
}

// ---------------------------------------------------------------------------
// Objects with a routine body

void TORVExprParser::ParseJob(TORVExprToken* Token, TORVParseOptions ParseOptions) {
  TORVExprToken* Job = ParseJobName();
  Token->AddArgument(Job);
  Job->SetNumArguments(RoutineSlotCount);
  Job->SetArgument(RoutineParamsSlot, NewMarker());
  ErrorIfNotSkipSymbol(u"RUN");
  ErrorIfNotSkipSymbol(u"AS");
  Token->AddArgument(ParseUserName());
  ParseRequiredValue(*this, Token, u"FROM");
  ParseRequiredValue(*this, Token, u"TO");
  ParseSchedule(*this, Token);
  ParseRequiredValue(*this, Token, u"BETWEEN");
  ParseRequiredValue(*this, Token, u"AND");
  ParseOptionalValue(*this, Token, u"CATEGORY");
  ParseOptions.Include(poAllowDatabaseUse);
  TORVExprToken* Body =
      ParseWithText(*this, Token, [&] { return ParseRoutine(ParseOptions); });
  Job->SetArgument(RoutineBodySlot, Body);
  Token->FTokenConstant = RoutineText(u"JOB", Job->FName, CRLF, Token->FTokenConstant);
  ParseOptionalValue(*this, Token, u"DESCRIPTION");
  ParseOptionalValue(*this, Token, u"VERSION");
  ParseOptionalValue(*this, Token, u"ATTRIBUTES");
}

void TORVExprParser::ParseTriggerOperation(TORVExprToken* Trigger) {
  if (SkipSymbol(u"BEFORE")) {
    Trigger->FTokenOperator = toBEFORE;
  } else if (SkipSymbol(u"AFTER")) {
    Trigger->FTokenOperator = toAFTER;
  } else if (SkipSymbol(u"ERROR")) {
    Trigger->FTokenOperator = toERROR;
  } else if (SkipSymbol(u"INSTEAD")) {
    ErrorIfNotSkipSymbol(u"OF");
    Trigger->FTokenOperator = toINSTEADOF;
  } else {
    ExpectedExpression(u"BEFORE, AFTER, ERROR, INSTEAD OF");
  }
  if (SkipSymbol(u"ALL")) {
    Trigger->FTokenID = TriggerAllID;
  } else if (SkipSymbol(u"INSERT")) {
    Trigger->FTokenID = TriggerInsertID;
  } else if (SkipSymbol(u"UPDATE")) {
    Trigger->FTokenID = TriggerUpdateID;
  } else if (SkipSymbol(u"DELETE")) {
    Trigger->FTokenID = TriggerDeleteID;
  } else if (SkipSymbol(u"LOAD")) {
    ErrorIfNotSkipSymbol(u"UPDATE");
    Trigger->FTokenID = TriggerLoadUpdateID;
  } else {
    ExpectedExpression(u"ALL, INSERT, UPDATE, DELETE, LOAD UPDATE");
  }
}

void TORVExprParser::ParseTrigger(TORVExprToken* Token, TORVParseOptions ParseOptions) {
  TORVExprToken* Trigger = ParseTriggerName();
  Token->AddArgument(Trigger);
  Trigger->SetNumArguments(RoutineSlotCount);
  Trigger->SetArgument(RoutineParamsSlot, NewMarker());
  Trigger->SetArgument(RoutineRowVariablesSlot, NewRowVariables());
  ParseTriggerOperation(Trigger);
  const bool ColumnsAllowed = Trigger->FTokenOperator != toERROR &&
                              (Trigger->FTokenID == TriggerUpdateID || Trigger->FTokenID == TriggerAllID);
  if (ColumnsAllowed && SkipSymbol(u"OF")) {
    TORVExprToken* Columns = NewMarker();
    Token->AddArgument(Columns);
    do {
      Columns->AddArgument(ParseColumnName());
    } while (SkipToken(u','));
  } else {
    Token->AddArgument(nullptr);
  }
  ErrorIfNotSkipSymbol(u"ON");
  Token->AddArgument(ParseTableName(OptionsWithout(ParseOptions, poAllowSchemaQualifier), TORVString()));
  ParseOptionalValue(*this, Token, u"AT");
  TORVParseOptions ConditionOptions = ParseOptions;
  TORVParseOptions BodyOptions = ParseOptions;
  if (Trigger->FTokenOperator == toERROR) {
    ConditionOptions.Include(poAllowExceptionHandling);
    BodyOptions.Include(poAllowExceptionHandling);
    BodyOptions.Include(poAllowRetry);
  }
  Token->AddArgument(ParseTriggerCondition(ConditionOptions));
  TORVExprToken* Body = ParseWithText(*this, Token, [&] { return ParseRoutine(BodyOptions); });
  Trigger->SetArgument(RoutineBodySlot, Body);
  Token->FTokenConstant = RoutineText(u"TRIGGER", Trigger->FName, CRLF, Token->FTokenConstant);
  ParseOptionalValue(*this, Token, u"DESCRIPTION");
}

void TORVExprParser::ParseFunction(TORVExprToken* Token, TORVParseOptions ParseOptions) {
  ParseStoredRoutine(*this, Token, ParseOptions, true);
}

void TORVExprParser::ParseProcedure(TORVExprToken* Token, TORVParseOptions ParseOptions) {
  ParseStoredRoutine(*this, Token, ParseOptions, false);
}

// ---------------------------------------------------------------------------
// Views and indexes

void TORVExprParser::ParseView(TORVExprToken* Token, TORVParseOptions ParseOptions) {
  Token->AddArgument(ParseViewName());
  ErrorIfNotSkipSymbol(u"AS");
  ParseOptions.Exclude(poAllowParameters);
  ParseOptions.Exclude(poAllowDatabaseQualifier);
  Token->AddArgument(ParseWithText(*this, Token, [&] { return ParseQuery(ParseOptions); }));
  if (CheckSymbol(u"WITH") || CheckSymbol(u"WITHOUT")) {
    ParseFlag(*this, Token, u"WITH", u"WITHOUT", u"CHECK");
    ErrorIfNotSkipSymbol(u"OPTION");
  } else {
    Token->AddArgument(nullptr);
  }
  ParseOptionalValue(*this, Token, u"DESCRIPTION");
  ParseOptionalValue(*this, Token, u"VERSION");
  ParseOptionalValue(*this, Token, u"ATTRIBUTES");
}

namespace {

// name ON table ( column [COLLATE c] [direction], ... ): the slots up to
// the columns. A text index takes one column and no direction.
void ParseIndexHead(TORVExprParser& P, TORVExprToken* Token, TORVParseOptions Options, bool Text) {
  Token->AddArgument(P.ParseIndexName());
  P.ErrorIfNotSkipSymbol(u"ON");
  Token->AddArgument(P.ParseTableName(OptionsWithout(Options, poAllowSchemaQualifier), TORVString()));
  TORVExprToken* Columns = P.NewMarker();
  Token->AddArgument(Columns);
  if (Text) {
    Options.Exclude(poAllowDirection);
  } else {
    Options.Include(poAllowDirection);
  }
  P.ErrorIfNotSkipToken(u'(');
  do {
    TORVExprToken* Column = P.ParseColumnName();
    Columns->AddArgument(Column);
    Column->AddArgument(nullptr);
    P.ParseColumnOptions(Column, Options);
  } while (!Text && P.SkipToken(u','));
  P.ErrorIfNotSkipToken(u')');
  ParseOptionalValue(P, Token, u"DESCRIPTION");
}

}  // namespace

void TORVExprParser::ParseIndex(TORVExprToken* Token, TORVParseOptions ParseOptions) {
  ParseIndexHead(*this, Token, ParseOptions, false);
  Token->SetNumArguments(IndexExtensionsSlot);
  ParseIndexExtensions(Token);
}

void TORVExprParser::ParseTextIndex(TORVExprToken* Token, TORVParseOptions ParseOptions) {
  ParseIndexHead(*this, Token, ParseOptions, true);
  if (SkipSymbol(u"INDEXED")) {
    ErrorIfNotSkipSymbol(u"WORD");
    ErrorIfNotSkipSymbol(u"LENGTH");
    Token->AddArgument(ParseValue(NoOptions));
  } else {
    Token->AddArgument(nullptr);
  }
  if (SkipSymbol(u"FILTER")) {
    ErrorIfNotSkipSymbol(u"TYPE");
    ErrorIfNotSkipSymbol(u"COLUMN");
    Token->AddArgument(ParseColumnName());
  } else {
    Token->AddArgument(nullptr);
  }
  if (SkipSymbol(u"WORD")) {
    ErrorIfNotSkipSymbol(u"GENERATOR");
    Token->AddArgument(ParseWordGeneratorName());
  } else {
    Token->AddArgument(nullptr);
  }
  ParseIndexExtensions(Token);
}

// ---------------------------------------------------------------------------
// Tables

void TORVExprParser::ParseTableCreate(TORVExprToken* Token, TORVParseOptions ParseOptions) {
  Token->AddArgument(nullptr);
  Token->AddArgument(nullptr);
  TORVExprToken* Items = NewMarker();
  Token->AddArgument(Items);
  if (SkipSymbol(u"AS")) {
    TORVExprToken* As = NewMarker();
    Token->SetArgument(TableAsSlot, As);
    const bool Parentheses = SkipToken(u'(');
    TORVParseOptions QueryOptions = OptionsWithout(ParseOptions, poAllowInto);
    QueryOptions.Include(poNoOrderBy);
    QueryOptions.Include(poNoRange);
    TORVExprToken* Query = ParseQuery(QueryOptions);
    As->AddArgument(Query);
    if (Parentheses) {
      Query->FParentheses = true;
      ErrorIfNotSkipToken(u')');
    }
    ErrorIfNotSkipSymbol(u"WITH");
    if (SkipSymbol(u"NO")) {
      ErrorIfNotSkipSymbol(u"DATA");
      As->AddArgument(nullptr);
    } else {
      ErrorIfNotSkipSymbol(u"DATA");
      As->AddArgument(NewMarker());
    }
    return;
  }
  if (SkipSymbol(u"FROM")) {
    TORVExprToken* From = NewMarker();
    Token->SetArgument(TableFromSlot, From);
    if (SkipSymbol(u"PUBLISHED")) {
      ErrorIfNotSkipSymbol(u"UPDATES");
      From->SetNumArguments(TableFromStoreSlot + 1);
      if (SkipSymbol(u"TABLES")) {
        TORVExprToken* Tables = NewMarker();
        From->SetArgument(TableFromTablesSlot, Tables);
        do {
          Tables->AddArgument(ParseTableName(NoOptions, TORVString()));
        } while (SkipToken(u','));
      }
    } else if (SkipSymbol(u"UPDATES")) {
      From->SetNumArguments(TableFromStoreSlot + 1);
      From->SetArgument(TableFromUpdatesSlot, ParseUpdatesName());
      ErrorIfNotSkipSymbol(u"IN");
      ErrorIfNotSkipSymbol(u"STORE");
      From->SetArgument(TableFromStoreSlot, ParseStoreName());
    }
    return;
  }
  ErrorIfNotSkipToken(u'(');
  do {
    TORVExprToken* Item = GetNewExprToken(ttCLAUSE, toADD);
    Items->AddArgument(Item);
    if (CheckAnyWord(*this, ConstraintWords)) {
      Item->AddArgument(ParseTableConstraint(*this, ParseOptions));
    } else if (SkipSymbol(u"LIKE")) {
      Item->AddArgument(ParseLikeTable(*this, ParseOptions));
    } else {
      TORVExprToken* Column = ParseColumnName();
      Item->AddArgument(Column);
      ParseColumnDefinition(*this, Column, ParseOptions, CreateColumnEndWords);
    }
  } while (SkipToken(u','));
  ErrorIfNotSkipToken(u')');
}

void TORVExprParser::ParseTableAlter(TORVExprToken* Token, TORVParseOptions ParseOptions) {
  Token->AddArgument(nullptr);
  Token->AddArgument(nullptr);
  TORVExprToken* Items = NewMarker();
  Token->AddArgument(Items);
  static constexpr std::u16string_view ItemWords[] = {u"ADD", u"ALTER", u"RENAME", u"DROP"};
  static constexpr TORVTokenOperator ItemOperators[] = {toADD, toALTER, toRENAME, toDROP};
  if (!CheckAnyWord(*this, ItemWords)) return;
  do {
    TORVTokenOperator Operator = toNONE;
    for (int32_t I = 0; I < 4 && Operator == toNONE; ++I)
      if (CheckSymbol(ItemWords[I])) Operator = ItemOperators[I];
    if (Operator == toNONE) ExpectedExpression(u"ADD, ALTER, RENAME, DROP");
    TORVExprToken* Item = GetNewExprToken(ttCLAUSE, Operator);
    Items->AddArgument(Item);
    NextToken();
    if (CheckAnyWord(*this, ConstraintWords)) {
      Item->AddArgument(ParseAlterConstraint(*this, Operator, ParseOptions));
    } else {
      Item->AddArgument(ParseAlterColumn(*this, Operator, ParseOptions));
    }
  } while (SkipToken(u','));
}

void TORVExprParser::ParseTableExtensions(TORVExprToken* Token) {
  ParseOptionalValue(*this, Token, u"DESCRIPTION");
  ParseOptionalValue(*this, Token, u"VERSION");
  ParseFlag(*this, Token, u"READONLY", u"READWRITE", u"");
  ParseFlag(*this, Token, u"ENCRYPTED", u"UNENCRYPTED", u"");
  if (SkipSymbol(u"INDEX")) {
    ErrorIfNotSkipSymbol(u"PAGE");
    ParseRequiredValue(*this, Token, u"SIZE");
  } else {
    Token->AddArgument(nullptr);
  }
  if (SkipSymbol(u"BLOB")) {
    ErrorIfNotSkipSymbol(u"BLOCK");
    ParseRequiredValue(*this, Token, u"SIZE");
  } else {
    Token->AddArgument(nullptr);
  }
  if (SkipSymbol(u"PUBLISH")) {
    if (SkipSymbol(u"BLOCK")) {
      ParseRequiredValue(*this, Token, u"SIZE");
      if (SkipSymbol(u"PUBLISH")) {
        ParseRequiredValue(*this, Token, u"COMPRESSION");
      } else {
        Token->AddArgument(nullptr);
      }
    } else if (SkipSymbol(u"COMPRESSION")) {
      Token->AddArgument(nullptr);
      Token->AddArgument(ParseValue(NoOptions));
    } else {
      ExpectedExpression(u"BLOCK, COMPRESSION");
    }
  } else {
    Token->AddArgument(nullptr);
    Token->AddArgument(nullptr);
  }
  // The four buffer limits may come in any order, each once.
  static constexpr std::u16string_view Buffers[] = {u"ROW", u"INDEX", u"BLOB", u"PUBLISH"};
  Token->SetNumArguments(TableAttributesSlot);
  auto AnyEmpty = [&] {
    for (int32_t I = 0; I < 4; ++I)
      if (Token->GetArgument(TableMaxRowBufferSlot + I) == nullptr) return true;
    return false;
  };
  while (AnyEmpty() && SkipSymbol(u"MAX")) {
    int32_t Found = -1;
    TORVString Expected;
    for (int32_t I = 0; I < 4; ++I) {
      if (Token->GetArgument(TableMaxRowBufferSlot + I) != nullptr) continue;
      TORVExprTokenizer::AddExpected(Expected, Buffers[I]);
      if (Found < 0 && CheckSymbol(Buffers[I])) Found = I;
    }
    if (Found < 0) ExpectedExpression(Expected);
    NextToken();
    ErrorIfNotSkipSymbol(u"BUFFER");
    ErrorIfNotSkipSymbol(u"SIZE");
    Token->SetArgument(TableMaxRowBufferSlot + Found, ParseValue(NoOptions));
  }
  ParseOptionalValue(*this, Token, u"ATTRIBUTES");
  if (SkipSymbol(u"NO")) {
    ErrorIfNotSkipSymbol(u"BACKUP");
    ErrorIfNotSkipSymbol(u"FILES");
    Token->AddArgument(NewFlag(*this, true));
  } else {
    Token->AddArgument(nullptr);
  }
}

// ---------------------------------------------------------------------------
// Column clauses

TORVExprToken* TORVExprParser::ParseColumnCompress() {
  if (!CheckSymbol(u"COMPRESSION")) return nullptr;
  TORVPartialTree Clause(NewMarker());
  NextToken();
  Clause->AddArgument(ParseValue(NoOptions));
  return Clause.Release();
}

TORVExprToken* TORVExprParser::ParseColumnDefault(bool RequireKeyword) {
  if (RequireKeyword && !SkipSymbol(u"DEFAULT")) return nullptr;
  TORVPartialTree Clause(GetNewExprToken(ttCLAUSE, toDEFAULT));
  TORVExprToken* Value = ParseWithText(*this, Clause.Get(), [&] { return ParsePlusMinus(NoOptions); });
  Clause->AddArgument(Value);
  // A byte string whose text was cut from its quote gets its prefix back;
  // one cut from the X keeps it, so that the text parses again.
  if (Value->FDataType == dtBytes && !Clause->FTokenConstant.empty() && Clause->FTokenConstant.front() == u'\'')
    Clause->FTokenConstant = u"X" + Clause->FTokenConstant;
  return Clause.Release();
}

TORVExprToken* TORVExprParser::ParseColumnGenerate() {
  ErrorIfNotSkipSymbol(u"GENERATED");
  bool Always = false;
  if (SkipSymbol(u"ALWAYS")) {
    Always = true;
  } else if (SkipSymbol(u"BY")) {
    ErrorIfNotSkipSymbol(u"DEFAULT");
  } else {
    ExpectedExpression(u"ALWAYS, BY");
  }
  ErrorIfNotSkipSymbol(u"AS");
  if (!Always || CheckSymbol(u"IDENTITY")) {
    ErrorIfNotSkipSymbol(u"IDENTITY");
    TORVPartialTree Clause(GetNewExprToken(ttCLAUSE, Always ? toIDENTITY : toDEFAULTIDENTITY));
    Clause->SetNumArguments(IdentityIncrementSlot + 1);
    if (SkipToken(u'(')) {
      ErrorIfNotSkipSymbol(u"START");
      ErrorIfNotSkipSymbol(u"WITH");
      Clause->SetArgument(IdentityStartSlot, ParseValue(NoOptions));
      if (SkipToken(u',')) {
        ErrorIfNotSkipSymbol(u"INCREMENT");
        ErrorIfNotSkipSymbol(u"BY");
        Clause->SetArgument(IdentityIncrementSlot, ParseValue(NoOptions));
      }
      ErrorIfNotSkipToken(u')');
    }
    return Clause.Release();
  }
  TORVPartialTree Clause(GetNewExprToken(ttCLAUSE, toGENERATED));
  Clause->AddArgument(ParseWithText(*this, Clause.Get(), [&] { return ParseOr(TORVParseOptions{poCheckForNotNull}); }));
  return Clause.Release();
}

TORVExprToken* TORVExprParser::ParseColumnCompute() {
  ErrorIfNotSkipSymbol(u"COMPUTED");
  ErrorIfNotSkipSymbol(u"ALWAYS");
  ErrorIfNotSkipSymbol(u"AS");
  TORVPartialTree Clause(GetNewExprToken(ttCLAUSE, toCOMPUTED));
  Clause->AddArgument(
      ParseWithText(*this, Clause.Get(), [&] { return ParseOr(TORVParseOptions{poCheckForNotNull, poNoUDFs}); }));
  return Clause.Release();
}

namespace {

// ERROR CODE value MESSAGE value into the two slots of Clause.
void ParseErrorCodeMessage(TORVExprParser& P, TORVExprToken* Clause) {
  P.ErrorIfNotSkipSymbol(u"CODE");
  Clause->SetArgument(ErrorCodeSlot, P.ParseValue(NoOptions));
  P.ErrorIfNotSkipSymbol(u"MESSAGE");
  Clause->SetArgument(ErrorMessageSlot, P.ParseValue(NoOptions));
}

}  // namespace

TORVExprToken* TORVExprParser::ParseColumnRequired() {
  if (!CheckSymbol(u"NOT")) return nullptr;
  TORVPartialTree Clause(NewMarker());
  Clause->SetNumArguments(ErrorMessageSlot + 1);
  NextToken();
  ErrorIfNotSkipSymbol(u"NULL");
  if (SkipSymbol(u"ERROR")) ParseErrorCodeMessage(*this, Clause.Get());
  return Clause.Release();
}

TORVExprToken* TORVExprParser::ParseColumnDescription() {
  return SkipSymbol(u"DESCRIPTION") ? ParseValue(NoOptions) : nullptr;
}

TORVExprToken* TORVExprParser::ParseConstraintError() {
  if (!CheckSymbol(u"ERROR")) return nullptr;
  TORVPartialTree Clause(NewMarker());
  Clause->SetNumArguments(ErrorMessageSlot + 1);
  NextToken();
  ParseErrorCodeMessage(*this, Clause.Get());
  return Clause.Release();
}

TORVExprToken* TORVExprParser::ParseConstraintDescription() { return ParseColumnDescription(); }

// ---------------------------------------------------------------------------
// Constraints

TORVExprToken* TORVExprParser::ParseConstraint(TORVParseOptions ParseOptions) {
  TORVPartialTree Constraint(SkipSymbol(u"CONSTRAINT") ? ParseConstraintName()
                                                       : GetNewExprToken(ttCONSTRAINT, toNONE));
  ParseConstraintOptions(Constraint.Get(), ParseOptions);
  return Constraint.Release();
}

void TORVExprParser::ParseConstraintOptions(TORVExprToken* Token, TORVParseOptions ParseOptions) {
  const int32_t First = Token->GetNumArguments();
  auto Fill = [&] {
    while (Token->GetNumArguments() < First + ConstraintOptionSlotCount) Token->AddArgument(nullptr);
  };
  if (SkipSymbol(u"PRIMARY")) {
    ErrorIfNotSkipSymbol(u"KEY");
    Token->FTokenOperator = toPRIMARYKEY;
    Token->AddArgument(ParseColumnNames(ParseOptions));
    Fill();
    return;
  }
  if (SkipSymbol(u"UNIQUE")) {
    Token->FTokenOperator = toUNIQUE;
    Token->AddArgument(ParseColumnNames(ParseOptions));
    Fill();
    return;
  }
  if (SkipSymbol(u"CHECK")) {
    Token->FTokenOperator = toCHECK;
    Token->AddArgument(ParseWithText(*this, Token, [&] { return ParseOr(NoOptions); }));
    Fill();
    return;
  }
  if (SkipSymbol(u"FOREIGN")) {
    ErrorIfNotSkipSymbol(u"KEY");
    Token->AddArgument(ParseColumnNames(ParseOptions));
    ErrorIfNotSymbol(u"REFERENCES");
  } else if (CheckSymbol(u"REFERENCES") && !ParseOptions.Contains(poColumnsRequired)) {
    Token->AddArgument(nullptr);
  } else {
    ExpectedExpression(u"PRIMARY, UNIQUE, FOREIGN, REFERENCES, CHECK");
  }
  Token->FTokenOperator = toFOREIGNKEY;
  NextToken();
  Token->AddArgument(ParseTableName(OptionsWithout(ParseOptions, poAllowSchemaQualifier), TORVString()));
  TORVParseOptions Target = OptionsWithout(ParseOptions, poColumnsNotAllowed);
  Target.Include(poColumnsRequired);
  Token->AddArgument(ParseColumnNames(Target));
  ParseReferenceRules(Token);
}

void TORVExprParser::ParseReferenceRules(TORVExprToken* Token) {
  if (!SkipSymbol(u"ON")) {
    Token->AddArgument(nullptr);
    Token->AddArgument(nullptr);
    return;
  }
  if (SkipSymbol(u"UPDATE")) {
    Token->AddArgument(ParseReferenceRule());
    if (SkipSymbol(u"ON")) {
      ErrorIfNotSkipSymbol(u"DELETE");
      Token->AddArgument(ParseReferenceRule());
    } else {
      Token->AddArgument(nullptr);
    }
  } else if (SkipSymbol(u"DELETE")) {
    Token->AddArgument(nullptr);
    Token->AddArgument(ParseReferenceRule());
  } else {
    ExpectedExpression(u"UPDATE, DELETE");
  }
}

TORVExprToken* TORVExprParser::ParseReferenceRule() {
  TORVTokenOperator Rule = toNONE;
  if (CheckSymbol(u"CASCADE")) {
    Rule = toCASCADE;
  } else if (CheckSymbol(u"RESTRICT")) {
    Rule = toRESTRICT;
  } else if (CheckSymbol(u"SET")) {
    NextToken();
    if (CheckSymbol(u"NULL")) {
      Rule = toSETNULL;
    } else if (CheckSymbol(u"DEFAULT")) {
      Rule = toSETDEFAULT;
    } else {
      ExpectedExpression(u"NULL, DEFAULT");
    }
  } else if (SkipSymbol(u"NO")) {
    ErrorIfNotSkipSymbol(u"ACTION");
    return nullptr;
  } else {
    ExpectedExpression(u"CASCADE, SET, RESTRICT, NO");
  }
  TORVPartialTree Clause(GetNewExprToken(ttCLAUSE, Rule));
  NextToken();
  return Clause.Release();
}

TORVExprToken* TORVExprParser::ParseTriggerCondition(TORVParseOptions ParseOptions) {
  if (!SkipSymbol(u"WHEN")) return nullptr;
  TORVPartialTree Clause(NewMarker());
  Clause->AddArgument(ParseWithText(*this, Clause.Get(), [&] { return ParseOr(ParseOptions); }));
  return Clause.Release();
}

// ---------------------------------------------------------------------------
// Job schedules

TORVExprToken* TORVExprParser::ParseDays() {
  return ParseNameList(*this, JobDayNames, u"duplicate day specified", u"at least one day must be specified");
}

TORVExprToken* TORVExprParser::ParseMonths() {
  return ParseNameList(*this, JobMonthNames, u"duplicate month specified", u"at least one month must be specified");
}

TORVExprToken* TORVExprParser::ParseDay() {
  for (int32_t I = 0; I < JobDaysCount; ++I) {
    if (!CheckSymbol(JobDayNames[I])) continue;
    TORVPartialTree Day(GetNewExprToken(ttCONST, toNONE));
    Day->SetDataType(dtInteger);
    Day->FTokenConstant = IntToString(I + 1);
    NextToken();
    return Day.Release();
  }
  InvalidExpr(u"a day must be specified");
}

}  // namespace orv
