// The fixed argument slots of the procedural language's nodes: the routine
// node that every routine text parses to, its blocks, its parameters and
// each control statement, one list per node kind. Like the query slots in
// sql/orvtokenslots.h, every reader and writer of these nodes names the
// slots, never a bare index.
#pragma once

#include <cstdint>

#include "sql/orvexprtoken.h"

namespace orv {

// A routine: the name token of a function, procedure, job or trigger, or
// the ttSCRIPT token of a script. All six slots are always present; the
// ones a routine kind does not use are nil.
inline constexpr int32_t RoutineParamsSlot = 0;        // clause of ttPARAM items; empty for jobs and triggers
inline constexpr int32_t RoutineRowVariablesSlot = 1;  // a trigger's clause of its two ttROWVARIABLE rows
inline constexpr int32_t RoutineReturnsSlot = 2;       // a function's RETURNS clause
inline constexpr int32_t RoutineNilSlot3 = 3;          // nil as parsed
// Validation points it at the statement of the WITH RETURN cursor that
// gives the routine its result (a ttSTATEMENTREF).
inline constexpr int32_t RoutineResultCursorSlot = RoutineNilSlot3;
inline constexpr int32_t RoutineModuleSlot = 4;        // ttMODULE of EXTERNAL NAME
inline constexpr int32_t RoutineBodySlot = 5;          // the ttBLOCK body, nil when external
inline constexpr int32_t RoutineSlotCount = 6;

// A routine node as the entry points make it.
inline bool IsRoutineNode(const TORVExprToken* Token) {
  if (Token == nullptr || Token->GetNumArguments() != RoutineSlotCount) return false;
  switch (Token->FTokenType) {
    case ttFUNCTION:
    case ttPROCEDURE:
    case ttSCRIPT:
    case ttJOB:
    case ttTRIGGER:
      return true;
    default:
      return false;
  }
}

// FTokenID of a trigger's row variables, in the order they stand.
inline constexpr int32_t OldRowVariableID = 0;
inline constexpr int32_t NewRowVariableID = 1;

// A routine parameter (ttPARAM), also the RETURNS clause's toRESULT item,
// which has the data type slot only.
inline constexpr int32_t ParamDataTypeSlot = 0;     // ttDATATYPE
inline constexpr int32_t ParamDescriptionSlot = 1;  // DESCRIPTION value, or nil
inline constexpr int32_t ParamSlotCount = 2;

// A block (ttBLOCK): toNAMED for BEGIN ... END, toNONE for the statement
// list of a compound statement.
inline constexpr int32_t BlockDeclarationsSlot = 0;  // ttBLOCKCLAUSE of DECLARE statements
inline constexpr int32_t BlockStatementsSlot = 1;    // ttBLOCKCLAUSE of statements
inline constexpr int32_t BlockReturnSlot = 2;        // the toRETURN control, or nil
inline constexpr int32_t BlockHandlerSlot = 3;       // FINALLY or EXCEPTION ttBLOCKCLAUSE, or nil
inline constexpr int32_t BlockSlotCount = 4;

// FTokenID of the handler section.
inline constexpr int32_t BlockFinallyID = 0;
inline constexpr int32_t BlockExceptionID = 1;

// RETURN (toRETURN).
inline constexpr int32_t ReturnValueSlot = 0;

// DECLARE (toDECLARE). Every form has the names clause; only the variable
// form has the other three slots.
inline constexpr int32_t DeclareNamesSlot = 0;      // clause of ttVARIABLE, ttARRAY, ttSTATEMENT or one ttCURSOR
inline constexpr int32_t DeclareDataTypeSlot = 1;   // ttDATATYPE
inline constexpr int32_t DeclareArraySizeSlot = 2;  // the ARRAY size, or nil
inline constexpr int32_t DeclareDefaultSlot = 3;    // the DEFAULT expression, or nil
inline constexpr int32_t DeclareVariableSlotCount = 4;

// A declared cursor (ttCURSOR) and its FTokenID.
inline constexpr int32_t CursorReturnSlot = 0;     // unnamed ttSTATEMENT for WITH RETURN, else nil
inline constexpr int32_t CursorStatementSlot = 1;  // the ttSTATEMENT after FOR
inline constexpr int32_t CursorSlotCount = 2;
inline constexpr int32_t CursorAsensitiveID = 0;
inline constexpr int32_t CursorSensitiveID = 1;
inline constexpr int32_t CursorInsensitiveID = 2;

// RAISE (toRAISE); both nil for a bare RAISE.
inline constexpr int32_t RaiseCodeSlot = 0;
inline constexpr int32_t RaiseMessageSlot = 1;

// The single-value SET forms (toSETCACHE, toSETLOGMSG, toSETPROGRESS,
// toSETSTATUSMSG), and which cache a toSETCACHE sets (its FTokenID). An
// assignment list (toSET) has one clause per assignment instead, with the
// target and value as its left and right operands.
inline constexpr int32_t SetValueSlot = 0;
inline constexpr int32_t StatementCacheID = 2;
inline constexpr int32_t ProcedureCacheID = 8;

// LOG (toLOGEVENT) and its FTokenID.
inline constexpr int32_t LogEventValueSlot = 0;
inline constexpr int32_t LogInformationID = 0;
inline constexpr int32_t LogWarningID = 1;
inline constexpr int32_t LogErrorID = 2;

// IF (toIF) and CASE (toCASE): parallel clauses of conditions (a nil one
// for ELSE) and statement lists.
inline constexpr int32_t IfConditionsSlot = 0;  // toIFOPTION clause
inline constexpr int32_t IfListsSlot = 1;       // toIFRESULT clause
inline constexpr int32_t CaseOptionsSlot = 0;   // toCASEOPTION clause
inline constexpr int32_t CaseListsSlot = 1;     // toCASERESULT clause

// The loops; FName holds the label.
inline constexpr int32_t LoopListSlot = 0;
inline constexpr int32_t RepeatListSlot = 0;
inline constexpr int32_t RepeatConditionSlot = 1;
inline constexpr int32_t WhileConditionSlot = 0;
inline constexpr int32_t WhileListSlot = 1;

// CALL (toCALL).
inline constexpr int32_t CallProcedureSlot = 0;  // ttPROCREF with the arguments as its slots

// USE (toUSEDB).
inline constexpr int32_t UseDatabaseSlot = 0;  // ttDATABASE, or nil

// START TRANSACTION (toSTARTTRANS).
inline constexpr int32_t StartTransTablesSlot = 0;   // clause of tables, or nil
inline constexpr int32_t StartTransTimeoutSlot = 1;  // TIMEOUT value, or nil

// COMMIT (toCOMMIT).
inline constexpr int32_t CommitNoFlushSlot = 0;  // empty clause for NO FLUSH, or nil

// EXECUTE (toEXECUTE) and EXECUTE IMMEDIATE (toEXECUTEIMMEDIATE).
inline constexpr int32_t ExecuteStatementSlot = 0;  // ttSTATEMENTREF, or the text of IMMEDIATE
inline constexpr int32_t ExecuteUsingSlot = 1;      // clause of USING arguments, empty without USING

// PREPARE (toPREPARE) and UNPREPARE (toUNPREPARE).
inline constexpr int32_t PrepareStatementSlot = 0;  // ttSTATEMENTREF
inline constexpr int32_t PrepareTextSlot = 1;       // PREPARE only: the text after FROM

// The cursor statements: OPEN, CLOSE, REFRESH, INSERT, UPDATE and DELETE
// name their ttCURSORREF first.
inline constexpr int32_t CursorRefSlot = 0;
inline constexpr int32_t OpenUsingSlot = 1;    // clause of USING arguments, empty without USING
inline constexpr int32_t CursorPairsSlot = 1;  // INSERT and UPDATE: clause of column-value pairs

// FETCH (toFETCH): the orientation clause (its FTokenID below, its slot 0
// the value of ABSOLUTE and RELATIVE), the cursor, and the clause of
// column-target pairs or nil.
inline constexpr int32_t FetchOrientationSlot = 0;
inline constexpr int32_t FetchCursorSlot = 1;
inline constexpr int32_t FetchPairsSlot = 2;
inline constexpr int32_t FetchOrientationValueSlot = 0;
inline constexpr int32_t FetchDefaultID = 0;
inline constexpr int32_t FetchNextID = 1;
inline constexpr int32_t FetchPriorID = 2;
inline constexpr int32_t FetchFirstID = 3;
inline constexpr int32_t FetchLastID = 4;
inline constexpr int32_t FetchAbsoluteID = 5;
inline constexpr int32_t FetchRelativeID = 6;

}  // namespace orv
