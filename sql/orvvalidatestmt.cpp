// Statements: the data changes bind their target table and check what they
// write against its columns; definitions and administration statements
// check that their settings are literal constants of the right type, and
// definitions of routines and views validate the routine or query they hold.
#include <initializer_list>
#include <memory>

#include "base/orverror.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvroutineslots.h"
#include "sql/orvstmtslots.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"
#include "sql/orvvalidater.h"

namespace orv {

namespace {

// The lowest error code a user-defined error may carry; lower codes are
// the engine's own.
constexpr int64_t MinUserErrorCode = 10000;

// Restores the direction of new dynamic parameters however a validation
// ends.
class TParamOperatorScope {
 public:
  TParamOperatorScope(TORVExprValidater& Validater, TORVTokenOperator Operator) : FValidater(Validater) {
    FValidater.SetParamOperator(Operator);
  }
  ~TParamOperatorScope() { FValidater.SetParamOperator(toINPUT); }
  TParamOperatorScope(const TParamOperatorScope&) = delete;
  TParamOperatorScope& operator=(const TParamOperatorScope&) = delete;

 private:
  TORVExprValidater& FValidater;
};

// The target table of a data change, or nil.
TORVExprToken* DmlTable(const TORVExprToken* Query) { return SlotOf(SlotOf(Query, DmlTableSlot), FirstItemSlot); }

}  // namespace

void TORVExprValidater::BuildStatementsTable() {
  FStatementsTable.fill(nullptr);
  auto Set = [this](TORVTokenOperator Operator, TORVValidateMethod Method) {
    FStatementsTable[static_cast<size_t>(Operator - FirstStatementOperator)] = Method;
  };
  Set(toINSERT, &TORVExprValidater::ValidateINSERT);
  Set(toUPDATE, &TORVExprValidater::ValidateUPDATE);
  Set(toDELETE, &TORVExprValidater::ValidateDELETE);
  Set(toCREATE, &TORVExprValidater::ValidateCREATE);
  Set(toALTER, &TORVExprValidater::ValidateALTER);
  Set(toENABLE, &TORVExprValidater::ValidateENABLE);
  Set(toBACKUPDB, &TORVExprValidater::ValidateBACKUPDB);
  Set(toSAVEDBUPDATES, &TORVExprValidater::ValidateBACKUPDB);
  Set(toCOMPAREDB, &TORVExprValidater::ValidateCOMPAREDB);
  Set(toMIGRATEDB, &TORVExprValidater::ValidateMIGRATEDB);
  Set(toIMPORTTABLE, &TORVExprValidater::ValidateIMPORTTABLE);
  Set(toEXPORTTABLE, &TORVExprValidater::ValidateIMPORTTABLE);
  Set(toRESET, &TORVExprValidater::ValidateRESET);
  Set(toDISCONNECTSESSION, &TORVExprValidater::ValidateDISCONNECTSESSION);
  Set(toREMOVESESSION, &TORVExprValidater::ValidateDISCONNECTSESSION);
}

void TORVExprValidater::ValidateStatement(TORVExprToken* Statement) {
  if (TORVValidateMethod Validator = GetStatementValidator(Statement->FTokenOperator)) {
    (this->*Validator)(Statement);
  }
}

void TORVExprValidater::UnlockStatement(TORVExprToken* Statement) {
  switch (Statement->FTokenOperator) {
    case toCREATE:
    case toALTER:
      switch (Statement->FTokenID) {
        case dokFunction:
        case dokJob:
        case dokProcedure:
        case dokTrigger:
          if (TORVExprToken* Routine = SlotOf(Statement, ObjectNameSlot); IsRoutineNode(Routine)) {
            UnlockRoutine(Routine);
          }
          return;
        case dokTable:
          if (TORVExprToken* Query = SlotOf(SlotOf(Statement, TableAsSlot), TableAsQuerySlot)) UnlockQuery(Query);
          return;
        case dokView:
          if (TORVExprToken* Query = SlotOf(Statement, ViewQuerySlot)) UnlockQuery(Query);
          return;
        default:
          return;
      }
    case toINSERT:
    case toUPDATE:
    case toDELETE: {
      TORVExprToken* Query = SlotOf(Statement, DmlQuerySlot);
      if (TORVExprToken* Table = DmlTable(Query)) {
        for (int32_t Slot : {TableRefConditionsSlot, TableRefJoinsSlot}) {
          TORVExprToken* Clause = SlotOf(Table, Slot);
          for (int32_t I = 0; Clause != nullptr && I < Clause->GetNumArguments(); ++I) {
            UnlockNextToken(Clause->GetArgument(I));
          }
        }
        EndReadTokenCatalog(Table);
      }
      if (TORVExprToken* Source = SlotOf(Query, DmlSourceQuerySlot)) UnlockQuery(Source);
      for (int32_t Slot : {DmlValuesSlot, DmlWhereSlot}) {
        TORVExprToken* Clause = SlotOf(Query, Slot);
        for (int32_t I = 0; Clause != nullptr && I < Clause->GetNumArguments(); ++I) {
          UnlockNextToken(Clause->GetArgument(I));
        }
      }
      return;
    }
    default:
      return;
  }
}

// ---------------------------------------------------------------------------
// Data changes

namespace {

// The parameters of a data change are declared from its start.
void StartParameters(TORVExprToken* Query) {
  TORVExprToken* Params = SlotOf(Query, DmlParametersSlot);
  if (Params != nullptr && Params->FPosition == -1) Params->FPosition = 0;
}

}  // namespace

void TORVExprValidater::ValidateINSERT(TORVExprToken* Statement) {
  TORVExprToken* Query = SlotOf(Statement, DmlQuerySlot);
  TORVExprToken* Table = DmlTable(Query);
  if (Table == nullptr) return;
  StartParameters(Query);
  BeginReadTokenCatalog(Table);
  BindReference(Table, ttTABLEREF, true);
  TORVExprToken* Columns = SlotOf(Query, DmlColumnsSlot);
  if (Columns == nullptr) {
    std::unique_ptr<TORVExprToken> Clause(Query->Create());
    Clause->FTokenType = ttCLAUSE;
    Clause->AssignPos(Table);
    Columns = Clause.get();
    Query->SetArgument(DmlColumnsSlot, Clause.release());
  }
  for (int32_t I = 0; I < Columns->GetNumArguments(); ++I) ValidateNextToken(Columns->GetArgument(I));
  if (Columns->GetNumArguments() == 0) ExpandAllInsertColumns(Table, Columns);
  const int32_t ColumnCount = Columns->GetNumArguments();
  const TORVString Mismatch = u"the number of INSERT values does not match the number of columns";
  if (TORVExprToken* Source = SlotOf(Query, DmlSourceQuerySlot)) {
    ValidateQuery(Source, true);
    TORVExprToken* Select = SlotOf(Source, QuerySelectSlot);
    if (Select == nullptr || GetSelectColumnCount(Select) != ColumnCount)
      InvalidToken(Select ? Select : Source, Mismatch);
    for (int32_t I = 0; I < ColumnCount; ++I) CheckArgumentTypes(Select->GetArgument(I), Columns->GetArgument(I));
    return;
  }
  TParamOperatorScope Direction(*this, toINPUTOUTPUT);
  TORVExprToken* Rows = SlotOf(Query, DmlValuesSlot);
  for (int32_t I = 0; Rows != nullptr && I < Rows->GetNumArguments(); ++I) {
    TORVExprToken* Row = Rows->GetArgument(I);
    if (Row == nullptr) continue;
    CheckTokenType(Row, {ttROWVALUE});
    ValidateNextToken(Row);
    if (Row->GetNumArguments() != ColumnCount) InvalidToken(Row, Mismatch);
    for (int32_t J = 0; J < ColumnCount; ++J) CheckArgumentTypes(Row->GetArgument(J), Columns->GetArgument(J));
  }
}

namespace {

// Binds the target table of an UPDATE or DELETE.
void BindDmlTable(TORVExprValidater& Validater, TORVExprToken* Table) {
  Validater.BeginReadTokenCatalog(Table);
  Validater.BindReference(Table, ttTABLEREF, true);
}

}  // namespace

void TORVExprValidater::ValidateUPDATE(TORVExprToken* Statement) {
  TORVExprToken* Query = SlotOf(Statement, DmlQuerySlot);
  TORVExprToken* Table = DmlTable(Query);
  if (Table == nullptr) return;
  StartParameters(Query);
  BindDmlTable(*this, Table);
  TORVExprToken* Columns = SlotOf(Query, DmlColumnsSlot);
  TORVExprToken* Values = SlotOf(Query, DmlValuesSlot);
  for (int32_t I = 0; Columns != nullptr && I < Columns->GetNumArguments(); ++I) {
    TORVExprToken* Column = Columns->GetArgument(I);
    if (Column == nullptr) continue;
    ValidateNextToken(Column);
    if (Column->FTokenType == ttROWVALUE) {
      CheckRowValueTokenTypes(Column, {ttCOLUMNREF});
    } else {
      CheckTokenType(Column, {ttCOLUMNREF});
    }
    TORVExprToken* Value = SlotOf(Values, I);
    if (Value == nullptr) continue;
    ValidateNextToken(Value);
    CheckArgumentTypes(Value, Column);
  }
  ValidateDELETE(Statement);
}

void TORVExprValidater::ValidateDELETE(TORVExprToken* Statement) {
  TORVExprToken* Query = SlotOf(Statement, DmlQuerySlot);
  TORVExprToken* Table = DmlTable(Query);
  if (Table == nullptr) return;
  if (Statement->FTokenOperator == toDELETE) {
    StartParameters(Query);
    BindDmlTable(*this, Table);
  }
  TORVExprToken* Where = SlotOf(Query, DmlWhereSlot);
  if (TORVExprToken* Condition = SlotOf(Where, ClauseValueSlot)) {
    // The condition is a filter: its Boolean operands become comparisons.
    const bool Transform = FTransformBooleans;
    FTransformBooleans = true;
    try {
      ValidateNextToken(Condition);
    } catch (...) {
      FTransformBooleans = Transform;
      throw;
    }
    FTransformBooleans = Transform;
    CheckBooleanTypes(Condition);
    Where->SetArgument(0, RemoveNots(Condition, false));
    // As in a query: what concerns the target table alone becomes its own
    // condition, which its navigator can serve.
    ReduceWhere(Query);
  }
  ConsolidateWhere(Query);
}

// ---------------------------------------------------------------------------
// Definitions

namespace {

// The slots of a definition that must hold constants of one kind.
struct TConstantSlots {
  std::initializer_list<int32_t> Strings;
  std::initializer_list<int32_t> Integers;
  std::initializer_list<int32_t> Numerics;
  std::initializer_list<int32_t> Dates;
  std::initializer_list<int32_t> Times;
};

}  // namespace

void TORVExprValidater::ValidateCREATE(TORVExprToken* Statement) {
  auto Constants = [this, Statement](const TConstantSlots& Slots) {
    for (int32_t Slot : Slots.Strings)
      CheckConstantTypes(SlotOf(Statement, Slot), &TORVExprValidater::CheckStringTypes);
    for (int32_t Slot : Slots.Integers) {
      CheckConstantTypes(SlotOf(Statement, Slot), &TORVExprValidater::CheckIntegerTypes);
    }
    for (int32_t Slot : Slots.Numerics) {
      CheckConstantTypes(SlotOf(Statement, Slot), &TORVExprValidater::CheckNumericTypes);
    }
    for (int32_t Slot : Slots.Dates) CheckConstantTypes(SlotOf(Statement, Slot), &TORVExprValidater::CheckDateTypes);
    for (int32_t Slot : Slots.Times) CheckConstantTypes(SlotOf(Statement, Slot), &TORVExprValidater::CheckTimeTypes);
  };
  auto Routine = [this, Statement] {
    if (TORVExprToken* Name = SlotOf(Statement, ObjectNameSlot); IsRoutineNode(Name)) ValidateRoutine(Name);
  };
  switch (Statement->FTokenID) {
    case dokDatabase:
      Constants({{DatabasePathSlot, DatabaseDescriptionSlot, DatabaseAttributesSlot}, {}, {}, {}, {}});
      return;
    case dokFunction:
    case dokProcedure:
      Routine();
      Constants({{StoredRoutineDescriptionSlot, StoredRoutineAttributesSlot}, {}, {StoredRoutineVersionSlot}, {}, {}});
      return;
    case dokIndex:
      Constants({{IndexDescriptionSlot}, {}, {}, {}, {}});
      return;
    case dokTextIndex:
      Constants({{IndexDescriptionSlot}, {IndexWordLengthSlot}, {}, {}, {}});
      return;
    case dokJob:
      Routine();
      Constants({{JobCategorySlot, JobDescriptionSlot, JobAttributesSlot},
                 {JobDayOfMonthSlot, JobIntervalSlot},
                 {JobVersionSlot},
                 {JobFromSlot, JobToSlot},
                 {JobBetweenSlot, JobAndSlot}});
      return;
    case dokStore:
      Constants({{StorePathSlot, StoreAddressSlot, StoreHostSlot, StoreServiceSlot, StorePasswordSlot,
                  StoreSignatureSlot, StoreEncryptionPasswordSlot, StoreDescriptionSlot, StoreAttributesSlot},
                 {},
                 {},
                 {},
                 {}});
      return;
    case dokMigrator:
    case dokWordGenerator:
      Constants({{ModuleDescriptionSlot}, {}, {}, {}, {}});
      return;
    case dokModule:
      Constants({{ModulePathSlot, ModuleDescriptionSlot}, {}, {}, {}, {}});
      return;
    case dokRole:
      Constants({{RoleDescriptionSlot, RoleAttributesSlot}, {}, {}, {}, {}});
      return;
    case dokUser:
      Constants({{UserPasswordSlot, UserDescriptionSlot, UserAttributesSlot}, {}, {}, {}, {}});
      return;
    case dokTextFilter:
      if (Statement->FTokenOperator == toCREATE) Constants({{TextFilterTypeSlot}, {}, {}, {}, {}});
      Constants({{TextFilterDescriptionSlot}, {}, {}, {}, {}});
      return;
    case dokTrigger:
      if (TORVExprToken* Condition = SlotOf(SlotOf(Statement, TriggerConditionSlot), ClauseValueSlot)) {
        ValidateNextToken(Condition);
        CheckBooleanTypes(Condition);
      }
      Routine();
      Constants({{TriggerDescriptionSlot}, {}, {}, {}, {}});
      return;
    case dokView:
      if (TORVExprToken* Query = SlotOf(Statement, ViewQuerySlot)) ValidateQuery(Query, false);
      Constants({{ViewDescriptionSlot, ViewAttributesSlot}, {}, {ViewVersionSlot}, {}, {}});
      return;
    case dokTable:
      if (TORVExprToken* Query = SlotOf(SlotOf(Statement, TableAsSlot), TableAsQuerySlot)) {
        ValidateQuery(Query, true);
        const TORVExprToken* Items = SlotOf(Statement, TableDefinitionsSlot);
        TORVExprToken* Select = SlotOf(Query, QuerySelectSlot);
        if (Items != nullptr && Items->GetNumArguments() > 0 && Select != nullptr &&
            Items->GetNumArguments() != GetSelectColumnCount(Select)) {
          TORVExprToken* First = SlotOf(Select, FirstItemSlot);
          InvalidToken(First != nullptr ? First : Query,
                       u"the number of query columns does not match the number "
                       u"of defined columns for the table");
        }
        return;
      }
      ValidateTableOperations(Statement);
      ValidateTableExtensions(Statement);
      return;
    default:
      return;
  }
}

void TORVExprValidater::ValidateALTER(TORVExprToken* Statement) { ValidateCREATE(Statement); }

namespace {

bool IsIdentity(const TORVExprToken* Value) {
  return Value != nullptr && (Value->FTokenOperator == toIDENTITY || Value->FTokenOperator == toDEFAULTIDENTITY);
}

}  // namespace

void TORVExprValidater::ValidateTableOperations(TORVExprToken* Statement) {
  // ERROR CODE and MESSAGE of NOT NULL and of constraints.
  auto ErrorClause = [this](TORVExprToken* Clause) {
    TORVExprToken* Code = SlotOf(Clause, ErrorCodeSlot);
    CheckConstantTypes(Code, &TORVExprValidater::CheckIntegerTypes);
    int64_t Value = 0;
    if (Code != nullptr && (!ConstantInteger(Code, Value) || Value < MinUserErrorCode)) {
      InvalidToken(Code, FormatString(u"an invalid error code was specified, the "
                                      u"error code must be greater than or equal "
                                      u"to %s",
                                      {u"10000"}));
    }
    CheckConstantTypes(SlotOf(Clause, ErrorMessageSlot), &TORVExprValidater::CheckStringTypes);
  };
  auto Constraint = [&](TORVExprToken* Item) {
    ErrorClause(SlotOf(Item, ConstraintErrorSlot));
    CheckConstantTypes(SlotOf(Item, ConstraintDescriptionSlot), &TORVExprValidater::CheckStringTypes);
  };
  auto Column = [&](TORVExprToken* Item) {
    TORVExprToken* DataType = SlotOf(Item, ColumnDataTypeSlot);
    if (DataType != nullptr) {
      ValidateDataType(DataType);
      Item->AssignType(DataType);
    }
    CheckConstantTypes(SlotOf(SlotOf(Item, ColumnCompressionSlot), ClauseValueSlot),
                       &TORVExprValidater::CheckIntegerTypes);
    TORVExprToken* Value = SlotOf(Item, ColumnValueSlot);
    if (IsIdentity(Value)) {
      CheckIntegerTypes(Item);
      CheckConstantTypes(SlotOf(Value, IdentityStartSlot), &TORVExprValidater::CheckIntegerTypes);
      CheckConstantTypes(SlotOf(Value, IdentityIncrementSlot), &TORVExprValidater::CheckIntegerTypes);
    }
    ErrorClause(SlotOf(Item, ColumnRequiredSlot));
    TORVExprToken* Constraints = SlotOf(Item, ColumnConstraintsSlot);
    for (int32_t I = 0; Constraints != nullptr && I < Constraints->GetNumArguments(); ++I) {
      if (TORVExprToken* Each = Constraints->GetArgument(I)) Constraint(Each);
    }
    CheckConstantTypes(SlotOf(Item, ColumnDescriptionSlot), &TORVExprValidater::CheckStringTypes);
    CheckConstantTypes(SlotOf(Item, ColumnPositionSlot), &TORVExprValidater::CheckIntegerTypes);
  };
  TORVExprToken* Items = SlotOf(Statement, TableDefinitionsSlot);
  for (int32_t I = 0; Items != nullptr && I < Items->GetNumArguments(); ++I) {
    TORVExprToken* Item = Items->GetArgument(I);
    TORVExprToken* Element = SlotOf(Item, DefinitionItemSlot);
    if (Element == nullptr) continue;
    const bool Definition = (Item->FTokenOperator == toADD && Element->FTokenType != ttTABLE) ||
                            (Item->FTokenOperator == toALTER && Element->FTokenOperator == toNONE);
    if (Definition) {
      if (Element->FTokenType == ttCOLUMN) Column(Element);
      if (Element->FTokenType == ttCONSTRAINT) Constraint(Element);
      continue;
    }
    if (Item->FTokenOperator != toALTER) continue;
    switch (Element->FTokenOperator) {
      case toMOVECOLUMN:
        CheckConstantTypes(SlotOf(Element, ColumnPositionSlot), &TORVExprValidater::CheckIntegerTypes);
        break;
      case toRESTARTIDENTITY:
        CheckConstantTypes(SlotOf(Element, ColumnRestartSlot), &TORVExprValidater::CheckIntegerTypes);
        break;
      case toSETDESC:
        CheckConstantTypes(
            SlotOf(Element, Element->FTokenType == ttCONSTRAINT ? ConstraintSetDescriptionSlot : ColumnDescriptionSlot),
            &TORVExprValidater::CheckStringTypes);
        break;
      default:
        break;
    }
  }
}

void TORVExprValidater::ValidateTableExtensions(TORVExprToken* Statement) {
  for (int32_t Slot : {TableDescriptionSlot, TableAttributesSlot}) {
    CheckConstantTypes(SlotOf(Statement, Slot), &TORVExprValidater::CheckStringTypes);
  }
  CheckConstantTypes(SlotOf(Statement, TableVersionSlot), &TORVExprValidater::CheckNumericTypes);
  for (int32_t Slot :
       {TableIndexPageSizeSlot, TableBlobBlockSizeSlot, TablePublishBlockSizeSlot, TablePublishCompressionSlot,
        TableMaxRowBufferSlot, TableMaxIndexBufferSlot, TableMaxBlobBufferSlot, TableMaxPublishBufferSlot}) {
    CheckConstantTypes(SlotOf(Statement, Slot), &TORVExprValidater::CheckIntegerTypes);
  }
}

// ---------------------------------------------------------------------------
// Administration

void TORVExprValidater::ValidateENABLE(TORVExprToken* Statement) {
  if (Statement->FTokenID != dokStatementLogging) return;
  for (int32_t Slot : {EnableLoggingMinimumSlot, EnableLoggingMaximumSlot}) {
    TORVExprToken* Value = SlotOf(Statement, Slot);
    if (Value == nullptr) continue;
    ValidateNextToken(Value);
    CheckConstantTypes(Value, &TORVExprValidater::CheckIntegerTypes);
  }
}

void TORVExprValidater::ValidateBACKUPDB(TORVExprToken* Statement) {
  static_assert(BackupDescriptionSlot == SaveUpdatesDescriptionSlot &&
                BackupCompressionSlot == SaveUpdatesCompressionSlot);
  CheckConstantTypes(SlotOf(Statement, BackupDescriptionSlot), &TORVExprValidater::CheckStringTypes);
  CheckConstantTypes(SlotOf(Statement, BackupCompressionSlot), &TORVExprValidater::CheckIntegerTypes);
}

namespace {

// A constant string that must hold at least one character.
void CheckNonEmptyString(TORVExprValidater& Validater, TORVExprToken* Value, const TORVString& Reason) {
  if (Value == nullptr) return;
  Validater.CheckConstantTypes(Value, &TORVExprValidater::CheckStringTypes);
  if (Value->FTokenConstant.empty()) Validater.InvalidToken(Value, Reason);
}

}  // namespace

void TORVExprValidater::ValidateCOMPAREDB(TORVExprToken* Statement) {
  CheckNonEmptyString(*this, SlotOf(Statement, CompareTermCharSlot),
                      u"the statement termination character cannot be empty");
}

void TORVExprValidater::ValidateMIGRATEDB(TORVExprToken* Statement) {
  TORVExprToken* Params = SlotOf(Statement, MigrateParamsSlot);
  for (int32_t I = 0; Params != nullptr && I < Params->GetNumArguments(); ++I) {
    const TORVExprToken* Param = Params->GetArgument(I);
    if (Param == nullptr) continue;
    if (TORVExprToken* Value = Param->GetRightToken()) CheckTokenType(Value, {ttCONST});
  }
}

void TORVExprValidater::ValidateIMPORTTABLE(TORVExprToken* Statement) {
  CheckNonEmptyString(*this, SlotOf(Statement, ImportDelimiterSlot), u"the delimiter character cannot be empty");
  CheckNonEmptyString(*this, SlotOf(Statement, ImportQuoteSlot), u"the quote character cannot be empty");
  // The formatting slots: DATE FORMAT, TIME FORMAT (its AM and PM literals
  // as its slots), DECIMAL CHAR, and the clause of the Boolean literals.
  TORVExprToken* DateFormat = SlotOf(Statement, ImportDateFormatSlot);
  TORVExprToken* TimeFormat = SlotOf(Statement, ImportTimeFormatSlot);
  TORVExprToken* DecimalChar = SlotOf(Statement, ImportDecimalCharSlot);
  TORVExprToken* Booleans = SlotOf(Statement, ImportBooleanSlot);
  for (TORVExprToken* Value :
       {DateFormat, TimeFormat, SlotOf(TimeFormat, TimeFormatAmSlot), SlotOf(TimeFormat, TimeFormatPmSlot),
        SlotOf(Booleans, BooleanTrueSlot), SlotOf(Booleans, BooleanFalseSlot)}) {
    CheckConstantTypes(Value, &TORVExprValidater::CheckStringTypes);
  }
  CheckNonEmptyString(*this, DecimalChar, u"the decimal character cannot be empty");
  if (TORVExprToken* MaxRows = SlotOf(Statement, ImportMaxRowsSlot)) {
    CheckTokenType(MaxRows, {ttCONST, ttUNARY});
    if (MaxRows->FTokenType == ttUNARY) ValidateNextToken(MaxRows);
    CheckIntegerTypes(MaxRows);
  }
}

void TORVExprValidater::ValidateRESET(TORVExprToken* Statement) {
  if (Statement->FTokenID == dokServerSessionStatistics) ValidateDISCONNECTSESSION(Statement);
}

void TORVExprValidater::ValidateDISCONNECTSESSION(TORVExprToken* Statement) {
  CheckConstantTypes(SlotOf(Statement, SessionValueSlot), &TORVExprValidater::CheckIntegerTypes);
}

}  // namespace orv
