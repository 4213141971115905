#include "catalog/orvschema.h"

#include <initializer_list>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvbasetable.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvroutine.h"

namespace orv {

TORVSchema::TORVSchema(TORVConfig* OwnerConfig, TORVUser* OwnerUser)
    : TORVCatalogBound<TORVPrivilegedConfigObject>(OwnerConfig, OwnerUser),
      FVirtualTables(std::make_unique<TORVVirtualTables>(OwnerConfig)),
      FBaseTables(std::make_unique<TORVBaseTables>(OwnerConfig)),
      FTemporaryTables(std::make_unique<TORVTemporaryTables>(OwnerConfig)),
      FBatchTables(std::make_unique<TORVReferencedTables>()),
      FTransactionTables(std::make_unique<TORVReferencedTables>()),
      FViews(std::make_unique<TORVViews>(OwnerConfig)),
      FTemporaryViews(std::make_unique<TORVTemporaryViews>(OwnerConfig)),
      FRoutines(std::make_unique<TORVRoutines>(OwnerConfig)),
      FProcedures(std::make_unique<TORVProcedures>(OwnerConfig)),
      FFunctions(std::make_unique<TORVFunctions>(OwnerConfig)),
      FSchemaObjects(std::make_unique<TORVSchemaObjects>(OwnerConfig, this)),
      FSchemaDifference(std::make_unique<TORVSchemaDifference>()) {
  for (TORVConfigObjects* List : {static_cast<TORVConfigObjects*>(FVirtualTables.get()),
                                  static_cast<TORVConfigObjects*>(FBatchTables.get()),
                                  static_cast<TORVConfigObjects*>(FTransactionTables.get()),
                                  static_cast<TORVConfigObjects*>(FBaseTables.get()),
                                  static_cast<TORVConfigObjects*>(FTemporaryTables.get()),
                                  static_cast<TORVConfigObjects*>(FViews.get()),
                                  static_cast<TORVConfigObjects*>(FTemporaryViews.get()),
                                  static_cast<TORVConfigObjects*>(FRoutines.get()),
                                  static_cast<TORVConfigObjects*>(FProcedures.get()),
                                  static_cast<TORVConfigObjects*>(FFunctions.get()),
                                  static_cast<TORVConfigObjects*>(FSchemaObjects.get()),
                                  static_cast<TORVConfigObjects*>(FSchemaDifference.get())})
    List->SetParent(this);
  FTemporaryTables->SetTemporary(true);
  FTemporaryViews->SetTemporary(true);
}

TORVSchema::~TORVSchema() {
  // The lists refer to members of the collections, which go first.
  FRoutines->Clear();
  FVirtualTables->Clear();
  FBatchTables->Clear();
  FTransactionTables->Clear();
  FVirtualTables.reset();
}

void TORVSchema::SetSystemObject(bool Value) {
  TORVCatalogBound<TORVPrivilegedConfigObject>::SetSystemObject(Value);
  FBaseTables->SetSystemObject(Value);
  FViews->SetSystemObject(Value);
  FProcedures->SetSystemObject(Value);
  FFunctions->SetSystemObject(Value);
}

void TORVSchema::SetTemporary(bool Value) {
  TORVCatalogBound<TORVPrivilegedConfigObject>::SetTemporary(Value);
  FBaseTables->SetTemporary(Value);
  FViews->SetTemporary(Value);
  FProcedures->SetTemporary(Value);
  FFunctions->SetTemporary(Value);
}

void TORVSchema::SetTemporaryForSession(bool Value) {
  TORVCatalogBound<TORVPrivilegedConfigObject>::SetTemporaryForSession(Value);
  FBaseTables->SetTemporaryForSession(Value);
  FViews->SetTemporaryForSession(Value);
  FProcedures->SetTemporaryForSession(Value);
  FFunctions->SetTemporaryForSession(Value);
}

void TORVSchema::Reset() {
  TORVCatalogBound<TORVPrivilegedConfigObject>::Reset();
  FBaseTables->Reset();
  FViews->Reset();
  FFunctions->Reset();
  FProcedures->Reset();
}

void TORVSchema::ResetReferences() {
  TORVCatalogBound<TORVPrivilegedConfigObject>::ResetReferences();
  // The base constructor resets before the lists exist.
  if (FTemporaryViews == nullptr) return;
  FBaseTables->ResetReferences();
  FTemporaryTables->ResetReferences();
  FViews->ResetReferences();
  FTemporaryViews->ResetReferences();
  FProcedures->ResetReferences();
  FFunctions->ResetReferences();
  if (FSchemaObjects != nullptr) FSchemaObjects->Clear();
}

void TORVSchema::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVCatalogBound<TORVPrivilegedConfigObject>::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVSchema*>(FromObject);
  if (From == nullptr) return;
  FBaseTables->Assign(From->FBaseTables.get(), CopyReferences);
  FViews->Assign(From->FViews.get(), CopyReferences);
  FProcedures->Assign(From->FProcedures.get(), CopyReferences);
  FFunctions->Assign(From->FFunctions.get(), CopyReferences);
}

bool TORVSchema::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  if (!TORVCatalogBound<TORVPrivilegedConfigObject>::Compare(ObjectToCompare, CompareID)) return false;
  auto* Other = dynamic_cast<TORVSchema*>(ObjectToCompare);
  return Other != nullptr && FBaseTables->Compare(Other->FBaseTables.get(), CompareID) &&
         FViews->Compare(Other->FViews.get(), CompareID) &&
         FProcedures->Compare(Other->FProcedures.get(), CompareID) &&
         FFunctions->Compare(Other->FFunctions.get(), CompareID);
}

void TORVSchema::Validate() {
  TORVCatalogBound<TORVPrivilegedConfigObject>::Validate();
  FBaseTables->Validate();
  FViews->Validate();
  FProcedures->Validate();
  FFunctions->Validate();
}

void TORVSchema::Compile() {
  FBaseTables->Compile();
  FViews->Compile();
  FProcedures->Compile();
  FFunctions->Compile();
}

void TORVSchema::Decompile() {
  FFunctions->Decompile();
  FProcedures->Decompile();
  FTemporaryViews->Decompile();
  FViews->Decompile();
  FTemporaryTables->Decompile();
  FBaseTables->Decompile();
}

int32_t TORVSchema::GetMemorySize() {
  return TORVCatalogBound<TORVPrivilegedConfigObject>::GetMemorySize() + FBaseTables->GetMemorySize() +
         FViews->GetMemorySize() + FProcedures->GetMemorySize() + FFunctions->GetMemorySize();
}

void TORVSchema::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVCatalogBound<TORVPrivilegedConfigObject>::Save(Stream, CRCOnly);
  FBaseTables->Save(Stream, CRCOnly);
  FViews->Save(Stream, CRCOnly);
  FProcedures->Save(Stream, CRCOnly);
  FFunctions->Save(Stream, CRCOnly);
}

void TORVSchema::Load(TORVMemoryStream& Stream) {
  TORVCatalogBound<TORVPrivilegedConfigObject>::Load(Stream);
  FBaseTables->Load(Stream);
  FViews->Load(Stream);
  FProcedures->Load(Stream);
  FFunctions->Load(Stream);
  RefreshRoutines();
  RefreshVirtualTables();
}

void TORVSchema::RefreshRoutines() {
  // The base constructor may reach here before the lists exist.
  if (FRoutines == nullptr || FProcedures == nullptr || FFunctions == nullptr) return;
  FRoutines->Clear();
  for (int32_t Index = 0; Index < FFunctions->GetCount(); ++Index) FRoutines->Add(FFunctions->GetObjects(Index));
  for (int32_t Index = 0; Index < FProcedures->GetCount(); ++Index) FRoutines->Add(FProcedures->GetObjects(Index));
}

int32_t TORVSchema::GetMemoryCount() {
  return TORVCatalogBound<TORVPrivilegedConfigObject>::GetMemoryCount() + FBaseTables->GetMemoryCount() +
         FViews->GetMemoryCount() + FProcedures->GetMemoryCount() + FFunctions->GetMemoryCount();
}

void TORVSchema::CheckInvariants() const {
  TORVCatalogBound<TORVPrivilegedConfigObject>::CheckInvariants();
  CheckListInvariants({FVirtualTables.get(), FBaseTables.get(), FTemporaryTables.get(), FBatchTables.get(),
                       FTransactionTables.get(), FViews.get(), FTemporaryViews.get(), FRoutines.get(),
                       FProcedures.get(), FFunctions.get()});
}

namespace {

bool TransactionLock(TORVLockType LockType) { return LockType == ltWrite || LockType == ltTransaction; }

}  // namespace

void TORVSchema::Lock(TORVLockType LockType) {
  TORVCatalogBound<TORVPrivilegedConfigObject>::Lock(LockType);
  if (!TransactionLock(LockType)) return;
  int32_t Locked = 0;
  try {
    for (; Locked < FTransactionTables->GetCount(); ++Locked) FTransactionTables->GetTable(Locked)->Lock(LockType);
  } catch (...) {
    while (Locked > 0) FTransactionTables->GetTable(--Locked)->Unlock(LockType);
    TORVCatalogBound<TORVPrivilegedConfigObject>::Unlock(LockType);
    throw;
  }
}

void TORVSchema::Unlock(TORVLockType LockType) {
  if (TransactionLock(LockType))
    for (int32_t Index = 0; Index < FTransactionTables->GetCount(); ++Index)
      FTransactionTables->GetTable(Index)->Unlock(LockType);
  TORVCatalogBound<TORVPrivilegedConfigObject>::Unlock(LockType);
}

void TORVSchema::IncTransactionLockCount() {
  TORVCatalogBound<TORVPrivilegedConfigObject>::IncTransactionLockCount();
  for (int32_t Index = 0; Index < FTransactionTables->GetCount(); ++Index)
    FTransactionTables->GetTable(Index)->IncTransactionLockCount();
}

void TORVSchema::DecTransactionLockCount() {
  for (int32_t Index = 0; Index < FTransactionTables->GetCount(); ++Index)
    FTransactionTables->GetTable(Index)->DecTransactionLockCount();
  TORVCatalogBound<TORVPrivilegedConfigObject>::DecTransactionLockCount();
}

void TORVSchema::StartTransaction() {
  TORVCatalogBound<TORVPrivilegedConfigObject>::StartTransaction();
  for (int32_t Index = 0; Index < FTransactionTables->GetCount(); ++Index)
    FTransactionTables->GetTable(Index)->StartTransaction();
}

void TORVSchema::EndTransaction() {
  for (int32_t Index = 0; Index < FTransactionTables->GetCount(); ++Index)
    FTransactionTables->GetTable(Index)->EndTransaction();
  TORVCatalogBound<TORVPrivilegedConfigObject>::EndTransaction();
}

void TORVSchema::RefreshVirtualTables() {
  // Collections report changes while the schema is still being built.
  if (FVirtualTables == nullptr || FBaseTables == nullptr || FViews == nullptr) return;
  FVirtualTables->Clear();
  for (int32_t Index = 0; Index < FBaseTables->GetCount(); ++Index) FVirtualTables->Add(FBaseTables->GetObjects(Index));
  for (int32_t Index = 0; Index < FViews->GetCount(); ++Index) FVirtualTables->Add(FViews->GetObjects(Index));
  if (FVirtualTables->GetCount() > FVirtualTables->MaximumObjectsAllowed()) FVirtualTables->TooManyObjectsError();
}

void TORVSchema::CheckVirtualTableRoom() {
  if (FBaseTables->GetCount() + FViews->GetCount() >= FVirtualTables->MaximumObjectsAllowed())
    FVirtualTables->TooManyObjectsError();
}

namespace {

// The schema that holds List as its tables or views; nil for the other
// lists of those classes (temporary, referenced) and outside a schema.
TORVSchema* HoldingSchema(TORVConfigObjects* List) {
  auto* Schema = dynamic_cast<TORVSchema*>(List->GetParent());
  if (Schema == nullptr) return nullptr;
  if (List == &Schema->GetBaseTables() || List == static_cast<TORVConfigObjects*>(&Schema->GetViews())) return Schema;
  return nullptr;
}

}  // namespace

void TORVTableAndViewObjects::Add(TORVConfigObject* NewObject) {
  if (TORVSchema* Schema = HoldingSchema(this)) Schema->CheckVirtualTableRoom();
  TORVPrivilegedCatalogObjects::Add(NewObject);
}

void TORVTableAndViewObjects::Insert(int32_t InsertPos, TORVConfigObject* NewObject) {
  if (TORVSchema* Schema = HoldingSchema(this)) Schema->CheckVirtualTableRoom();
  TORVPrivilegedCatalogObjects::Insert(InsertPos, NewObject);
}

void TORVTableAndViewObjects::ObjectsChanged() {
  TORVPrivilegedCatalogObjects::ObjectsChanged();
  if (TORVSchema* Schema = HoldingSchema(this)) Schema->RefreshVirtualTables();
}

std::vector<TORVConfigObjects*> TORVSchema::GetUserObjectLists() const {
  return {FBaseTables.get(), FViews.get(), FProcedures.get(), FFunctions.get()};
}

namespace {

// A member the effective user may not see counts as missing, whether or not
// the caller wants the error.
TORVPrivilegedConfigObject* Visible(TORVPrivilegedCatalogObjects& List, const TORVString& Name, TORVUser* EffectiveUser) {
  TORVPrivilegedConfigObject* Object = List.FindByName(Name, nullptr, false);
  if (Object != nullptr && EffectiveUser != nullptr && !Object->ObjectVisible(EffectiveUser)) return nullptr;
  return Object;
}

}  // namespace

TORVBaseTable* TORVSchema::FindBaseTable(const TORVString& Name, TORVUser* EffectiveUser, bool RaiseException) {
  auto* Table = static_cast<TORVBaseTable*>(Visible(*FBaseTables, Name, EffectiveUser));
  if (Table == nullptr && RaiseException) FBaseTables->ObjectNameNotFoundError(Name);
  return Table;
}

TORVVirtualTable* TORVSchema::FindVirtualTable(const TORVString& Name, TORVUser* EffectiveUser,
                                               bool RaiseException) {
  if (auto* Table = Visible(*FBaseTables, Name, EffectiveUser)) return static_cast<TORVVirtualTable*>(Table);
  if (auto* View = Visible(*FViews, Name, EffectiveUser)) return static_cast<TORVVirtualTable*>(View);
  if (RaiseException) FBaseTables->ObjectNameNotFoundError(Name);
  return nullptr;
}

void CheckDuplicatesOnce(bool& Checking, const std::function<void()>& Check) {
  if (Checking) return;
  Checking = true;
  try {
    Check();
  } catch (...) {
    Checking = false;
    throw;
  }
  Checking = false;
}

void CheckSchemaTableNames(TORVConfigObjects* List, TORVConfigObject* NewObject) {
  auto* Owner = dynamic_cast<TORVSchema*>(List->GetParent());
  if (Owner == nullptr) return;
  for (TORVConfigObjects* Other : {static_cast<TORVConfigObjects*>(&Owner->GetBaseTables()),
                                   static_cast<TORVConfigObjects*>(&Owner->GetTemporaryTables()),
                                   static_cast<TORVConfigObjects*>(&Owner->GetViews()),
                                   static_cast<TORVConfigObjects*>(&Owner->GetTemporaryViews())})
    if (Other != List) Other->CheckForDuplicateObject(NewObject);
}

void TORVBaseTables::CheckForDuplicateObject(TORVConfigObject* NewObject) {
  CheckDuplicatesOnce(FCheckingDuplicates, [&] {
    TORVTableAndViewObjects::CheckForDuplicateObject(NewObject);
    CheckSchemaTableNames(this, NewObject);
  });
}

void TORVBaseTables::ResetPublishIDs() {
  for (int32_t Index = 0; Index < GetCount(); ++Index) GetTable(Index)->ResetPublishID();
}

void TORVTemporaryTables::CheckForDuplicateObject(TORVConfigObject* NewObject) {
  // A working copy stands in for its table under the table's own name.
  if (auto* Table = dynamic_cast<TORVBaseTable*>(NewObject); Table != nullptr && Table->GetMaintenance()) return;
  CheckDuplicatesOnce(FCheckingDuplicates, [&] {
    TORVPrivilegedCatalogObjects::CheckForDuplicateObject(NewObject);
    CheckSchemaTableNames(this, NewObject);
  });
}

bool TORVTemporaryTables::CheckForDuplicate(TORVConfigObject* NewObject, TORVConfigObject* Member) const {
  if (auto* Table = dynamic_cast<TORVBaseTable*>(NewObject); Table != nullptr && Table->GetMaintenance()) return false;
  return TORVPrivilegedCatalogObjects::CheckForDuplicate(NewObject, Member);
}

void TORVViews::CheckForDuplicateObject(TORVConfigObject* NewObject) {
  CheckDuplicatesOnce(FCheckingDuplicates, [&] {
    TORVTableAndViewObjects::CheckForDuplicateObject(NewObject);
    CheckSchemaTableNames(this, NewObject);
  });
}

void TORVTemporaryViews::DuplicateObjectError(TORVConfigObject* Member) {
  RaiseError(ORV_EXISTS_ERROR, {Member->GetTypeName(), Member->GetName()});
}

TORVProcedure* TORVSchema::FindProcedure(const TORVString& Name, TORVUser* EffectiveUser, bool RaiseException) {
  auto* Procedure = static_cast<TORVProcedure*>(Visible(*FProcedures, Name, EffectiveUser));
  if (Procedure == nullptr && RaiseException) FProcedures->ObjectNameNotFoundError(Name);
  return Procedure;
}

TORVFunction* TORVSchema::FindFunction(const TORVString& Name, TORVUser* EffectiveUser, bool RaiseException) {
  auto* Function = static_cast<TORVFunction*>(Visible(*FFunctions, Name, EffectiveUser));
  if (Function == nullptr && RaiseException) FFunctions->ObjectNameNotFoundError(Name);
  return Function;
}

void TORVSchemaObjects::SelectObjects() {
  // A selection made for its information table has no schema.
  if (FSchema == nullptr) return;
  FSchema->GetBaseTables().AddObjects(*this);
  FSchema->GetViews().AddObjects(*this);
  FSchema->GetFunctions().AddObjects(*this);
  FSchema->GetProcedures().AddObjects(*this);
}

TORVConfigObject* TORVSchemaObjects::CopyObject(TORVConfigObject* Object) {
  if (FSchema == nullptr) return nullptr;
  TORVPrivilegedCatalogObjects* Collection = nullptr;
  if (dynamic_cast<TORVBaseTable*>(Object) != nullptr)
    Collection = &FSchema->GetBaseTables();
  else if (dynamic_cast<TORVView*>(Object) != nullptr)
    Collection = &FSchema->GetViews();
  else if (dynamic_cast<TORVProcedure*>(Object) != nullptr)
    Collection = &FSchema->GetProcedures();
  else if (dynamic_cast<TORVFunction*>(Object) != nullptr)
    Collection = &FSchema->GetFunctions();
  if (Collection == nullptr) return nullptr;
  return Collection->GetNewObject(static_cast<TORVPrivilegedConfigObject*>(Object)->GetOwner());
}

const TORVConfigObjectsClass& SchemaObjectsClass() {
  static const TORVConfigObjectsClass Class{
      [](TORVConfig* Config) { return new TORVSchemaObjects(Config, nullptr); }, u"SchemaObjects",
      SelectedConfigObjectsClass().Description};
  return Class;
}

const TORVConfigObjectsClass& SchemaDifferenceClass() {
  static const TORVConfigObjectsClass Class{[](TORVConfig*) { return new TORVSchemaDifference(); },
                                            u"SchemaDifference", ConfigObjectsDifferenceClass().Description};
  return Class;
}

const TORVConfigObjectsClass& SchemasClass() {
  static const TORVTableDescription Description{{TableText(u"Name", 80, true), TableClob(u"Description", false)},
                                                {{u"Name", {1}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVSchemas(Config); }, u"Schema",
                                            &Description};
  return Class;
}

const TORVConfigObjectsClass& ViewsClass() {
  static const TORVTableDescription Description{
      {TableText(u"Name", 80, true), TableClob(u"Description", false), TableClob(u"Attributes", false),
       TableColumn(u"Version", dtDecimal, 2), TableClob(u"Definition", false), TableColumn(u"Updateable", dtBoolean),
       TableColumn(u"WithCheck", dtBoolean), TableClob(u"CreateSQL", true), TableClob(u"DropSQL", true)},
      {{u"Name", {1}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVViews(Config); }, u"Views",
                                            &Description};
  return Class;
}

const TORVConfigObjectsClass& ViewColumnsClass() {
  static const TORVTableDescription Description{
      {TableText(u"ViewName", 80, true), TableText(u"Name", 80, true), TableText(u"Origin", 240, true),
       TableText(u"Type", 30, true), TableText(u"Collation", 80, true), TableColumn(u"Length", dtInteger),
       TableColumn(u"Precision", dtInteger), TableColumn(u"Scale", dtInteger), TableColumn(u"OrdinalPos", dtInteger)},
      {{u"ViewName", {1}}, {u"Name", {2}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig*) { return new TORVViewColumns(); }, u"ViewColumns",
                                            &Description};
  return Class;
}

const TORVConfigObjectsClass& ViewIndexesClass() {
  static const TORVTableDescription Description{
      {TableText(u"ViewName", 80, true), TableText(u"Name", 80, true), TableClob(u"Description", false),
       TableText(u"Type", 15, true), TableClob(u"CreateSQL", true), TableClob(u"DropSQL", true)},
      {{u"ViewName", {1}}, {u"Name", {2}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig*) { return new TORVViewIndexes(); }, u"ViewIndexes",
                                            &Description};
  return Class;
}

const TORVConfigObjectsClass& ViewIndexColumnsClass() {
  static const TORVTableDescription Description = IndexColumnsTableDescription(u"ViewName");
  static const TORVConfigObjectsClass Class{[](TORVConfig*) { return new TORVViewIndexColumns(); },
                                            u"ViewIndexColumns", &Description};
  return Class;
}

const TORVConfigObjectsClass& ViewPrivilegesClass() {
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVViewPrivileges(Config); },
                                            u"ViewPrivileges", &PrivilegesTableDescription()};
  return Class;
}

const TORVConfigObjectsClass& TemporaryViewsClass() {
  static const TORVTableDescription Description{
      {TableText(u"Name", 80, true), TableClob(u"Description", false), TableClob(u"Definition", false),
       TableColumn(u"Updateable", dtBoolean)},
      {{u"Name", {1}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVTemporaryViews(Config); },
                                            u"TemporaryViews", &Description};
  return Class;
}

}  // namespace orv
