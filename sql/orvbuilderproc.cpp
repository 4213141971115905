// The text of routines (functions, procedures, scripts, jobs and
// triggers) and their blocks and control statements. Every name is written
// in double quotes, so that no name reads back as one of the words of the
// procedural language.
#include <cstdint>
#include <string_view>

#include "core/orvtypefunc.h"
#include "sql/orvbuilder.h"
#include "sql/orvbuilderlevels.h"
#include "sql/orvroutineslots.h"
#include "sql/orvstmtslots.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"

namespace orv {

namespace {

std::u16string_view RoutineWord(TORVTokenType Type) {
  switch (Type) {
    case ttFUNCTION: return u"FUNCTION";
    case ttPROCEDURE: return u"PROCEDURE";
    case ttSCRIPT: return u"SCRIPT";
    case ttJOB: return u"JOB";
    case ttTRIGGER: return u"TRIGGER";
    default: return u"";
  }
}

std::u16string_view FetchOrientationText(int32_t ID) {
  switch (ID) {
    case FetchNextID: return u" NEXT";
    case FetchPriorID: return u" PRIOR";
    case FetchFirstID: return u" FIRST";
    case FetchLastID: return u" LAST";
    case FetchAbsoluteID: return u" ABSOLUTE";
    case FetchRelativeID: return u" RELATIVE";
    default: return u"";
  }
}

std::u16string_view LogEventText(int32_t ID) {
  switch (ID) {
    case LogWarningID: return u"WARNING EVENT ";
    case LogErrorID: return u"ERROR EVENT ";
    default: return u"";
  }
}

}  // namespace

void TORVExprBuilder::BuildRoutine(const TORVExprToken* Routine) {
  if (!IsRoutineNode(Routine)) return;
  Write(RoutineWord(Routine->FTokenType));
  if (Routine->FTokenType != ttSCRIPT) Write(u" " + QuotedName(Routine->FName));
  BuildRoutineParams(TokenSlot(Routine, RoutineParamsSlot));
  if (const TORVExprToken* Returns = TokenSlot(Routine, RoutineReturnsSlot)) {
    Write(u" RETURNS ");
    BuildDataType(TokenSlot(TokenSlot(Returns, ClauseValueSlot), ParamDataTypeSlot));
  }
  if (const TORVExprToken* Module = TokenSlot(Routine, RoutineModuleSlot)) {
    Write(u" EXTERNAL NAME " + QuotedName(Module->FName));
    return;
  }
  NewLine();
  BuildBlock(TokenSlot(Routine, RoutineBodySlot));
}

void TORVExprBuilder::BuildRoutineParams(const TORVExprToken* Params) {
  if (Params == nullptr || Params->GetNumArguments() == 0) return;
  Write(u" (");
  for (int32_t I = 0; I < Params->GetNumArguments(); ++I) {
    const TORVExprToken* Param = Params->GetArgument(I);
    if (I > 0) Write(u", ");
    if (Param->FTokenOperator == toOUTPUT) Write(u"OUT ");
    if (Param->FTokenOperator == toINPUTOUTPUT) Write(u"INOUT ");
    Write(QuotedName(Param->FName) + u" ");
    BuildDataType(TokenSlot(Param, ParamDataTypeSlot));
    if (const TORVExprToken* Description = TokenSlot(Param, ParamDescriptionSlot)) {
      Write(u" DESCRIPTION ");
      BuildOperand(Description, LevelValue);
    }
  }
  Write(u")");
}

// A BEGIN ... END block; its caller writes the label and the terminator.
void TORVExprBuilder::BuildBlock(const TORVExprToken* Block) {
  if (Block == nullptr) return;
  Write(u"BEGIN");
  BuildBlockSections(Block);
  NewLine();
  Write(u"END");
}

// The declarations, statements, RETURN and FINALLY or EXCEPTION section of
// a block or statement list, one statement a line; with line breaks they
// stand one level deeper than the words around them.
void TORVExprBuilder::BuildBlockSections(const TORVExprToken* Block) {
  const bool Indented = FIncludeLineBreaks;
  if (Indented) ++FIndentationLevel;
  BuildControlList(TokenSlot(Block, BlockDeclarationsSlot));
  BuildControlList(TokenSlot(Block, BlockStatementsSlot));
  if (const TORVExprToken* Return = TokenSlot(Block, BlockReturnSlot)) {
    NewLine();
    Write(u"RETURN ");
    BuildOperand(TokenSlot(Return, ReturnValueSlot), LevelOr);
    Write(u";");
  }
  if (Indented) --FIndentationLevel;
  if (const TORVExprToken* Handler = TokenSlot(Block, BlockHandlerSlot)) {
    NewLine();
    Write(Handler->FTokenID == BlockExceptionID ? u"EXCEPTION" : u"FINALLY");
    if (Indented) ++FIndentationLevel;
    BuildControlList(Handler);
    if (Indented) --FIndentationLevel;
  }
}

void TORVExprBuilder::BuildControlList(const TORVExprToken* Clause) {
  if (Clause == nullptr) return;
  for (int32_t I = 0; I < Clause->GetNumArguments(); ++I) {
    NewLine();
    BuildControl(Clause->GetArgument(I));
    Write(u";");
  }
}

void TORVExprBuilder::BuildUsing(const TORVExprToken* Using) {
  if (Using == nullptr || Using->GetNumArguments() == 0) return;
  Write(u" USING ");
  for (int32_t I = 0; I < Using->GetNumArguments(); ++I) {
    if (I > 0) Write(u", ");
    BuildOperand(Using->GetArgument(I), LevelOr);
  }
}

// A routine of an old engine version turned the names in these positions
// into character constants that still carry the reference's slots; they
// are written back as the names they were.
void TORVExprBuilder::BuildNameOperand(const TORVExprToken* Token, int32_t MinLevel) {
  if (Token != nullptr && Token->FTokenType == ttCONST && Token->FDataType == dtCharacter &&
      Token->GetNumArguments() > 0) {
    if (!Token->FSourceName.empty()) Write(QuotedName(Token->FSourceName) + u".");
    Write(QuotedName(Token->FTokenConstant));
    return;
  }
  BuildOperand(Token, MinLevel);
}

void TORVExprBuilder::BuildControl(const TORVExprToken* Control) {
  if (Control == nullptr) return;
  if (Control->FTokenType == ttBLOCK) {
    if (!Control->FName.empty()) Write(QuotedName(Control->FName) + u": ");
    BuildBlock(Control);
    return;
  }
  // The statement list of a compound statement, from its next line on.
  auto List = [this](const TORVExprToken* Block) {
    if (Block != nullptr) BuildBlockSections(Block);
  };
  auto EndLabel = [this, Control](std::u16string_view Words) {
    NewLine();
    Write(Words);
    if (!Control->FName.empty()) Write(u" " + QuotedName(Control->FName));
  };
  auto Pairs = [this](const TORVExprToken* Clause, bool Lefts) {
    bool First = true;
    for (int32_t I = 0; Clause != nullptr && I < Clause->GetNumArguments(); ++I) {
      const TORVExprToken* Side = Lefts ? Clause->GetArgument(I)->GetLeftToken() : Clause->GetArgument(I)->GetRightToken();
      if (Side == nullptr) continue;
      if (!First) Write(u", ");
      First = false;
      if (Lefts) {
        BuildNameOperand(Side, LevelAdditive);
      } else {
        BuildOperand(Side, LevelOr);
      }
    }
    return !First;
  };
  auto HasLefts = [](const TORVExprToken* Clause) {
    for (int32_t I = 0; Clause != nullptr && I < Clause->GetNumArguments(); ++I)
      if (Clause->GetArgument(I)->GetLeftToken() != nullptr) return true;
    return false;
  };
  switch (Control->FTokenOperator) {
    case toDECLARE: {
      const TORVExprToken* Names = TokenSlot(Control, DeclareNamesSlot);
      const TORVExprToken* First = TokenSlot(Names, FirstItemSlot);
      Write(u"DECLARE ");
      if (First != nullptr && First->FTokenType == ttCURSOR) {
        Write(QuotedName(First->FName));
        if (First->FTokenID == CursorInsensitiveID) Write(u" INSENSITIVE");
        if (First->FTokenID == CursorAsensitiveID) Write(u" ASENSITIVE");
        Write(u" CURSOR");
        if (TokenSlot(First, CursorReturnSlot) != nullptr) Write(u" WITH RETURN");
        if (const TORVExprToken* Statement = TokenSlot(First, CursorStatementSlot))
          Write(u" FOR " + QuotedName(Statement->FName));
        break;
      }
      for (int32_t I = 0; Names != nullptr && I < Names->GetNumArguments(); ++I) {
        if (I > 0) Write(u", ");
        Write(QuotedName(Names->GetArgument(I)->FName));
      }
      if (First != nullptr && First->FTokenType == ttSTATEMENT) {
        Write(u" STATEMENT");
        break;
      }
      Write(u" ");
      BuildDataType(TokenSlot(Control, DeclareDataTypeSlot));
      if (First != nullptr && First->FTokenType == ttARRAY) {
        Write(u" ARRAY [");
        BuildOperand(TokenSlot(Control, DeclareArraySizeSlot), LevelValue);
        Write(u"]");
      }
      if (const TORVExprToken* Default = TokenSlot(Control, DeclareDefaultSlot)) {
        Write(u" DEFAULT ");
        BuildOperand(Default, LevelOr);
      }
      break;
    }
    case toRAISE:
      Write(u"RAISE");
      if (const TORVExprToken* Code = TokenSlot(Control, RaiseCodeSlot)) {
        Write(u" ERROR CODE ");
        BuildOperand(Code, LevelAdditive);
        Write(u" MESSAGE ");
        BuildOperand(TokenSlot(Control, RaiseMessageSlot), LevelAdditive);
      }
      break;
    case toSETCACHE:
      Write(Control->FTokenID == ProcedureCacheID ? u"SET PROCEDURE CACHE TO " : u"SET STATEMENT CACHE TO ");
      BuildOperand(TokenSlot(Control, SetValueSlot), LevelValue);
      break;
    case toSETLOGMSG:
    case toSETPROGRESS:
    case toSETSTATUSMSG:
      Write(Control->FTokenOperator == toSETLOGMSG    ? u"SET LOG MESSAGE TO "
            : Control->FTokenOperator == toSETPROGRESS ? u"SET PROGRESS TO "
                                                       : u"SET STATUS MESSAGE TO ");
      BuildOperand(TokenSlot(Control, SetValueSlot), LevelComparison);
      break;
    case toSET:
      Write(u"SET ");
      for (int32_t I = 0; I < Control->GetNumArguments(); ++I) {
        const TORVExprToken* Assignment = Control->GetArgument(I);
        if (I > 0) Write(u", ");
        BuildOperand(Assignment->GetLeftToken(), LevelValue);
        Write(u" = ");
        BuildOperand(Assignment->GetRightToken(), LevelOr);
      }
      break;
    case toLOGEVENT:
      Write(u"LOG ");
      Write(LogEventText(Control->FTokenID));
      BuildOperand(TokenSlot(Control, LogEventValueSlot), LevelComparison);
      break;
    case toABORT:
      Write(u"ABORT");
      break;
    case toIF: {
      const TORVExprToken* Conditions = TokenSlot(Control, IfConditionsSlot);
      const TORVExprToken* Lists = TokenSlot(Control, IfListsSlot);
      for (int32_t I = 0; Conditions != nullptr && I < Conditions->GetNumArguments(); ++I) {
        const TORVExprToken* Condition = Conditions->GetArgument(I);
        if (I > 0) NewLine();
        if (Condition == nullptr) {
          Write(u"ELSE");
        } else {
          Write(I == 0 ? u"IF " : u"ELSEIF ");
          BuildOperand(Condition, LevelOr);
          Write(u" THEN");
        }
        List(TokenSlot(Lists, I));
      }
      NewLine();
      Write(u"END IF");
      break;
    }
    case toCASE: {
      const TORVExprToken* Options = TokenSlot(Control, CaseOptionsSlot);
      const TORVExprToken* Lists = TokenSlot(Control, CaseListsSlot);
      const TORVExprToken* Operand = Options != nullptr ? SimpleCaseOperand(Options) : nullptr;
      Write(u"CASE");
      if (Operand != nullptr) {
        Write(u" ");
        BuildOperand(Operand, LevelOr);
      }
      for (int32_t I = 0; Options != nullptr && I < Options->GetNumArguments(); ++I) {
        const TORVExprToken* Option = Options->GetArgument(I);
        NewLine();
        if (Option == nullptr) {
          Write(u"ELSE");
        } else {
          Write(u"WHEN ");
          BuildOperand(Operand != nullptr ? Option->GetRightToken() : Option, LevelOr);
          Write(u" THEN");
        }
        List(TokenSlot(Lists, I));
      }
      NewLine();
      Write(u"END CASE");
      break;
    }
    case toLOOP:
      if (!Control->FName.empty()) Write(QuotedName(Control->FName) + u": ");
      Write(u"LOOP");
      List(TokenSlot(Control, LoopListSlot));
      EndLabel(u"END LOOP");
      break;
    case toREPEAT:
      if (!Control->FName.empty()) Write(QuotedName(Control->FName) + u": ");
      Write(u"REPEAT");
      List(TokenSlot(Control, RepeatListSlot));
      NewLine();
      Write(u"UNTIL ");
      BuildOperand(TokenSlot(Control, RepeatConditionSlot), LevelOr);
      EndLabel(u"END REPEAT");
      break;
    case toWHILE:
      if (!Control->FName.empty()) Write(QuotedName(Control->FName) + u": ");
      Write(u"WHILE ");
      BuildOperand(TokenSlot(Control, WhileConditionSlot), LevelOr);
      Write(u" DO");
      List(TokenSlot(Control, WhileListSlot));
      EndLabel(u"END WHILE");
      break;
    case toITERATE:
    case toLEAVE:
      Write(Control->FTokenOperator == toITERATE ? u"ITERATE" : u"LEAVE");
      if (!Control->FName.empty()) Write(u" " + QuotedName(Control->FName));
      break;
    case toRETRY:
      Write(u"RETRY");
      break;
    case toCALL: {
      const TORVExprToken* Procedure = TokenSlot(Control, CallProcedureSlot);
      if (Procedure == nullptr) break;
      Write(u"CALL " + QuotedName(Procedure->FName) + u"(");
      for (int32_t I = 0; I < Procedure->GetNumArguments(); ++I) {
        if (I > 0) Write(u", ");
        BuildOperand(Procedure->GetArgument(I), LevelOr);
      }
      Write(u")");
      break;
    }
    case toUSEDB:
      Write(u"USE");
      if (const TORVExprToken* Database = TokenSlot(Control, UseDatabaseSlot)) Write(u" " + QuotedName(Database->FName));
      break;
    case toSTARTTRANS:
      Write(u"START TRANSACTION");
      if (const TORVExprToken* Tables = TokenSlot(Control, StartTransTablesSlot)) {
        Write(u" ON TABLES ");
        for (int32_t I = 0; I < Tables->GetNumArguments(); ++I) {
          if (I > 0) Write(u", ");
          BuildNameOperand(Tables->GetArgument(I), LevelAdditive);
        }
      }
      if (const TORVExprToken* Timeout = TokenSlot(Control, StartTransTimeoutSlot)) {
        Write(u" TIMEOUT ");
        BuildOperand(Timeout, LevelValue);
      }
      break;
    case toCOMMIT:
      Write(u"COMMIT");
      if (TokenSlot(Control, CommitNoFlushSlot) != nullptr) Write(u" NO FLUSH");
      break;
    case toROLLBACK:
      Write(u"ROLLBACK");
      break;
    case toEXECUTE:
      Write(u"EXECUTE ");
      if (const TORVExprToken* Statement = TokenSlot(Control, ExecuteStatementSlot)) Write(QuotedName(Statement->FName));
      BuildUsing(TokenSlot(Control, ExecuteUsingSlot));
      break;
    case toEXECUTEIMMEDIATE:
      Write(u"EXECUTE IMMEDIATE ");
      BuildOperand(TokenSlot(Control, ExecuteStatementSlot), LevelAdditive);
      BuildUsing(TokenSlot(Control, ExecuteUsingSlot));
      break;
    case toPREPARE:
      Write(u"PREPARE ");
      if (const TORVExprToken* Statement = TokenSlot(Control, PrepareStatementSlot)) Write(QuotedName(Statement->FName));
      Write(u" FROM ");
      BuildOperand(TokenSlot(Control, PrepareTextSlot), LevelAdditive);
      break;
    case toUNPREPARE:
      Write(u"UNPREPARE ");
      if (const TORVExprToken* Statement = TokenSlot(Control, PrepareStatementSlot)) Write(QuotedName(Statement->FName));
      break;
    case toOPEN:
    case toCLOSE:
    case toREFRESH:
    case toDELETECURSOR:
      Write(Control->FTokenOperator == toOPEN      ? u"OPEN "
            : Control->FTokenOperator == toCLOSE   ? u"CLOSE "
            : Control->FTokenOperator == toREFRESH ? u"REFRESH "
                                                   : u"DELETE FROM ");
      if (const TORVExprToken* Cursor = TokenSlot(Control, CursorRefSlot)) Write(QuotedName(Cursor->FName));
      if (Control->FTokenOperator == toOPEN) BuildUsing(TokenSlot(Control, OpenUsingSlot));
      break;
    case toFETCH: {
      const TORVExprToken* Orientation = TokenSlot(Control, FetchOrientationSlot);
      Write(u"FETCH");
      if (Orientation != nullptr) {
        Write(FetchOrientationText(Orientation->FTokenID));
        if (const TORVExprToken* Value = TokenSlot(Orientation, FetchOrientationValueSlot)) {
          Write(u" ");
          BuildOperand(Value, LevelValue);
        }
      }
      Write(u" FROM ");
      if (const TORVExprToken* Cursor = TokenSlot(Control, FetchCursorSlot)) Write(QuotedName(Cursor->FName));
      if (const TORVExprToken* Targets = TokenSlot(Control, FetchPairsSlot)) {
        if (HasLefts(Targets)) {
          Write(u" (");
          Pairs(Targets, true);
          Write(u")");
        }
        Write(u" INTO ");
        bool First = true;
        for (int32_t I = 0; I < Targets->GetNumArguments(); ++I) {
          const TORVExprToken* Target = Targets->GetArgument(I)->GetRightToken();
          if (Target == nullptr) continue;
          if (!First) Write(u", ");
          First = false;
          BuildOperand(Target, LevelValue);
        }
      }
      break;
    }
    case toINSERTCURSOR: {
      const TORVExprToken* Values = TokenSlot(Control, CursorPairsSlot);
      Write(u"INSERT INTO ");
      if (const TORVExprToken* Cursor = TokenSlot(Control, CursorRefSlot)) Write(QuotedName(Cursor->FName));
      if (HasLefts(Values)) {
        Write(u" (");
        Pairs(Values, true);
        Write(u")");
      }
      Write(u" VALUES (");
      Pairs(Values, false);
      Write(u")");
      break;
    }
    case toUPDATECURSOR: {
      const TORVExprToken* Assignments = TokenSlot(Control, CursorPairsSlot);
      Write(u"UPDATE ");
      if (const TORVExprToken* Cursor = TokenSlot(Control, CursorRefSlot)) Write(QuotedName(Cursor->FName));
      Write(u" SET ");
      for (int32_t I = 0; Assignments != nullptr && I < Assignments->GetNumArguments(); ++I) {
        const TORVExprToken* Pair = Assignments->GetArgument(I);
        if (I > 0) Write(u", ");
        BuildNameOperand(Pair->GetLeftToken(), LevelAdditive);
        Write(u" = ");
        BuildOperand(Pair->GetRightToken(), LevelOr);
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace orv
