#include "catalog/orvcatalog.h"

#include "catalog/orvcolumns.h"
#include "catalog/orvconfig.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvdatatype.h"
#include "catalog/orvroutine.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "core/orvbitmap.h"
#include "core/orvcollation.h"
#include "core/orvmath.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"

namespace orv {

namespace {

constexpr char16_t CatalogNotReadMsg[] = u"The catalog was not read properly";

TORVExprToken* Slot(TORVExprToken* Token, int32_t Index) {
  return Token != nullptr && Index < Token->GetNumArguments() ? Token->GetArgument(Index) : nullptr;
}

TORVTokenOperator SlotOperator(TORVExprToken* Token, int32_t Index) {
  TORVExprToken* Clause = Slot(Token, Index);
  return Clause != nullptr ? Clause->FTokenOperator : toNONE;
}

bool IsDistinctMerge(TORVTokenOperator Operator) {
  return Operator == toUNION || Operator == toEXCEPT || Operator == toINTERSECT;
}

bool IsRowQualifier(const TORVString& Name) { return SameString(Name, u"OldRow") || SameString(Name, u"NewRow"); }

TORVColumn* FindColumn(TORVVirtualTable* Table, const TORVString& Name) {
  return static_cast<TORVColumn*>(Table->GetColumns().FindByName(Name, true));
}

TORVColumnDescriptor DescribeParam(TORVRoutineParam* Param) {
  TORVColumnDescriptor Descriptor;
  Descriptor.Name = Param->GetName();
  Descriptor.Description = Param->GetDescription();
  Descriptor.DataType = Param->GetDataType();
  Descriptor.SubType = Param->GetSubType();
  Descriptor.Length = Param->GetLength();
  Descriptor.Scale = Param->GetScale();
  Descriptor.Collation = Param->GetCollation();
  Descriptor.Position = Param->GetPosition();
  return Descriptor;
}

// A function call takes the function's position and its result's type.
void TypeFunctionReference(TORVExprToken* Token, TORVFunction* Function) {
  AssignColumnToToken(Token, DescribeParam(&Function->GetResultParam()));
  Token->FPosition = Function->GetPosition();
}

// The declaration of parameter Index of Routine, in the mode it was
// declared with; nil past the last one.
TORVExprToken* RoutineParamToken(TORVRoutine* Routine, int32_t Index) {
  if (Routine == nullptr || Index < 0 || Index >= Routine->GetParams().GetCount()) return nullptr;
  TORVRoutineParam* Param = Routine->GetParams().GetParam(Index);
  TORVExprToken* Token = MakeParamToken({DescribeParam(Param)}, 0);
  switch (Param->GetParamType()) {
    case rpOutput: Token->FTokenOperator = toOUTPUT; break;
    case rpInputOutput: Token->FTokenOperator = toINPUTOUTPUT; break;
    default: Token->FTokenOperator = toINPUT; break;
  }
  return Token;
}

TORVColumnDescriptor Describe(TORVColumn* Column) {
  TORVColumnDescriptor Descriptor;
  Descriptor.Name = Column->GetName();
  Descriptor.Description = Column->GetDescription();
  Descriptor.DataType = Column->GetDataType();
  Descriptor.SubType = Column->GetSubType();
  Descriptor.Length = Column->GetLength();
  Descriptor.Scale = Column->GetScale();
  Descriptor.Collation = Column->GetCollation();
  Descriptor.Position = Column->GetPosition();
  Descriptor.Hidden = Column->GetHidden();
  return Descriptor;
}

}  // namespace

TORVCatalog::TORVCatalog(TORVConfig* OwnerConfig)
    : TORVLockableConfigObject(OwnerConfig), FSchemas(std::make_unique<TORVSchemas>(OwnerConfig)) {
  FID = 1;
  FSchemas->SetParent(this);
  auto Information = std::unique_ptr<TORVSchema>(static_cast<TORVSchema*>(FSchemas->GetNewObject()));
  Information->SetSystemObject(true);
  Information->SetName(u"Information");
  Information->SetDescription(u"Information Schema");
  FSchemas->Add(Information.get());
  FInformationSchema = Information.release();
  FDefaultSchema = AddDefaultSchema(0);
}

TORVSchema* TORVCatalog::AddDefaultSchema(int32_t ID) {
  auto Default = std::unique_ptr<TORVSchema>(static_cast<TORVSchema*>(FSchemas->GetNewObject()));
  if (ID != 0) Default->SetID(ID);
  Default->SetName(u"Default");
  Default->SetDescription(u"Default Schema");
  FSchemas->Add(Default.get());
  return Default.release();
}

void TORVCatalog::BindDefaultSchema(int32_t ID) {
  // Loading frees the schemas the stream does not hold by ID: a stream
  // damaged in its schema count or IDs must not leave the Default schema
  // pointing at a freed one.
  TORVSchema* Found = nullptr;
  for (int32_t Index = 0; Index < FSchemas->GetCount(); ++Index) {
    TORVSchema* Schema = FSchemas->GetSchema(Index);
    if (Schema->GetSystemObject()) continue;
    if (Schema->GetID() == ID) {
      Found = Schema;
      break;
    }
    if (Found == nullptr) Found = Schema;
  }
  FDefaultSchema = Found != nullptr ? Found : AddDefaultSchema(ID);
}

TORVCatalog::~TORVCatalog() {
  try {
    FSchemas->Decompile();
  } catch (...) {
    // Decompiling frees trees; nothing it raises can be acted on here.
  }
}

void TORVCatalog::Reset() {
  TORVLockableConfigObject::Reset();
  FDefaultSchema->Reset();
}

void TORVCatalog::SetTemporary(bool Value) {
  TORVLockableConfigObject::SetTemporary(Value);
  if (FDefaultSchema != nullptr) FDefaultSchema->SetTemporary(Value);
}

void TORVCatalog::SetTemporaryForSession(bool Value) {
  TORVLockableConfigObject::SetTemporaryForSession(Value);
  if (FDefaultSchema != nullptr) FDefaultSchema->SetTemporaryForSession(Value);
}

void TORVCatalog::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVLockableConfigObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVCatalog*>(FromObject);
  if (From == nullptr) return;
  FVersion = From->FVersion;
  FLastID = From->FLastID;
  FSchemas->Assign(From->FSchemas.get(), CopyReferences);
}

bool TORVCatalog::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  if (!TORVLockableConfigObject::Compare(ObjectToCompare, CompareID)) return false;
  auto* Other = dynamic_cast<TORVCatalog*>(ObjectToCompare);
  return Other != nullptr && FVersion == Other->FVersion && FSchemas->Compare(Other->FSchemas.get(), CompareID);
}

void TORVCatalog::Validate() {
  TORVLockableConfigObject::Validate();
  FSchemas->Validate();
}

int32_t TORVCatalog::GetMemorySize() { return TORVLockableConfigObject::GetMemorySize() + FSchemas->GetMemorySize(); }

int32_t TORVCatalog::GetMemoryCount() {
  return TORVLockableConfigObject::GetMemoryCount() + FSchemas->GetMemoryCount();
}

void TORVCatalog::CheckInvariants() const {
  TORVLockableConfigObject::CheckInvariants();
  CheckListInvariants({FSchemas.get()});
}

void TORVCatalog::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  if (!FLoadComplete) ValidateError(CatalogNotReadMsg, 0, 0);
  Stream.WriteCurrency(FVersion);
  Stream.WriteInteger(FLastID);
  FSchemas->Save(Stream, CRCOnly);
  FModified = false;
}

void TORVCatalog::Load(TORVMemoryStream& Stream) {
  FVersion = Stream.ReadCurrency();
  CheckEngineVersion(FVersion);
  FLoadComplete = false;
  const int32_t DefaultID = FDefaultSchema->GetID();
  try {
    FLastID = Stream.ReadInteger();
    FSchemas->Load(Stream);
    BindDefaultSchema(DefaultID);
  } catch (...) {
    ResetReferences();
    throw;
  }
  ResetReferences();
  FLoadComplete = true;
  FModified = false;
}

int32_t TORVCatalog::GetNewVirtualTableLockSlot() {
  TORVBitmap Used;
  Used.SetBitCount(LockSlotCount(lkTable));
  auto Mark = [&Used](TORVVirtualTable* Table) {
    if (Table->GetLockSlot() > 0) Used.SetBit(Table->GetLockSlot());
  };
  for (int32_t Index = 0; Index < FDefaultSchema->GetBaseTables().GetCount(); ++Index)
    Mark(FDefaultSchema->GetBaseTables().GetTable(Index));
  for (int32_t Index = 0; Index < FDefaultSchema->GetViews().GetCount(); ++Index)
    Mark(FDefaultSchema->GetViews().GetView(Index));
  int32_t Slot = 0;
  return Used.NextBitClear(Slot) ? Slot : 0;
}

int32_t TORVCatalog::GetNextID() {
  WrapIncInteger(FLastID, 1);
  FModified = true;
  return FLastID;
}

void TORVCatalog::SetVersion(TORVCurrency Value) {
  if (Value == FVersion) return;
  FVersion = Value;
  FModified = true;
}

TORVDatabaseContainer* TORVCatalog::GetDatabase() const { return dynamic_cast<TORVDatabaseContainer*>(FParent); }

void TORVCatalog::DoAddTemporaryView(TORVView* View) {
  if (FOnAddTemporaryView) FOnAddTemporaryView(View);
}

void TORVCatalog::DoRemoveTemporaryView(TORVView*& View) {
  if (FOnRemoveTemporaryView) FOnRemoveTemporaryView(View);
}

// ------------------------------------------------------- name resolution

TORVSchema* TORVCatalog::GetTokenSchema(TORVExprToken* Token, bool RaiseException) {
  if (Token->FSourceName.empty()) return FDefaultSchema;
  return static_cast<TORVSchema*>(FSchemas->FindByName(Token->FSourceName, RaiseException));
}

TORVVirtualTable* TORVCatalog::FindVirtualTable(TORVSchema* Schema, const TORVString& TableName,
                                                TORVUser* EffectiveUser, bool RaiseException,
                                                bool IncludeTemporary) {
  if (IncludeTemporary) {
    if (auto* Table = Schema->GetTemporaryTables().FindByName(TableName, false))
      return static_cast<TORVVirtualTable*>(Table);
    if (auto* View = Schema->GetTemporaryViews().FindByName(TableName, false))
      return static_cast<TORVVirtualTable*>(View);
  }
  return Schema->FindVirtualTable(TableName, EffectiveUser, RaiseException);
}

TORVBaseTable* TORVCatalog::FindTable(TORVSchema* Schema, const TORVString& TableName, TORVUser* EffectiveUser,
                                      bool RaiseException, bool IncludeTemporary) {
  if (IncludeTemporary)
    if (auto* Table = Schema->GetTemporaryTables().FindByName(TableName, false))
      return static_cast<TORVBaseTable*>(Table);
  return Schema->FindBaseTable(TableName, EffectiveUser, RaiseException);
}

TORVVirtualTable* TORVCatalog::GetVirtualTableForColumn(TORVExprToken* Token, TORVUser* EffectiveUser,
                                                        TORVVirtualTable* DefaultTable,
                                                        const TORVString& DefaultSchemaName,
                                                        const TORVString& DefaultTableName, bool IncludeTemporary) {
  if (Token->FTokenType == ttCOLUMNREF && Token->FSourceToken != nullptr) {
    TORVExprToken* Source = Token->FSourceToken;
    return FindVirtualTable(GetTokenSchema(Source, true), Source->FName, EffectiveUser, true, IncludeTemporary);
  }
  if (!Token->FSourceName.empty() || DefaultTable == nullptr) {
    TORVSchema* Schema = DefaultSchemaName.empty()
                             ? FDefaultSchema
                             : static_cast<TORVSchema*>(FSchemas->FindByName(DefaultSchemaName, true));
    const TORVString& TableName =
        Token->FSourceName.empty() || IsRowQualifier(Token->FSourceName) ? DefaultTableName : Token->FSourceName;
    return FindVirtualTable(Schema, TableName, EffectiveUser, true, IncludeTemporary);
  }
  return DefaultTable;
}

void TORVCatalog::BindReference(TORVExprToken* Token, TORVTokenType TokenType, bool IncludeTemporary,
                                TORVUser* EffectiveUser, TORVVirtualTable* DefaultTable,
                                const TORVString& DefaultSchemaName, const TORVString& DefaultTableName) {
  switch (TokenType) {
    case ttCOLLATIONREF: {
      TORVString BaseName;
      bool CaseInsensitive = false;
      bool AccentInsensitive = false;
      bool KanaInsensitive = false;
      bool WidthInsensitive = false;
      ParseCollation(Token->FName, BaseName, CaseInsensitive, AccentInsensitive, KanaInsensitive,
                     WidthInsensitive);
      Token->FCollation = FConfig->GetCollations().FindByName(BaseName, true)->GetID();
      Token->SetIgnoreCase(CaseInsensitive);
      Token->SetIgnoreAccent(AccentInsensitive);
      Token->SetIgnoreKana(KanaInsensitive);
      Token->SetIgnoreWidth(WidthInsensitive);
      break;
    }
    case ttCOLUMNREF: {
      TORVVirtualTable* Table = GetVirtualTableForColumn(Token, EffectiveUser, DefaultTable, DefaultSchemaName,
                                                         DefaultTableName, true);
      // Compiling a view may derive its columns again: look the column up
      // only after.
      auto* View = dynamic_cast<TORVView*>(Table);
      if (View != nullptr) View->Compile();
      TORVColumn* Column = FindColumn(Table, Token->FName);
      // Through an updateable view the rows, and so the column, are the base
      // table's: the reference names the column it stands for there.
      if (View != nullptr && View->GetUpdateable()) Token->FOriginName = Column->GetBaseColumn()->GetName();
      TORVColumnDescriptor Descriptor = Describe(Column);
      if (Column->GetOriginPosition() != 0) Descriptor.Position = Column->GetOriginPosition();
      AssignColumnToToken(Token, Descriptor);
      break;
    }
    case ttROWCOLUMNREF: {
      const bool Temporary = DefaultTable == nullptr || DefaultTable->GetTemporaryForSession();
      TORVVirtualTable* Table = GetVirtualTableForColumn(Token, EffectiveUser, DefaultTable, DefaultSchemaName,
                                                         DefaultTableName, Temporary);
      AssignColumnToToken(Token, Describe(FindColumn(Table, Token->FName)));
      break;
    }
    case ttFUNCREF:
      TypeFunctionReference(Token, GetTokenSchema(Token, true)->FindFunction(Token->FName, EffectiveUser, true));
      break;
    case ttPROCREF: {
      // A call names a function before a procedure of the same name.
      TORVSchema* Schema = GetTokenSchema(Token, true);
      if (TORVFunction* Function = Schema->FindFunction(Token->FName, EffectiveUser, false))
        TypeFunctionReference(Token, Function);
      else
        Schema->FindProcedure(Token->FName, EffectiveUser, true);
      break;
    }
    case ttTABLEREF:
      if (Token->FTokenOperator == toDERIVED) {
        BindDerivedTable(Token, EffectiveUser);
        break;
      }
      FindVirtualTable(GetTokenSchema(Token, true), Token->FName, EffectiveUser, true, IncludeTemporary);
      break;
    default:
      break;
  }
}

bool TORVCatalog::ColumnExists(TORVExprToken* TableToken, TORVExprToken* ColumnToken, TORVUser* EffectiveUser) {
  if (ColumnToken == nullptr || ColumnToken->FTokenType != ttCOLUMNREF) return false;
  TORVSchema* Schema = GetTokenSchema(TableToken, false);
  if (Schema == nullptr) return false;
  TORVVirtualTable* Table = FindVirtualTable(Schema, TableToken->FName, EffectiveUser, false, true);
  return Table != nullptr && Table->GetColumns().FindByName(ColumnToken->FName, false) != nullptr;
}

void TORVCatalog::BindDerivedTable(TORVExprToken* Token, TORVUser* EffectiveUser) {
  if (Token->FID != 0) return;
  TORVViews& Views = GetTokenSchema(Token, true)->GetTemporaryViews();
  std::unique_ptr<TORVView> View(static_cast<TORVView*>(Views.GetNewObject(EffectiveUser)));
  View->SetTemporary(true);
  View->SetName(Views.GetUniqueName(Token->FName));
  View->SetInternalName(Token->FName);
  View->GrantOwnerPrivileges();
  View->GetDefinition().SetTokens(Slot(Token, TableRefQuerySlot));
  View->Compile();
  Views.Add(View.get());
  TORVView* Added = View.release();
  Token->FID = Added->GetID();
  Token->FName = Added->GetName();
  DoAddTemporaryView(Added);
}

void TORVCatalog::UnbindReference(TORVExprToken* Token, TORVUser* /*EffectiveUser*/) {
  if (Token->FTokenType != ttTABLEREF || Token->FTokenOperator != toDERIVED || Token->FID == 0) return;
  auto* View = static_cast<TORVView*>(GetTokenSchema(Token, true)->GetTemporaryViews().FindByName(Token->FName, false));
  if (View == nullptr) return;
  // The view borrows the statement's tree, which is about to go.
  View->GetDefinition().SetTokens(nullptr);
  DoRemoveTemporaryView(View);
}

TORVExprToken* TORVCatalog::GetFunctionParamToken(const TORVString& Name, int32_t Index) {
  return RoutineParamToken(FDefaultSchema->FindFunction(Name, nullptr, false), Index);
}

TORVExprToken* TORVCatalog::GetProcedureParamToken(const TORVString& Name, int32_t Index) {
  TORVRoutine* Routine = FDefaultSchema->FindFunction(Name, nullptr, false);
  if (Routine == nullptr) Routine = FDefaultSchema->FindProcedure(Name, nullptr, false);
  return RoutineParamToken(Routine, Index);
}

int32_t TORVCatalog::GetNewRoutineLockSlot() {
  constexpr int32_t SlotCount = 4096;
  std::vector<bool> Used(SlotCount + 1, false);
  TORVRoutines& Routines = FDefaultSchema->GetRoutines();
  for (int32_t Index = 0; Index < Routines.GetCount(); ++Index) {
    const int32_t Slot = Routines.GetRoutine(Index)->GetLockSlot();
    if (Slot > 0 && Slot <= SlotCount) Used[static_cast<size_t>(Slot)] = true;
  }
  for (int32_t Slot = 1; Slot <= SlotCount; ++Slot)
    if (!Used[static_cast<size_t>(Slot)]) return Slot;
  return 0;
}

// ------------------------------------------------------------ result tests

bool TORVCatalog::ReturnsNoTableResult(TORVExprToken* QueryToken) {
  TORVExprToken* From = Slot(QueryToken, QueryFromSlot);
  return From == nullptr || From->GetNumArguments() == 0;
}

bool TORVCatalog::ReturnsParamsResult(TORVExprToken* QueryToken) {
  return Slot(QueryToken, QueryIntoSlot) != nullptr;
}

bool TORVCatalog::ReturnsGroupedResult(TORVExprToken* QueryToken) {
  return Slot(QueryToken, QueryGroupBySlot) != nullptr;
}

bool TORVCatalog::ReturnsOrderedResult(TORVExprToken* QueryToken) {
  return Slot(QueryToken, QueryOrderBySlot) != nullptr;
}

bool TORVCatalog::ReturnsDistinctResult(TORVExprToken* QueryToken) {
  return SlotOperator(QueryToken, QuerySelectSlot) == toDISTINCT ||
         IsDistinctMerge(SlotOperator(QueryToken, QueryMergeWordSlot)) ||
         IsDistinctMerge(SlotOperator(Slot(QueryToken, QueryMergedQuerySlot), QueryMergeWordSlot));
}

bool TORVCatalog::ReturnsMergedResult(TORVExprToken* QueryToken) {
  return Slot(QueryToken, QueryMergedQuerySlot) != nullptr;
}

bool TORVCatalog::ReturnsMergedInputResult(TORVExprToken* QueryToken) {
  const TORVTokenOperator Operator = SlotOperator(QueryToken, QueryMergeWordSlot);
  return IsDistinctMerge(Operator) || Operator == toEXCEPTALL || Operator == toINTERSECTALL ||
         Operator == toUNIONALL;
}

bool TORVCatalog::ReturnsRangedResult(TORVExprToken* QueryToken) {
  for (int32_t Index = QueryExtensionSlot; Index < QueryToken->GetNumArguments(); ++Index)
    if (SlotOperator(QueryToken, Index) == toRANGE) return true;
  return false;
}

bool TORVCatalog::ReturnsSingleRowResult(TORVExprToken* QueryToken) {
  TORVExprToken* Select = Slot(QueryToken, QuerySelectSlot);
  if (Select == nullptr) return false;
  bool Aggregated = false;
  for (int32_t Index = 0; Index < Select->GetNumArguments(); ++Index) {
    TORVExprToken* Expression = Slot(Select->GetArgument(Index), 0);
    if (ContainsAggregates(Expression))
      Aggregated = true;
    else if (ContainsColumns(Expression))
      return false;
  }
  return Aggregated;
}

std::vector<TORVColumnDescriptor> TORVCatalog::DescribeColumns(TORVVirtualTable* Table) {
  std::vector<TORVColumnDescriptor> Result;
  TORVColumns& Columns = Table->GetColumns();
  for (int32_t Index = 0; Index < Columns.GetCount(); ++Index) {
    Result.push_back(Describe(Columns.GetColumn(Index)));
  }
  return Result;
}

}  // namespace orv
