#include "catalog/orvtrigger.h"

#include "catalog/orvcatalog.h"
#include "catalog/orvconfig.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"
#include "sql/orvbuilder.h"
#include "sql/orvexprcatalog.h"
#include "sql/orvparser.h"
#include "sql/orvroutineslots.h"
#include "sql/orvvalidater.h"

namespace orv {

namespace {

// The first catalog version whose trigger streams carry the routine
// version, and whose routine texts use the current dynamic-SQL syntax.
constexpr TORVCurrency TriggerRoutineVersion = DynamicSyntaxVersion;

TORVTrigger* TriggerAbove(const TORVConfigObject* Member) {
  TORVConfigObject* Collection = Member->GetParent();
  return Collection != nullptr ? dynamic_cast<TORVTrigger*>(Collection->GetParent()) : nullptr;
}

bool Holds(const TORVConfigObjects& List, const TORVConfigObject* Object) {
  for (int32_t I = 0; I < List.GetCount(); ++I)
    if (List.GetObjects(I) == Object) return true;
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// TORVTriggerColumn

TORVVirtualTable* TORVTriggerColumn::ReferencedTable() const {
  TORVTrigger* Trigger = TriggerAbove(this);
  return Trigger != nullptr ? Trigger->GetOwnerTable() : nullptr;
}

// ---------------------------------------------------------------------------
// TORVTriggerExpr

TORVTriggerExpr::TORVTriggerExpr(TORVTrigger* Trigger) : TORVCatalogExpr(Trigger), FTrigger(Trigger) {}

TORVString TORVTriggerExpr::GetTypeName() const { return FTrigger->GetName() + u" check constraint expression"; }

void TORVTriggerExpr::Validate() {
  ResetCatalog();
  TORVExprValidater& Validater = *Config()->GetValidater();
  Validater.Initialize(this);
  Validater.SetRequiredDataType(dtBoolean);
  Validater.SetRequiredSubType(0);
  // The validater would take an integer for a Boolean; a condition must be
  // a truth value (or NULL) itself.
  TORVTypeCodeSet Boolean;
  Boolean.Include(0);
  Boolean.Include(dtBoolean);
  RunValidation(
      [&] {
        Validater.Validate();
        // Validate hands the validater back to the expression it served
        // before; the check is made on this one and then hands it back too.
        TORVCompiledExpr* Outer = Validater.GetExpr();
        Validater.SetExpr(this);
        try {
          Validater.CheckTypes(FTokens, Boolean, AllSubTypeSet());
        } catch (...) {
          Validater.SetExpr(Outer);
          throw;
        }
        Validater.SetExpr(Outer);
      },
      [this] { Unlock(); });
}

TORVVirtualTable* TORVTriggerExpr::DefaultTable() { return FTrigger->GetOwnerTable(); }

void TORVTriggerExpr::DefaultTableName(TORVExprToken*, TORVString& Name) {
  TORVVirtualTable* Table = FTrigger->GetOwnerTable();
  Name = Table != nullptr ? Table->GetName() : TORVString();
}

void TORVTriggerExpr::CheckForRowColumn(TORVExprToken* Token) { FTrigger->CheckForRowColumn(Token); }

void TORVTriggerExpr::ColumnFound(TORVExprToken* Token) { FTrigger->ColumnFound(Token); }

// ---------------------------------------------------------------------------
// TORVTriggerRoutine

TORVTriggerRoutine::TORVTriggerRoutine(TORVTrigger* Trigger) : TORVCatalogRoutine(Trigger), FTrigger(Trigger) {}

TORVString TORVTriggerRoutine::GetTypeName() const { return FTrigger->GetName() + u" trigger"; }

TORVExprToken* TORVTriggerRoutine::Parse() {
  ResetCatalog();
  TORVExprParser& Parser = *Config()->GetParser();
  Parser.Initialize(this);
  TORVParseOptions Options{poNoParameters, poAllowSchemaQualifier, poAllowTableQualifier, poCheckEndRoutine};
  if (FTrigger->GetActionTime() == taError) {
    Options.Include(poAllowExceptionHandling);
    Options.Include(poAllowRetry);
  }
  if (!(FTrigger->GetRoutineVersion() >= TriggerRoutineVersion)) Options.Include(poConvertDynamic);
  return Parser.ParseTriggerRoutine(Options);
}

TORVVirtualTable* TORVTriggerRoutine::DefaultTable() { return FTrigger->GetOwnerTable(); }

void TORVTriggerRoutine::DefaultTableName(TORVExprToken*, TORVString& Name) {
  TORVVirtualTable* Table = FTrigger->GetOwnerTable();
  Name = Table != nullptr ? Table->GetName() : TORVString();
}

void TORVTriggerRoutine::ExpressionCompiled() { FTrigger->SetupExpressionReferences(); }

void TORVTriggerRoutine::ExpressionDecompiled() { FTrigger->ClearExpressionReferences(); }

void TORVTriggerRoutine::CheckForRowColumn(TORVExprToken* Token) { FTrigger->CheckForRowColumn(Token); }

void TORVTriggerRoutine::ColumnFound(TORVExprToken* Token) { FTrigger->ColumnFound(Token); }

void TORVTriggerRoutine::FunctionFound(TORVExprToken* Token) { FTrigger->FunctionFound(Token); }

void TORVTriggerRoutine::ProcedureFound(TORVExprToken* Token) { FTrigger->ProcedureFound(Token); }

// ---------------------------------------------------------------------------
// TORVTrigger

TORVTrigger::TORVTrigger(TORVCatalog* OwnerCatalog)
    : FTriggerColumns(std::make_unique<TORVTriggerColumns>()),
      FConditionExpr(std::make_unique<TORVTriggerExpr>(this)),
      FDefinition(std::make_unique<TORVTriggerRoutine>(this)),
      FReferencedOldRowColumns(std::make_unique<TORVSelectedColumns>()),
      FReferencedNewRowColumns(std::make_unique<TORVSelectedColumns>()),
      FReferencedFunctions(std::make_unique<TORVSelectedFunctions>()),
      FReferencedProcedures(std::make_unique<TORVSelectedProcedures>()) {
  FTriggerColumns->SetParent(this);
  FReferencedOldRowColumns->SetParent(this);
  FReferencedNewRowColumns->SetParent(this);
  FReferencedFunctions->SetParent(this);
  FReferencedProcedures->SetParent(this);
  FConditionExpr->SetCatalog(OwnerCatalog);
  FDefinition->SetCatalog(OwnerCatalog);
  if (OwnerCatalog != nullptr) FRoutineVersion = CatalogVersion(OwnerCatalog);
}

TORVTrigger::~TORVTrigger() {
  // The expressions unbind through this trigger while they are freed.
  FConditionExpr.reset();
  FDefinition.reset();
}

TORVVirtualTable* TORVTrigger::GetOwnerTable() const {
  return FParent != nullptr ? dynamic_cast<TORVVirtualTable*>(FParent->GetParent()) : nullptr;
}

void TORVTrigger::SetActionTime(int32_t Value) {
  if (Value == FActionTime) return;
  FActionTime = Value;
  SetModified(true);
}

void TORVTrigger::SetActionType(int32_t Value) {
  if (Value == FActionType) return;
  FActionType = Value;
  SetModified(true);
}

TORVString TORVTrigger::GetActionTimeName(int32_t Value) {
  switch (Value) {
    case taBefore: return u"Before";
    case taAfter: return u"After";
    case taError: return u"Error";
    case taInsteadOf: return u"Instead Of";
    default: return TORVString();
  }
}

TORVString TORVTrigger::GetActionTypeName(int32_t Value) {
  switch (Value) {
    case tyInsert: return u"Insert";
    case tyUpdate: return u"Update";
    case tyDelete: return u"Delete";
    case tyAll: return u"All";
    case tyLoadUpdate: return u"Load Update";
    default: return TORVString();
  }
}

void TORVTrigger::PassFlag(void (TORVConfigObject::*Setter)(bool), bool Value) {
  (FTriggerColumns.get()->*Setter)(Value);
}

void TORVTrigger::SetSystemObject(bool Value) {
  TORVCatalogObject::SetSystemObject(Value);
  PassFlag(&TORVConfigObject::SetSystemObject, Value);
}

void TORVTrigger::SetTemporary(bool Value) {
  TORVCatalogObject::SetTemporary(Value);
  PassFlag(&TORVConfigObject::SetTemporary, Value);
}

void TORVTrigger::SetTemporaryForSession(bool Value) {
  TORVCatalogObject::SetTemporaryForSession(Value);
  PassFlag(&TORVConfigObject::SetTemporaryForSession, Value);
}

void TORVTrigger::Reset() {
  TORVCatalogObject::Reset();
  FTriggerColumns->Reset();
}

void TORVTrigger::ResetReferences() {
  TORVCatalogObject::ResetReferences();
  FTriggerColumns->ResetReferences();
}

void TORVTrigger::TriggerActionTimeError() {
  ValidateError(ORV_TRIGGER_TIME_MSG, 0, 0);
  ValidateErrorReturned();
}

void TORVTrigger::TriggerActionTypeError() {
  ValidateError(ORV_TRIGGER_TYPE_MSG, 0, 0);
  ValidateErrorReturned();
}

void TORVTrigger::Validate() {
  TORVCatalogObject::Validate();
  if (FActionTime < taBefore || FActionTime > taInsteadOf) TriggerActionTimeError();
  if (FActionType < tyInsert || FActionType > tyLoadUpdate) TriggerActionTypeError();
}

bool TORVTrigger::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  if (!TORVCatalogObject::Compare(ObjectToCompare, CompareID)) return false;
  auto* Other = dynamic_cast<TORVTrigger*>(ObjectToCompare);
  return Other != nullptr && FActionTime == Other->FActionTime && FActionType == Other->FActionType &&
         FTriggerColumns->Compare(Other->FTriggerColumns.get(), CompareID) &&
         FConditionExpr->Compare(Other->FConditionExpr.get()) && FDefinition->Compare(Other->FDefinition.get());
}

void TORVTrigger::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVCatalogObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVTrigger*>(FromObject);
  if (From == nullptr || From == this) return;
  FActionTime = From->FActionTime;
  FActionType = From->FActionType;
  FTriggerColumns->Assign(From->FTriggerColumns.get(), CopyReferences);
  FConditionExpr->SetExpression(From->FConditionExpr->GetExpression());
  FDefinition->SetExpression(From->FDefinition->GetExpression());
  FReferencedOldRowColumns->Assign(From->FReferencedOldRowColumns.get(), CopyReferences);
  FReferencedNewRowColumns->Assign(From->FReferencedNewRowColumns.get(), CopyReferences);
  FReferencedFunctions->Assign(From->FReferencedFunctions.get(), CopyReferences);
  FReferencedProcedures->Assign(From->FReferencedProcedures.get(), CopyReferences);
  FRoutineVersion = From->FRoutineVersion;
}

void TORVTrigger::Compile() {
  FDefinition->Compile();
  if (!FConditionExpr->GetExpression().empty()) FConditionExpr->Compile();
}

void TORVTrigger::Decompile() {
  FDefinition->Decompile();
  if (!FConditionExpr->GetExpression().empty()) FConditionExpr->Decompile();
}

void TORVTrigger::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVCatalogObject::Save(Stream, CRCOnly);
  Stream.WriteInteger(FActionTime);
  Stream.WriteInteger(FActionType);
  if (FActionType == tyUpdate) FTriggerColumns->Save(Stream, CRCOnly);
  FConditionExpr->Save(Stream);
  FDefinition->Save(Stream);
  Stream.WriteCurrency(FRoutineVersion);
}

void TORVTrigger::Load(TORVMemoryStream& Stream) {
  TORVCatalogObject::Load(Stream);
  FActionTime = Stream.ReadInteger();
  FActionType = Stream.ReadInteger();
  if (FActionType == tyUpdate) {
    FTriggerColumns->Load(Stream);
  } else {
    FTriggerColumns->Clear();
  }
  FConditionExpr->Load(Stream);
  FDefinition->Load(Stream);
  // An older catalog stores no routine version: its text follows the
  // syntax of the catalog it was read from.
  const TORVCurrency Version = GetConfigVersion();
  FRoutineVersion = Version >= TriggerRoutineVersion ? Stream.ReadCurrency() : Version;
}

int32_t TORVTrigger::GetMemorySize() {
  return TORVCatalogObject::GetMemorySize() + FTriggerColumns->GetMemorySize() + FConditionExpr->GetMemorySize() +
         FDefinition->GetMemorySize() + FReferencedOldRowColumns->GetMemorySize() +
         FReferencedNewRowColumns->GetMemorySize() + FReferencedFunctions->GetMemorySize() +
         FReferencedProcedures->GetMemorySize();
}

int32_t TORVTrigger::GetMemoryCount() {
  return TORVCatalogObject::GetMemoryCount() + FTriggerColumns->GetMemoryCount();
}

void TORVTrigger::CheckInvariants() const {
  TORVCatalogObject::CheckInvariants();
  CheckListInvariants({FTriggerColumns.get()});
}

TORVString TORVTrigger::GetSQL(bool IncludeDescription) {
  TORVVirtualTable* Table = GetOwnerTable();
  TORVString Result = u"TRIGGER " + QuotedName(FName) + u" " + UpperCaseString(GetActionTimeName()) + u" " +
                      UpperCaseString(GetActionTypeName());
  if (FActionType == tyUpdate && FTriggerColumns->GetCount() > 0)
    Result += u" OF " + FTriggerColumns->GetCreateSQL(false, false, false);
  Result += u" ON " + QuotedName(Table != nullptr ? Table->GetName() : TORVString());
  const TORVString Condition = TrimCatalogExpression(FConditionExpr->GetExpression());
  if (!Condition.empty()) Result += u"\r\nWHEN " + Condition;
  // The stored text starts with its own TRIGGER line, which the header
  // above replaces.
  const TORVString Routine = TrimCatalogExpression(FDefinition->GetExpression());
  const size_t LineEnd = Routine.find(u"\r\n");
  Result += u"\r\n" + (LineEnd == TORVString::npos ? TORVString() : Routine.substr(LineEnd + 2));
  if (IncludeDescription && !FDescription.empty())
    Result += u"\r\nDESCRIPTION " + QuotedString(TrimCatalogExpression(FDescription), u'\'');
  return Result;
}

TORVString TORVTrigger::GetCreateSQL(bool, bool, bool) { return u"CREATE " + GetSQL(true); }

TORVString TORVTrigger::GetDropSQL(bool, bool) {
  TORVVirtualTable* Table = GetOwnerTable();
  return u"DROP TRIGGER " + QuotedName(FName) + u" FROM " +
         QuotedName(Table != nullptr ? Table->GetName() : TORVString());
}

void TORVTrigger::BuildAlterSQL(int32_t Action, TORVConfigObject* Target, char16_t) {
  FAlterSQL.clear();
  if (Action == 0) {
    FAlterSQL = GetCreateSQL(true, false, false);
    return;
  }
  if (Action == 2) {
    FAlterSQL = GetDropSQL(true, false);
    return;
  }
  auto* Other = dynamic_cast<TORVTrigger*>(Target);
  if (Other == nullptr || Compare(Other, false)) return;
  FAlterSQL = u"ALTER " + Other->GetSQL(false);
  if (FDescription != Other->FDescription)
    FAlterSQL += u"\r\nDESCRIPTION " + QuotedString(TrimCatalogExpression(Other->FDescription), u'\'');
}

TORVConfigObject* TORVTrigger::GetDependencyParentObject() {
  TORVVirtualTable* Table = GetOwnerTable();
  return Table != nullptr ? static_cast<TORVConfigObject*>(Table) : this;
}

void TORVTrigger::AddDependenciesToObject(TORVConfigObject* Obj) {
  Compile();
  if (dynamic_cast<TORVColumn*>(Obj) != nullptr) {
    FTriggerColumns->AddDependenciesToObject(Obj);
    if (Holds(*FReferencedOldRowColumns, Obj) || Holds(*FReferencedNewRowColumns, Obj))
      Obj->GetDependencies()->Add(this);
  }
  FReferencedFunctions->AddDependenciesToObject(Obj);
  FReferencedProcedures->AddDependenciesToObject(Obj);
}

void TORVTrigger::ResetDependenciesToObject(TORVConfigObject* Obj, int32_t NewID) {
  Compile();
  FTriggerColumns->ResetDependenciesToObject(Obj, NewID);
  FReferencedOldRowColumns->ResetDependenciesToObject(Obj, NewID);
  FReferencedNewRowColumns->ResetDependenciesToObject(Obj, NewID);
  FReferencedFunctions->ResetDependenciesToObject(Obj, NewID);
  FReferencedProcedures->ResetDependenciesToObject(Obj, NewID);
}

void TORVTrigger::RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) {
  Compile();
  auto Rename = [&](TORVTokenType SymbolType) {
    if (!FConditionExpr->GetExpression().empty())
      FConditionExpr->RenameSymbols(SymbolType, Obj->GetName(), NewName);
    FDefinition->RenameSymbols(SymbolType, Obj->GetName(), NewName);
    SetModified(true);
  };
  if (Holds(*FReferencedOldRowColumns, Obj) || Holds(*FReferencedNewRowColumns, Obj)) {
    Rename(ttROWCOLUMNREF);
  } else if (Holds(*FReferencedFunctions, Obj)) {
    Rename(ttFUNCREF);
  } else if (Holds(*FReferencedProcedures, Obj)) {
    Rename(ttPROCREF);
  }
}

void TORVTrigger::CheckForRowColumn(TORVExprToken* Token) {
  TORVExprToken* Header = FDefinition->FTokens;
  TORVExprToken* Rows = Header != nullptr && Header->GetNumArguments() == RoutineSlotCount
                            ? Header->GetArgument(RoutineRowVariablesSlot)
                            : nullptr;
  LinkRowColumn(Token, Rows, FActionType);
}

void TORVTrigger::ColumnFound(TORVExprToken* Token) {
  TORVVirtualTable* Table = GetOwnerTable();
  if (Table == nullptr || Token->FTokenType != ttROWCOLUMNREF || Token->FSourceToken == nullptr) return;
  TORVColumn* Column = Table->GetColumns().GetColumn(Token->FPosition);
  if (Token->FSourceToken->FTokenID == OldRowVariableID) {
    FReferencedOldRowColumns->Add(Column);
  } else if (Token->FSourceToken->FTokenID == NewRowVariableID) {
    FReferencedNewRowColumns->Add(Column);
  }
}

void TORVTrigger::FunctionFound(TORVExprToken* Token) {
  TORVCatalog* Catalog = GetCatalog();
  if (Catalog == nullptr || Token->FTokenOperator != toUDF) return;
  FReferencedFunctions->Add(Catalog->GetDefaultSchema()->GetFunctions().FindByName(Token->FName, true));
}

void TORVTrigger::ProcedureFound(TORVExprToken* Token) {
  TORVCatalog* Catalog = GetCatalog();
  if (Catalog == nullptr) return;
  FReferencedProcedures->Add(Catalog->GetDefaultSchema()->GetProcedures().FindByName(Token->FName, true));
}

void TORVTrigger::SetupExpressionReferences() {
  SortUniqueByID(*FReferencedOldRowColumns);
  SortUniqueByID(*FReferencedNewRowColumns);
  SortUniqueByID(*FReferencedFunctions);
  SortUniqueByID(*FReferencedProcedures);
}

void TORVTrigger::ClearExpressionReferences() {
  FReferencedOldRowColumns->Clear();
  FReferencedNewRowColumns->Clear();
  FReferencedFunctions->Clear();
  FReferencedProcedures->Clear();
}

// ---------------------------------------------------------------------------
// TORVTriggers

TORVTriggers::TORVTriggers() : TORVCatalogObjects(true) {}

TORVTriggers::~TORVTriggers() = default;

TORVReferencedTriggers* TORVTriggers::List(int32_t Index) {
  if (FEventLists[Index] == nullptr) {
    FEventLists[Index] = std::make_unique<TORVReferencedTriggers>();
    FEventLists[Index]->SetParent(this);
  }
  return FEventLists[Index].get();
}

void TORVTriggers::ObjectsChanged() {
  TORVCatalogObjects::ObjectsChanged();
  SetupTriggerInformation();
}

void TORVTriggers::SetupTriggerInformation() {
  for (auto& EventList : FEventLists)
    if (EventList != nullptr) EventList->Clear();
  for (int32_t I = 0; I < FCount; ++I) {
    TORVTrigger* Trigger = GetTrigger(I);
    const int32_t Time = Trigger->GetActionTime();
    if (Time < taBefore || Time > taError) continue;
    const int32_t Type = Trigger->GetActionType();
    // Operation: 0 insert, 1 update, 2 delete, 3 load.
    auto AddTo = [&](int32_t Operation) { List(Operation * 3 + (Time - taBefore))->Add(Trigger); };
    switch (Type) {
      case tyInsert: AddTo(0); break;
      case tyUpdate: AddTo(1); break;
      case tyDelete: AddTo(2); break;
      case tyLoadUpdate: AddTo(3); break;
      case tyAll:
        for (int32_t Operation = 0; Operation < 4; ++Operation) AddTo(Operation);
        break;
      default: break;
    }
  }
}

void TORVTriggers::InsertAtPosition(int32_t Position, TORVTrigger* NewTrigger) {
  const int32_t Index = Position - 1;
  if (Index >= FCount) {
    Add(NewTrigger);
  } else {
    Insert(Index < 0 ? 0 : Index, NewTrigger);
  }
}

int32_t TORVTriggers::GetMemorySize() {
  int32_t Size = TORVCatalogObjects::GetMemorySize();
  for (auto& EventList : FEventLists)
    if (EventList != nullptr) Size += EventList->GetMemorySize();
  return Size;
}

// ---------------------------------------------------------------------------
// Information tables

const TORVConfigObjectsClass& TriggersClass() {
  static const TORVTableDescription Description{
      {TableText(u"TableName", 80, true), TableText(u"Name", 80, true), TableClob(u"Description", false),
       TableText(u"ActionTime", 15, true), TableText(u"ActionType", 15, true), TableClob(u"Condition", false),
       TableClob(u"Definition", false), TableColumn(u"Enabled", dtBoolean), TableColumn(u"OrdinalPos", dtInteger),
       TableClob(u"CreateSQL", true), TableClob(u"DropSQL", true)},
      {{u"TableName", {1}}, {u"Name", {2}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig*) { return new TORVTriggers(); }, u"Triggers",
                                            &Description};
  return Class;
}

const TORVConfigObjectsClass& TriggerColumnsClass() {
  static const TORVTableDescription Description{
      {TableText(u"TableName", 80, true), TableText(u"TriggerName", 80, true), TableText(u"ColumnName", 80, true),
       TableColumn(u"OrdinalPos", dtInteger)},
      {{u"TableName", {1}}, {u"TriggerName", {2}}, {u"ColumnName", {3}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig*) { return new TORVTriggerColumns(); },
                                            u"TriggerColumns", &Description};
  return Class;
}

}  // namespace orv
