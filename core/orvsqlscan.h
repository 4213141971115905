// A light scanner of SQL text for the jobs that need no compiling: finding a
// keyword (the BEGIN of a routine's body), reading the first tokens of a
// stored statement, splitting a script at a terminator, turning named
// parameters (:name, :"a name") into "?" while collecting their names, and
// classifying a statement by its leading keywords. It knows blanks,
// comments, quoted strings, parameters, words and ODBC escape braces, and
// nothing of the grammar.
//
// The scanner never fails: an unterminated string, quoted parameter name or
// comment runs to the end of the text.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "base/orvtype.h"

namespace orv {

// What one call of ParseSQL keeps and where it stops.
enum TORVSQLScanMode : uint8_t {
  // Everything, to the end of the text.
  smPlain,
  // Everything up to the terminator, which is consumed but not kept.
  smStatement,
  // The characters of the next word only; strings, parameters and other
  // characters before it are skipped.
  smKeyword,
  // The next token: a word, a quoted string with its quotes, a parameter or
  // one other character.
  smToken,
};

// The statement kinds that SQLStatementType tells apart; the ordinals are
// its codes.
enum TORVSQLStatementType : uint8_t {
  stUnknown, stSelect, stInsert, stUpdate, stDelete,
  stCreateDatabase, stCreateUser, stCreateRole, stCreateJob, stCreateStore, stCreateModule, stCreateTextFilter,
  stCreateWordGenerator, stCreateMigrator, stCreateTable, stCreateView, stCreateIndex, stCreateTrigger,
  stCreateTextIndex, stCreateFunction, stCreateProcedure,
  stDropDatabase, stDropUser, stDropRole, stDropJob, stDropStore, stDropModule, stDropTextFilter,
  stDropWordGenerator, stDropMigrator, stDropTable, stDropView, stDropIndex, stDropTrigger, stDropFunction,
  stDropProcedure,
  stAlterDatabase, stAlterUser, stAlterRole, stAlterJob, stAlterStore, stAlterModule, stAlterTextFilter,
  stAlterWordGenerator, stAlterMigrator, stAlterTable, stAlterView, stAlterIndex, stAlterTrigger,
  stAlterFunction, stAlterProcedure,
  stRenameDatabase, stRenameUser, stRenameRole, stRenameJob, stRenameStore, stRenameModule, stRenameTextFilter,
  stRenameWordGenerator, stRenameMigrator, stRenameTable, stRenameView, stRenameIndex, stRenameTrigger,
  stRenameFunction, stRenameProcedure,
  stGrant, stRevoke, stRepairTable, stVerifyTable, stOptimizeTable, stEmptyTable, stExportTable, stImportTable,
  stSetBackupsStore, stBackupDatabase, stRestoreDatabase, stSetUpdatesStore, stSaveDatabaseUpdates,
  stLoadDatabaseUpdates, stPublishDatabase, stUnpublishDatabase, stSetMigrator, stMigrateDatabase,
  stDisconnectServerSession, stRemoveServerSession, stSetFilesStore, stCopyFile, stRenameFile, stDeleteFile,
  stSetInformationCollate, stCompareDatabase,
  stEnableJob, stEnableJobs, stEnableTrigger, stEnableTiggers, stEnableDefaults, stEnableGenerated,
  stEnableStatementLogging,
  stDisableJob, stDisableJobs, stDisableTrigger, stDisableTriggers, stDisableDefaults, stDisableGenerated,
  stDisableStatementLogging,
  stSetStatementCache, stSetProcedureCache,
};

// The codes of SQLStatementType beyond TORVSQLStatementType.
inline constexpr int32_t SQLScriptStatement = 108;
inline constexpr int32_t SQLCallStatement = 109;

// Receives the name of each named parameter that the scanner replaces by
// "?" (every such parameter is an input parameter); the caller's parameter
// collection is what the function object captures.
using TORVSQLParamEvent = std::function<void(const TORVString& Name)>;

// Scans SQL from Position (1-based; moved past everything consumed) in the
// given mode and returns the text kept. Outside statement and keyword mode a
// named parameter becomes "?" and its name goes to ParamCallback (when
// given); in statement mode it is kept as written. With ConvertEscapes the
// ODBC escapes of plain and statement mode are resolved: "{" and "}" are
// dropped, {escape, {fn and {oj drop their keyword, {ts, {d and {t become
// TIMESTAMP, DATE and TIME, and {call keeps the text up to its argument
// list and drops the list.
TORVString ParseSQL(std::u16string_view SQL, int32_t& Position, const TORVSQLParamEvent& ParamCallback,
                    TORVSQLScanMode Mode, char16_t Terminator, bool ConvertEscapes);

// The next word, the next token, or the next statement (with its leading
// blanks and comments, without the terminator). Callers loop while Position
// lies within the text; an empty result means nothing was left.
TORVString NextSQLKeyword(std::u16string_view SQL, int32_t& Position);
TORVString NextSQLToken(std::u16string_view SQL, int32_t& Position);
TORVString NextSQLStatement(std::u16string_view SQL, int32_t& Position, char16_t Terminator = u';');

// The TORVSQLStatementType of SQL's leading keywords (any case), or
// SQLScriptStatement or SQLCallStatement; stUnknown when they name nothing.
int32_t SQLStatementType(std::u16string_view SQL);

}  // namespace orv
