// The engine's error catalogue: every error code the engine raises, named
// once with its message template, grouped by hundreds as the codes are.
// A raise names its entry here; no other file spells a code's number or
// copies a template. New codes are added here, in their group.
#pragma once

#include <cstdint>

#include "base/orverror.h"

namespace orv {

// An error code with the "%s" template its bare message is formatted from.
struct TORVErrorDef {
  int32_t Code;
  const char16_t* Format;
};

// Templates that several codes share.
inline constexpr char16_t ORV_OBJECT_ERROR_MSG[] = u"An error occurred with the %s %s (%s)";

// Details that several raises put into their templates.
inline constexpr char16_t ORV_FILE_READ_ONLY_MSG[] = u"The file is read-only";
inline constexpr char16_t ORV_NEWER_ENGINE_MSG[] = u"The object has been updated by a newer version of the engine";
inline constexpr char16_t ORV_STREAM_COUNT_MSG[] = u"The object count %s in the stream is invalid";
inline constexpr char16_t ORV_STREAM_ID_TWICE_MSG[] = u"The object ID %s is stored twice";
inline constexpr char16_t ORV_BLANK_PASSWORD_MSG[] = u"The user password cannot be blank";
inline constexpr char16_t ORV_JOB_DAY_NUMBER_MSG[] = u"Day number for month must be between %s and %s";
// A configuration whose last load failed part-way is not written over its
// file until a load succeeds.
inline constexpr char16_t ORV_CONFIG_NOT_READ_MSG[] = u"The configuration was not read properly";
// Definition errors of constraints and triggers.
inline constexpr char16_t ORV_CONSTRAINT_TYPE_MSG[] = u"The constraint type is invalid";
inline constexpr char16_t ORV_CONSTRAINT_ACTION_MSG[] =
    u"The constraint update or delete action is invalid or not supported";
inline constexpr char16_t ORV_CONSTRAINT_BLOB_COLUMN_MSG[] = u"The BLOB column %s cannot be used in a constraint";
inline constexpr char16_t ORV_CONSTRAINT_TEMPORARY_MSG[] =
    u"Foreign keys cannot be established between temporary tables and non-temporary tables";
inline constexpr char16_t ORV_CONSTRAINT_TYPE_ALTER_MSG[] = u"You cannot alter the constraint type";
inline constexpr char16_t ORV_TRIGGER_TIME_MSG[] = u"The trigger action time is invalid";
inline constexpr char16_t ORV_TRIGGER_TYPE_MSG[] = u"The trigger action type is invalid";

// 100s: metadata and updates of configuration and catalog objects.
inline constexpr TORVErrorDef ORV_METADATA_ERROR{100, u"There is an error in the metadata for the %s %s (%s)"};
// The same for an object inside a named parent.
inline constexpr TORVErrorDef ORV_METADATA_IN_ERROR{100,
                                                    u"There is an error in the metadata for the %s %s in the %s %s (%s)"};
// The detail of a metadata error for a table whose kind of manager cannot
// be made.
inline constexpr char16_t ORV_NO_MANAGER_KIND_DETAIL[] = u"No manager of the kind %s can be made";
// The same for an object whose kind of cursor cannot be made.
// The detail of a metadata error for a database operation this build
// cannot perform yet.
inline constexpr char16_t ORV_NOT_AVAILABLE_DETAIL[] = u"The operation %s is not available";
inline constexpr char16_t ORV_NO_CURSOR_KIND_DETAIL[] = u"No cursor of the kind %s can be made";
inline constexpr TORVErrorDef ORV_UPDATE_ERROR{101, u"There was an error updating the %s %s (%s)"};

// 200s: system objects and objects that others still reference. The four
// forms of 201 name the parent of the object, of its dependent, of both or
// of neither.
inline constexpr TORVErrorDef ORV_SYSTEM_OBJECT_ERROR{
    200, u"This operation cannot be performed on the system %s %s or any privileges granted to it"};
inline constexpr TORVErrorDef ORV_SYSTEM_OBJECT_IN_ERROR{
    200, u"This operation cannot be performed on the system %s %s in the %s %s or any privileges granted to it"};
inline constexpr TORVErrorDef ORV_DEPENDENCY_ERROR{
    201, u"The %s %s cannot be %s because it is still referenced by the %s %s"};
inline constexpr TORVErrorDef ORV_DEPENDENCY_DEPENDENT_IN_ERROR{
    201, u"The %s %s cannot be %s because it is still referenced by the %s %s in the %s %s"};
inline constexpr TORVErrorDef ORV_DEPENDENCY_OBJECT_IN_ERROR{
    201, u"The %s %s in the %s %s cannot be %s because it is still referenced by the %s %s"};
inline constexpr TORVErrorDef ORV_DEPENDENCY_BOTH_IN_ERROR{
    201, u"The %s %s in the %s %s cannot be %s because it is still referenced by the %s %s in the %s %s"};
// A module library failed to load, to bind or in one of its calls; the
// detail says which.
inline constexpr TORVErrorDef ORV_MODULE_ERROR{202, ORV_OBJECT_ERROR_MSG};

// 300s: object locks. The "in" forms name the object's parent too.
inline constexpr TORVErrorDef ORV_LOCK_ERROR{300, u"Cannot lock the %s %s for %s access"};
inline constexpr TORVErrorDef ORV_LOCK_IN_ERROR{300, u"Cannot lock the %s %s in the %s %s for %s access"};
inline constexpr TORVErrorDef ORV_UNLOCK_ERROR{301, u"Cannot unlock the %s %s for %s access"};
inline constexpr TORVErrorDef ORV_UNLOCK_IN_ERROR{301, u"Cannot unlock the %s %s in the %s %s for %s access"};

// 400s: existence, paths, limits and names. The "in" forms name the
// parent too.
inline constexpr TORVErrorDef ORV_EXISTS_ERROR{400, u"The %s %s already exists"};
inline constexpr TORVErrorDef ORV_EXISTS_IN_ERROR{400, u"The %s %s already exists in the %s %s"};
inline constexpr TORVErrorDef ORV_NOT_FOUND_ERROR{401, u"The %s %s does not exist"};
// The same for an object inside a named parent.
inline constexpr TORVErrorDef ORV_NOT_FOUND_IN_ERROR{401, u"The %s %s does not exist in the %s %s"};
inline constexpr TORVErrorDef ORV_PATH_ERROR{401, u"The path specified for the %s %s does not exist (%s)"};
inline constexpr TORVErrorDef ORV_NOT_OPEN_ERROR{402,
                                               u"The %s %s must be open in order to perform this operation (%s)"};
inline constexpr TORVErrorDef ORV_READ_ONLY_ERROR{
    403, u"The %s %s is read-only and this operation cannot be performed (%s)"};
// The detail is one of the two texts below or a transaction's own.
inline constexpr TORVErrorDef ORV_TRANSACTION_ERROR{404, u"Transaction error: %s"};
inline constexpr char16_t ORV_IN_TRANSACTION_MSG[] =
    u"This operation cannot be performed while the %s %s has an active transaction (%s)";
inline constexpr char16_t ORV_NOT_IN_TRANSACTION_MSG[] =
    u"This operation cannot be performed without an active transaction on the %s %s (%s)";
inline constexpr TORVErrorDef ORV_MAXIMUM_ERROR{405, u"The maximum number of %ss has been reached (%s)"};
inline constexpr TORVErrorDef ORV_MAXIMUM_IN_ERROR{405,
                                                   u"The maximum number of %ss in the %s %s has been reached (%s)"};
inline constexpr TORVErrorDef ORV_IDENTIFIER_ERROR{406, u"Invalid %s identifier '%s'"};
inline constexpr TORVErrorDef ORV_IDENTIFIER_IN_ERROR{406, u"Invalid %s identifier '%s' in the %s %s"};
inline constexpr TORVErrorDef ORV_FULL_ERROR{407, u"The %s %s is full (%s)"};
inline constexpr TORVErrorDef ORV_OPEN_ERROR{408, u"The %s %s cannot be open when performing this operation (%s)"};
// The detail is the whole message.
inline constexpr TORVErrorDef ORV_CONFIG_PATH_ERROR{409, u"%s"};
inline constexpr char16_t ORV_CONFIG_PATH_EMPTY_MSG[] = u"The configuration path is empty";

// 500s: sessions, locks and privileges. The guards take the text of the
// statement they guard.
inline constexpr TORVErrorDef ORV_NOT_LOGGED_IN_ERROR{500,
                                                    u"A user must be logged in in order to perform this operation (%s)"};
inline constexpr TORVErrorDef ORV_LOGIN_ERROR{501, u"Login failed (%s)"};
inline constexpr char16_t ORV_LOGIN_INCORRECT_MSG[] = u"The user name or password is incorrect";
inline constexpr char16_t ORV_LOGIN_ABORTED_MSG[] = u"Login aborted";
inline constexpr char16_t ORV_LOGIN_ATTEMPTS_MSG[] = u"The maximum number of login attempts has been exceeded";
inline constexpr TORVErrorDef ORV_ADMINISTRATOR_ERROR{
    502, u"Administrator privileges are required to perform this operation (%s)"};
inline constexpr TORVErrorDef ORV_PRIVILEGE_ERROR{
    503, u"The current user does not have the proper privileges to perform this operation (%s)"};
inline constexpr TORVErrorDef ORV_MAX_SESSIONS_ERROR{504, u"The maximum number of concurrent sessions (%s) has been reached"};
inline constexpr TORVErrorDef ORV_SESSION_LOCK_ERROR{506, u"Cannot lock the session manager (ID: %s)"};

// 600s: file access and corruption.
inline constexpr TORVErrorDef ORV_FILE_MANAGER_ERROR{600, u"File manager error (%s)"};
inline constexpr TORVErrorDef ORV_CORRUPT_ERROR{601, u"The %s %s is corrupt (%s)"};

// 700s: SQL compilation. Tokenizer and parser messages arrive already
// formatted as the full text; the compiled expression formats the rest.
inline constexpr TORVErrorDef ORV_SQL_ERROR{700, u"An error was found in the %s at line %s and column %s (%s)"};

// 900s: statements and views.
inline constexpr TORVErrorDef ORV_STATEMENT_ERROR{900,
                                                u"An error occurred with the statement at line %s and column %s (%s)"};
// A statement, or a statement for an object kind, that the session's
// evaluator has no routine for.
inline constexpr char16_t ORV_NO_STATEMENT_ROUTINE_DETAIL[] = u"The %s statement cannot be run";
inline constexpr char16_t ORV_STATEMENT_UNPREPARED_DETAIL[] = u"An attempt was made to execute the unprepared statement %s";
inline constexpr char16_t ORV_NO_OBJECT_KIND_ROUTINE_DETAIL[] =
    u"The %s statement cannot be run for the object kind %s";
inline constexpr TORVErrorDef ORV_VIEW_ERROR{902, u"An error occurred with the view %s (%s)"};
inline constexpr char16_t ORV_VIEW_NESTING_DETAIL[] = u"Views cannot be nested more than %s levels deep";

// 1000s: cursors, filters and values.
inline constexpr TORVErrorDef ORV_CURSOR_ERROR{1000, u"An error occurred with the cursor %s (%s)"};
// The same error raised by a statement of a procedural block, which names
// where the cursor was used.
inline constexpr TORVErrorDef ORV_CURSOR_AT_ERROR{1000,
                                                u"An error occurred with the cursor %s at line %s and column %s (%s)"};
inline constexpr char16_t ORV_CURSOR_CLOSED_DETAIL[] = u"An attempt was made to access a closed cursor";
// An operation of the cursor interface that this kind of cursor cannot run.
inline constexpr char16_t ORV_CURSOR_OPERATION_MISSING_DETAIL[] = u"The operation %s cannot be run on this cursor";
inline constexpr TORVErrorDef ORV_LOCATE_ERROR{1002, u"A locate error occurred (%s)"};
inline constexpr TORVErrorDef ORV_CONSTRAINED_CURSOR_ERROR{
    1009, u"The cursor is constrained and this row violates the current cursor constraint condition(s)"};
inline constexpr TORVErrorDef ORV_FILTER_ERROR{1001, u"A filter error occurred (%s)"};
// The row errors of a table or view.
// Constraint violations name the constraint and its table; the lock and
// unlock failures of a foreign key's parent row share the same text.
inline constexpr TORVErrorDef ORV_REQUIRED_COLUMN_ERROR{1004, u"The %s %s in the %s %s cannot be NULL"};
inline constexpr TORVErrorDef ORV_CONSTRAINT_ERROR{1004, u"The %s %s for the %s %s has been violated (%s)"};
inline constexpr TORVErrorDef ORV_CONSTRAINT_ROW_LOCK_ERROR{1005, ORV_CONSTRAINT_ERROR.Format};
inline constexpr TORVErrorDef ORV_CONSTRAINT_ROW_UNLOCK_ERROR{1006, ORV_CONSTRAINT_ERROR.Format};
inline constexpr char16_t ORV_PRIMARY_KEY_NULL_DETAIL[] = u"NULL values are not allowed in a primary key";
inline constexpr char16_t ORV_DUPLICATE_KEY_DETAIL[] = u"Duplicate key %s found";
inline constexpr char16_t ORV_REFERENCED_KEY_DETAIL[] =
    u"Foreign keys exist which refer to the primary or unique key %s in the %s %s";
inline constexpr char16_t ORV_FOREIGN_KEY_UNMATCHED_DETAIL[] =
    u"The foreign key %s does not match any existing primary or unique key in the %s %s";
inline constexpr char16_t ORV_FOREIGN_KEY_LOCK_DETAIL[] = u"Cannot lock the matching primary or unique key %s in the %s %s";
inline constexpr char16_t ORV_FOREIGN_KEY_UNLOCK_DETAIL[] = u"Cannot unlock a primary or unique key %s in the %s %s";
inline constexpr char16_t ORV_CHECK_FALSE_DETAIL[] = u"Check expression evaluated to False";
inline constexpr char16_t ORV_CHECK_CONSTRAINT_OPERATION[] = u"CHECK CONSTRAINT";
inline constexpr TORVErrorDef ORV_ROW_LOCK_ERROR{1005, u"Cannot lock the row in the %s %s"};
inline constexpr TORVErrorDef ORV_ROW_UNLOCK_ERROR{1006, u"Cannot unlock the row in the %s %s"};
inline constexpr TORVErrorDef ORV_ROW_DELETED_ERROR{1007, u"The row has been deleted since last cached for the %s %s"};
inline constexpr TORVErrorDef ORV_ROW_MODIFIED_ERROR{1008, u"The row has been modified since last cached for the %s %s"};
inline constexpr TORVErrorDef ORV_ROW_VISIBILITY_ERROR{1010, u"The row is no longer visible in the %s %s"};
inline constexpr TORVErrorDef ORV_VALUE_ERROR{1011, ORV_OBJECT_ERROR_MSG};
inline constexpr TORVErrorDef ORV_ROW_CORRUPT_ERROR{1012,
                                                   u"The row has been corrupted since last cached for the %s %s"};
// Details of a value error, its last argument: with the value's text, or
// without it where the value cannot be shown.
inline constexpr char16_t ORV_VALUE_RANGE_DETAIL[] =
    u"The value %s is out of the range of permissible values for the %s type";
inline constexpr char16_t ORV_TYPE_RANGE_DETAIL[] = u"The value is out of the range of permissible values for the %s type";
inline constexpr char16_t ORV_VALUE_CONVERSION_DETAIL[] = u"A conversion error occurred with the value %s";
inline constexpr char16_t ORV_CONVERSION_DETAIL[] = u"A conversion error occurred with the value";
inline constexpr char16_t ORV_VALUE_TRUNCATION_DETAIL[] = u"The value %s would result in truncation";
inline constexpr char16_t ORV_TRUNCATION_DETAIL[] = u"The value would result in truncation";
// Details of the errors of arrays and trigger rows (ORV_VALUE_ERROR).
inline constexpr char16_t ORV_ARRAY_INDEX_DETAIL[] = u"The value %s is out of the range of permissible index values";
inline constexpr char16_t ORV_ROW_VALUE_DETAIL[] = u"The row value cannot be referenced in an %s operation";
// Details of the cursor error of a procedural block's cursor statements
// (ORV_CURSOR_AT_ERROR).
inline constexpr char16_t ORV_CURSOR_NO_ROW_DETAIL[] = u"The cursor has no active row";
inline constexpr char16_t ORV_CURSOR_COLUMNS_DETAIL[] =
    u"The number of columns in the cursor does not match the source or target values for the %s";

// 1200s: compression.
inline constexpr TORVErrorDef ORV_COMPRESS_ERROR{1200, u"An error occurred while compressing data (%s)"};
inline constexpr TORVErrorDef ORV_DECOMPRESS_ERROR{1201, u"An error occurred while uncompressing data (%s)"};

// 1300s: stores, backups and updates.
inline constexpr TORVErrorDef ORV_BACKUP_ERROR{1300, u"Error backing up the %s %s (%s)"};
inline constexpr TORVErrorDef ORV_RESTORE_ERROR{1301, u"Error restoring the %s %s (%s)"};
inline constexpr TORVErrorDef ORV_STORE_ERROR{1306, u"Error with the %s %s (%s)"};

// 1400: formatting.
inline constexpr TORVErrorDef ORV_FORMAT_ERROR{1400, u"Error in the format string %s (%s)"};

// The code under which a failure that is not the engine's own is logged
// and reported.
inline constexpr int32_t ORV_FOREIGN_ERROR_CODE = 9999;

// The exception for Def with its template filled from Args.
EORVException MakeError(const TORVErrorDef& Def, const std::vector<TORVString>& Args);
EORVException MakeError(const TORVErrorDef& Def, const std::vector<TORVString>& Args, int32_t Line,
                        int32_t Column);
[[noreturn]] void RaiseError(const TORVErrorDef& Def, const std::vector<TORVString>& Args);

}  // namespace orv
