#include "catalog/orvtable.h"

#include <vector>

#include "catalog/orvcatalog.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvindexes.h"
#include "catalog/orvschema.h"
#include "catalog/orvtrigger.h"
#include "core/orvenv.h"
#include "core/orvstream.h"
#include "core/orvtypefunc.h"

namespace orv {

namespace {

// Streams up to this version keep a base table's triggers after its
// constraints rather than at this level.
constexpr TORVCurrency TriggersAtTableLevelAfter = TORVCurrency::FromScaled(10200);

// Every table and view of the catalog's Default schema, tables first.
template <typename TVisit>
void ForEachDefaultSchemaTable(TORVConfigObject* Object, TVisit Visit) {
  TORVCatalog* Catalog = CatalogOf(Object);
  TORVSchema* Schema = Catalog != nullptr ? Catalog->GetDefaultSchema() : nullptr;
  if (Schema == nullptr) return;
  for (int32_t Index = 0; Index < Schema->GetBaseTables().GetCount(); ++Index)
    Visit(Schema->GetBaseTables().GetTable(Index));
  for (int32_t Index = 0; Index < Schema->GetViews().GetCount(); ++Index) Visit(Schema->GetViews().GetView(Index));
}

}  // namespace

// ---------------------------------------------------------------------------
// TORVVirtualTable

TORVVirtualTable::TORVVirtualTable(TORVConfig* OwnerConfig)
    : TORVPrivilegedSchemaObject(OwnerConfig),
      FColumns(std::make_unique<TORVColumns>()),
      FIndexes(std::make_unique<TORVIndexes>()),
      FTriggers(std::make_unique<TORVTriggers>()) {
  FColumns->SetParent(this);
  FIndexes->SetParent(this);
  FTriggers->SetParent(this);
}

TORVVirtualTable::TORVVirtualTable(TORVConfig* OwnerConfig, TORVUser* OwnerUser)
    : TORVPrivilegedSchemaObject(OwnerConfig, OwnerUser),
      FColumns(std::make_unique<TORVColumns>()),
      FIndexes(std::make_unique<TORVIndexes>()),
      FTriggers(std::make_unique<TORVTriggers>()) {
  FColumns->SetParent(this);
  FIndexes->SetParent(this);
  FTriggers->SetParent(this);
}

// Triggers and indexes refer to the columns, so they go first.
TORVVirtualTable::~TORVVirtualTable() {
  FTriggers.reset();
  FIndexes.reset();
  FColumns.reset();
}

TORVString TORVVirtualTable::GetTypeName() const { return u"table or view"; }

void TORVVirtualTable::SetSystemObject(bool Value) {
  TORVPrivilegedSchemaObject::SetSystemObject(Value);
  FColumns->SetSystemObject(Value);
  FIndexes->SetSystemObject(Value);
  FTriggers->SetSystemObject(Value);
}

void TORVVirtualTable::SetTemporary(bool Value) {
  TORVPrivilegedSchemaObject::SetTemporary(Value);
  FColumns->SetTemporary(Value);
  FIndexes->SetTemporary(Value);
  FTriggers->SetTemporary(Value);
}

void TORVVirtualTable::SetTemporaryForSession(bool Value) {
  TORVPrivilegedSchemaObject::SetTemporaryForSession(Value);
  FColumns->SetTemporaryForSession(Value);
  FIndexes->SetTemporaryForSession(Value);
  FTriggers->SetTemporaryForSession(Value);
}

void TORVVirtualTable::Reset() {
  TORVPrivilegedSchemaObject::Reset();
  FColumns->Reset();
  FIndexes->Reset();
  FTriggers->Reset();
}

void TORVVirtualTable::ResetReferences() {
  TORVPrivilegedSchemaObject::ResetReferences();
  FColumns->ResetReferences();
  FIndexes->ResetReferences();
  FTriggers->ResetReferences();
}

void TORVVirtualTable::SetLockSlot(int32_t Value) {
  if (Value == FLockSlot) return;
  FLockSlot = Value;
  SetModified(true);
}

void TORVVirtualTable::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVPrivilegedSchemaObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVVirtualTable*>(FromObject);
  if (From == nullptr || From == this) return;
  FColumns->Assign(From->FColumns.get(), CopyReferences);
  FIndexes->Assign(From->FIndexes.get(), CopyReferences);
  FTriggers->Assign(From->FTriggers.get(), CopyReferences);
}

bool TORVVirtualTable::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  if (!TORVPrivilegedSchemaObject::Compare(ObjectToCompare, CompareID)) return false;
  auto* Other = dynamic_cast<TORVVirtualTable*>(ObjectToCompare);
  if (Other == nullptr) return true;
  return FColumns->Compare(Other->FColumns.get(), CompareID) && FIndexes->Compare(Other->FIndexes.get(), CompareID) &&
         FTriggers->Compare(Other->FTriggers.get(), CompareID);
}

void TORVVirtualTable::Validate() {
  TORVPrivilegedSchemaObject::Validate();
  FColumns->Validate();
  FIndexes->Validate();
  FTriggers->Validate();
}

void TORVVirtualTable::Compile() {
  TORVPrivilegedSchemaObject::Compile();
  FColumns->Compile();
  FTriggers->Compile();
}

void TORVVirtualTable::Decompile() {
  FTriggers->Decompile();
  FColumns->Decompile();
  TORVPrivilegedSchemaObject::Decompile();
}

bool TORVVirtualTable::DependencyExists(TORVConfigObject* SourceObject, bool OrderedOnly) {
  return TORVPrivilegedSchemaObject::DependencyExists(SourceObject, OrderedOnly) ||
         FColumns->DependencyExists(SourceObject, OrderedOnly) || FTriggers->DependencyExists(SourceObject, OrderedOnly);
}

void TORVVirtualTable::SetDependencies() {
  ForEachDefaultSchemaTable(this, [this](TORVVirtualTable* Table) { Table->AddDependenciesToObject(this); });
}

void TORVVirtualTable::RenameDependencies(const TORVString& NewName) {
  ForEachDefaultSchemaTable(this,
                            [this, &NewName](TORVVirtualTable* Table) { Table->RenameDependenciesToObject(this, NewName); });
}

void TORVVirtualTable::AddDependenciesToObject(TORVConfigObject* Obj) {
  TORVPrivilegedSchemaObject::AddDependenciesToObject(Obj);
  FColumns->AddDependenciesToObject(Obj);
  FIndexes->AddDependenciesToObject(Obj);
  FTriggers->AddDependenciesToObject(Obj);
}

void TORVVirtualTable::ResetDependenciesToObject(TORVConfigObject* Obj, int32_t NewID) {
  FColumns->ResetDependenciesToObject(Obj, NewID);
  FIndexes->ResetDependenciesToObject(Obj, NewID);
  FTriggers->ResetDependenciesToObject(Obj, NewID);
}

void TORVVirtualTable::RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) {
  TORVPrivilegedSchemaObject::RenameDependenciesToObject(Obj, NewName);
  FColumns->RenameDependenciesToObject(Obj, NewName);
  FIndexes->RenameDependenciesToObject(Obj, NewName);
  FTriggers->RenameDependenciesToObject(Obj, NewName);
}

void TORVVirtualTable::DeleteDependenciesToObject(TORVConfigObject* Obj) {
  TORVPrivilegedSchemaObject::DeleteDependenciesToObject(Obj);
  FIndexes->DeleteDependenciesToObject(Obj);
}

int32_t TORVVirtualTable::GetMemorySize() {
  return TORVPrivilegedSchemaObject::GetMemorySize() + FColumns->GetMemorySize() + FIndexes->GetMemorySize() +
         FTriggers->GetMemorySize();
}

int32_t TORVVirtualTable::GetMemoryCount() {
  return TORVPrivilegedSchemaObject::GetMemoryCount() + FColumns->GetMemoryCount() + FIndexes->GetMemoryCount() +
         FTriggers->GetMemoryCount();
}

void TORVVirtualTable::CheckInvariants() const {
  TORVPrivilegedSchemaObject::CheckInvariants();
  CheckListInvariants({FColumns.get(), FIndexes.get(), FTriggers.get()});
}

void TORVVirtualTable::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVPrivilegedSchemaObject::Save(Stream, CRCOnly);
  FColumns->Save(Stream, CRCOnly);
  if (CRCOnly && FMaintenance) {
    // The copy holds working indexes of its own; its checksum must be the
    // table's, so only the indexes the table would have count.
    std::vector<TORVIndex*> Counted;
    for (int32_t Index = 0; Index < FIndexes->GetCount(); ++Index) {
      TORVIndex* Member = FIndexes->GetIndex(Index);
      const bool KeyIndex = Member->GetIndexType() >= itPrimaryKey && Member->GetIndexType() <= itUnique;
      if (KeyIndex ? Member->GetOwnerConstraint() != nullptr : !Member->GetSystemObject()) Counted.push_back(Member);
    }
    Stream.WriteInteger(static_cast<int32_t>(Counted.size()));
    for (TORVIndex* Member : Counted) Member->Save(Stream, true);
  } else {
    FIndexes->Save(Stream, CRCOnly);
  }
  if (CRCOnly) return;
  FTriggers->Save(Stream, false);
  Stream.WriteInteger(FLockSlot);
}

void TORVVirtualTable::Load(TORVMemoryStream& Stream) {
  TORVPrivilegedSchemaObject::Load(Stream);
  FColumns->Load(Stream);
  FIndexes->Load(Stream);
  if (GetConfigVersion() > TriggersAtTableLevelAfter) FTriggers->Load(Stream);
  FLockSlot = Stream.ReadInteger();
}

// ---------------------------------------------------------------------------
// TORVVirtualTables

int32_t VirtualTableCompareLockSlot(TORVConfigObject* Item1, TORVConfigObject* Item2) {
  const int32_t Slot1 = static_cast<TORVVirtualTable*>(Item1)->GetLockSlot();
  const int32_t Slot2 = static_cast<TORVVirtualTable*>(Item2)->GetLockSlot();
  return Slot1 < Slot2 ? -1 : (Slot1 > Slot2 ? 1 : 0);
}

void TORVVirtualTables::SortByLockSlot() { Sort(VirtualTableCompareLockSlot); }

// ---------------------------------------------------------------------------
// TORVBaseTable


void TORVVirtualTable::CreateSystemColumns() {
  std::unique_ptr<TORVColumn> Column(static_cast<TORVColumn*>(FColumns->GetNewObject()));
  Column->SetName(u"__RowID");
  Column->SetDataType(dtInteger);
  Column->SetHidden(true);
  FColumns->Add(Column.get());
  Column.release();
}

int32_t TORVBaseTable::GetColumnCount() const { return FColumns->GetCount(); }

bool TORVBaseTable::GetColumnIdentity(int32_t Index) const { return FColumns->GetColumn(Index)->GetIdentity(); }

int32_t TORVBaseTable::GetColumnSeedValue(int32_t Index) const { return FColumns->GetColumn(Index)->GetSeedValue(); }

int32_t TORVBaseTable::GetColumnIncrementValue(int32_t Index) const {
  return FColumns->GetColumn(Index)->GetIncrementValue();
}

int32_t TORVBaseTable::GetColumnOldPosition(int32_t Index) const {
  return FColumns->GetColumn(Index)->GetOldPosition();
}

bool TORVBaseTable::GetColumnAlterRestartIdentity(int32_t Index) const {
  return FColumns->GetColumn(Index)->GetAlterRestartIdentity();
}

int32_t TORVBaseTable::GetColumnRowOffset(int32_t Index) const { return FColumns->GetColumn(Index)->GetRowOffset(); }

// ---------------------------------------------------------------------------
// Information tables

const TORVConfigObjectsClass& ODBCTablesClass() {
  static const TORVTableDescription Description{
      {TableText(u"TABLE_CAT", 80, true), TableText(u"TABLE_SCHEM", 80, true), TableText(u"TABLE_NAME", 80, true),
       TableText(u"TABLE_TYPE", 15, true), TableClob(u"REMARKS", false), TableColumn(u"VERSION", dtDecimal, 2),
       TableColumn(u"ENCRYPTED", dtBoolean), TableColumn(u"ROW_SIZE", dtInteger),
       TableColumn(u"INDEX_PAGE_SIZE", dtInteger), TableColumn(u"BLOB_BLOCK_SIZE", dtInteger),
       TableColumn(u"PUBLISH_BLOCK_SIZE", dtInteger), TableColumn(u"PUBLISH_COMPRESSION", dtInteger),
       TableColumn(u"MAX_ROW_BUFFER_SIZE", dtInteger), TableColumn(u"MAX_INDEX_BUFFER_SIZE", dtInteger),
       TableColumn(u"MAX_BLOB_BUFFER_SIZE", dtInteger), TableColumn(u"MAX_PUBLISH_BUFFER_SIZE", dtInteger),
       TableColumn(u"PUBLISHED", dtBoolean), TableColumn(u"PUBLISHED_ON", dtTimeStamp),
       TableText(u"PUBLISHID", 60, true), TableColumn(u"DEFAULTS_ENABLED", dtBoolean),
       TableColumn(u"GENERATED_ENABLED", dtBoolean)},
      {{u"ODBC", {4, 1, 2, 3}}, {u"TABLE_NAME", {3}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVODBCTables(Config); },
                                            u"SQLTables", &Description};
  return Class;
}

const TORVConfigObjectsClass& TablePrivilegesClass() {
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVTablePrivileges(Config); },
                                            u"TablePrivileges", &PrivilegesTableDescription()};
  return Class;
}

const TORVConfigObjectsClass& ODBCTablePrivilegesClass() {
  static const TORVTableDescription Description{
      {TableText(u"TABLE_CAT", 80, true), TableText(u"TABLE_SCHEM", 80, true), TableText(u"TABLE_NAME", 80, true),
       TableText(u"GRANTOR", 80, true), TableText(u"GRANTEE", 80, true), TableText(u"PRIVILEGE", 15, true),
       TableText(u"IS_GRANTABLE", 3, true)},
      {{u"ODBC", {1, 2, 3, 6}}, {u"TABLE_NAME", {3}}, {u"GRANTEE", {5}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVODBCTablePrivileges(Config); },
                                            u"SQLTablePrivileges", &Description};
  return Class;
}

int32_t GetMinBlockSize(int32_t CharacterSet) { return CharacterSet == CharacterSetUnicode ? 128 : 64; }

void BuildInformationTable(TORVBaseTable& Table, const TORVTableDescription& Description) {
  TORVColumns& Columns = Table.GetColumns();
  Table.SetBlobBlockSize(GetMinBlockSize(Columns.GetCatalogCharacterSet()));
  Table.SetMaxRowBufferSize(4096);
  Table.SetMaxIndexBufferSize(8192);
  Table.SetMaxBlobBufferSize(4096);
  for (const TORVTableColumnDef& Def : Description.Columns) {
    std::unique_ptr<TORVColumn> Column(static_cast<TORVColumn*>(Columns.GetNewObject()));
    Column->SetName(Def.Name);
    Column->SetDataType(Def.DataType);
    Column->SetSubType(Def.SubType);
    if (Def.Length != 0) Column->SetLength(Def.Length);
    if (Def.Scale != 0) Column->SetScale(Def.Scale);
    if (Def.IgnoreCase) {
      int32_t Collation = Column->GetCollation();
      SetLocaleFlag(Collation, CollationCaseInsensitiveBit);
      Column->SetCollation(Collation);
    }
    Columns.Add(Column.get());
    Column.release();
  }
  TORVIndexes& Indexes = Table.GetIndexes();
  for (const TORVTableIndexDef& Def : Description.Indexes) {
    std::unique_ptr<TORVIndex> Index(static_cast<TORVIndex*>(Indexes.GetNewObject()));
    Index->SetName(Def.Name);
    for (int32_t Position : Def.Positions) {
      TORVIndexColumns& KeyColumns = *Index->GetIndexColumns();
      std::unique_ptr<TORVIndexColumn> KeyColumn(static_cast<TORVIndexColumn*>(KeyColumns.GetNewObject()));
      KeyColumn->SetSourceColumn(Columns.GetColumn(Position));
      KeyColumns.Add(KeyColumn.get());
      KeyColumn.release();
    }
    Indexes.Add(Index.get());
    Index.release();
  }
}

}  // namespace orv
