#include "catalog/orvindexes.h"

#include <algorithm>

#include "base/orverror.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvconfig.h"
#include "catalog/orvconstraint.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "catalog/orvtextfilter.h"
#include "catalog/orvwordgen.h"
#include "core/orvcommon.h"
#include "core/orvenv.h"
#include "core/orvliteral.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"
#include "core/orvwords.h"
#include "sql/orvexprtoken.h"

namespace orv {

namespace {

constexpr char16_t PageSizeBelowMsg[] = u"The index page size is below the required of %s";
constexpr char16_t WordSizeBelowMsg[] = u"The word size is below the minimum of %s";
constexpr char16_t WordSizeAboveMsg[] = u"The word size is above the maximum of %s";
constexpr char16_t FilterTypeColumnMsg[] = u"The text filter type column must be a CHAR column";
constexpr char16_t BlobColumnMsg[] = u"BLOB columns cannot be included in a non-text index";
constexpr char16_t NonCharColumnMsg[] =
    u"Columns that are not CHAR, VARCHAR, or CLOB columns cannot be included in a text index";

bool IsCollatedColumn(const TORVColumn& Column) {
  return Column.GetDataType() == dtCharacter ||
         (Column.GetDataType() == dtLargeObject && Column.GetSubType() == stClob);
}

int32_t CharSize(int32_t CharacterSet) { return CharacterSet == CharacterSetUnicode ? 2 : 1; }

TORVString QuotedName(const TORVString& Name) { return QuotedString(Name, u'"'); }

// The configuration the object belongs to: its own, else the nearest one
// above it (key columns and indexes are made without one).
TORVConfig* ConfigOf(const TORVConfigObject* Object) {
  for (const TORVConfigObject* Holder = Object; Holder != nullptr; Holder = Holder->GetParent())
    if (Holder->GetConfig() != nullptr) return Holder->GetConfig();
  return nullptr;
}

TORVString CollationName(const TORVConfigObject* Object, int32_t Collation) {
  TORVConfig* Config = ConfigOf(Object);
  if (Config == nullptr || !Config->GetOnGetCollationName()) return TORVString();
  return Config->GetOnGetCollationName()(Collation);
}

// The name a column token names for index choice: where the column comes
// from, else its own.
const TORVString& TokenColumnName(const TORVExprToken* Token) {
  return Token->FOriginName.empty() ? Token->FName : Token->FOriginName;
}

// The argument tokens of a row value, or the token itself.
std::vector<TORVExprToken*> ConditionColumns(TORVExprToken* Token) {
  std::vector<TORVExprToken*> Columns;
  if (Token->FTokenType == ttROWVALUE) {
    for (int32_t Index = 0; Index < Token->GetNumArguments(); ++Index) Columns.push_back(Token->GetArgument(Index));
  } else {
    Columns.push_back(Token);
  }
  return Columns;
}

}  // namespace

// ---------------------------------------------------------------------------
// TORVIndexColumn

TORVString TORVIndexColumn::GetTypeName() const { return u"index column"; }

TORVString TORVIndexColumn::GetName() const {
  TORVColumn* Column = const_cast<TORVIndexColumn*>(this)->FSourceColumn;
  return Column != nullptr ? Column->GetName() : TORVString();
}

void TORVIndexColumn::ResetReferences() {
  TORVCatalogObject::ResetReferences();
  FSourceColumn = nullptr;
}

TORVIndex* TORVIndexColumn::OwnerIndex() const {
  return FParent != nullptr ? dynamic_cast<TORVIndex*>(FParent->GetParent()) : nullptr;
}

TORVConfigObject* TORVIndexColumn::GetDependencyParentObject() {
  TORVIndex* Index = OwnerIndex();
  return Index != nullptr ? Index->GetDependencyParentObject() : this;
}

TORVColumn* TORVIndexColumn::GetSourceColumn() {
  if (FSourceColumn != nullptr) return FSourceColumn;
  TORVIndex* Index = OwnerIndex();
  auto* Indexes = Index != nullptr ? dynamic_cast<TORVIndexes*>(Index->GetParent()) : nullptr;
  TORVColumns* Columns = Indexes != nullptr ? Indexes->GetColumns() : nullptr;
  if (Columns != nullptr) FSourceColumn = static_cast<TORVColumn*>(Columns->FindByID(FSourceColumnID, true));
  return FSourceColumn;
}

void TORVIndexColumn::SetSourceColumn(TORVColumn* Value) {
  FSourceColumn = Value;
  if (Value == nullptr || Value->GetID() == FSourceColumnID) return;
  FSourceColumnID = Value->GetID();
  if (IsCollatedColumn(*Value)) {
    FCollation = Value->GetCollation();
    TORVIndex* Index = OwnerIndex();
    if (Index != nullptr && Index->GetIndexType() == itTextIndex) FCollation |= CollationCaseInsensitiveFlag;
  }
  FDefaultCollation = true;
  SetModified(true);
}

void TORVIndexColumn::SetCollation(int32_t Value) {
  if (Value == FCollation) return;
  TORVColumn* Column = GetSourceColumn();
  if (Column == nullptr || !IsCollatedColumn(*Column)) return;
  FCollation = Value;
  FDefaultCollation = false;
  SetModified(true);
}

void TORVIndexColumn::SetDescending(bool Value) {
  if (Value == FDescending) return;
  FDescending = Value;
  SetModified(true);
}

void TORVIndexColumn::ResetCollation(TORVColumn* ColumnToReset) {
  if (ColumnToReset == nullptr || ColumnToReset->GetID() != FSourceColumnID) return;
  if (!IsCollatedColumn(*ColumnToReset)) {
    FCollation = 0;
    FDefaultCollation = true;
    SetModified(true);
  } else if (FDefaultCollation) {
    FCollation = ColumnToReset->GetCollation();
    TORVIndex* Index = OwnerIndex();
    if (Index != nullptr && Index->GetIndexType() == itTextIndex) FCollation |= CollationCaseInsensitiveFlag;
  }
}

void TORVIndexColumn::BlobColumnError() {
  TORVIndex* Index = OwnerIndex();
  if (Index != nullptr) Index->ValidateError(BlobColumnMsg, 0, 0);
  ValidateError(BlobColumnMsg, 0, 0);
}

void TORVIndexColumn::NonCharColumnError() {
  TORVIndex* Index = OwnerIndex();
  if (Index != nullptr) Index->ValidateError(NonCharColumnMsg, 0, 0);
  ValidateError(NonCharColumnMsg, 0, 0);
}

void TORVIndexColumn::Validate() {
  TORVCatalogObject::Validate();
  TORVColumn* Column = GetSourceColumn();
  if (Column == nullptr) return;
  TORVIndex* Index = OwnerIndex();
  if (Index != nullptr && Index->GetIndexType() == itTextIndex) {
    if (!IsCollatedColumn(*Column)) NonCharColumnError();
  } else if (Column->GetDataType() == dtLargeObject) {
    BlobColumnError();
  }
}

void TORVIndexColumn::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVCatalogObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVIndexColumn*>(FromObject);
  if (From == nullptr || From == this) return;
  FSourceColumnID = From->FSourceColumnID;
  FCollation = From->FCollation;
  FDefaultCollation = From->FDefaultCollation;
  FDescending = From->FDescending;
}

bool TORVIndexColumn::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  auto* Other = dynamic_cast<TORVIndexColumn*>(ObjectToCompare);
  if (Other == nullptr) return false;
  if (CompareID) {
    if (FSourceColumnID != Other->FSourceColumnID) return false;
  } else {
    TORVColumn* Mine = GetSourceColumn();
    TORVColumn* Theirs = Other->GetSourceColumn();
    if (Mine == nullptr || Theirs == nullptr || !SameString(Mine->GetName(), Theirs->GetName())) return false;
  }
  return FCollation == Other->FCollation && FDefaultCollation == Other->FDefaultCollation &&
         FDescending == Other->FDescending;
}

void TORVIndexColumn::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVCatalogObject::Save(Stream, CRCOnly);
  if (CRCOnly) {
    TORVColumn* Column = GetSourceColumn();
    Stream.WriteString(Column != nullptr ? Column->GetName() : TORVString());
    Stream.WriteInteger(FCollation);
    return;
  }
  Stream.WriteInteger(FSourceColumnID);
  Stream.WriteInteger(FCollation);
  Stream.WriteBoolean(FDefaultCollation);
  Stream.WriteBoolean(FDescending);
}

void TORVIndexColumn::Load(TORVMemoryStream& Stream) {
  TORVCatalogObject::Load(Stream);
  FSourceColumnID = Stream.ReadInteger();
  FCollation = Stream.ReadInteger();
  FDefaultCollation = Stream.ReadBoolean();
  FDescending = Stream.ReadBoolean();
}

TORVString TORVIndexColumn::GetSQL() {
  TORVColumn* Column = GetSourceColumn();
  TORVString Result = QuotedName(Column != nullptr ? Column->GetName() : TORVString());
  // The key column's own collation, as a column's text names it; without a
  // name the clause is left out, since COLLATE "" does not parse.
  if (Column != nullptr && IsCollatedColumn(*Column)) {
    const TORVString Name = CollationName(this, FCollation);
    if (!Name.empty()) Result += u" COLLATE " + QuotedName(Name);
  }
  if (FDescending) Result += u" DESC";
  return Result;
}

// ---------------------------------------------------------------------------
// TORVIndexColumns

TORVString TORVIndexColumns::GetTypeName() const { return u"index column"; }

TORVConfigObject* TORVIndexColumns::CreateObject() { return new TORVIndexColumn(); }

TORVIndexColumn* TORVIndexColumns::GetIndexColumn(int32_t Index) const {
  return static_cast<TORVIndexColumn*>(GetObjects(Index));
}

TORVIndex* TORVIndexColumns::OwnerIndex() const { return dynamic_cast<TORVIndex*>(FParent); }

void TORVIndexColumns::CalculateKeySize() {
  TORVIndex* Index = OwnerIndex();
  if (Index != nullptr && Index->GetIndexType() == itTextIndex) {
    FKeySize = CharSize(Index->GetConfigCharacterSet()) * Index->GetTextWordLength() + 3;
    return;
  }
  // Runs after every change of the members, also before a new key column
  // has its source column: those count nothing yet.
  // No key fits a page above the largest one, so the sum stops there: a
  // damaged stream's many key columns can neither overflow it nor the page
  // size that follows, and the index still fails validation.
  int64_t KeySize = 0;
  for (int32_t Position = 0; Position < FCount && KeySize <= MaxTableBlockSize; ++Position) {
    TORVIndexColumn* KeyColumn = GetIndexColumn(Position);
    if (KeyColumn->GetSourceColumnID() == 0) continue;
    TORVIndexes* Indexes = Index != nullptr ? dynamic_cast<TORVIndexes*>(Index->GetParent()) : nullptr;
    TORVColumns* Columns = Indexes != nullptr ? Indexes->GetColumns() : nullptr;
    if (Columns == nullptr || Columns->FindByID(KeyColumn->GetSourceColumnID(), false) == nullptr) continue;
    KeySize += KeyColumn->GetSourceColumn()->GetIndexSize();
  }
  FKeySize = static_cast<int32_t>(std::min<int64_t>(KeySize, MaxTableBlockSize + 1));
}

void TORVIndexColumns::CalculateRequiredPageSize() { FRequiredPageSize = BlockOffset(4 * (FKeySize + 10) + 11, 8); }

void TORVIndexColumns::SetupKeyInformation() {
  CalculateKeySize();
  CalculateRequiredPageSize();
}

void TORVIndexColumns::SetKeySize(int32_t Value) {
  if (Value == FKeySize) return;
  FKeySize = Value;
  CalculateRequiredPageSize();
}

void TORVIndexColumns::ObjectsChanged() {
  TORVCatalogObjects::ObjectsChanged();
  SetupKeyInformation();
}

void TORVIndexColumns::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVCatalogObjects::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVIndexColumns*>(FromObject);
  if (From == nullptr || From == this) return;
  FKeySize = From->FKeySize;
  FRequiredPageSize = From->FRequiredPageSize;
}

void TORVIndexColumns::Load(TORVMemoryStream& Stream) {
  TORVCatalogObjects::Load(Stream);
  SetupKeyInformation();
}

void TORVIndexColumns::Validate() {
  TORVCatalogObjects::Validate();
  SetupKeyInformation();
}

// ---------------------------------------------------------------------------
// TORVIndex

TORVIndex::TORVIndex() : FIndexColumns(std::make_unique<TORVIndexColumns>()) { FIndexColumns->SetParent(this); }

TORVIndex::~TORVIndex() = default;

TORVString TORVIndex::GetTypeName() const { return u"index"; }

TORVVirtualTable* TORVIndex::OwnerTable() const {
  return FParent != nullptr ? dynamic_cast<TORVVirtualTable*>(FParent->GetParent()) : nullptr;
}

TORVColumns* TORVIndex::OwnerColumns() const {
  auto* Indexes = dynamic_cast<TORVIndexes*>(FParent);
  return Indexes != nullptr ? Indexes->GetColumns() : nullptr;
}

bool TORVIndex::WordGeneratorByName() { return GetConfigVersion() >= WordGeneratorNameVersion; }

int32_t TORVIndex::GetConfigCharacterSet() { return TORVCatalogObject::GetConfigCharacterSet(); }

void TORVIndex::SetIndexType(int32_t Value) {
  if (Value == FIndexType) return;
  FIndexType = Value;
  // Index pages are read by this flag: it follows the type at once, so that
  // indexes built for a cursor or a result table need no validation.
  FUniqueKeys = Value == itPrimaryKey;
  SetModified(true);
}

void TORVIndex::SetTextWordLength(int32_t Value) {
  if (Value == FTextWordLength) return;
  FTextWordLength = Value;
  FIndexColumns->SetupKeyInformation();
  SetModified(true);
}

void TORVIndex::SetHidden(bool Value) {
  if (Value == FHidden) return;
  TORVCatalogObject::SetHidden(Value);
  SetModified(true);
}

void TORVIndex::SetSystemObject(bool Value) {
  TORVCatalogObject::SetSystemObject(Value);
  FIndexColumns->SetSystemObject(Value);
}

void TORVIndex::SetTemporary(bool Value) {
  TORVCatalogObject::SetTemporary(Value);
  FIndexColumns->SetTemporary(Value);
}

void TORVIndex::SetTemporaryForSession(bool Value) {
  TORVCatalogObject::SetTemporaryForSession(Value);
  FIndexColumns->SetTemporaryForSession(Value);
}

void TORVIndex::Reset() {
  TORVCatalogObject::Reset();
  FIndexColumns->Reset();
}

void TORVIndex::ResetReferences() {
  TORVCatalogObject::ResetReferences();
  FOwnerConstraint = nullptr;
  FTextFilterTypeColumn = nullptr;
  FWordGenerator = nullptr;
  FIndexColumns->ResetReferences();
}

TORVConstraint* TORVIndex::GetOwnerConstraint() {
  if (FOwnerConstraint != nullptr || FOwnerConstraintID == 0) return FOwnerConstraint;
  // Views have no constraints; a maintenance copy may hold the index of a
  // constraint it has already dropped.
  auto* Table = dynamic_cast<TORVBaseTable*>(OwnerTable());
  if (Table == nullptr) return nullptr;
  FOwnerConstraint =
      static_cast<TORVConstraint*>(Table->GetConstraints().FindByID(FOwnerConstraintID, !Table->GetMaintenance()));
  return FOwnerConstraint;
}

void TORVIndex::SetOwnerConstraint(TORVConstraint* Value) {
  SetOwnerConstraintID(Value != nullptr ? Value->GetID() : 0);
  FOwnerConstraint = Value;
}

void TORVIndex::SetOwnerConstraintID(int32_t Value) {
  FOwnerConstraint = nullptr;
  if (Value == FOwnerConstraintID) return;
  FOwnerConstraintID = Value;
  SetModified(true);
}

TORVColumn* TORVIndex::GetTextFilterTypeColumn() {
  if (FTextFilterTypeColumnID == 0) return nullptr;
  if (FTextFilterTypeColumn != nullptr) return FTextFilterTypeColumn;
  TORVColumns* Columns = OwnerColumns();
  if (Columns != nullptr)
    FTextFilterTypeColumn = static_cast<TORVColumn*>(Columns->FindByID(FTextFilterTypeColumnID, true));
  return FTextFilterTypeColumn;
}

void TORVIndex::SetTextFilterTypeColumn(TORVColumn* Value) {
  FTextFilterTypeColumn = Value;
  const int32_t NewID = Value != nullptr ? Value->GetID() : 0;
  if (NewID == FTextFilterTypeColumnID) return;
  FTextFilterTypeColumnID = NewID;
  SetModified(true);
}

TORVWordGenerator* TORVIndex::GetWordGenerator() {
  if (FWordGenerator != nullptr) return FWordGenerator;
  TORVConfig* Config = ConfigOf(this);
  if (Config == nullptr) return nullptr;
  TORVConfigObject* Found = nullptr;
  if (!WordGeneratorByName()) {
    if (FWordGeneratorID != 0) Found = Config->GetWordGenerators().FindByID(FWordGeneratorID, false);
  } else if (!FWordGeneratorName.empty()) {
    Found = Config->GetWordGenerators().FindByName(FWordGeneratorName, false);
  }
  FWordGenerator = Found != nullptr ? static_cast<TORVWordGenerator*>(Found) : Config->GetDefaultWordGenerator();
  return FWordGenerator;
}

void TORVIndex::SetWordGenerator(TORVWordGenerator* Value) {
  FWordGenerator = Value;
  if (Value == nullptr) {
    FWordGeneratorName.clear();
    SetModified(true);
    return;
  }
  if (!WordGeneratorByName()) {
    if (Value->GetID() == FWordGeneratorID) return;
    FWordGeneratorID = Value->GetID();
  } else {
    if (SameString(Value->GetName(), FWordGeneratorName)) return;
    FWordGeneratorName = Value->GetName();
  }
  SetModified(true);
}

bool TORVIndex::GetResultSetIndex() const {
  return FHidden && (SameString(FName, u"__OrderBy") || SameString(FName, u"__Distinct") ||
                     SameString(FName, u"__GroupBy"));
}

int32_t TORVIndex::TextCollation() const {
  return FIndexColumns->GetCount() > 0 ? FIndexColumns->GetIndexColumn(0)->GetCollation() : 0;
}

void TORVIndex::FilterText(const TORVString& FilterType, const TORVString& TextToFilter, TORVString& FilteredText) {
  TORVConfig* Config = ConfigOf(this);
  TORVTextFilter* Filter = Config != nullptr ? Config->GetTextFilters().FindByType(FilterType) : nullptr;
  // A document of a type nobody filters is indexed as it stands.
  if (Filter == nullptr) {
    FilteredText = TextToFilter;
    return;
  }
  Filter->FilterText(TextCollation(), FilterType, TextToFilter, FilteredText);
}

std::unique_ptr<TORVWordList> TORVIndex::BuildWordList(const TORVString& Value, bool SearchWords) {
  const int32_t Collation = TextCollation();
  auto Words = std::make_unique<TORVWordList>(Collation);
  TORVWordGenerator* Generator = GetWordGenerator();
  // "Default" is a system object that stands for the built-in splitter.
  const bool BuiltIn = Generator == nullptr || Generator->GetSystemObject();
  int32_t Position = 1;
  for (;;) {
    TORVString Word;
    if (BuiltIn)
      Word = GetNextTextIndexWord(Collation, Value, Position, SearchWords);
    else
      Generator->GetNextTextIndexWord(Collation, Value, Position, Word, SearchWords);
    if (Word.empty()) break;
    if (static_cast<int32_t>(Word.size()) > FTextWordLength) Word.resize(static_cast<size_t>(FTextWordLength));
    Words->Add(Word);
  }
  return Words;
}

void TORVIndex::ResetCollation(TORVColumn* ColumnToReset) {
  for (int32_t Position = 0; Position < FIndexColumns->GetCount(); ++Position)
    FIndexColumns->GetIndexColumn(Position)->ResetCollation(ColumnToReset);
}

void TORVIndex::CheckSystemObject() {
  if (FOwnerConstraintID != 0) SystemObjectError();
}

void TORVIndex::MinTextWordLengthError() {
  ValidateError(FormatString(WordSizeBelowMsg, {IntToString(MinTextWordLength)}), 0, 0);
}

void TORVIndex::MaxTextWordLengthError() {
  ValidateError(FormatString(WordSizeAboveMsg, {IntToString(MaxTextWordLength)}), 0, 0);
}

void TORVIndex::TextFilterTypeColumnError() { ValidateError(FilterTypeColumnMsg, 0, 0); }

void TORVIndex::Validate() {
  TORVCatalogObject::Validate();
  FIndexColumns->Validate();
  if (auto* Table = dynamic_cast<TORVBaseTable*>(OwnerTable())) {
    if (Table->GetIndexPageSize() < FIndexColumns->GetRequiredPageSize())
      ValidateError(FormatString(PageSizeBelowMsg, {IntToString(FIndexColumns->GetRequiredPageSize())}), 0, 0);
  }
  FUniqueKeys = FIndexType == itPrimaryKey;
  if (FIndexType != itTextIndex) return;
  if (FTextWordLength < MinTextWordLength) MinTextWordLengthError();
  if (FTextWordLength > MaxTextWordLength) MaxTextWordLengthError();
  TORVColumn* FilterColumn = GetTextFilterTypeColumn();
  if (FilterColumn != nullptr && FilterColumn->GetDataType() != dtCharacter) TextFilterTypeColumnError();
  const bool Recorded = WordGeneratorByName() ? !FWordGeneratorName.empty() : FWordGeneratorID != 0;
  if (!Recorded) {
    TORVConfig* Config = ConfigOf(this);
    if (Config != nullptr) SetWordGenerator(Config->GetDefaultWordGenerator());
  }
}

void TORVIndex::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVCatalogObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVIndex*>(FromObject);
  if (From == nullptr || From == this) return;
  FIndexType = From->FIndexType;
  FUniqueKeys = FIndexType == itPrimaryKey;
  FOwnerConstraintID = From->FOwnerConstraintID;
  FTextWordLength = From->FTextWordLength;
  FTextFilterTypeColumnID = From->FTextFilterTypeColumnID;
  FWordGeneratorID = From->FWordGeneratorID;
  FWordGeneratorName = From->FWordGeneratorName;
  FIndexColumns->Assign(From->FIndexColumns.get(), CopyReferences);
}

bool TORVIndex::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  if (!TORVCatalogObject::Compare(ObjectToCompare, CompareID)) return false;
  auto* Other = dynamic_cast<TORVIndex*>(ObjectToCompare);
  if (Other == nullptr) return true;
  if (FIndexType != Other->FIndexType || !FIndexColumns->Compare(Other->FIndexColumns.get(), CompareID)) return false;
  if (CompareID && FOwnerConstraintID != Other->FOwnerConstraintID) return false;
  if (FTextWordLength != Other->FTextWordLength) return false;
  if (CompareID) {
    if (FTextFilterTypeColumnID != Other->FTextFilterTypeColumnID) return false;
  } else {
    TORVColumn* Mine = GetTextFilterTypeColumn();
    TORVColumn* Theirs = Other->GetTextFilterTypeColumn();
    if (Mine != nullptr && Theirs != nullptr && !SameString(Mine->GetName(), Theirs->GetName())) return false;
  }
  if (CompareID && FWordGeneratorID != Other->FWordGeneratorID) return false;
  return SameString(FWordGeneratorName, Other->FWordGeneratorName);
}

TORVAlterStates TORVIndex::GetAlterState(TORVIndex* OldIndex) {
  FAltered = true;
  TORVAlterStates Result{asIndexAltered};
  if (!FIndexColumns->Compare(OldIndex->FIndexColumns.get(), true)) Result.Include(asRebuildIndex);
  if (FIndexType == itTextIndex &&
      (FTextWordLength != OldIndex->FTextWordLength ||
       FTextFilterTypeColumnID != OldIndex->FTextFilterTypeColumnID ||
       FWordGeneratorID != OldIndex->FWordGeneratorID ||
       !SameString(FWordGeneratorName, OldIndex->FWordGeneratorName)))
    Result.Include(asRebuildIndex);
  return Result;
}

void TORVIndex::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVCatalogObject::Save(Stream, CRCOnly);
  Stream.WriteInteger(FIndexType);
  FIndexColumns->Save(Stream, CRCOnly);
  if (CRCOnly) {
    if (FIndexType == itTextIndex) Stream.WriteInteger(FTextWordLength);
    return;
  }
  if (FIndexType >= itPrimaryKey && FIndexType <= itUnique) {
    Stream.WriteInteger(FOwnerConstraintID);
  } else if (FIndexType == itTextIndex) {
    Stream.WriteInteger(FTextWordLength);
    Stream.WriteInteger(FTextFilterTypeColumnID);
    if (WordGeneratorByName())
      Stream.WriteString(FWordGeneratorName);
    else
      Stream.WriteInteger(FWordGeneratorID);
  }
}

void TORVIndex::Load(TORVMemoryStream& Stream) {
  TORVCatalogObject::Load(Stream);
  FIndexType = Stream.ReadInteger();
  FIndexColumns->Load(Stream);
  if (FIndexType >= itPrimaryKey && FIndexType <= itUnique) {
    FOwnerConstraintID = Stream.ReadInteger();
  } else if (FIndexType == itTextIndex) {
    FTextWordLength = Stream.ReadInteger();
    // The key size follows the word length: a damaged one must not reach it.
    if (FTextWordLength < MinTextWordLength) MinTextWordLengthError();
    if (FTextWordLength > MaxTextWordLength) MaxTextWordLengthError();
    FTextFilterTypeColumnID = Stream.ReadInteger();
    if (WordGeneratorByName())
      Stream.ReadString(FWordGeneratorName);
    else
      FWordGeneratorID = Stream.ReadInteger();
  }
  // A text index's key follows the word length, read after the key columns.
  FIndexColumns->SetupKeyInformation();
}

int32_t TORVIndex::GetMemorySize() {
  return TORVCatalogObject::GetMemorySize() + FIndexColumns->GetMemorySize() + StringSize(FWordGeneratorName);
}

int32_t TORVIndex::GetMemoryCount() { return TORVCatalogObject::GetMemoryCount() + FIndexColumns->GetMemoryCount(); }

TORVString TORVIndex::GetSQL(bool Extensions) {
  TORVVirtualTable* Table = OwnerTable();
  TORVString Result = FIndexType == itTextIndex ? u"TEXT INDEX" : u"INDEX";
  Result += u" " + QuotedName(FName) + u" ON " + QuotedName(Table != nullptr ? Table->GetName() : TORVString()) +
            u" (";
  for (int32_t Position = 0; Position < FIndexColumns->GetCount(); ++Position) {
    if (Position > 0) Result += u", ";
    Result += FIndexColumns->GetIndexColumn(Position)->GetSQL();
  }
  Result += u")";
  if (!Extensions) return Result;
  if (!FDescription.empty()) Result += u"\r\nDESCRIPTION " + QuotedString(TrimCatalogExpression(FDescription), u'\'');
  if (FIndexType != itTextIndex) return Result;
  Result += u"\r\nINDEXED WORD LENGTH " + IntToString(FTextWordLength);
  if (TORVColumn* FilterColumn = GetTextFilterTypeColumn())
    Result += u"\r\nFILTER TYPE COLUMN " + QuotedName(FilterColumn->GetName());
  TORVWordGenerator* Generator = GetWordGenerator();
  Result += u"\r\nWORD GENERATOR " + QuotedName(Generator != nullptr ? Generator->GetName() : TORVString());
  return Result;
}

void TORVIndex::CheckInvariants() const {
  TORVCatalogObject::CheckInvariants();
  CheckListInvariants({FIndexColumns.get()});
}

TORVString TORVIndex::GetCreateSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/,
                                   bool /*Restricted*/) {
  if (FIndexType != itIndex && FIndexType != itTextIndex) return TORVString();
  return u"CREATE " + GetSQL(true);
}

TORVString TORVIndex::GetDropSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/) {
  TORVVirtualTable* Table = OwnerTable();
  return u"DROP INDEX " + QuotedName(FName) + u" FROM " +
         QuotedName(Table != nullptr ? Table->GetName() : TORVString());
}

void TORVIndex::BuildAlterSQL(int32_t Action, TORVConfigObject* Target, char16_t /*StatementTerminator*/) {
  FAlterSQL.clear();
  if (Action == 0) {
    FAlterSQL = GetCreateSQL(false, false, false);
    return;
  }
  if (Action == 2) {
    FAlterSQL = GetDropSQL(false, false);
    return;
  }
  auto* Other = dynamic_cast<TORVIndex*>(Target);
  if (Action != 1 || Other == nullptr || Compare(Other, false)) return;
  FAlterSQL = u"ALTER " + Other->GetSQL(false);
  if (FDescription != Other->FDescription)
    FAlterSQL += u"\r\nDESCRIPTION " + QuotedString(TrimCatalogExpression(Other->FDescription), u'\'');
  if (Other->FIndexType != itTextIndex) return;
  if (FTextWordLength != Other->FTextWordLength)
    FAlterSQL += u"\r\nINDEXED WORD LENGTH " + IntToString(Other->FTextWordLength);
  TORVColumn* MyFilter = GetTextFilterTypeColumn();
  TORVColumn* TheirFilter = Other->GetTextFilterTypeColumn();
  const TORVString TheirFilterName = TheirFilter != nullptr ? TheirFilter->GetName() : TORVString();
  if ((MyFilter == nullptr) != (TheirFilter == nullptr) ||
      (MyFilter != nullptr && !SameString(MyFilter->GetName(), TheirFilterName)))
    FAlterSQL += u"\r\nFILTER TYPE COLUMN " + QuotedName(TheirFilterName);
  if (FWordGeneratorID != Other->FWordGeneratorID || !SameString(FWordGeneratorName, Other->FWordGeneratorName)) {
    const bool Named = Other->WordGeneratorByName() ? !Other->FWordGeneratorName.empty() : Other->FWordGeneratorID != 0;
    TORVWordGenerator* Generator = Named ? Other->GetWordGenerator() : nullptr;
    FAlterSQL += u"\r\nWORD GENERATOR " + QuotedName(Generator != nullptr ? Generator->GetName() : TORVString());
  }
}

void TORVIndex::SetDependencies() {
  TORVCatalog* Catalog = CatalogOf(this);
  TORVSchema* Schema = Catalog != nullptr ? Catalog->GetDefaultSchema() : nullptr;
  if (Schema == nullptr) return;
  for (int32_t Index = 0; Index < Schema->GetBaseTables().GetCount(); ++Index)
    Schema->GetBaseTables().GetTable(Index)->AddDependenciesToObject(this);
  for (int32_t Index = 0; Index < Schema->GetViews().GetCount(); ++Index)
    Schema->GetViews().GetView(Index)->AddDependenciesToObject(this);
}

TORVConfigObject* TORVIndex::GetDependencyParentObject() {
  TORVVirtualTable* Table = OwnerTable();
  return Table != nullptr ? static_cast<TORVConfigObject*>(Table) : this;
}

void TORVIndex::AddObjects(TORVConfigObjects& List) {
  if (FOwnerConstraintID != 0) return;
  TORVCatalogObject::AddObjects(List);
}

void TORVIndex::AddDependenciesToObject(TORVConfigObject* Obj) {
  if (FIndexType != itIndex && FIndexType != itTextIndex) return;
  if (dynamic_cast<TORVColumn*>(Obj) != nullptr) {
    if (!FHidden) {
      for (int32_t Position = 0; Position < FIndexColumns->GetCount(); ++Position)
        if (FIndexColumns->GetIndexColumn(Position)->GetSourceColumnID() == Obj->GetID())
          Obj->GetDependencies()->Add(this);
    }
    if (FIndexType == itTextIndex && FTextFilterTypeColumnID != 0 && FTextFilterTypeColumnID == Obj->GetID())
      Obj->GetDependencies()->Add(this);
  } else if (FIndexType == itTextIndex && dynamic_cast<TORVWordGenerator*>(Obj) != nullptr &&
             SameString(Obj->GetName(), FWordGeneratorName)) {
    Obj->GetDependencies()->Add(this);
  }
}

void TORVIndex::ResetDependenciesToObject(TORVConfigObject* Obj, int32_t NewID) {
  for (int32_t Position = 0; Position < FIndexColumns->GetCount(); ++Position) {
    TORVIndexColumn* KeyColumn = FIndexColumns->GetIndexColumn(Position);
    if (KeyColumn->GetSourceColumnID() == Obj->GetID()) KeyColumn->SetSourceColumnID(NewID);
  }
  if (FIndexType == itTextIndex && FTextFilterTypeColumnID == Obj->GetID()) FTextFilterTypeColumnID = NewID;
}

void TORVIndex::RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) {
  if (FIndexType != itTextIndex || dynamic_cast<TORVWordGenerator*>(Obj) == nullptr) return;
  if (FWordGeneratorName.empty() || !SameString(FWordGeneratorName, Obj->GetName())) return;
  FWordGeneratorName = NewName;
  SetModified(true);
}

void TORVIndex::DeleteDependenciesToObject(TORVConfigObject* Obj) {
  if (FIndexType != itTextIndex || dynamic_cast<TORVWordGenerator*>(Obj) == nullptr) return;
  const bool Names = !FWordGeneratorName.empty() && SameString(FWordGeneratorName, Obj->GetName());
  const bool Identifies = !WordGeneratorByName() && FWordGeneratorID != 0 && FWordGeneratorID == Obj->GetID();
  if (!Names && !Identifies) return;
  FWordGeneratorName.clear();
  if (Identifies) FWordGeneratorID = 0;
  FWordGenerator = nullptr;
  SetModified(true);
}

// ---------------------------------------------------------------------------
// TORVIndexes

TORVString TORVIndexes::GetTypeName() const { return u"index"; }

TORVConfigObject* TORVIndexes::CreateObject() { return new TORVIndex(); }

TORVColumns* TORVIndexes::GetColumns() {
  auto* Table = dynamic_cast<TORVVirtualTable*>(FParent);
  return Table != nullptr ? &Table->GetColumns() : nullptr;
}

TORVIndex* TORVIndexes::GetIndex(int32_t Index) const { return static_cast<TORVIndex*>(GetObjects(Index)); }

int32_t TORVIndexes::GetIndexNumberForType(int32_t IndexType) const {
  for (int32_t Index = 0; Index < GetCount(); ++Index)
    if (GetIndex(Index)->GetIndexType() == IndexType) return Index;
  return -1;
}

int32_t TORVIndexes::GetIndexNumberForToken(TORVExprToken* Token) {
  const std::vector<TORVExprToken*> Arguments = ConditionColumns(Token);
  int32_t Result = -1;
  int32_t ResultKeySize = 0;
  for (int32_t Number = 0; Number < GetCount(); ++Number) {
    TORVIndex* Index = GetIndex(Number);
    if (Index->GetIndexType() == itTextIndex) continue;
    TORVIndexColumns* KeyColumns = Index->GetIndexColumns();
    if (Arguments.empty() || KeyColumns->GetCount() < static_cast<int32_t>(Arguments.size())) continue;
    bool Qualifies = true;
    for (size_t Position = 0; Position < Arguments.size() && Qualifies; ++Position) {
      TORVIndexColumn* KeyColumn = KeyColumns->GetIndexColumn(static_cast<int32_t>(Position));
      TORVColumn* Source = KeyColumn->GetSourceColumn();
      Qualifies = Source != nullptr && SameString(Source->GetName(), TokenColumnName(Arguments[Position])) &&
                  (KeyColumn->GetCollation() == Arguments[Position]->FCollation ||
                   Source->GetDataType() != dtCharacter) &&
                  KeyColumn->GetDescending() == KeyColumns->GetIndexColumn(0)->GetDescending();
    }
    if (!Qualifies) continue;
    if (Result == -1 || KeyColumns->GetKeySize() < ResultKeySize) {
      Result = Number;
      ResultKeySize = KeyColumns->GetKeySize();
    }
  }
  return Result;
}

namespace {

// Whether key column KeyColumn serves a search of the column Name under
// Collation. An index that keeps the column's collation serves a search
// under the column's case-sensitive collation too.
bool TextKeyServes(TORVIndexColumn* KeyColumn, const TORVString& Name, int32_t SearchCollation) {
  int32_t Collation = KeyColumn->GetCollation();
  if (SearchCollation != Collation && KeyColumn->GetDefaultCollation())
    ClearLocaleFlag(Collation, CollationCaseInsensitiveBit);
  TORVColumn* Source = KeyColumn->GetSourceColumn();
  return SearchCollation == Collation && Source != nullptr && SameString(Source->GetName(), Name);
}

}  // namespace

int32_t TORVIndexes::GetTextIndexNumberForToken(TORVExprToken* Token) {
  const std::vector<TORVExprToken*> Arguments = ConditionColumns(Token);
  for (int32_t Number = 0; Number < GetCount(); ++Number) {
    TORVIndex* Index = GetIndex(Number);
    if (Index->GetIndexType() != itTextIndex) continue;
    TORVIndexColumns* KeyColumns = Index->GetIndexColumns();
    if (Arguments.empty() || KeyColumns->GetCount() < static_cast<int32_t>(Arguments.size())) continue;
    bool Matches = true;
    for (size_t Position = 0; Position < Arguments.size() && Matches; ++Position) {
      Matches = TextKeyServes(KeyColumns->GetIndexColumn(static_cast<int32_t>(Position)), Arguments[Position]->FName,
                              Arguments[Position]->FCollation);
    }
    if (Matches) return Number;
  }
  return -1;
}

int32_t TORVIndexes::GetTextIndexNumberForColumn(const TORVString& ColumnName, int32_t Collation) {
  for (int32_t Number = 0; Number < GetCount(); ++Number) {
    TORVIndex* Index = GetIndex(Number);
    if (Index->GetIndexType() != itTextIndex || Index->GetIndexColumns()->GetCount() == 0) continue;
    if (TextKeyServes(Index->GetIndexColumns()->GetIndexColumn(0), ColumnName, Collation)) return Number;
  }
  return -1;
}

// ---------------------------------------------------------------------------
// Information tables

TORVTableDescription IndexColumnsTableDescription(const char16_t* OwnerColumn) {
  return {{TableText(OwnerColumn, 80, true), TableText(u"IndexName", 80, true), TableText(u"ColumnName", 80, true),
           TableColumn(u"Descending", dtBoolean), TableText(u"Collation", 80, true),
           TableColumn(u"OrdinalPos", dtInteger)},
          {{OwnerColumn, {1}}, {u"IndexName", {2}}, {u"ColumnName", {3}}}};
}

const TORVConfigObjectsClass& IndexColumnsClass() {
  static const TORVTableDescription Description = IndexColumnsTableDescription(u"TableName");
  static const TORVConfigObjectsClass Class{[](TORVConfig*) { return new TORVIndexColumns(); }, u"IndexColumns",
                                            &Description};
  return Class;
}

const TORVConfigObjectsClass& IndexesClass() {
  static const TORVTableDescription Description{
      {TableText(u"TableName", 80, true), TableText(u"Name", 80, true), TableClob(u"Description", false),
       TableText(u"Type", 15, true), TableText(u"OwnerConstraint", 80, true),
       TableColumn(u"IndexedWordLength", dtInteger), TableText(u"FilterTypeColumn", 80, true),
       TableText(u"WordGenerator", 80, true), TableClob(u"CreateSQL", true), TableClob(u"DropSQL", true)},
      {{u"TableName", {1}}, {u"Name", {2}}, {u"Type", {4}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig*) { return new TORVIndexes(); }, u"Indexes",
                                            &Description};
  return Class;
}

const TORVConfigObjectsClass& ODBCStatisticsClass() {
  static const TORVTableDescription Description{
      {TableText(u"TABLE_CAT", 80, true), TableText(u"TABLE_SCHEM", 80, true), TableText(u"TABLE_NAME", 80, true),
       TableColumn(u"NON_UNIQUE", dtSmallInt), TableText(u"INDEX_QUALIFIER", 80, true),
       TableText(u"INDEX_NAME", 80, true), TableColumn(u"TYPE", dtSmallInt),
       TableColumn(u"ORDINAL_POSITION", dtSmallInt), TableText(u"COLUMN_NAME", 80, true),
       {u"ASC_OR_DESC", dtCharacter, stChar, 1, 0, false}, TableColumn(u"CARDINALITY", dtInteger),
       TableColumn(u"PAGES", dtInteger), TableText(u"FILTER_CONDITION", 60, false),
       TableText(u"COLLATION", 80, true), TableClob(u"REMARKS", false), TableText(u"OWNER_CONSTRAINT", 80, true),
       TableColumn(u"INDEXED_WORD_LENGTH", dtInteger), TableText(u"FILTER_TYPE_COLUMN", 80, true),
       TableText(u"WORD_GENERATOR", 80, true)},
      {{u"ODBC", {4, 7, 5, 6, 8}}, {u"TABLE_NAME", {3}}, {u"INDEX_NAME", {6}}, {u"COLUMN_NAME", {9}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig*) { return new TORVODBCStatistics(); }, u"SQLStatistics",
                                            &Description};
  return Class;
}

}  // namespace orv
