// Routines and the procedural language: parameters, blocks with their
// declarations, data types, assignment targets and every control
// statement. A routine is validated from its parameters inward, so that
// the names a statement uses are bound and typed before it is checked.
#include <memory>

#include "base/orverror.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvroutineslots.h"
#include "sql/orvstmtslots.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"
#include "sql/orvvalidater.h"

namespace orv {

namespace {

// The trigger whose code holds Token, or nil.
const TORVExprToken* GetParentTriggerToken(const TORVExprToken* Token) {
  for (const TORVExprToken* Node = Token; Node != nullptr; Node = Node->FUpperToken) {
    if (Node->FTokenType == ttTRIGGER) return Node;
  }
  return nullptr;
}

// The array size of the declaration that declares Name, or -1 when it
// gives none.
int64_t DeclaredArraySize(const TORVExprToken* Name) {
  if (Name == nullptr || Name->FTokenType != ttARRAY || Name->FUpperToken == nullptr) return -1;
  const TORVExprToken* Size = SlotOf(Name->FUpperToken->FUpperToken, DeclareArraySizeSlot);
  int64_t Value = -1;
  if (Size == nullptr || !TORVExprValidater::ConstantInteger(Size, Value)) return -1;
  return Value;
}

bool IsVariableDeclaration(const TORVExprToken* Name) {
  return Name->FTokenType == ttVARIABLE || Name->FTokenType == ttARRAY;
}

// Calls Visit with every name declared in Declarations before Stop, in
// order; ends early when Visit returns True.
template <typename F>
void ForEachEarlierName(TORVExprToken* Declarations, const TORVExprToken* Stop, F&& Visit) {
  for (int32_t I = 0; Declarations != nullptr && I < Declarations->GetNumArguments(); ++I) {
    TORVExprToken* Names = SlotOf(Declarations->GetArgument(I), DeclareNamesSlot);
    for (int32_t J = 0; Names != nullptr && J < Names->GetNumArguments(); ++J) {
      TORVExprToken* Name = Names->GetArgument(J);
      if (Name == Stop) return;
      if (Name != nullptr && Visit(Name)) return;
    }
  }
}

}  // namespace

void TORVExprValidater::BuildControlsTable() {
  FControlsTable.fill(nullptr);
  auto Set = [this](TORVTokenOperator Operator, TORVValidateMethod Method) {
    FControlsTable[static_cast<size_t>(Operator - FirstControlOperator)] = Method;
  };
  Set(toRAISE, &TORVExprValidater::ValidateRAISE);
  Set(toLOGEVENT, &TORVExprValidater::ValidateLOGEVENT);
  Set(toSETLOGMSG, &TORVExprValidater::ValidateLOGEVENT);
  Set(toSETSTATUSMSG, &TORVExprValidater::ValidateLOGEVENT);
  Set(toSETPROGRESS, &TORVExprValidater::ValidateSETPROGRESS);
  Set(toSETCACHE, &TORVExprValidater::ValidateSETCACHE);
  Set(toSET, &TORVExprValidater::ValidateSET);
  Set(toIF, &TORVExprValidater::ValidateIF);
  Set(toCASE, &TORVExprValidater::ValidateCASE);
  Set(toLOOP, &TORVExprValidater::ValidateLOOP);
  Set(toREPEAT, &TORVExprValidater::ValidateREPEAT);
  Set(toWHILE, &TORVExprValidater::ValidateWHILE);
  Set(toITERATE, &TORVExprValidater::SetJumpSourceToken);
  Set(toLEAVE, &TORVExprValidater::SetJumpSourceToken);
  Set(toRETRY, &TORVExprValidater::SetJumpSourceToken);
  Set(toRETURN, &TORVExprValidater::ValidateRETURN);
  Set(toSTARTTRANS, &TORVExprValidater::ValidateSTARTTRANS);
  Set(toUSEDB, &TORVExprValidater::ValidateUSEDB);
  Set(toCALL, &TORVExprValidater::ValidateCALL);
  Set(toEXECUTEIMMEDIATE, &TORVExprValidater::ValidateEXECUTEIMMEDIATE);
  Set(toPREPARE, &TORVExprValidater::ValidatePREPARE);
  Set(toEXECUTE, &TORVExprValidater::ValidateEXECUTE);
  Set(toOPEN, &TORVExprValidater::ValidateEXECUTE);
  Set(toUNPREPARE, &TORVExprValidater::ValidateCLOSE);
  Set(toCLOSE, &TORVExprValidater::ValidateCLOSE);
  Set(toREFRESH, &TORVExprValidater::ValidateCLOSE);
  Set(toDELETECURSOR, &TORVExprValidater::ValidateCLOSE);
  Set(toFETCH, &TORVExprValidater::ValidateFETCH);
  Set(toINSERTCURSOR, &TORVExprValidater::ValidateINSERTCURSOR);
  Set(toUPDATECURSOR, &TORVExprValidater::ValidateUPDATECURSOR);
}

// ---------------------------------------------------------------------------
// Constants

void TORVExprValidater::CheckConstantTypes(TORVExprToken* Value, TORVValidateMethod TypeCheck) {
  if (Value == nullptr) return;
  CheckTokenType(Value, {ttCONST});
  (this->*TypeCheck)(Value);
}

// ---------------------------------------------------------------------------
// Routines

void TORVExprValidater::ValidateRoutine(TORVExprToken* Routine) {
  ValidateParams(SlotOf(Routine, RoutineParamsSlot));
  TORVExprToken* Result = nullptr;
  if (TORVExprToken* Returns = SlotOf(Routine, RoutineReturnsSlot)) {
    Result = SlotOf(Returns, ClauseValueSlot);
    if (Result != nullptr) {
      TORVExprToken* DataType = SlotOf(Result, ParamDataTypeSlot);
      if (DataType != nullptr) {
        ValidateDataType(DataType);
        Result->AssignType(DataType);
      }
    }
  }
  if (SlotOf(Routine, RoutineModuleSlot) != nullptr) return;
  TORVExprToken* Body = SlotOf(Routine, RoutineBodySlot);
  if (Body == nullptr) return;
  ValidateBlock(Body);
  TORVExprToken* Return = SlotOf(Body, BlockReturnSlot);
  TORVExprToken* Value = SlotOf(Return, ReturnValueSlot);
  if (Result != nullptr && Value != nullptr) CheckArgumentTypes(Value, Result);
}

void TORVExprValidater::UnlockRoutine(TORVExprToken* Routine) {
  if (SlotOf(Routine, RoutineModuleSlot) != nullptr) return;
  if (TORVExprToken* Body = SlotOf(Routine, RoutineBodySlot)) UnlockBlock(Body);
}

void TORVExprValidater::ValidateParams(TORVExprToken* Params) {
  for (int32_t I = 0; Params != nullptr && I < Params->GetNumArguments(); ++I) {
    TORVExprToken* Param = Params->GetArgument(I);
    if (Param == nullptr) continue;
    if (TORVExprToken* DataType = SlotOf(Param, ParamDataTypeSlot)) {
      ValidateDataType(DataType);
      Param->AssignType(DataType);
    }
    CheckForDuplicateParam(Params, Param);
  }
}

void TORVExprValidater::ValidateTarget(TORVExprToken* Target, TORVExprToken* Value) {
  CheckTokenType(Target, {ttPARAMREF, ttARRAYREF, ttARRAYELEMENTREF, ttVARIABLEREF, ttROWCOLUMNREF});
  if (Target->FTokenType == ttPARAMREF) {
    const TORVExprToken* Param = Target->FSourceToken;
    if (Param == nullptr || (Param->FTokenOperator != toINPUTOUTPUT && Param->FTokenOperator != toOUTPUT)) {
      InvalidToken(Target, u"a value cannot be assigned to an INPUT parameter");
    }
  } else if (Target->FTokenType == ttROWCOLUMNREF) {
    const TORVExprToken* Trigger = GetParentTriggerToken(Target);
    if (Trigger == nullptr) Trigger = GetParentTriggerToken(SlotOf(Expr().FTokens, ObjectNameSlot));
    if (Trigger != nullptr && Trigger->FTokenOperator != toNONE) {
      const bool Before = Trigger->FTokenOperator == toBEFORE || Trigger->FTokenOperator == toERROR;
      const int32_t Operation = Trigger->FTokenID;
      const TORVExprToken* Row = Target->FSourceToken;
      bool Allowed = false;
      if (Row != nullptr && Row->FTokenID == OldRowVariableID) {
        Allowed = Before && Operation == TriggerLoadUpdateID;
      } else if (Row != nullptr) {
        Allowed = Before && (Operation == TriggerInsertID || Operation == TriggerUpdateID ||
                             Operation == TriggerAllID || Operation == TriggerLoadUpdateID);
      }
      if (!Allowed) InvalidToken(Target, u"a value cannot be assigned to this column reference");
    }
  }
  if (Value == nullptr) return;
  const bool ArrayTarget = Target->FTokenType == ttARRAYREF;
  const bool ArrayValue = Value->FTokenType == ttARRAYREF;
  if (ArrayTarget != ArrayValue) InvalidToken(ArrayTarget ? Value : Target, u"invalid array assignment");
  if (!ArrayTarget) return;
  const int64_t TargetSize = DeclaredArraySize(Target->FSourceToken);
  const int64_t ValueSize = DeclaredArraySize(Value->FSourceToken);
  if (TargetSize >= 0 && ValueSize >= 0 && TargetSize < ValueSize) {
    InvalidToken(Value, u"maximum array cardinality exceeded");
  }
}

// ---------------------------------------------------------------------------
// Blocks and declarations

namespace {

// Calls OnBlock with every nested block and OnControl with every other
// statement of Block, in the order they run: the statements, the RETURN,
// then the FINALLY or EXCEPTION section.
template <typename B, typename C>
void ForEachBlockStatement(TORVExprToken* Block, B&& OnBlock, C&& OnControl) {
  auto Visit = [&](TORVExprToken* Statement) {
    if (Statement == nullptr) return;
    if (Statement->FTokenType == ttBLOCK) {
      OnBlock(Statement);
    } else {
      OnControl(Statement);
    }
  };
  for (int32_t Slot : {BlockStatementsSlot, BlockReturnSlot, BlockHandlerSlot}) {
    TORVExprToken* Node = SlotOf(Block, Slot);
    if (Slot == BlockReturnSlot) {
      Visit(Node);
      continue;
    }
    for (int32_t I = 0; Node != nullptr && I < Node->GetNumArguments(); ++I) Visit(Node->GetArgument(I));
  }
}

}  // namespace

void TORVExprValidater::ValidateBlock(TORVExprToken* Block) {
  ValidateDeclarations(SlotOf(Block, BlockDeclarationsSlot));
  ForEachBlockStatement(
      Block, [this](TORVExprToken* Nested) { ValidateBlock(Nested); },
      [this](TORVExprToken* Control) { ValidateControl(Control); });
}

void TORVExprValidater::UnlockBlock(TORVExprToken* Block) {
  ForEachBlockStatement(
      Block, [this](TORVExprToken* Nested) { UnlockBlock(Nested); },
      [this](TORVExprToken* Control) { UnlockControl(Control); });
}

void TORVExprValidater::ValidateDeclarations(TORVExprToken* Declarations) {
  if (Declarations == nullptr) return;
  const int32_t Count = Declarations->GetNumArguments();
  // Types first, so that a default may use any earlier declaration.
  for (int32_t I = 0; I < Count; ++I) {
    TORVExprToken* Declare = Declarations->GetArgument(I);
    TORVExprToken* Names = SlotOf(Declare, DeclareNamesSlot);
    TORVExprToken* First = SlotOf(Names, FirstItemSlot);
    if (First == nullptr || !IsVariableDeclaration(First)) continue;
    TORVExprToken* DataType = SlotOf(Declare, DeclareDataTypeSlot);
    if (DataType != nullptr) ValidateDataType(DataType);
    if (First->FTokenType == ttARRAY) {
      CheckConstantTypes(SlotOf(Declare, DeclareArraySizeSlot), &TORVExprValidater::CheckIntegerTypes);
    }
    TORVExprToken* Default = SlotOf(Declare, DeclareDefaultSlot);
    if (Default != nullptr) ValidateNextToken(Default);
    for (int32_t J = 0; J < Names->GetNumArguments(); ++J) {
      TORVExprToken* Name = Names->GetArgument(J);
      if (Name == nullptr) continue;
      if (DataType != nullptr) Name->AssignType(DataType);
      if (Default != nullptr) CheckArgumentTypes(Default, Name);
    }
  }
  for (int32_t I = 0; I < Count; ++I) {
    TORVExprToken* Declare = Declarations->GetArgument(I);
    TORVExprToken* Names = SlotOf(Declare, DeclareNamesSlot);
    for (int32_t J = 0; Names != nullptr && J < Names->GetNumArguments(); ++J) {
      TORVExprToken* Name = Names->GetArgument(J);
      if (Name == nullptr) continue;
      switch (Name->FTokenType) {
        case ttVARIABLE:
        case ttARRAY:
          CheckForDuplicateVariable(Declarations, Name);
          CheckForDuplicateParam(nullptr, Name);
          break;
        case ttCURSOR: {
          CheckForDuplicateCursor(Declarations, Name);
          CheckForDuplicateCursorReturn(Declarations, Name);
          TORVExprToken* Statement = SlotOf(Name, CursorStatementSlot);
          if (Statement != nullptr) CheckForDuplicateStatement(Declarations, Statement);
          TORVExprToken* Routine = GetParentRoutineToken(Name);
          if (SlotOf(Name, CursorReturnSlot) != nullptr && IsRoutineNode(Routine)) {
            if (SlotOf(Routine, RoutineResultCursorSlot) != nullptr) {
              InvalidToken(Name, FormatString(u"duplicate result cursor declaration %s found", {Name->FName}));
            }
            std::unique_ptr<TORVExprToken> Result(Name->Create());
            Result->FTokenType = ttSTATEMENTREF;
            Result->FSourceToken = Statement;
            Result->AssignPos(Name);
            if (Statement != nullptr) Result->FName = Statement->FName;
            Routine->SetArgument(RoutineResultCursorSlot, Result.release());
          }
          break;
        }
        case ttSTATEMENT:
          CheckForDuplicateStatement(Declarations, Name);
          break;
        default:
          break;
      }
    }
  }
}

void TORVExprValidater::CheckForDuplicateVariable(TORVExprToken* Declarations, TORVExprToken* Name) {
  ForEachEarlierName(Declarations, Name, [&](TORVExprToken* Earlier) {
    if (IsVariableDeclaration(Earlier) && SameString(Earlier->FName, Name->FName)) {
      InvalidToken(Name, FormatString(u"duplicate variable declaration %s found", {Name->FName}));
    }
    return false;
  });
}

void TORVExprValidater::CheckForDuplicateParam(TORVExprToken* Params, TORVExprToken* Param) {
  if (Params == nullptr) Params = SlotOf(GetParentRoutineToken(Param), RoutineParamsSlot);
  for (int32_t I = 0; Params != nullptr && I < Params->GetNumArguments(); ++I) {
    const TORVExprToken* Earlier = Params->GetArgument(I);
    if (Earlier == Param) return;
    if (Earlier != nullptr && SameString(Earlier->FName, Param->FName)) {
      InvalidToken(Param, FormatString(u"duplicate variable declaration %s found", {Param->FName}));
    }
  }
}

void TORVExprValidater::CheckForDuplicateCursor(TORVExprToken* Declarations, TORVExprToken* Cursor) {
  ForEachEarlierName(Declarations, Cursor, [&](TORVExprToken* Earlier) {
    if (Earlier->FTokenType == ttCURSOR && SameString(Earlier->FName, Cursor->FName)) {
      InvalidToken(Cursor, FormatString(u"duplicate cursor declaration %s found", {Cursor->FName}));
    }
    return false;
  });
}

void TORVExprValidater::CheckForDuplicateCursorReturn(TORVExprToken* Declarations, TORVExprToken* Cursor) {
  if (SlotOf(Cursor, CursorReturnSlot) == nullptr) return;
  ForEachEarlierName(Declarations, Cursor, [&](TORVExprToken* Earlier) {
    if (Earlier->FTokenType == ttCURSOR && SlotOf(Earlier, CursorReturnSlot) != nullptr) {
      InvalidToken(Cursor, FormatString(u"duplicate result cursor declaration %s found", {Cursor->FName}));
    }
    return false;
  });
}

void TORVExprValidater::CheckForDuplicateStatement(TORVExprToken* Declarations, TORVExprToken* StatementName) {
  ForEachEarlierName(Declarations, StatementName, [&](TORVExprToken* Earlier) {
    const TORVExprToken* Named = Earlier->FTokenType == ttCURSOR ? SlotOf(Earlier, CursorStatementSlot) : Earlier;
    if (Named == StatementName) return true;
    if (Named != nullptr && Named->FTokenType == ttSTATEMENT && SameString(Named->FName, StatementName->FName)) {
      InvalidToken(StatementName, FormatString(u"duplicate statement declaration %s found", {StatementName->FName}));
    }
    return false;
  });
}

// ---------------------------------------------------------------------------
// Control statements

void TORVExprValidater::ValidateControl(TORVExprToken* Control) {
  if (Control->FTokenType != ttCONTROL) return;
  if (TORVValidateMethod Validator = GetControlValidator(Control->FTokenOperator)) (this->*Validator)(Control);
}

void TORVExprValidater::UnlockControl(TORVExprToken* Control) {
  if (Control->FTokenType != ttCONTROL) return;
  switch (Control->FTokenOperator) {
    case toCALL: {
      TORVExprToken* Procedure = SlotOf(Control, CallProcedureSlot);
      if (Procedure == nullptr) return;
      for (int32_t I = 0; I < Procedure->GetNumArguments(); ++I) UnlockNextToken(Procedure->GetArgument(I));
      EndReadTokenCatalog(Procedure);
      return;
    }
    case toIF:
    case toCASE: {
      TORVExprToken* Lists = SlotOf(Control, IfListsSlot);
      for (int32_t I = 0; Lists != nullptr && I < Lists->GetNumArguments(); ++I) {
        if (TORVExprToken* List = Lists->GetArgument(I)) UnlockBlock(List);
      }
      return;
    }
    case toLOOP:
    case toREPEAT:
      if (TORVExprToken* List = SlotOf(Control, LoopListSlot)) UnlockBlock(List);
      return;
    case toWHILE:
      if (TORVExprToken* List = SlotOf(Control, WhileListSlot)) UnlockBlock(List);
      return;
    case toUSEDB:
      UnlockDatabase(SlotOf(Control, UseDatabaseSlot));
      return;
    default:
      return;
  }
}

void TORVExprValidater::ValidateRAISE(TORVExprToken* Control) {
  TORVExprToken* Code = SlotOf(Control, RaiseCodeSlot);
  TORVExprToken* Message = SlotOf(Control, RaiseMessageSlot);
  if (Code == nullptr && Message == nullptr) return;
  ValidateNextToken(Code);
  ValidateNextToken(Message);
  if (Code != nullptr) CheckIntegerTypes(Code);
  if (Message != nullptr) CheckStringTypes(Message);
}

void TORVExprValidater::ValidateLOGEVENT(TORVExprToken* Control) {
  TORVExprToken* Value = SlotOf(Control, SetValueSlot);
  if (Value == nullptr) return;
  ValidateNextToken(Value);
  CheckStringBlobTypes(Value);
}

void TORVExprValidater::ValidateSETPROGRESS(TORVExprToken* Control) {
  TORVExprToken* Value = SlotOf(Control, SetValueSlot);
  if (Value == nullptr) return;
  ValidateNextToken(Value);
  CheckNumericTypes(Value);
}

void TORVExprValidater::ValidateSETCACHE(TORVExprToken* Control) {
  TORVExprToken* Value = SlotOf(Control, SetValueSlot);
  ValidateNextToken(Value);
  CheckConstantTypes(Value, &TORVExprValidater::CheckIntegerTypes);
}

void TORVExprValidater::ValidateSET(TORVExprToken* Control) {
  for (int32_t I = 0; I < Control->GetNumArguments(); ++I) {
    TORVExprToken* Assignment = Control->GetArgument(I);
    if (Assignment == nullptr) continue;
    TORVExprToken* Target = Assignment->GetLeftToken();
    TORVExprToken* Value = Assignment->GetRightToken();
    if (Target == nullptr || Value == nullptr) continue;
    ValidateNextToken(Target);
    ValidateNextToken(Value);
    CheckArgumentTypes(Value, Target);
    ValidateTarget(Target, Value);
  }
}

void TORVExprValidater::ValidateIF(TORVExprToken* Control) {
  TORVExprToken* Conditions = SlotOf(Control, IfConditionsSlot);
  for (int32_t I = 0; Conditions != nullptr && I < Conditions->GetNumArguments(); ++I) {
    TORVExprToken* Condition = Conditions->GetArgument(I);
    if (Condition == nullptr) continue;
    ValidateNextToken(Condition);
    CheckBooleanTypes(Condition);
  }
  TORVExprToken* Lists = SlotOf(Control, IfListsSlot);
  for (int32_t I = 0; Lists != nullptr && I < Lists->GetNumArguments(); ++I) {
    if (TORVExprToken* List = Lists->GetArgument(I)) ValidateBlock(List);
  }
}

void TORVExprValidater::ValidateCASE(TORVExprToken* Control) {
  // The options and lists stand where IF keeps its conditions and lists.
  static_assert(CaseOptionsSlot == IfConditionsSlot && CaseListsSlot == IfListsSlot);
  ValidateIF(Control);
}

void TORVExprValidater::ValidateLOOP(TORVExprToken* Control) {
  if (TORVExprToken* List = SlotOf(Control, LoopListSlot)) ValidateBlock(List);
}

void TORVExprValidater::ValidateREPEAT(TORVExprToken* Control) {
  if (TORVExprToken* List = SlotOf(Control, RepeatListSlot)) ValidateBlock(List);
  if (TORVExprToken* Condition = SlotOf(Control, RepeatConditionSlot)) {
    ValidateNextToken(Condition);
    CheckBooleanTypes(Condition);
  }
}

void TORVExprValidater::ValidateWHILE(TORVExprToken* Control) {
  if (TORVExprToken* Condition = SlotOf(Control, WhileConditionSlot)) {
    ValidateNextToken(Condition);
    CheckBooleanTypes(Condition);
  }
  if (TORVExprToken* List = SlotOf(Control, WhileListSlot)) ValidateBlock(List);
}

void TORVExprValidater::ValidateRETURN(TORVExprToken* Control) { ValidateNextToken(SlotOf(Control, ReturnValueSlot)); }

void TORVExprValidater::ValidateSTARTTRANS(TORVExprToken* Control) {
  TORVExprToken* Tables = SlotOf(Control, StartTransTablesSlot);
  for (int32_t I = 0; Tables != nullptr && I < Tables->GetNumArguments(); ++I) {
    TORVExprToken* Table = Tables->GetArgument(I);
    if (Table == nullptr) continue;
    ValidateNextToken(Table);
    CheckStringTypes(Table);
  }
}

void TORVExprValidater::ValidateUSEDB(TORVExprToken* Control) { UseDatabase(SlotOf(Control, UseDatabaseSlot)); }

void TORVExprValidater::ValidateCALL(TORVExprToken* Control) {
  TORVExprToken* Procedure = SlotOf(Control, CallProcedureSlot);
  if (Procedure == nullptr) return;
  // A routine that calls itself takes its own parameters: it is not in the
  // catalog while it is being defined.
  TORVExprToken* Routine = GetParentRoutineToken(Control);
  const bool Recursive = Routine != nullptr && SameString(Routine->FName, Procedure->FName);
  if (!Recursive) {
    BeginReadTokenCatalog(Procedure);
    BindReference(Procedure, ttPROCREF, true);
  }
  for (int32_t I = 0; I < Procedure->GetNumArguments(); ++I) {
    TORVExprToken* Argument = Procedure->GetArgument(I);
    if (Argument == nullptr) continue;
    ValidateNextToken(Argument);
    std::unique_ptr<TORVExprToken> Owned;
    TORVExprToken* Param = nullptr;
    if (Recursive) {
      Param = GetRoutineParamToken(Routine, I);
    } else {
      Owned.reset(GetProcedureParamToken(Procedure->FName, I));
      Param = Owned.get();
    }
    if (Param == nullptr) InvalidToken(Argument, u"invalid number of parameters specified");
    CheckArgumentTypes(Argument, Param);
  }
  ProcedureFound(Procedure);
}

void TORVExprValidater::ValidateEXECUTEIMMEDIATE(TORVExprToken* Control) {
  TORVExprToken* Text = SlotOf(Control, ExecuteStatementSlot);
  if (Text != nullptr) {
    ValidateNextToken(Text);
    CheckStringTypes(Text);
  }
  TORVExprToken* Using = SlotOf(Control, ExecuteUsingSlot);
  for (int32_t I = 0; Using != nullptr && I < Using->GetNumArguments(); ++I) ValidateNextToken(Using->GetArgument(I));
}

void TORVExprValidater::ValidatePREPARE(TORVExprToken* Control) {
  ValidateNextToken(SlotOf(Control, PrepareStatementSlot));
  if (TORVExprToken* Text = SlotOf(Control, PrepareTextSlot)) {
    ValidateNextToken(Text);
    CheckStringTypes(Text);
  }
}

void TORVExprValidater::ValidateEXECUTE(TORVExprToken* Control) {
  static_assert(ExecuteStatementSlot == CursorRefSlot && ExecuteUsingSlot == OpenUsingSlot);
  ValidateNextToken(SlotOf(Control, ExecuteStatementSlot));
  TORVExprToken* Using = SlotOf(Control, ExecuteUsingSlot);
  for (int32_t I = 0; Using != nullptr && I < Using->GetNumArguments(); ++I) ValidateNextToken(Using->GetArgument(I));
}

void TORVExprValidater::ValidateCLOSE(TORVExprToken* Control) { ValidateNextToken(SlotOf(Control, CursorRefSlot)); }

void TORVExprValidater::ValidateFETCH(TORVExprToken* Control) {
  TORVExprToken* Orientation = SlotOf(Control, FetchOrientationSlot);
  if (Orientation != nullptr &&
      (Orientation->FTokenID == FetchAbsoluteID || Orientation->FTokenID == FetchRelativeID)) {
    if (TORVExprToken* Value = SlotOf(Orientation, FetchOrientationValueSlot)) {
      ValidateNextToken(Value);
      CheckIntegerTypes(Value);
    }
  }
  ValidateNextToken(SlotOf(Control, FetchCursorSlot));
  TORVExprToken* Pairs = SlotOf(Control, FetchPairsSlot);
  for (int32_t I = 0; Pairs != nullptr && I < Pairs->GetNumArguments(); ++I) {
    TORVExprToken* Pair = Pairs->GetArgument(I);
    if (Pair == nullptr) continue;
    TORVExprToken* Column = Pair->GetLeftToken();
    TORVExprToken* Target = Pair->GetRightToken();
    if (Column != nullptr) {
      ValidateNextToken(Column);
      CheckStringTypes(Column);
    }
    if (Target == nullptr) {
      InvalidToken(Column != nullptr ? Column : Pair,
                   u"the number of FETCH target variables does not match the "
                   u"number of columns");
    }
    ValidateNextToken(Target);
    ValidateTarget(Target, Column);
  }
}

void TORVExprValidater::ValidateINSERTCURSOR(TORVExprToken* Control) {
  ValidateNextToken(SlotOf(Control, CursorRefSlot));
  TORVExprToken* Pairs = SlotOf(Control, CursorPairsSlot);
  for (int32_t I = 0; Pairs != nullptr && I < Pairs->GetNumArguments(); ++I) {
    TORVExprToken* Pair = Pairs->GetArgument(I);
    if (Pair == nullptr) continue;
    TORVExprToken* Column = Pair->GetLeftToken();
    TORVExprToken* Value = Pair->GetRightToken();
    if (Column != nullptr) {
      ValidateNextToken(Column);
      CheckStringTypes(Column);
    }
    if (Value == nullptr) {
      InvalidToken(Column != nullptr ? Column : Pair,
                   u"the number of INSERT values does not match the number of columns");
    }
    ValidateNextToken(Value);
  }
}

void TORVExprValidater::ValidateUPDATECURSOR(TORVExprToken* Control) {
  ValidateNextToken(SlotOf(Control, CursorRefSlot));
  TORVExprToken* Pairs = SlotOf(Control, CursorPairsSlot);
  for (int32_t I = 0; Pairs != nullptr && I < Pairs->GetNumArguments(); ++I) {
    TORVExprToken* Pair = Pairs->GetArgument(I);
    if (Pair == nullptr) continue;
    if (TORVExprToken* Column = Pair->GetLeftToken()) {
      ValidateNextToken(Column);
      CheckStringTypes(Column);
    }
    ValidateNextToken(Pair->GetRightToken());
  }
}

}  // namespace orv
