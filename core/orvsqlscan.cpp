#include "core/orvsqlscan.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <limits>

#include "core/orvcollation.h"
#include "core/orvstrings.h"
#include "core/orvwords.h"

namespace orv {

namespace {

constexpr std::size_t NoEnd = std::u16string_view::npos;

bool IsQuote(char16_t C) { return C == u'\'' || C == u'"'; }

// One pass of ParseSQL. Position is 0-based here and never passes the end of
// the text; every step consumes at least one character, so a pass ends.
class TORVSQLScanner {
 public:
  TORVSQLScanner(std::u16string_view SQL, std::size_t Position, const TORVSQLParamEvent& ParamCallback,
                 TORVSQLScanMode Mode, char16_t Terminator, bool ConvertEscapes)
      : FSQL(SQL), FPosition(Position), FParamCallback(ParamCallback), FMode(Mode), FTerminator(Terminator),
        FConvertEscapes(ConvertEscapes && (Mode == smPlain || Mode == smStatement)) {}

  TORVString Scan();
  std::size_t GetPosition() const { return FPosition; }

 private:
  bool KeepsBlanks() const { return FMode == smPlain || FMode == smStatement; }
  bool KeepsOthers() const { return FMode != smKeyword; }
  bool AtText(std::u16string_view Text) const { return FSQL.substr(FPosition, Text.size()) == Text; }
  // Consumes up to End (the end of the text when NoEnd), keeping it when Keep.
  void Consume(std::size_t End, bool Keep);
  void SkipBlanksAndComments();
  // The end of the string whose quote is at Start: after its closing quote,
  // or the end of the text.
  std::size_t StringEnd(std::size_t Start) const;
  std::size_t WordEnd(std::size_t Start) const;
  void ScanParameter();
  void ScanEscape();

  std::u16string_view FSQL;
  std::size_t FPosition;
  const TORVSQLParamEvent& FParamCallback;
  TORVSQLScanMode FMode;
  char16_t FTerminator;
  bool FConvertEscapes;
  TORVString FOutput;
};

void TORVSQLScanner::Consume(std::size_t End, bool Keep) {
  End = std::min(End, FSQL.size());
  if (Keep) FOutput.append(FSQL.substr(FPosition, End - FPosition));
  FPosition = End;
}

void TORVSQLScanner::SkipBlanksAndComments() {
  while (FPosition < FSQL.size()) {
    if (NonPrintableChars().CharInSet(FSQL[FPosition])) {
      Consume(FPosition + 1, KeepsBlanks());
    } else if (AtText(u"--")) {
      Consume(FSQL.find_first_of(u"\r\n", FPosition), KeepsBlanks());
    } else if (AtText(u"/*")) {
      const std::size_t Close = FSQL.find(u"*/", FPosition + 2);
      Consume(Close == NoEnd ? NoEnd : Close + 2, KeepsBlanks());
    } else {
      return;
    }
  }
}

std::size_t TORVSQLScanner::StringEnd(std::size_t Start) const {
  const char16_t Quote = FSQL[Start];
  std::size_t I = Start + 1;
  while ((I = FSQL.find(Quote, I)) != NoEnd) {
    if (I + 1 >= FSQL.size() || FSQL[I + 1] != Quote) return I + 1;
    I += 2;
  }
  return FSQL.size();
}

std::size_t TORVSQLScanner::WordEnd(std::size_t Start) const {
  while (Start < FSQL.size() && IsAlphaNumeric(FSQL[Start])) ++Start;
  return Start;
}

void TORVSQLScanner::ScanParameter() {
  const std::size_t NameStart = FPosition + 1;
  std::size_t End;
  TORVString Name;
  if (NameStart < FSQL.size() && FSQL[NameStart] == u'"') {
    const std::size_t Close = FSQL.find(u'"', NameStart + 1);
    End = Close == NoEnd ? FSQL.size() : Close + 1;
    Name = FSQL.substr(NameStart + 1, (Close == NoEnd ? FSQL.size() : Close) - NameStart - 1);
  } else {
    End = WordEnd(NameStart);
    Name = FSQL.substr(NameStart, End - NameStart);
  }
  // A parameter is no keyword: keeping "?" in keyword mode would glue it to
  // the next word.
  if (FMode == smKeyword) {
    Consume(End, false);
  } else if (FMode == smStatement || Name.empty()) {
    Consume(End, true);
  } else {
    FPosition = End;
    if (FParamCallback) FParamCallback(Name);
    FOutput += u'?';
  }
}

void TORVSQLScanner::ScanEscape() {
  ++FPosition;
  const std::size_t End = WordEnd(FPosition);
  const TORVString Keyword = UpperStringOrdinal(FSQL.substr(FPosition, End - FPosition));
  if (Keyword == u"ESCAPE" || Keyword == u"FN" || Keyword == u"OJ") {
    FPosition = End;
  } else if (Keyword == u"TS" || Keyword == u"D" || Keyword == u"T") {
    FOutput += Keyword == u"TS" ? u"TIMESTAMP " : (Keyword == u"D" ? u"DATE " : u"TIME ");
    FPosition = End;
  } else if (Keyword == u"CALL") {
    const std::size_t Open = FSQL.find_first_of(u"(}", End);
    Consume(Open, true);
    if (FPosition >= FSQL.size() || FSQL[FPosition] != u'(') return;
    // Drop the argument list up to its matching parenthesis.
    int32_t Depth = 0;
    while (FPosition < FSQL.size()) {
      const char16_t C = FSQL[FPosition];
      if (IsQuote(C)) {
        FPosition = StringEnd(FPosition);
        continue;
      }
      ++FPosition;
      if (C == u'(') ++Depth;
      if (C == u')' && --Depth == 0) return;
    }
  }
}

TORVString TORVSQLScanner::Scan() {
  while (true) {
    SkipBlanksAndComments();
    if (FPosition >= FSQL.size()) break;
    const char16_t C = FSQL[FPosition];
    if (IsQuote(C)) {
      Consume(StringEnd(FPosition), KeepsOthers());
      if (FMode == smToken) break;
    } else if (C == u':') {
      ScanParameter();
      if (FMode == smToken) break;
    } else if (FConvertEscapes && C == u'{') {
      ScanEscape();
    } else if (FConvertEscapes && C == u'}') {
      ++FPosition;
    } else if (FMode == smStatement && C == FTerminator) {
      ++FPosition;
      break;
    } else if (IsAlphaNumeric(C)) {
      Consume(WordEnd(FPosition), true);
      if (FMode == smKeyword || FMode == smToken) break;
    } else {
      // A character outside the basic plane is one character, not two.
      const bool Pair = IsHighSurrogate(C) && FPosition + 1 < FSQL.size() && IsLowSurrogate(FSQL[FPosition + 1]);
      Consume(FPosition + (Pair ? 2 : 1), KeepsOthers());
      if (FMode == smToken) break;
    }
  }
  return std::move(FOutput);
}

// Callers hold these codes as numbers (108 and 109 have no kind), so the
// enumeration keeps its order.
static_assert(stCreateDatabase == 5 && stDropDatabase == 21 && stAlterDatabase == 36 && stRenameDatabase == 51);
static_assert(stGrant == 66 && stSetBackupsStore == 74 && stDeleteFile == 89 && stEnableJob == 92);
static_assert(stDisableStatementLogging == 105 && stSetProcedureCache == 107 && SQLScriptStatement == 108);

// The leading words of a statement kind; an empty word ends the list.
struct TORVStatementWords {
  const char16_t* Words[3];
  int32_t Code;
};

// Longer word lists come before the shorter ones they begin with.
constexpr TORVStatementWords StatementWords[] = {
    {{u"SELECT"}, stSelect},
    {{u"INSERT"}, stInsert},
    {{u"UPDATE"}, stUpdate},
    {{u"DELETE", u"FILE"}, stDeleteFile},
    {{u"DELETE"}, stDelete},
    {{u"CREATE", u"DATABASE"}, stCreateDatabase},
    {{u"CREATE", u"USER"}, stCreateUser},
    {{u"CREATE", u"ROLE"}, stCreateRole},
    {{u"CREATE", u"JOB"}, stCreateJob},
    {{u"CREATE", u"STORE"}, stCreateStore},
    {{u"CREATE", u"MODULE"}, stCreateModule},
    {{u"CREATE", u"TEXT", u"FILTER"}, stCreateTextFilter},
    {{u"CREATE", u"WORD"}, stCreateWordGenerator},
    {{u"CREATE", u"MIGRATOR"}, stCreateMigrator},
    {{u"CREATE", u"TABLE"}, stCreateTable},
    {{u"CREATE", u"TEMPORARY"}, stCreateTable},
    {{u"CREATE", u"VIEW"}, stCreateView},
    {{u"CREATE", u"INDEX"}, stCreateIndex},
    {{u"CREATE", u"TRIGGER"}, stCreateTrigger},
    {{u"CREATE", u"TEXT", u"INDEX"}, stCreateTextIndex},
    {{u"CREATE", u"FUNCTION"}, stCreateFunction},
    {{u"CREATE", u"PROCEDURE"}, stCreateProcedure},
    {{u"RENAME", u"FILE"}, stRenameFile},
    {{u"GRANT"}, stGrant},
    {{u"REVOKE"}, stRevoke},
    {{u"REPAIR", u"TABLE"}, stRepairTable},
    {{u"VERIFY", u"TABLE"}, stVerifyTable},
    {{u"OPTIMIZE", u"TABLE"}, stOptimizeTable},
    {{u"EMPTY", u"TABLE"}, stEmptyTable},
    {{u"EXPORT", u"TABLE"}, stExportTable},
    {{u"IMPORT", u"TABLE"}, stImportTable},
    {{u"SET", u"BACKUPS"}, stSetBackupsStore},
    {{u"SET", u"UPDATES"}, stSetUpdatesStore},
    {{u"SET", u"FILES"}, stSetFilesStore},
    {{u"SET", u"INFORMATION"}, stSetInformationCollate},
    {{u"SET", u"MIGRATOR"}, stSetMigrator},
    {{u"SET", u"STATEMENT"}, stSetStatementCache},
    {{u"SET", u"PROCEDURE"}, stSetProcedureCache},
    {{u"BACKUP", u"DATABASE"}, stBackupDatabase},
    {{u"RESTORE", u"DATABASE"}, stRestoreDatabase},
    {{u"SAVE", u"UPDATES"}, stSaveDatabaseUpdates},
    {{u"LOAD", u"UPDATES"}, stLoadDatabaseUpdates},
    {{u"PUBLISH"}, stPublishDatabase},
    {{u"UNPUBLISH"}, stUnpublishDatabase},
    {{u"MIGRATE", u"DATABASE"}, stMigrateDatabase},
    {{u"COMPARE", u"DATABASE"}, stCompareDatabase},
    {{u"DISCONNECT", u"SERVER", u"SESSION"}, stDisconnectServerSession},
    {{u"REMOVE", u"SERVER", u"SESSION"}, stRemoveServerSession},
    {{u"COPY", u"FILE"}, stCopyFile},
    {{u"ENABLE", u"JOB"}, stEnableJob},
    {{u"ENABLE", u"JOBS"}, stEnableJobs},
    {{u"ENABLE", u"TRIGGER"}, stEnableTrigger},
    {{u"ENABLE", u"TRIGGERS"}, stEnableTiggers},
    {{u"ENABLE", u"DEFAULTS"}, stEnableDefaults},
    {{u"ENABLE", u"GENERATED"}, stEnableGenerated},
    {{u"ENABLE", u"STATEMENT"}, stEnableStatementLogging},
    {{u"DISABLE", u"JOB"}, stDisableJob},
    {{u"DISABLE", u"JOBS"}, stDisableJobs},
    {{u"DISABLE", u"TRIGGER"}, stDisableTrigger},
    {{u"DISABLE", u"TRIGGERS"}, stDisableTriggers},
    {{u"DISABLE", u"DEFAULTS"}, stDisableDefaults},
    {{u"DISABLE", u"GENERATED"}, stDisableGenerated},
    {{u"DISABLE", u"STATEMENT"}, stDisableStatementLogging},
    {{u"SCRIPT"}, SQLScriptStatement},
    {{u"CALL"}, SQLCallStatement},
};

// The objects of DROP, ALTER and RENAME, in the order of their codes.
constexpr const char16_t* ObjectWords[] = {u"DATABASE", u"USER",  u"ROLE",    u"JOB",      u"STORE",
                                           u"MODULE",   u"TEXT",  u"WORD",    u"MIGRATOR", u"TABLE",
                                           u"VIEW",     u"INDEX", u"TRIGGER", u"FUNCTION", u"PROCEDURE"};

struct TORVObjectStatement {
  const char16_t* Verb;
  int32_t FirstCode;
};

constexpr TORVObjectStatement ObjectStatements[] = {
    {u"DROP", stDropDatabase},
    {u"ALTER", stAlterDatabase},
    {u"RENAME", stRenameDatabase},
};

}  // namespace

TORVString ParseSQL(std::u16string_view SQL, int32_t& Position, const TORVSQLParamEvent& ParamCallback,
                    TORVSQLScanMode Mode, char16_t Terminator, bool ConvertEscapes) {
  const std::size_t Start =
      Position < 1 ? 0 : std::min(static_cast<std::size_t>(Position) - 1, SQL.size());
  TORVSQLScanner Scanner(SQL, Start, ParamCallback, Mode, Terminator, ConvertEscapes);
  TORVString Result = Scanner.Scan();
  Position = static_cast<int32_t>(
      std::min<std::size_t>(Scanner.GetPosition() + 1, std::numeric_limits<int32_t>::max()));
  return Result;
}

TORVString NextSQLKeyword(std::u16string_view SQL, int32_t& Position) {
  return ParseSQL(SQL, Position, {}, smKeyword, u';', false);
}

TORVString NextSQLToken(std::u16string_view SQL, int32_t& Position) {
  return ParseSQL(SQL, Position, {}, smToken, u';', false);
}

TORVString NextSQLStatement(std::u16string_view SQL, int32_t& Position, char16_t Terminator) {
  return ParseSQL(SQL, Position, {}, smStatement, Terminator, false);
}

int32_t SQLStatementType(std::u16string_view SQL) {
  int32_t Position = 1;
  TORVString Words[3];
  for (TORVString& Word : Words) Word = NextSQLKeyword(SQL, Position);
  const auto Matches = [&Words](const char16_t* const* Expected) {
    for (std::size_t I = 0; I < 3 && Expected[I] != nullptr; ++I) {
      if (!SameString(Words[I], Expected[I])) return false;
    }
    return true;
  };
  for (const TORVStatementWords& Entry : StatementWords) {
    if (Matches(Entry.Words)) return Entry.Code;
  }
  for (const TORVObjectStatement& Statement : ObjectStatements) {
    if (!SameString(Words[0], Statement.Verb)) continue;
    for (std::size_t I = 0; I < std::size(ObjectWords); ++I) {
      if (SameString(Words[1], ObjectWords[I])) return Statement.FirstCode + static_cast<int32_t>(I);
    }
  }
  return stUnknown;
}

}  // namespace orv
