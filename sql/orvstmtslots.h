// The fixed argument slots of statement nodes (ttDYNSTATEMENT), one list per
// statement form, and the object kinds that the statement nodes of CREATE,
// ALTER, DROP, RENAME, ENABLE, DISABLE, SET and RESET carry in FTokenID.
// The parser writes these slots; validation, the builder, the evaluator and
// the tests read them by these names only. A slot whose clause is not written
// holds nil, so every slot keeps its index whatever is given; a flag without
// a value is an empty ttCLAUSE marker, or a ttCONST "TRUE" where noted.
#pragma once

#include <cstdint>
#include <string_view>

#include "sql/orvtokenslots.h"

namespace orv {

// The object a statement acts on, by the code the evaluator dispatches on.
// The codes are stored with statement trees and never change.
enum TORVDDLObjectKind : uint8_t {
  dokNone = 0,
  dokDatabase = 1,
  dokFunction = 3,
  dokIndex = 4,
  dokJob = 5,
  dokStore = 6,
  dokMigrator = 7,
  dokProcedure = 8,
  dokRole = 9,
  dokTable = 10,
  dokTextFilter = 11,
  dokTextIndex = 12,
  dokTrigger = 13,
  dokUser = 14,
  dokView = 15,
  dokWordGenerator = 16,
  dokModule = 17,
  dokServerSessionStatistics = 18,
  dokColumnDefaults = 19,
  dokGeneratedColumns = 20,
  dokBackupsStore = 21,
  dokFilesStore = 22,
  dokUpdatesStore = 23,
  dokInformationCollation = 24,
  dokStatementLogging = 25,
};

// IMPORT and EXPORT: the file format in the statement's FTokenID and the
// encoding in the FTokenID of the encoding marker.
inline constexpr int32_t ImportFormatDelimited = 0;
inline constexpr int32_t ImportFormatXML = 1;
inline constexpr int32_t ImportEncodingAuto = -1;
inline constexpr int32_t ImportEncodingANSI = 0;
inline constexpr int32_t ImportEncodingUnicode = 1;

// PUBLISH: the mode in the FTokenID of the BY marker.
inline constexpr int32_t PublishByColumn = 0;
inline constexpr int32_t PublishByRow = 1;

// A CREATE TEMPORARY TABLE marks its table name with this FTokenID.
inline constexpr int32_t TemporaryTableID = 1;

// ---------------------------------------------------------------- data changes

// INSERT, UPDATE and DELETE hold one ttQUERY node whose slots have their own
// meanings (the FROM and WHERE slots keep the query's positions).
inline constexpr int32_t DmlQuerySlot = 0;

inline constexpr int32_t DmlParametersSlot = QueryParametersSlot;  // empty clause
inline constexpr int32_t DmlMergeWordSlot = QueryMergeWordSlot;    // empty clause
// INSERT: clause of target ttCOLUMNREF; UPDATE: clause of the assigned
// columns; DELETE: nil.
inline constexpr int32_t DmlColumnsSlot = 2;
// INSERT: clause of VALUES row values; UPDATE: clause of the new values, in
// the order of the columns; DELETE: nil.
inline constexpr int32_t DmlValuesSlot = 3;
inline constexpr int32_t DmlSourceQuerySlot = 4;  // INSERT: the source ttQUERY, else nil
inline constexpr int32_t DmlNilSlot5 = 5;         // always nil
// Clause holding the one target ttTABLEREF, whose own three slots are those
// of a FROM table (TableRefQuerySlot nil).
inline constexpr int32_t DmlTableSlot = QueryFromSlot;
inline constexpr int32_t DmlWhereSlot = QueryWhereSlot;  // UPDATE, DELETE: clause holding the condition, or nil
inline constexpr int32_t InsertQuerySlotCount = DmlTableSlot + 1;
inline constexpr int32_t DmlQuerySlotCount = DmlWhereSlot + 1;

// DELETE FILE (toDELETEFILE).
inline constexpr int32_t DeleteFileFileSlot = 0;
inline constexpr int32_t DeleteFileStoreSlot = 1;

// ------------------------------------------------------- CREATE, ALTER, DROP

// The object's name token comes first in every CREATE, ALTER and DROP form.
inline constexpr int32_t ObjectNameSlot = 0;

// CREATE and ALTER of MODULE, WORD GENERATOR and MIGRATOR.
inline constexpr int32_t ModulePathSlot = 1;            // MODULE: the path value
inline constexpr int32_t ModuleObjectModuleSlot = 1;    // WORD GENERATOR, MIGRATOR: ttMODULE (nil in ALTER)
inline constexpr int32_t ModuleDescriptionSlot = 2;     // description or nil
// CREATE and ALTER TEXT FILTER.
inline constexpr int32_t TextFilterTypeSlot = 1;         // type value (nil in ALTER)
inline constexpr int32_t TextFilterModuleSlot = 2;       // ttMODULE (nil in ALTER)
inline constexpr int32_t TextFilterDescriptionSlot = 3;  // description or nil

// ------------------------------------------------ CREATE and ALTER definitions
//
// CREATE and ALTER of one kind share their slots; a clause that is not
// written leaves its slot nil. A Boolean flag is a ttCONST of type Boolean,
// "TRUE" or "FALSE".

// DATABASE.
inline constexpr int32_t DatabasePathSlot = 1;         // PATH value; nil for IN MEMORY
inline constexpr int32_t DatabaseEncryptedSlot = 2;    // Boolean: ENCRYPTED or UNENCRYPTED CATALOG
inline constexpr int32_t DatabaseDescriptionSlot = 3;
inline constexpr int32_t DatabaseAttributesSlot = 4;

// USER.
inline constexpr int32_t UserPasswordSlot = 1;
inline constexpr int32_t UserDescriptionSlot = 2;
inline constexpr int32_t UserAttributesSlot = 3;

// ROLE.
inline constexpr int32_t RoleDescriptionSlot = 1;
inline constexpr int32_t RoleAttributesSlot = 2;

// STORE: a local store fills the path, a remote one the slots from the
// address to the ping.
inline constexpr int32_t StorePathSlot = 1;
inline constexpr int32_t StoreAddressSlot = 2;
inline constexpr int32_t StoreHostSlot = 3;
inline constexpr int32_t StorePortSlot = 4;
inline constexpr int32_t StoreServiceSlot = 5;
inline constexpr int32_t StoreUserSlot = 6;            // ttUSER
inline constexpr int32_t StorePasswordSlot = 7;
inline constexpr int32_t StoreRemoteStoreSlot = 8;     // ttSTORE: the store's name on the remote server
inline constexpr int32_t StoreSignatureSlot = 9;
inline constexpr int32_t StoreEncryptedSlot = 10;      // marker for ENCRYPTED
inline constexpr int32_t StoreEncryptionPasswordSlot = 11;
inline constexpr int32_t StoreCompressionSlot = 12;
inline constexpr int32_t StoreTimeoutSlot = 13;
inline constexpr int32_t StorePingSlot = 14;
inline constexpr int32_t StoreDescriptionSlot = 15;
inline constexpr int32_t StoreAttributesSlot = 16;

// JOB: the ttJOB name token carries the routine slots (sql/orvroutineslots.h).
inline constexpr int32_t JobRunAsSlot = 1;        // ttUSER
inline constexpr int32_t JobFromSlot = 2;
inline constexpr int32_t JobToSlot = 3;
inline constexpr int32_t JobScheduleSlot = 4;     // marker whose FTokenID is the schedule kind
inline constexpr int32_t JobIntervalSlot = 5;     // EVERY value
inline constexpr int32_t JobDaysSlot = 6;         // ON days: clause of seven day slots, Monday first
inline constexpr int32_t JobDayOfMonthSlot = 7;   // MONTHLY ON DAY value
inline constexpr int32_t JobOrdinalSlot = 8;      // MONTHLY ON [ordinal] day: the ordinal constant
inline constexpr int32_t JobMonthsSlot = 9;       // OF months: clause of twelve month slots
inline constexpr int32_t JobBetweenSlot = 10;
inline constexpr int32_t JobAndSlot = 11;
inline constexpr int32_t JobCategorySlot = 12;
inline constexpr int32_t JobDescriptionSlot = 13;
inline constexpr int32_t JobVersionSlot = 14;
inline constexpr int32_t JobAttributesSlot = 15;
// The ordinal constant holds the day of the week (ParseDay) in this slot.
inline constexpr int32_t JobOrdinalDaySlot = 0;
inline constexpr int32_t JobDaysCount = 7;
inline constexpr int32_t JobMonthsCount = 12;
// The day and month names of schedules, by slot, in the spelling the day
// and month constants carry.
inline constexpr std::u16string_view JobDayNames[JobDaysCount] = {u"Mon", u"Tue", u"Wed", u"Thu",
                                                                 u"Fri", u"Sat", u"Sun"};
inline constexpr std::u16string_view JobMonthNames[JobMonthsCount] = {
    u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun", u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};

// The schedule kinds, stored with jobs.
enum TORVJobSchedule : int32_t {
  jsOnce = 0,
  jsDaily = 1,
  jsWeekly = 2,
  jsMonthly = 3,
  jsEveryDays = 4,
  jsEveryWeeks = 5,
  jsHourly = 6,
  jsEveryHours = 7,
  jsEveryMinutes = 8,
  jsAtServerStart = 9,
};

// TRIGGER: the ttTRIGGER name token carries the routine slots, its timing
// in FTokenOperator and its operation in FTokenID.
inline constexpr int32_t TriggerColumnsSlot = 1;      // OF columns: clause of ttCOLUMN, or nil
// TriggerTableSlot (2, below) holds the table after ON.
inline constexpr int32_t TriggerPositionSlot = 3;     // AT value
inline constexpr int32_t TriggerConditionSlot = 4;    // WHEN clause, its slot 0 the condition
inline constexpr int32_t TriggerDescriptionSlot = 5;
inline constexpr int32_t TriggerInsertID = 1;
inline constexpr int32_t TriggerUpdateID = 2;
inline constexpr int32_t TriggerDeleteID = 3;
inline constexpr int32_t TriggerAllID = 4;
inline constexpr int32_t TriggerLoadUpdateID = 5;

// FUNCTION and PROCEDURE: the name token carries the routine slots.
inline constexpr int32_t StoredRoutineDescriptionSlot = 1;
inline constexpr int32_t StoredRoutineVersionSlot = 2;
inline constexpr int32_t StoredRoutineAttributesSlot = 3;

// VIEW.
inline constexpr int32_t ViewQuerySlot = 1;
inline constexpr int32_t ViewCheckOptionSlot = 2;  // Boolean: WITH or WITHOUT CHECK OPTION
inline constexpr int32_t ViewDescriptionSlot = 3;
inline constexpr int32_t ViewVersionSlot = 4;
inline constexpr int32_t ViewAttributesSlot = 5;

// INDEX and TEXT INDEX; a plain index leaves the three text index slots nil.
inline constexpr int32_t IndexTableSlot = 1;
inline constexpr int32_t IndexColumnsSlot = 2;        // clause of ttCOLUMN, each with the slots below
inline constexpr int32_t IndexDescriptionSlot = 3;
inline constexpr int32_t IndexWordLengthSlot = 4;     // INDEXED WORD LENGTH value
inline constexpr int32_t IndexFilterTypeSlot = 5;     // FILTER TYPE COLUMN: ttCOLUMN
inline constexpr int32_t IndexWordGeneratorSlot = 6;  // WORD GENERATOR: ttWORDGEN
inline constexpr int32_t IndexExtensionsSlot = 7;     // Boolean TRUE for NO BACKUP FILES
// An index column: always nil, the COLLATE clause, and (plain indexes only)
// the ASC or DESC clause.
inline constexpr int32_t IndexColumnNilSlot = 0;
inline constexpr int32_t IndexColumnCollateSlot = 1;
inline constexpr int32_t IndexColumnDirectionSlot = 2;

// TABLE: the name, the three definition slots, then the extensions.
inline constexpr int32_t TableAsSlot = 1;           // CREATE ... AS: clause below
inline constexpr int32_t TableFromSlot = 2;         // CREATE ... FROM: clause below
inline constexpr int32_t TableDefinitionsSlot = 3;  // clause of toADD (CREATE) or alteration items
inline constexpr int32_t TableDescriptionSlot = 4;
inline constexpr int32_t TableVersionSlot = 5;
inline constexpr int32_t TableReadOnlySlot = 6;     // Boolean: READONLY or READWRITE
inline constexpr int32_t TableEncryptedSlot = 7;    // Boolean: ENCRYPTED or UNENCRYPTED
inline constexpr int32_t TableIndexPageSizeSlot = 8;
inline constexpr int32_t TableBlobBlockSizeSlot = 9;
inline constexpr int32_t TablePublishBlockSizeSlot = 10;
inline constexpr int32_t TablePublishCompressionSlot = 11;
inline constexpr int32_t TableMaxRowBufferSlot = 12;
inline constexpr int32_t TableMaxIndexBufferSlot = 13;
inline constexpr int32_t TableMaxBlobBufferSlot = 14;
inline constexpr int32_t TableMaxPublishBufferSlot = 15;
inline constexpr int32_t TableAttributesSlot = 16;
inline constexpr int32_t TableNoBackupFilesSlot = 17;  // Boolean TRUE
inline constexpr int32_t TableSlotCount = 18;
// The AS clause.
inline constexpr int32_t TableAsQuerySlot = 0;
inline constexpr int32_t TableAsWithDataSlot = 1;  // marker for WITH DATA, nil for WITH NO DATA
// The FROM clause: PUBLISHED UPDATES fills the first slot (or none), UPDATES
// name IN STORE the other two.
inline constexpr int32_t TableFromTablesSlot = 0;   // clause of ttTABLE, or nil
inline constexpr int32_t TableFromUpdatesSlot = 1;  // ttUPDATES
inline constexpr int32_t TableFromStoreSlot = 2;    // ttSTORE

// An item of the definitions clause: a toADD, toALTER, toRENAME or toDROP
// clause holding a column, a constraint or a LIKE table.
inline constexpr int32_t DefinitionItemSlot = 0;

// A LIKE table's six INCLUDING slots, each a marker or nil.
inline constexpr int32_t LikeIdentitySlot = 0;
inline constexpr int32_t LikeDefaultsSlot = 1;
inline constexpr int32_t LikeGeneratedSlot = 2;
inline constexpr int32_t LikeConstraintsSlot = 3;
inline constexpr int32_t LikeIndexesSlot = 4;
inline constexpr int32_t LikeTriggersSlot = 5;
inline constexpr int32_t LikeSlotCount = 6;
// The word after INCLUDING or EXCLUDING for each slot.
inline constexpr std::u16string_view LikeKindNames[LikeSlotCount] = {u"IDENTITY",    u"DEFAULTS", u"GENERATED",
                                                                     u"CONSTRAINTS", u"INDEXES",  u"TRIGGERS"};

// A column (ttCOLUMN) of CREATE TABLE (six slots) or of an ALTER TABLE item
// (eight). ALTER column forms other than AS mark the column's operator
// (toMOVECOLUMN, toSETDEFAULT, toDROPDEFAULT, toSETDESC, toRESTARTIDENTITY)
// and fill only their own slot. RENAME puts the new ttCOLUMN in slot 0;
// DROP gives the column no slots.
inline constexpr int32_t ColumnDataTypeSlot = 0;    // ttDATATYPE
inline constexpr int32_t ColumnCompressionSlot = 1; // clause, slot 0 the value
inline constexpr int32_t ColumnValueSlot = 2;       // toDEFAULT, toIDENTITY, toDEFAULTIDENTITY, toGENERATED or toCOMPUTED clause
inline constexpr int32_t ColumnRequiredSlot = 3;    // NOT NULL clause (error code and message slots)
inline constexpr int32_t ColumnConstraintsSlot = 4; // clause of ttCONSTRAINT
inline constexpr int32_t ColumnDescriptionSlot = 5;
inline constexpr int32_t ColumnPositionSlot = 6;    // AT or MOVE TO value
inline constexpr int32_t ColumnRestartSlot = 7;     // RESTART WITH value
inline constexpr int32_t CreateColumnSlotCount = 6;
inline constexpr int32_t AlterColumnSlotCount = 8;
inline constexpr int32_t RenameNewColumnSlot = 0;

// The expression of a default, generated or computed clause, and the two
// values of an identity clause.
inline constexpr int32_t ColumnExpressionSlot = 0;
inline constexpr int32_t IdentityStartSlot = 0;
inline constexpr int32_t IdentityIncrementSlot = 1;
// An error clause (NOT NULL, constraints): ERROR CODE value MESSAGE value.
inline constexpr int32_t ErrorCodeSlot = 0;
inline constexpr int32_t ErrorMessageSlot = 1;

// A constraint (ttCONSTRAINT); its operator is its kind.
inline constexpr int32_t ConstraintColumnsSlot = 0;      // clause of ttCOLUMN, nil for a column constraint
inline constexpr int32_t ConstraintConditionSlot = 0;    // CHECK: the condition
inline constexpr int32_t ConstraintTableSlot = 1;        // FOREIGN KEY: the referenced ttTABLE
inline constexpr int32_t ConstraintTargetColumnsSlot = 2;
inline constexpr int32_t ConstraintUpdateRuleSlot = 3;   // toCASCADE, toSETNULL, toSETDEFAULT, toRESTRICT clause, or nil
inline constexpr int32_t ConstraintDeleteRuleSlot = 4;
inline constexpr int32_t ConstraintErrorSlot = 5;        // error clause or nil
inline constexpr int32_t ConstraintDescriptionSlot = 6;  // table constraints only
inline constexpr int32_t ConstraintOptionSlotCount = 5;
// ALTER CONSTRAINT name DESCRIPTION value (toSETDESC): the description
// follows five nil slots.
inline constexpr int32_t ConstraintSetDescriptionSlot = 5;
inline constexpr int32_t RenameNewConstraintSlot = 0;

// DROP DATABASE and DROP STORE.
inline constexpr int32_t DropKeepContentsSlot = 1;  // marker or nil
// DROP INDEX: the index, its table, nil up to the extension slot of the
// index definition.
inline constexpr int32_t DropIndexTableSlot = 1;
inline constexpr int32_t DropIndexExtensionsSlot = IndexExtensionsSlot;
// DROP TRIGGER, and ENABLE or DISABLE TRIGGER(S): the trigger (nil for
// TRIGGERS), nil, the table.
inline constexpr int32_t TriggerNilSlot1 = 1;
inline constexpr int32_t TriggerTableSlot = 2;

// ---------------------------------------------------------------- RENAME

inline constexpr int32_t RenameOldNameSlot = 0;
inline constexpr int32_t RenameNewNameSlot = 1;
// RENAME INDEX index ON table TO index.
inline constexpr int32_t RenameIndexTableSlot = 1;
inline constexpr int32_t RenameIndexNewNameSlot = 2;
// RENAME TRIGGER trigger ON table TO trigger.
inline constexpr int32_t RenameTriggerTableSlot = 2;
inline constexpr int32_t RenameTriggerNewNameSlot = 3;
// RENAME FILE (toRENAMEFILE) file IN STORE store TO file.
inline constexpr int32_t RenameFileOldFileSlot = 0;
inline constexpr int32_t RenameFileStoreSlot = 1;
inline constexpr int32_t RenameFileNewFileSlot = 2;

// ------------------------------------------------------------ administration

// EMPTY TABLE.
inline constexpr int32_t EmptyTableTableSlot = 0;
inline constexpr int32_t EmptyTableIgnoreConstraintsSlot = 1;  // marker or nil

// ENABLE and DISABLE of JOB, DEFAULTS and GENERATED: the job (nil for JOBS)
// or the table.
inline constexpr int32_t EnableObjectSlot = 0;
// ENABLE STATEMENT LOGGING.
inline constexpr int32_t EnableLoggingMinimumSlot = 0;  // MINIMUM EXECUTION value or nil
inline constexpr int32_t EnableLoggingMaximumSlot = 1;  // MAXIMUM LOGGED value or nil

// SET: the store, collation reference (nil when none follows TO) or migrator.
inline constexpr int32_t SetTargetSlot = 0;

// BACKUP DATABASE.
inline constexpr int32_t BackupDatabaseSlot = 0;
inline constexpr int32_t BackupBackupSlot = 1;
inline constexpr int32_t BackupStoreSlot = 2;
inline constexpr int32_t BackupTablesSlot = 3;          // clause of ttTABLE or nil
inline constexpr int32_t BackupDescriptionSlot = 4;
inline constexpr int32_t BackupCompressionSlot = 5;
inline constexpr int32_t BackupIncludeCatalogSlot = 6;  // TRUE or nil
inline constexpr int32_t BackupOnlySlot = 7;            // TRUE or nil
inline constexpr int32_t BackupExcludeUpdatesSlot = 8;  // TRUE or nil

// RESTORE DATABASE.
inline constexpr int32_t RestoreDatabaseSlot = 0;
inline constexpr int32_t RestoreBackupSlot = 1;
inline constexpr int32_t RestoreStoreSlot = 2;
inline constexpr int32_t RestoreTablesSlot = 3;             // clause of ttTABLE or nil
inline constexpr int32_t RestoreIncludeCatalogSlot = 4;     // TRUE or nil
inline constexpr int32_t RestoreOnlySlot = 5;               // TRUE or nil
inline constexpr int32_t RestoreResetPublishedSlot = 6;     // TRUE or nil

// COMPARE DATABASE.
inline constexpr int32_t CompareDatabaseSlot = 0;
inline constexpr int32_t CompareTargetSlot = 1;
inline constexpr int32_t CompareTermCharSlot = 2;  // value or nil

// MIGRATE DATABASE.
inline constexpr int32_t MigrateMigratorSlot = 0;
// Clause of parameter clauses (left: ttPARAM name, right: value); present
// and empty without USING.
inline constexpr int32_t MigrateParamsSlot = 1;
inline constexpr int32_t MigrateWithDataSlot = 2;     // marker for WITH DATA, else nil
inline constexpr int32_t MigrateStartTableSlot = 3;   // ttTABLE or nil

// REPAIR, VERIFY and OPTIMIZE TABLE.
inline constexpr int32_t MaintainTableSlot = 0;
inline constexpr int32_t RepairStructureOnlySlot = 1;  // marker or nil
inline constexpr int32_t RepairStatisticsSlot = 2;     // marker or nil
inline constexpr int32_t VerifyStructureOnlySlot = 1;  // marker or nil
inline constexpr int32_t OptimizeIndexSlot = 1;        // ttINDEX or nil
inline constexpr int32_t OptimizeNoBackupSlot = 2;     // Boolean TRUE or nil

// IMPORT and EXPORT TABLE.
inline constexpr int32_t ImportTableSlot = 0;
inline constexpr int32_t ImportFileSlot = 1;
inline constexpr int32_t ImportStoreSlot = 2;
inline constexpr int32_t ImportColumnsSlot = 3;     // clause of ttCOLUMN or nil
inline constexpr int32_t ImportEncodingSlot = 4;    // marker, always present
inline constexpr int32_t ImportDelimiterSlot = 5;   // value or nil
inline constexpr int32_t ImportQuoteSlot = 6;       // value or nil
inline constexpr int32_t ImportFormattingSlot = 7;  // first of the four formatting slots
inline constexpr int32_t ImportDateFormatSlot = ImportFormattingSlot;       // DATE FORMAT value
inline constexpr int32_t ImportTimeFormatSlot = ImportFormattingSlot + 1;   // TIME FORMAT value, its AM and PM literals
inline constexpr int32_t ImportDecimalCharSlot = ImportFormattingSlot + 2;  // DECIMAL CHAR value
inline constexpr int32_t ImportBooleanSlot = ImportFormattingSlot + 3;      // clause of the TRUE and FALSE literals
inline constexpr int32_t ImportHeadersSlot = 11;    // marker or nil
inline constexpr int32_t ImportMaxRowsSlot = 12;    // value or nil

// DISCONNECT, REMOVE and RESET SERVER SESSION: the session value; RESET JOB:
// the job.
inline constexpr int32_t SessionValueSlot = 0;

// GRANT and REVOKE of roles.
inline constexpr int32_t GrantRolesSlot = 0;  // clause of ttROLE
inline constexpr int32_t GrantUsersSlot = 1;  // clause of ttUSER
// GRANT and REVOKE of privileges.
inline constexpr int32_t GrantPrivilegesSlot = 0;  // clause of ttPRIVILEGE
inline constexpr int32_t GrantObjectSlot = 1;      // the object's name token
inline constexpr int32_t GrantGranteesSlot = 2;    // clause of ttAUTHORIZATION

// PUBLISH and UNPUBLISH DATABASE.
inline constexpr int32_t PublishDatabaseSlot = 0;
inline constexpr int32_t PublishTablesSlot = 1;  // clause of ttTABLE or nil
inline constexpr int32_t PublishModeSlot = 2;    // PUBLISH: marker with the mode, or nil

// SAVE UPDATES.
inline constexpr int32_t SaveUpdatesDatabaseSlot = 0;
inline constexpr int32_t SaveUpdatesUpdatesSlot = 1;
inline constexpr int32_t SaveUpdatesStoreSlot = 2;
inline constexpr int32_t SaveUpdatesTablesSlot = 3;       // clause of ttTABLE or nil
inline constexpr int32_t SaveUpdatesDescriptionSlot = 4;
inline constexpr int32_t SaveUpdatesCompressionSlot = 5;
inline constexpr int32_t SaveUpdatesIfNotEmptySlot = 6;   // marker or nil

// LOAD UPDATES.
inline constexpr int32_t LoadUpdatesDatabaseSlot = 0;
inline constexpr int32_t LoadUpdatesUpdatesSlot = 1;
inline constexpr int32_t LoadUpdatesStoreSlot = 2;
inline constexpr int32_t LoadUpdatesTablesSlot = 3;           // clause of ttTABLE or nil
inline constexpr int32_t LoadUpdatesMergeInsertsSlot = 4;     // marker or nil
inline constexpr int32_t LoadUpdatesIgnoreMissingSlot = 5;    // marker or nil
inline constexpr int32_t LoadUpdatesInsertMissingSlot = 6;    // marker or nil
inline constexpr int32_t LoadUpdatesDisableTriggersSlot = 7;  // marker or nil

// COPY FILE file IN STORE store TO file [IN STORE store].
inline constexpr int32_t CopyFileSourceFileSlot = 0;
inline constexpr int32_t CopyFileSourceStoreSlot = 1;
inline constexpr int32_t CopyFileTargetFileSlot = 2;
inline constexpr int32_t CopyFileTargetStoreSlot = 3;  // ttSTORE or nil

}  // namespace orv
