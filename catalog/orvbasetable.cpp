#include "catalog/orvbasetable.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

#include "base/orverror.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvconfig.h"
#include "catalog/orvconstraint.h"
#include "catalog/orvindexes.h"
#include "catalog/orvtable.h"
#include "catalog/orvtrigger.h"
#include "catalog/orvuser.h"
#include "core/orvdatetime.h"
#include "core/orvguid.h"
#include "core/orvliteral.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"

namespace orv {

namespace {

// Stream versions at which the base table record changed.
constexpr TORVCurrency TriggersAtVirtualTableVersion = TORVCurrency::FromScaled(10300);
constexpr TORVCurrency BufferSizesVersion = TORVCurrency::FromScaled(10400);
constexpr TORVCurrency PublishingVersion = TORVCurrency::FromScaled(20000);

constexpr char16_t CRLF[] = u"\r\n";

// Detail texts of the physical settings.
constexpr char16_t IndexPageSizeMinimumText[] = u"The index page size is below the minimum of %s";
constexpr char16_t IndexPageSizeMultipleText[] = u"The index page size must be a multiple of %s";
constexpr char16_t IndexPageSizeMaximumText[] = u"The index page size is above the maximum of %s";
constexpr char16_t BlobBlockSizeMinimumText[] = u"The BLOB block size is below the minimum of %s";
constexpr char16_t BlobBlockSizeMultipleText[] = u"The BLOB block size must be a multiple of %s";
constexpr char16_t BlobBlockSizeMaximumText[] = u"The BLOB block size is above the maximum of %s";
constexpr char16_t PublishBlockSizeMinimumText[] = u"The published updates log block size is below the minimum of %s";
constexpr char16_t PublishBlockSizeMultipleText[] = u"The published updates log block size must be a multiple of %s";
constexpr char16_t PublishBlockSizeMaximumText[] = u"The published updates log block size is above the maximum of %s";
constexpr char16_t RowBufferMinimumText[] = u"The row buffer size is below the minimum of %s";
constexpr char16_t IndexBufferMinimumText[] = u"The index buffer size is below the minimum of %s";
constexpr char16_t BlobBufferMinimumText[] = u"The BLOB buffer size is below the minimum of %s";
constexpr char16_t PublishBufferMinimumText[] = u"The published updates log buffer size is below the minimum of %s";
constexpr char16_t InvalidCompressionText[] = u"The compression %s is invalid";
constexpr char16_t NoCandidateKeyText[] = u"No candidate keys exist in the %s table for the foreign key columns [%s]";

// Value rounded up to a multiple of 8, within Int32.
int32_t RoundUp8(int32_t Value) {
  const int64_t Rounded = (static_cast<int64_t>(Value) + 7) & ~int64_t{7};
  return static_cast<int32_t>(std::min<int64_t>(Rounded, std::numeric_limits<int32_t>::max() & ~7));
}

int32_t BySet(int32_t CharacterSet, int32_t Ansi, int32_t Unicode) {
  if (CharacterSet == CharacterSetAnsi) return Ansi;
  if (CharacterSet == CharacterSetUnicode) return Unicode;
  return 0;
}

bool IsKeyConstraint(TORVConstraint* Constraint) {
  return Constraint->GetConstraintType() == ctPrimaryKey || Constraint->GetConstraintType() == ctUnique;
}

TORVString Quoted(const TORVString& Name) { return QuotedString(Name, u'"'); }

TORVString QuotedText(const TORVString& Text) { return QuotedString(TrimCatalogExpression(Text), u'\''); }

// The schema that holds Table through its collection; nil outside one.
TORVSchema* SchemaOf(const TORVBaseTable* Table) {
  TORVConfigObject* Collection = Table->GetParent();
  return Collection != nullptr ? dynamic_cast<TORVSchema*>(Collection->GetParent()) : nullptr;
}

}  // namespace

int32_t GetMinPageSize(int32_t CharacterSet) { return BySet(CharacterSet, 1024, 2048); }
int32_t GetDefaultPageSize(int32_t CharacterSet) { return BySet(CharacterSet, 4096, 8192); }
int32_t GetDefaultBlockSize(int32_t CharacterSet) { return BySet(CharacterSet, 512, 1024); }
int32_t GetMinPublishBlockSize(int32_t CharacterSet) { return BySet(CharacterSet, 64, 128); }
int32_t GetDefaultPublishBlockSize(int32_t CharacterSet) { return BySet(CharacterSet, 512, 1024); }

// ------------------------------------------------------------ TORVBaseTable


TORVBaseTable::TORVBaseTable(TORVConfig* OwnerConfig, TORVUser* OwnerUser)
    : TORVVirtualTable(OwnerConfig, OwnerUser), FConstraints(std::make_unique<TORVConstraints>()) {
  FConstraints->SetParent(this);
  const int32_t CharacterSet = GetTableCharacterSet();
  FIndexPageSize = GetDefaultPageSize(CharacterSet);
  FBlobBlockSize = GetDefaultBlockSize(CharacterSet);
  FPublishBlockSize = GetDefaultPublishBlockSize(CharacterSet);
  FRowsetRowSize = RoundUp8(FColumns->GetRowsetRowSize());
}

// The difference and the selection refer to members of the collections,
// so they go first.
TORVBaseTable::~TORVBaseTable() {
  FTableDifference.reset();
  FTableObjects.reset();
  FConstraintTables.reset();
  FConstraints.reset();
}

TORVString TORVBaseTable::GetTypeName() const {
  if ((FTemporary || FTemporaryForSession) && !FMaintenance) return u"temporary table";
  return u"table";
}

int32_t TORVBaseTable::GetTableCharacterSet() const {
  if (FConfig != nullptr) return FConfig->GetConfigCharacterSet();
  return FColumns->GetCatalogCharacterSet();
}

void TORVBaseTable::SetSystemObject(bool Value) {
  TORVVirtualTable::SetSystemObject(Value);
  FConstraints->SetSystemObject(Value);
}

void TORVBaseTable::SetTemporary(bool Value) {
  TORVVirtualTable::SetTemporary(Value);
  FConstraints->SetTemporary(Value);
}

void TORVBaseTable::SetTemporaryForSession(bool Value) {
  TORVVirtualTable::SetTemporaryForSession(Value);
  FConstraints->SetTemporaryForSession(Value);
}

void TORVBaseTable::ResetReferences() {
  TORVVirtualTable::ResetReferences();
  FMaintaining = false;
  FDelayedConstraintCheck = false;
  FAlteringConstraint = false;
  FAlterState = TORVAlterStates();
  FAlterBackupFiles = true;
  if (FTableObjects != nullptr) FTableObjects->Clear();
}

void TORVBaseTable::Reset() {
  TORVVirtualTable::Reset();
  FConstraints->Reset();
}

void TORVBaseTable::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVVirtualTable::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVBaseTable*>(FromObject);
  if (From == nullptr) return;
  FEncrypted = From->FEncrypted;
  FRowsetRowSize = From->FRowsetRowSize;
  FIndexPageSize = From->FIndexPageSize;
  FBlobBlockSize = From->FBlobBlockSize;
  FPublishBlockSize = From->FPublishBlockSize;
  FConstraints->Assign(From->FConstraints.get(), CopyReferences);
  FMaxRowBufferSize = From->FMaxRowBufferSize;
  FMaxIndexBufferSize = From->FMaxIndexBufferSize;
  FMaxBlobBufferSize = From->FMaxBlobBufferSize;
  FMaxPublishBufferSize = From->FMaxPublishBufferSize;
  FPublishCompression = From->FPublishCompression;
  FPublished = From->FPublished;
  FPublishedOn = From->FPublishedOn;
  FPublishID = From->FPublishID;
  FPublishType = From->FPublishType;
}

bool TORVBaseTable::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  if (!TORVVirtualTable::Compare(ObjectToCompare, CompareID)) return false;
  auto* Other = dynamic_cast<TORVBaseTable*>(ObjectToCompare);
  if (Other == nullptr) return false;
  return FCheckSum == Other->FCheckSum && FEncrypted == Other->FEncrypted &&
         FRowsetRowSize == Other->FRowsetRowSize && FIndexPageSize == Other->FIndexPageSize &&
         FBlobBlockSize == Other->FBlobBlockSize && FPublishBlockSize == Other->FPublishBlockSize &&
         FConstraints->Compare(Other->FConstraints.get(), CompareID) &&
         FMaxRowBufferSize == Other->FMaxRowBufferSize && FMaxIndexBufferSize == Other->FMaxIndexBufferSize &&
         FMaxBlobBufferSize == Other->FMaxBlobBufferSize;
}

void TORVBaseTable::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVVirtualTable::Save(Stream, CRCOnly);
  if (CRCOnly) {
    // The files carry this checksum: only what changes their layout.
    Stream.WriteBoolean(FEncrypted);
    Stream.WriteInteger(FRowsetRowSize);
    Stream.WriteInteger(FIndexPageSize);
    Stream.WriteInteger(FBlobBlockSize);
    Stream.WriteInteger(FPublishBlockSize);
    Stream.WriteInteger(FPublishCompression);
    Stream.WriteBoolean(FPublished);
    return;
  }
  Stream.WriteTORVLongWord(FCheckSum);
  Stream.WriteBoolean(FEncrypted);
  Stream.WriteInteger(FRowsetRowSize);
  Stream.WriteInteger(FIndexPageSize);
  Stream.WriteInteger(FBlobBlockSize);
  Stream.WriteInteger(FPublishBlockSize);
  FConstraints->Save(Stream, false);
  Stream.WriteInteger(FMaxRowBufferSize);
  Stream.WriteInteger(FMaxIndexBufferSize);
  Stream.WriteInteger(FMaxBlobBufferSize);
  Stream.WriteInteger(FMaxPublishBufferSize);
  Stream.WriteInteger(FPublishCompression);
  Stream.WriteBoolean(FPublished);
  Stream.WriteLargeInt(FPublishedOn);
  Stream.WriteString(FPublishID);
  Stream.WriteInteger(FPublishType);
}

void TORVBaseTable::Load(TORVMemoryStream& Stream) {
  TORVVirtualTable::Load(Stream);
  const TORVCurrency Version = GetConfigVersion();
  // A field the stream's version does not carry takes the default of a new
  // table, also when an existing table is reloaded.
  const TORVBaseTable Defaults(FConfig);
  FCheckSum = Stream.ReadLongWord();
  if (Version < SchemaObjectVersionVersion) FUserVersion = Stream.ReadCurrency();
  FEncrypted = Stream.ReadBoolean();
  FRowsetRowSize = Stream.ReadInteger();
  FIndexPageSize = Stream.ReadInteger();
  FBlobBlockSize = Stream.ReadInteger();
  FPublishBlockSize = Version >= PublishingVersion ? Stream.ReadInteger() : Defaults.FPublishBlockSize;
  FConstraints->Load(Stream);
  // Streams before 1.03 keep the triggers here rather than after the
  // indexes.
  if (Version < TriggersAtVirtualTableVersion) FTriggers->Load(Stream);
  if (Version > BufferSizesVersion) {
    FMaxRowBufferSize = Stream.ReadInteger();
    FMaxIndexBufferSize = Stream.ReadInteger();
    FMaxBlobBufferSize = Stream.ReadInteger();
  } else {
    FMaxRowBufferSize = Defaults.FMaxRowBufferSize;
    FMaxIndexBufferSize = Defaults.FMaxIndexBufferSize;
    FMaxBlobBufferSize = Defaults.FMaxBlobBufferSize;
  }
  if (Version >= PublishingVersion) {
    FMaxPublishBufferSize = Stream.ReadInteger();
    FPublishCompression = Stream.ReadInteger();
    FPublished = Stream.ReadBoolean();
    FPublishedOn = Stream.ReadLargeInt();
    Stream.ReadString(FPublishID);
  } else {
    FMaxPublishBufferSize = Defaults.FMaxPublishBufferSize;
    FPublishCompression = Defaults.FPublishCompression;
    FPublished = false;
    FPublishedOn = 0;
    FPublishID.clear();
  }
  FPublishType = Version >= SchemaObjectVersionVersion ? Stream.ReadInteger() : Defaults.FPublishType;
}

void TORVBaseTable::Validate() {
  TORVVirtualTable::Validate();
  FConstraints->Validate();
  if (!FMaintaining && !FMaintenance) CheckTargetConstraints();
  FRowsetRowSize = RoundUp8(FColumns->GetRowsetRowSize());
  const int32_t CharacterSet = GetTableCharacterSet();
  const auto Fail = [this](const char16_t* Text, int32_t Number) {
    ValidateError(FormatString(Text, {IntToString(Number)}), 0, 0);
  };
  if (FIndexPageSize < GetMinPageSize(CharacterSet)) Fail(IndexPageSizeMinimumText, GetMinPageSize(CharacterSet));
  if (FIndexPageSize % 8 != 0) Fail(IndexPageSizeMultipleText, 8);
  if (FBlobBlockSize < GetMinBlockSize(CharacterSet)) Fail(BlobBlockSizeMinimumText, GetMinBlockSize(CharacterSet));
  if (FBlobBlockSize % 8 != 0) Fail(BlobBlockSizeMultipleText, 8);
  if (FPublishBlockSize < GetMinPublishBlockSize(CharacterSet))
    Fail(PublishBlockSizeMinimumText, GetMinPublishBlockSize(CharacterSet));
  if (FPublishBlockSize % 8 != 0) Fail(PublishBlockSizeMultipleText, 8);
  if (FMaxRowBufferSize < MinRowBufferSize) Fail(RowBufferMinimumText, MinRowBufferSize);
  if (FMaxIndexBufferSize < MinIndexBufferSize) Fail(IndexBufferMinimumText, MinIndexBufferSize);
  if (FMaxBlobBufferSize < MinBlobBufferSize) Fail(BlobBufferMinimumText, MinBlobBufferSize);
  if (FMaxPublishBufferSize < MinPublishBufferSize) Fail(PublishBufferMinimumText, MinPublishBufferSize);
  if (FPublishCompression < 0 || FPublishCompression > 9) InvalidPublishCompressionError();
}

void TORVBaseTable::Compile() {
  TORVVirtualTable::Compile();
  FConstraints->Compile();
}

void TORVBaseTable::Decompile() {
  TORVVirtualTable::Decompile();
  FConstraints->Decompile();
}

bool TORVBaseTable::DependencyExists(TORVConfigObject* SourceObject, bool OrderedOnly) {
  return TORVVirtualTable::DependencyExists(SourceObject, OrderedOnly) ||
         FConstraints->DependencyExists(SourceObject, OrderedOnly);
}

TORVBaseTable* TORVBaseTable::MaintenanceCopy() const {
  TORVSchema* Schema = SchemaOf(this);
  if (Schema == nullptr) return nullptr;
  return static_cast<TORVBaseTable*>(Schema->GetTemporaryTables().FindByID(FID, true));
}

void TORVBaseTable::AddDependenciesToObject(TORVConfigObject* Obj) {
  if (FMaintaining) {
    TORVBaseTable* Copy = MaintenanceCopy();
    if (Copy == nullptr) return;
    Copy->FColumns->AddDependenciesToObject(Obj);
    Copy->FIndexes->AddDependenciesToObject(Obj);
    Copy->FConstraints->AddDependenciesToObject(Obj);
    Copy->FTriggers->AddDependenciesToObject(Obj);
    return;
  }
  TORVVirtualTable::AddDependenciesToObject(Obj);
  FConstraints->AddDependenciesToObject(Obj);
}

void TORVBaseTable::ResetDependenciesToObject(TORVConfigObject* Obj, int32_t NewID) {
  TORVVirtualTable::ResetDependenciesToObject(Obj, NewID);
  TORVBaseTable* Target = FMaintaining ? MaintenanceCopy() : this;
  if (Target == nullptr) return;
  Target->FColumns->ResetDependenciesToObject(Obj, NewID);
  Target->FIndexes->ResetDependenciesToObject(Obj, NewID);
  Target->FConstraints->ResetDependenciesToObject(Obj, NewID);
  Target->FTriggers->ResetDependenciesToObject(Obj, NewID);
}

void TORVBaseTable::RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) {
  TORVVirtualTable::RenameDependenciesToObject(Obj, NewName);
  TORVBaseTable* Target = FMaintaining ? MaintenanceCopy() : this;
  if (Target == nullptr) return;
  Target->FColumns->RenameDependenciesToObject(Obj, NewName);
  Target->FIndexes->RenameDependenciesToObject(Obj, NewName);
  Target->FConstraints->RenameDependenciesToObject(Obj, NewName);
  Target->FTriggers->RenameDependenciesToObject(Obj, NewName);
}

void TORVBaseTable::GrantAllPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) {
  for (int32_t Number = PrivilegeSelect; Number <= PrivilegeDrop; ++Number)
    GrantPrivilege(EffectiveUser, GrantTo, Number);
}

void TORVBaseTable::GrantRestrictedPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) {
  GrantPrivilege(EffectiveUser, GrantTo, PrivilegeSelect);
  if (FSystemObject) return;
  GrantPrivilege(EffectiveUser, GrantTo, PrivilegeInsert);
  GrantPrivilege(EffectiveUser, GrantTo, PrivilegeUpdate);
  GrantPrivilege(EffectiveUser, GrantTo, PrivilegeDelete);
}

int32_t TORVBaseTable::GetMemorySize() {
  int32_t Size = TORVVirtualTable::GetMemorySize() + FConstraints->GetMemorySize() +
                 static_cast<int32_t>(FPublishID.size() * sizeof(char16_t));
  if (FConstraintTables != nullptr) Size += FConstraintTables->GetMemorySize();
  return Size;
}

int32_t TORVBaseTable::GetMemoryCount() {
  int32_t Count = TORVVirtualTable::GetMemoryCount() + FConstraints->GetMemoryCount() + 1;
  if (FConstraintTables != nullptr) Count += FConstraintTables->GetMemoryCount();
  return Count;
}

void TORVBaseTable::CheckInvariants() const {
  TORVVirtualTable::CheckInvariants();
  CheckListInvariants({FConstraints.get(), FConstraintTables.get()});
}

void TORVBaseTable::TargetConstraintError(const std::vector<TORVColumn*>& TargetColumns) {
  TORVString Names;
  for (TORVColumn* Column : TargetColumns) {
    if (!Names.empty()) Names += u",";
    Names += Column->GetName();
  }
  ValidateError(FormatString(NoCandidateKeyText, {FName, Names}), 0, 0);
  ValidateErrorReturned();
}

void TORVBaseTable::InvalidPublishCompressionError() {
  ValidateError(FormatString(InvalidCompressionText, {IntToString(FPublishCompression)}), 0, 0);
  ValidateErrorReturned();
}

// ----------------------------------------------------------------- settings

void TORVBaseTable::SetCheckSum() {
  FCheckSum = GetCRC32();
  SetModified(true);
}

void TORVBaseTable::AssignCheckSum(uint32_t NewCheckSum) {
  FCheckSum = NewCheckSum;
  SetModified(true);
}

namespace {

template <typename T>
void Store(TORVBaseTable& Table, T& Field, T Value) {
  if (Field == Value) return;
  Field = Value;
  Table.SetModified(true);
}

}  // namespace

int32_t TORVBaseTable::CheckedBlockSize(int32_t Value, const char16_t* AboveMaximumText) {
  if (Value > MaxTableBlockSize) ValidateError(FormatString(AboveMaximumText, {IntToString(MaxTableBlockSize)}), 0, 0);
  return RoundUp8(Value);
}

void TORVBaseTable::SetEncrypted(bool Value) { Store(*this, FEncrypted, Value); }

int32_t TORVBaseTable::GetRowsetRowSize() const { return RoundUp8(FColumns->GetRowsetRowSize()); }

void TORVBaseTable::SetRowsetRowSize(int32_t Value) { Store(*this, FRowsetRowSize, RoundUp8(Value)); }

void TORVBaseTable::SetIndexPageSize(int32_t Value) {
  Store(*this, FIndexPageSize, CheckedBlockSize(Value, IndexPageSizeMaximumText));
}

void TORVBaseTable::SetBlobBlockSize(int32_t Value) {
  Store(*this, FBlobBlockSize, CheckedBlockSize(Value, BlobBlockSizeMaximumText));
}

void TORVBaseTable::SetPublishBlockSize(int32_t Value) {
  Store(*this, FPublishBlockSize, CheckedBlockSize(Value, PublishBlockSizeMaximumText));
}

void TORVBaseTable::SetMaxRowBufferSize(int32_t Value) {
  Store(*this, FMaxRowBufferSize, std::max(Value, MinRowBufferSize));
}

void TORVBaseTable::SetMaxIndexBufferSize(int32_t Value) {
  Store(*this, FMaxIndexBufferSize, std::max(Value, MinIndexBufferSize));
}

void TORVBaseTable::SetMaxBlobBufferSize(int32_t Value) {
  Store(*this, FMaxBlobBufferSize, std::max(Value, MinBlobBufferSize));
}

void TORVBaseTable::SetMaxPublishBufferSize(int32_t Value) {
  Store(*this, FMaxPublishBufferSize, std::max(Value, MinPublishBufferSize));
}

void TORVBaseTable::SetPublishCompression(int32_t Value) { Store(*this, FPublishCompression, Value); }

void TORVBaseTable::SetPublishType(int32_t Value) { Store(*this, FPublishType, Value); }

void TORVBaseTable::SetIsPublished(bool Value) {
  if (Value && !FPublished) {
    FPublishedOn = CurrentTimeStamp(false);
    FPublishID = GUIDAsString();
  } else if (!Value) {
    FPublishedOn = 0;
    FPublishID.clear();
  }
  FPublished = Value;
  SetModified(true);
}

void TORVBaseTable::ResetPublishID() {
  if (!FPublished) return;
  FPublishID = GUIDAsString();
  SetModified(true);
}

// --------------------------------------------------------- system primary key

void TORVBaseTable::CreateSystemConstraint(bool Altering) {
  TORVColumn* RowID = FColumns->GetColumn(0);
  std::unique_ptr<TORVConstraint> Constraint(static_cast<TORVConstraint*>(FConstraints->GetNewObject()));
  Constraint->SetName(SystemPrimaryKeyName);
  Constraint->SetHidden(true);
  Constraint->SetConstraintType(ctPrimaryKey);
  TORVConstraintColumns& ConstraintColumns = *Constraint->GetConstraintColumns();
  std::unique_ptr<TORVConstraintColumn> ConstraintColumn(
      static_cast<TORVConstraintColumn*>(ConstraintColumns.GetNewObject()));
  ConstraintColumn->SetColumn(RowID);
  ConstraintColumns.Add(ConstraintColumn.get());
  ConstraintColumn.release();
  FConstraints->Add(Constraint.get());
  TORVConstraint* Added = Constraint.release();
  if (Altering) return;

  std::unique_ptr<TORVIndex> Index(static_cast<TORVIndex*>(FIndexes->GetNewObject()));
  Index->SetName(SystemPrimaryKeyName);
  Index->SetHidden(true);
  Index->SetIndexType(itPrimaryKey);
  TORVIndexColumns& IndexColumns = *Index->GetIndexColumns();
  std::unique_ptr<TORVIndexColumn> IndexColumn(static_cast<TORVIndexColumn*>(IndexColumns.GetNewObject()));
  IndexColumn->SetSourceColumn(RowID);
  IndexColumns.Add(IndexColumn.get());
  IndexColumn.release();
  Index->SetOwnerConstraintID(Added->GetID());
  FIndexes->Add(Index.get());
  Added->SetEnforcingIndex(Index.release());
}

bool TORVBaseTable::RemoveSystemConstraint(bool Altering) {
  for (int32_t Position = 0; Position < FConstraints->GetCount(); ++Position) {
    TORVConstraint* Constraint = FConstraints->GetConstraint(Position);
    if (!Constraint->GetHidden() || !SameString(Constraint->GetName(), SystemPrimaryKeyName)) continue;
    if (!Altering) {
      TORVIndex* Index = Constraint->GetEnforcingIndex();
      if (Index != nullptr) {
        FIndexes->Delete(Index->GetPosition());
        delete Index;
      }
    }
    FConstraints->Delete(Position);
    delete Constraint;
    return true;
  }
  return false;
}

void TORVBaseTable::CheckForPrimaryKeyConstraint() {
  for (int32_t Position = 0; Position < FConstraints->GetCount(); ++Position)
    if (FConstraints->GetConstraint(Position)->GetConstraintType() == ctPrimaryKey) return;
  CreateSystemConstraint(false);
}

void TORVBaseTable::CheckPageSize(TORVIndex* Index) {
  const int32_t Unit = GetDefaultPageSize(GetTableCharacterSet());
  const int64_t Required = Index->GetIndexColumns()->GetRequiredPageSize();
  const int64_t Rounded = Unit > 0 ? (Required + Unit - 1) / Unit * Unit : Required;
  if (Rounded > FIndexPageSize) SetIndexPageSize(static_cast<int32_t>(Rounded));
}

// -------------------------------------------------------- constraint tables

bool TORVBaseTable::GetHasConstraintTables() const {
  return FConstraintTables != nullptr && FConstraintTables->GetCount() > 0;
}

TORVReferencedTables& TORVBaseTable::GetConstraintTables() {
  if (FConstraintTables == nullptr) {
    FConstraintTables = std::make_unique<TORVReferencedTables>();
    FConstraintTables->SetParent(this);
  }
  return *FConstraintTables;
}

namespace {

// Sets Flag for the scope and clears it again, also on failure.
class TFlagScope {
 public:
  explicit TFlagScope(bool& Flag) : FFlag(Flag) { FFlag = true; }
  ~TFlagScope() { FFlag = false; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;

 private:
  bool& FFlag;
};

}  // namespace

void TORVBaseTable::SetupConstraintTables() {
  if (FConstraintTablesSet || FProcessingConstraintTables) return;
  TFlagScope Processing(FProcessingConstraintTables);
  FIsTargetOfForeignKey = false;
  if (FConstraintTables != nullptr) FConstraintTables->Clear();
  for (int32_t Position = 0; Position < FConstraints->GetCount(); ++Position) {
    TORVConstraint* Constraint = FConstraints->GetConstraint(Position);
    Constraint->ResetReferences();
    if (IsKeyConstraint(Constraint)) {
      TORVSourceConstraints& Sources = *Constraint->GetSourceConstraints();
      if (Sources.GetCount() > 0) FIsTargetOfForeignKey = true;
      for (int32_t Index = 0; Index < Sources.GetCount(); ++Index) {
        TORVSourceConstraint* Source = Sources.GetSourceConstraint(Index);
        Source->ResetReferences();
        if (TORVConstraint* Key = Source->GetSourceTableConstraint()) Key->ResetReferences();
        if (TORVBaseTable* Table = Source->GetSourceTable()) GetConstraintTables().Add(Table);
      }
    } else if (Constraint->GetConstraintType() == ctForeignKey) {
      if (TORVBaseTable* Table = Constraint->GetTargetTable()) GetConstraintTables().Add(Table);
    }
  }
  if (FConstraintTables != nullptr) {
    FConstraintTables->SortByLockSlot();
    FConstraintTables->RemoveDuplicates();
  }
  FConstraintTablesSet = true;
}

void TORVBaseTable::ResetConstraintTables() {
  if (FProcessingConstraintTables) return;
  struct TDone {
    TORVBaseTable* Table;
    ~TDone() {
      Table->FConstraintTablesSet = false;
      Table->FProcessingConstraintTables = false;
    }
  } Done{this};
  FProcessingConstraintTables = true;
  FIsTargetOfForeignKey = false;
  if (FConstraintTables != nullptr) FConstraintTables->Clear();
  for (int32_t Position = 0; Position < FConstraints->GetCount(); ++Position) {
    TORVConstraint* Constraint = FConstraints->GetConstraint(Position);
    Constraint->ResetReferences();
    if (!IsKeyConstraint(Constraint)) continue;
    TORVSourceConstraints& Sources = *Constraint->GetSourceConstraints();
    for (int32_t Index = 0; Index < Sources.GetCount(); ++Index) Sources.GetSourceConstraint(Index)->ResetReferences();
  }
}

void TORVBaseTable::CheckTargetConstraints() {
  for (int32_t Position = 0; Position < FConstraints->GetCount(); ++Position) {
    TORVConstraint* Constraint = FConstraints->GetConstraint(Position);
    if (Constraint->GetConstraintType() != ctForeignKey) continue;
    Constraint->CheckTargetTable(FID);
    if (TORVBaseTable* Target = Constraint->GetTargetTable()) Target->CheckSourceConstraints(this);
  }
}

void TORVBaseTable::CheckSourceConstraints(TORVBaseTable* Table) {
  for (int32_t Position = 0; Position < FConstraints->GetCount(); ++Position) {
    TORVConstraint* Constraint = FConstraints->GetConstraint(Position);
    if (!IsKeyConstraint(Constraint)) continue;
    TORVSourceConstraints& Sources = *Constraint->GetSourceConstraints();
    for (int32_t Index = 0; Index < Sources.GetCount(); ++Index)
      Sources.GetSourceConstraint(Index)->CheckSourceTable(Table->GetID());
  }
}

void TORVBaseTable::RemoveSourceConstraints() {
  for (int32_t Position = 0; Position < FConstraints->GetCount(); ++Position) {
    TORVConstraint* Constraint = FConstraints->GetConstraint(Position);
    if (Constraint->GetConstraintType() != ctForeignKey) continue;
    TORVBaseTable* Target = Constraint->GetTargetTable();
    if (Target == nullptr) continue;
    Target->FAlteringConstraint = true;
    if (TORVConstraint* Key = Constraint->GetTargetTableConstraint()) Key->RemoveSourceConstraint(Constraint);
  }
}

bool TORVBaseTable::DependsUponTable(TORVBaseTable* TableToCheck) {
  if (FProcessingConstraintTables) return false;
  TFlagScope Processing(FProcessingConstraintTables);
  for (int32_t Position = 0; Position < FConstraints->GetCount(); ++Position) {
    TORVConstraint* Constraint = FConstraints->GetConstraint(Position);
    if (Constraint->GetConstraintType() != ctForeignKey) continue;
    TORVBaseTable* Target = Constraint->GetTargetTable();
    if (Target == nullptr) continue;
    if (Target == TableToCheck || Target == this) return true;
    if (Target->DependsUponTable(TableToCheck)) return true;
  }
  return false;
}

TORVConstraint* TORVBaseTable::GetConstraintForColumns(const std::vector<TORVColumn*>& TargetColumns) {
  for (int32_t Position = 0; Position < FConstraints->GetCount(); ++Position) {
    TORVConstraint* Constraint = FConstraints->GetConstraint(Position);
    if (!IsKeyConstraint(Constraint)) continue;
    TORVConstraintColumns& Columns = *Constraint->GetConstraintColumns();
    if (Columns.GetCount() != static_cast<int32_t>(TargetColumns.size())) continue;
    bool Same = true;
    for (int32_t Index = 0; Same && Index < Columns.GetCount(); ++Index) {
      TORVColumn* Column = Columns.GetConstraintColumn(Index)->GetColumn();
      TORVColumn* Target = TargetColumns[static_cast<size_t>(Index)];
      Same = Column->GetID() == Target->GetID() && Column->GetDataType() == Target->GetDataType();
    }
    if (Same) return Constraint;
  }
  TargetConstraintError(TargetColumns);
  ValidateErrorReturned();
}

void TORVBaseTable::UpdateConstraintCollations(TORVColumn* Column) {
  for (int32_t Position = 0; Position < FIndexes->GetCount(); ++Position) {
    TORVIndex* Index = FIndexes->GetIndex(Position);
    const int32_t Type = Index->GetIndexType();
    if (Type != itPrimaryKey && Type != itForeignKey && Type != itUnique) continue;
    TORVIndexColumns& Keys = *Index->GetIndexColumns();
    for (int32_t Key = 0; Key < Keys.GetCount(); ++Key)
      if (Keys.GetIndexColumn(Key)->GetSourceColumnID() == Column->GetID())
        Keys.GetIndexColumn(Key)->SetCollation(Column->GetCollation());
  }
}

TORVBaseTableObjects& TORVBaseTable::GetTableObjects() {
  if (FTableObjects == nullptr) FTableObjects = std::make_unique<TORVBaseTableObjects>(this);
  return *FTableObjects;
}

TORVBaseTableDifference& TORVBaseTable::GetTableDifference() {
  if (FTableDifference == nullptr) FTableDifference = std::make_unique<TORVBaseTableDifference>();
  return *FTableDifference;
}

// ------------------------------------------------------------- alter states

TORVAlterStates TORVBaseTable::GetAlterState(TORVBaseTable* OldTable) {
  if (FEncrypted != OldTable->FEncrypted) return {asRebuild, asRebuildAll};
  TORVAlterStates Result;
  for (int32_t Position = 0; Position < FIndexes->GetCount(); ++Position)
    if (FIndexes->GetIndex(Position)->GetResultSetIndex()) {
      Result += {asRebuild, asRebuildIndexes, asIndexesDropped};
      break;
    }
  if (FIndexPageSize != OldTable->FIndexPageSize) Result += {asRebuild, asRebuildIndexes, asRebuildAllIndexes};
  if (FBlobBlockSize != OldTable->FBlobBlockSize) Result += {asRebuild, asRebuildRows};
  if (FPublishBlockSize != OldTable->FPublishBlockSize || FPublishCompression != OldTable->FPublishCompression)
    Result += {asRebuild, asRebuildUpdates};
  return Result;
}

void TORVBaseTable::DecompileDependentViews() {
  UpdateDependencies();
  TORVSelectedConfigObjects* Dependents = GetDependencies();
  for (int32_t Index = 0; Index < Dependents->GetCount(); ++Index)
    if (auto* View = dynamic_cast<TORVView*>(Dependents->GetObjects(Index))) View->Decompile();
}

// ------------------------------------------------------------------ DDL text

void TORVBaseTable::AppendSizeClauses(TORVString& SQL) {
  SQL += CRLF + TORVString(u"INDEX PAGE SIZE ") + IntToString(FIndexPageSize);
  SQL += CRLF + TORVString(u"BLOB BLOCK SIZE ") + IntToString(FBlobBlockSize);
  SQL += CRLF + TORVString(u"PUBLISH BLOCK SIZE ") + IntToString(FPublishBlockSize);
  SQL += CRLF + TORVString(u"PUBLISH COMPRESSION ") + IntToString(FPublishCompression);
  SQL += CRLF + TORVString(u"MAX ROW BUFFER SIZE ") + IntToString(FMaxRowBufferSize);
  SQL += CRLF + TORVString(u"MAX INDEX BUFFER SIZE ") + IntToString(FMaxIndexBufferSize);
  SQL += CRLF + TORVString(u"MAX BLOB BUFFER SIZE ") + IntToString(FMaxBlobBufferSize);
  SQL += CRLF + TORVString(u"MAX PUBLISH BUFFER SIZE ") + IntToString(FMaxPublishBufferSize);
}

TORVString TORVBaseTable::GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly, bool Restricted) {
  TORVString SQL = u"CREATE TABLE " + Quoted(FName) + CRLF + u"(" + CRLF + FColumns->GetCreateSQL(true, false, false);
  const TORVString Constraints =
      FConstraints->GetCreateSQL(IncludeDependentObjects, DependentObjectsOnly, Restricted);
  if (!Constraints.empty()) SQL += u"," + TORVString(CRLF) + Constraints;
  SQL += CRLF + TORVString(u")");
  if (!FDescription.empty()) SQL += CRLF + TORVString(u"DESCRIPTION ") + QuotedText(FDescription);
  SQL += CRLF + TORVString(u"VERSION ") + DecimalToSQLStr(FUserVersion, 2);
  SQL += CRLF + TORVString(FReadOnly ? u"READONLY" : u"READWRITE");
  SQL += CRLF + TORVString(FEncrypted ? u"ENCRYPTED" : u"UNENCRYPTED");
  AppendSizeClauses(SQL);
  if (!GetAttributes().empty()) SQL += CRLF + TORVString(u"ATTRIBUTES ") + QuotedText(GetAttributes());
  return SQL;
}

TORVString TORVBaseTable::GetPostCreateSQL() {
  if (!GetHasMutualDependencies()) return TORVString();
  return u"ALTER TABLE " + Quoted(FName) + CRLF + FConstraints->GetCreateSQL(true, true, false);
}

TORVString TORVBaseTable::GetPreDropSQL() {
  if (!GetHasMutualDependencies()) return TORVString();
  return u"ALTER TABLE " + Quoted(FName) + CRLF + FConstraints->GetDropSQL(true, true);
}

TORVString TORVBaseTable::GetDropSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/) {
  return u"DROP TABLE " + Quoted(FName);
}

void TORVBaseTable::GetExtensionsAlterSQL(TORVBaseTable* NewTable, TORVString& SQL) {
  const auto Clause = [&SQL](const TORVString& Text) { SQL += CRLF + Text; };
  if (FDescription != NewTable->FDescription) Clause(u"DESCRIPTION " + QuotedText(NewTable->FDescription));
  if (FUserVersion != NewTable->FUserVersion) Clause(u"VERSION " + DecimalToSQLStr(NewTable->FUserVersion, 2));
  if (FReadOnly != NewTable->FReadOnly) Clause(NewTable->FReadOnly ? u"READONLY" : u"READWRITE");
  if (FEncrypted != NewTable->FEncrypted) Clause(NewTable->FEncrypted ? u"ENCRYPTED" : u"UNENCRYPTED");
  const auto Number = [&Clause](const char16_t* Word, int32_t Old, int32_t New) {
    if (Old != New) Clause(Word + IntToString(New));
  };
  Number(u"INDEX PAGE SIZE ", FIndexPageSize, NewTable->FIndexPageSize);
  Number(u"BLOB BLOCK SIZE ", FBlobBlockSize, NewTable->FBlobBlockSize);
  Number(u"PUBLISH BLOCK SIZE ", FPublishBlockSize, NewTable->FPublishBlockSize);
  Number(u"PUBLISH COMPRESSION ", FPublishCompression, NewTable->FPublishCompression);
  Number(u"MAX ROW BUFFER SIZE ", FMaxRowBufferSize, NewTable->FMaxRowBufferSize);
  Number(u"MAX INDEX BUFFER SIZE ", FMaxIndexBufferSize, NewTable->FMaxIndexBufferSize);
  Number(u"MAX BLOB BUFFER SIZE ", FMaxBlobBufferSize, NewTable->FMaxBlobBufferSize);
  Number(u"MAX PUBLISH BUFFER SIZE ", FMaxPublishBufferSize, NewTable->FMaxPublishBufferSize);
  if (GetAttributes() != NewTable->GetAttributes()) Clause(u"ATTRIBUTES " + QuotedText(NewTable->GetAttributes()));
}

void TORVBaseTable::BuildAlterSQL(int32_t Action, TORVConfigObject* Target, char16_t StatementTerminator) {
  const TORVString Terminator(1, StatementTerminator);
  const TORVString NextStatement = Terminator + CRLF + CRLF;
  FAlterSQL.clear();
  if (Action == 0) {
    FAlterSQL = GetCreateSQL(true, false, false);
    for (int32_t Position = 0; Position < FIndexes->GetCount(); ++Position) {
      const TORVString Text = FIndexes->GetIndex(Position)->GetCreateSQL(true, false, false);
      if (!Text.empty()) FAlterSQL += NextStatement + Text;
    }
    for (int32_t Position = 0; Position < FTriggers->GetCount(); ++Position)
      FAlterSQL += NextStatement + FTriggers->GetObjects(Position)->GetCreateSQL(true, false, false);
    return;
  }
  if (Action == 2) {
    FAlterSQL = GetDropSQL(true, false);
    return;
  }
  auto* NewTable = dynamic_cast<TORVBaseTable*>(Target);
  if (NewTable == nullptr) return;
  TORVBaseTableDifference& Difference = GetTableDifference();
  GetTableObjects().Clear();
  NewTable->GetTableObjects().Clear();
  Difference.Build(GetTableObjects(), NewTable->GetTableObjects(), StatementTerminator);
  const auto InTableStatement = [](TORVConfigObject* Object) {
    return dynamic_cast<TORVColumn*>(Object) != nullptr || dynamic_cast<TORVConstraint*>(Object) != nullptr;
  };
  const auto StartAlterTable = [&]() {
    if (!FAlterSQL.empty()) FAlterSQL += NextStatement;
    FAlterSQL += u"ALTER TABLE " + Quoted(FName);
  };
  bool LastInTable = false;
  for (int32_t Index = 0; Index < Difference.GetCount(); ++Index) {
    TORVConfigObject* Object = Difference.GetObjects(Index);
    if (InTableStatement(Object)) {
      if (LastInTable)
        FAlterSQL += u",";
      else
        StartAlterTable();
      FAlterSQL += CRLF + Object->GetAlterSQL();
      LastInTable = true;
    } else {
      if (!FAlterSQL.empty()) FAlterSQL += NextStatement;
      FAlterSQL += Object->GetAlterSQL();
      LastInTable = false;
    }
  }
  TORVString Extensions;
  GetExtensionsAlterSQL(NewTable, Extensions);
  if (!Extensions.empty()) {
    if (!LastInTable) StartAlterTable();
    FAlterSQL += Extensions;
  }
  if (!FAlterSQL.empty()) FAlterSQL += Terminator;
}

// ------------------------------------------------------- dynamic creation

void TORVBaseTable::DynamicallyCreate() {
  CreateSystemColumns();
  CreateSystemConstraint(false);
  GrantDefaultPrivileges();
  if (FConfig != nullptr && FConfig->GetPublicRole() != nullptr)
    GrantPrivilege(SystemUser(), FConfig->GetPublicRole(), PrivilegeSelect);
  if (FTableLoadClass != nullptr && FTableLoadClass->Description != nullptr)
    BuildInformationTable(*this, *FTableLoadClass->Description);
  Validate();
  TORVVirtualTable::DynamicallyCreate();
}

// ----------------------------------------------------- TORVBaseTableObjects

void TORVBaseTableObjects::SelectObjects() {
  FTable->GetColumns().AddObjects(*this);
  FTable->GetConstraints().AddObjects(*this);
  FTable->GetIndexes().AddObjects(*this);
  FTable->GetTriggers().AddObjects(*this);
}

TORVConfigObject* TORVBaseTableObjects::CopyObject(TORVConfigObject* Object) {
  if (dynamic_cast<TORVColumn*>(Object) != nullptr) return FTable->GetColumns().GetNewObject();
  if (dynamic_cast<TORVConstraint*>(Object) != nullptr) return FTable->GetConstraints().GetNewObject();
  if (dynamic_cast<TORVIndex*>(Object) != nullptr) return FTable->GetIndexes().GetNewObject();
  if (dynamic_cast<TORVTrigger*>(Object) != nullptr) return FTable->GetTriggers().GetNewObject();
  return nullptr;
}

// ----------------------------------------------------- TORVReferencedTables

TORVReferencedTables::TORVReferencedTables() : TORVBaseTables(nullptr, false) {}

void TORVReferencedTables::SortByLockSlot() { Sort(ReferencedTableCompareLockSlot); }

void TORVReferencedTables::SortByID() { Sort(ReferencedTableCompareID); }

void TORVReferencedTables::SortByTimeStamp() { Sort(ReferencedTableCompareTimeStamp); }

void TORVReferencedTables::RemoveDuplicates() {
  for (int32_t Index = FCount - 1; Index >= 1; --Index)
    if (GetObjects(Index)->GetID() == GetObjects(Index - 1)->GetID()) Delete(Index);
}

namespace {

int32_t Order(int64_t A, int64_t B) { return A < B ? -1 : (A > B ? 1 : 0); }

}  // namespace

int32_t ReferencedTableCompareLockSlot(TORVConfigObject* A, TORVConfigObject* B) {
  return Order(static_cast<TORVBaseTable*>(A)->GetLockSlot(), static_cast<TORVBaseTable*>(B)->GetLockSlot());
}

int32_t ReferencedTableCompareID(TORVConfigObject* A, TORVConfigObject* B) { return Order(A->GetID(), B->GetID()); }

int32_t ReferencedTableCompareTimeStamp(TORVConfigObject* A, TORVConfigObject* B) {
  auto* First = static_cast<TORVBaseTable*>(A);
  auto* Second = static_cast<TORVBaseTable*>(B);
  const int32_t ByStamp = Order(First->GetBatchTimeStamp(), Second->GetBatchTimeStamp());
  if (ByStamp != 0) return ByStamp;
  if (First == Second) return 0;
  if (First->DependsUponTable(Second)) return 1;
  if (Second->DependsUponTable(First)) return -1;
  return 0;
}

// -------------------------------------------------------- information tables

namespace {

// The columns both table lists start with; the buffer maxima follow.
std::vector<TORVTableColumnDef> TableListColumns(bool Published) {
  std::vector<TORVTableColumnDef> Columns{
      TableText(u"Name", 80, true),          TableClob(u"Description", false),
      TableClob(u"Attributes", false),       TableColumn(u"Version", dtDecimal, 2),
      TableColumn(u"ReadOnly", dtBoolean),   TableColumn(u"Encrypted", dtBoolean),
      TableColumn(u"RowSize", dtInteger),    TableColumn(u"IndexPageSize", dtInteger),
      TableColumn(u"BlobBlockSize", dtInteger)};
  if (Published) {
    Columns.push_back(TableColumn(u"PublishBlockSize", dtInteger));
    Columns.push_back(TableColumn(u"PublishCompression", dtInteger));
  }
  for (const char16_t* Name : {u"MaxRowBufferSize", u"MaxIndexBufferSize", u"MaxBlobBufferSize"})
    Columns.push_back(TableColumn(Name, dtInteger));
  if (!Published) return Columns;
  for (const TORVTableColumnDef& Column :
       {TableColumn(u"MaxPublishBufferSize", dtInteger), TableColumn(u"Published", dtBoolean),
        TableColumn(u"PublishedOn", dtTimeStamp), TableText(u"PublishID", 60, true),
        TableText(u"PublishType", 15, true), TableColumn(u"DefaultsEnabled", dtBoolean),
        TableColumn(u"GeneratedEnabled", dtBoolean), TableClob(u"CreateSQL", true), TableClob(u"DropSQL", true)})
    Columns.push_back(Column);
  return Columns;
}

}  // namespace

const TORVConfigObjectsClass& BaseTablesClass() {
  static const TORVTableDescription Description{TableListColumns(true), {{u"Name", {1}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVBaseTables(Config); }, u"Tables",
                                            &Description};
  return Class;
}

const TORVConfigObjectsClass& TemporaryTablesClass() {
  static const TORVTableDescription Description{TableListColumns(false), {{u"Name", {1}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVTemporaryTables(Config); },
                                            u"TemporaryTables", &Description};
  return Class;
}

}  // namespace orv
