#include "catalog/orvroutine.h"

#include <vector>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvconfig.h"
#include "catalog/orvmodule.h"
#include "core/orvliteral.h"
#include "core/orvsqlscan.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"
#include "sql/orvexprtoken.h"
#include "sql/orvparser.h"
#include "sql/orvroutineslots.h"

namespace orv {

namespace {

constexpr char16_t CRLF[] = u"\r\n";

TORVString Quoted(const TORVString& Name) { return QuotedString(Name, u'"'); }

// Text without leading and trailing blanks, tabs and line ends.
TORVString TrimText(const TORVString& Text) {
  constexpr char16_t Blanks[] = u" \t\r\n";
  const size_t First = Text.find_first_not_of(Blanks);
  if (First == TORVString::npos) return TORVString();
  return Text.substr(First, Text.find_last_not_of(Blanks) - First + 1);
}

}  // namespace

// ---------------------------------------------------------------- parameters

void TORVRoutineParam::SetParamType(int32_t Value) {
  if (Value == FParamType) return;
  FParamType = Value;
  SetModified(true);
}

void TORVRoutineParam::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVTypedCatalogObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVRoutineParam*>(FromObject);
  if (From == nullptr) return;
  FParamType = From->FParamType;
  FDataType = From->FDataType;
  FSubType = From->FSubType;
  FLength = From->FLength;
  FSize = From->FSize;
  FScale = From->FScale;
  FCollation = From->FCollation;
}

bool TORVRoutineParam::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  if (!TORVTypedCatalogObject::Compare(ObjectToCompare, CompareID)) return false;
  auto* Other = dynamic_cast<TORVRoutineParam*>(ObjectToCompare);
  return Other != nullptr && FParamType == Other->FParamType && FDataType == Other->FDataType &&
         FSubType == Other->FSubType && FLength == Other->FLength && FSize == Other->FSize &&
         FScale == Other->FScale && FCollation == Other->FCollation;
}

void TORVRoutineParam::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVTypedCatalogObject::Save(Stream, CRCOnly);
  for (int32_t Value : {FParamType, FDataType, FSubType, FLength, FSize, FScale, FCollation})
    Stream.WriteInteger(Value);
}

void TORVRoutineParam::Load(TORVMemoryStream& Stream) {
  TORVTypedCatalogObject::Load(Stream);
  for (int32_t* Field : {&FParamType, &FDataType, &FSubType, &FLength, &FSize, &FScale, &FCollation})
    *Field = Stream.ReadInteger();
}

TORVString TORVRoutineParam::GetCreateSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/,
                                          bool /*Restricted*/) {
  const TORVString TypeText = DataTypeToSQLString(FDataType, FSubType, FLength, FScale);
  TORVString Result;
  switch (FParamType) {
    case rpInput: Result = u"IN " + Quoted(FName) + u" " + TypeText; break;
    case rpOutput: Result = u"OUT " + Quoted(FName) + u" " + TypeText; break;
    case rpInputOutput: Result = u"INOUT " + Quoted(FName) + u" " + TypeText; break;
    case rpResult: Result = u"RETURNS " + TypeText; break;
    // A parameter without a mode is written without a mode word, which
    // reads back as IN.
    default: Result = Quoted(FName) + u" " + TypeText; break;
  }
  if (FDataType == dtCharacter || (FDataType == dtLargeObject && FSubType == stClob)) {
    TORVString CollationName;
    if (FConfig != nullptr && FConfig->GetOnGetCollationName())
      CollationName = FConfig->GetOnGetCollationName()(FCollation);
    if (!CollationName.empty()) Result += u" COLLATE " + Quoted(CollationName);
  }
  if (!FDescription.empty()) Result += u" DESCRIPTION " + QuotedString(FDescription, u'\'');
  return Result;
}

// ------------------------------------------------------------- definitions

TORVUserRoutine::TORVUserRoutine(TORVRoutine* Owner) : TORVCatalogRoutine(Owner), FRoutine(Owner) {}

TORVExprToken* TORVUserRoutine::Parse() {
  ResetCatalog();
  TORVExprParser& Parser = *Config()->GetParser();
  Parser.Initialize(this);
  TORVParseOptions Options{poCheckEndRoutine};
  if (FRoutine->GetRoutineVersion() < DynamicSyntaxVersion) Options.Include(poConvertDynamic);
  if (dynamic_cast<TORVFunction*>(FRoutine) != nullptr) return Parser.ParseFunctionRoutine(Options);
  Options.Include(poAllowCursorReturn);
  return Parser.ParseProcedureRoutine(Options);
}

void TORVUserRoutine::ExpressionCompiled() { FRoutine->SetupExpressionReferences(); }

void TORVUserRoutine::ExpressionDecompiled() { FRoutine->ClearExpressionReferences(); }

void TORVUserRoutine::FunctionFound(TORVExprToken* Token) { FRoutine->FunctionFound(Token); }

void TORVUserRoutine::ProcedureFound(TORVExprToken* Token) { FRoutine->ProcedureFound(Token); }

TORVString TORVProcedureRoutine::GetTypeName() const { return FRoutine->GetName() + u" procedure"; }

TORVString TORVFunctionRoutine::GetTypeName() const { return FRoutine->GetName() + u" function"; }

TORVProcedure* TORVSelectedProcedures::GetProcedure(int32_t Index) const {
  return static_cast<TORVProcedure*>(FObjects[Index]);
}

TORVFunction* TORVSelectedFunctions::GetFunction(int32_t Index) const {
  return static_cast<TORVFunction*>(FObjects[Index]);
}

// ----------------------------------------------------------------- routines

TORVRoutine::TORVRoutine(TORVConfig* OwnerConfig, TORVUser* OwnerUser, TORVCatalog* OwnerCatalog)
    : TORVPrivilegedSchemaObject(OwnerConfig, OwnerUser),
      FParams(std::make_unique<TORVRoutineParams>(OwnerConfig)),
      FResultParam(std::make_unique<TORVRoutineParam>(OwnerConfig)),
      FReferencedFunctions(std::make_unique<TORVSelectedFunctions>()),
      FReferencedProcedures(std::make_unique<TORVSelectedProcedures>()) {
  FParams->SetParent(this);
  FResultParam->SetParent(this);
  FReferencedFunctions->SetParent(this);
  FReferencedProcedures->SetParent(this);
  FRoutineVersion = OwnerCatalog != nullptr ? OwnerCatalog->GetVersion() : EngineCatalogVersion;
}

TORVRoutine::~TORVRoutine() {
  try {
    CloseModule();
  } catch (...) {
    // A destructor cannot report it; the handle is 0 and the module
    // unloaded either way.
  }
}

TORVCurrency TORVRoutine::CurrentVersion() {
  TORVCatalog* Catalog = GetCatalog();
  return Catalog != nullptr ? Catalog->GetVersion() : EngineCatalogVersion;
}

void TORVRoutine::SetSystemObject(bool Value) {
  TORVPrivilegedSchemaObject::SetSystemObject(Value);
  if (FParams == nullptr) return;
  FParams->SetSystemObject(Value);
  FResultParam->SetSystemObject(Value);
}

void TORVRoutine::SetTemporary(bool Value) {
  TORVPrivilegedSchemaObject::SetTemporary(Value);
  if (FParams == nullptr) return;
  FParams->SetTemporary(Value);
  FResultParam->SetTemporary(Value);
}

void TORVRoutine::SetTemporaryForSession(bool Value) {
  TORVPrivilegedSchemaObject::SetTemporaryForSession(Value);
  if (FParams == nullptr) return;
  FParams->SetTemporaryForSession(Value);
  FResultParam->SetTemporaryForSession(Value);
}

void TORVRoutine::ResetReferences() {
  TORVPrivilegedSchemaObject::ResetReferences();
  FModule = nullptr;
}

void TORVRoutine::SetDefinitionText(const TORVString& Text) {
  FDefinition->SetExpression(Text);
  FRoutineVersion = CurrentVersion();
}

void TORVRoutine::SetImplementationType(int32_t Value) {
  if (Value == FImplementationType) return;
  FImplementationType = Value;
  SetModified(true);
}

void TORVRoutine::SetSecurityType(int32_t Value) {
  if (Value == FSecurityType) return;
  FSecurityType = Value;
  SetModified(true);
}

void TORVRoutine::SetLockSlot(int32_t Value) {
  if (Value == FLockSlot) return;
  FLockSlot = Value;
  SetModified(true);
}

void TORVRoutine::SetModuleName(const TORVString& Value) {
  if (Value == FModuleName) return;
  FModuleName = Value;
  FModule = nullptr;
  SetModified(true);
}

int32_t TORVRoutine::GetNumInputParams() const {
  int32_t Count = 0;
  for (int32_t Index = 0; Index < FParams->GetCount(); ++Index) {
    const int32_t Mode = FParams->GetParam(Index)->GetParamType();
    if (Mode == rpInput || Mode == rpInputOutput) ++Count;
  }
  return Count;
}

int32_t TORVRoutine::GetNumOutputParams() const {
  int32_t Count = 0;
  for (int32_t Index = 0; Index < FParams->GetCount(); ++Index) {
    const int32_t Mode = FParams->GetParam(Index)->GetParamType();
    if (Mode == rpOutput || Mode == rpInputOutput) ++Count;
  }
  return Count;
}

void TORVRoutine::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVPrivilegedSchemaObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVRoutine*>(FromObject);
  if (From == nullptr) return;
  FImplementationType = From->FImplementationType;
  FSecurityType = From->FSecurityType;
  FDefinition->Assign(From->FDefinition.get(), false);
  FModuleName = From->FModuleName;
  FModule = nullptr;
  FParams->Assign(From->FParams.get(), CopyReferences);
  FResultParam->Assign(From->FResultParam.get(), CopyReferences);
  FRoutineVersion = From->FRoutineVersion;
}

bool TORVRoutine::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  if (!TORVPrivilegedSchemaObject::Compare(ObjectToCompare, CompareID)) return false;
  auto* Other = dynamic_cast<TORVRoutine*>(ObjectToCompare);
  if (Other == nullptr) return false;
  if (FImplementationType != Other->FImplementationType || FSecurityType != Other->FSecurityType) return false;
  if (!FParams->Compare(Other->FParams.get(), CompareID)) return false;
  if (!FResultParam->Compare(Other->FResultParam.get(), CompareID)) return false;
  if (FImplementationType == riSQL) return SameString(GetRoutineBody(), Other->GetRoutineBody());
  return SameString(FModuleName, Other->FModuleName);
}

void TORVRoutine::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVPrivilegedSchemaObject::Save(Stream, CRCOnly);
  // Written under the gate it is read with, so that a stream of an older
  // catalog reads back field for field.
  const bool Versioned = GetConfigVersion() >= DynamicSyntaxVersion;
  Stream.WriteInteger(FImplementationType);
  Stream.WriteInteger(FSecurityType);
  Stream.WriteString(FDefinition->GetExpression());
  Stream.WriteString(FModuleName);
  FParams->Save(Stream, CRCOnly);
  FResultParam->Save(Stream, CRCOnly);
  if (Versioned) Stream.WriteCurrency(FRoutineVersion);
  Stream.WriteInteger(FLockSlot);
}

void TORVRoutine::Load(TORVMemoryStream& Stream) {
  TORVPrivilegedSchemaObject::Load(Stream);
  FImplementationType = Stream.ReadInteger();
  FSecurityType = Stream.ReadInteger();
  TORVString Text;
  Stream.ReadString(Text);
  FDefinition->SetExpression(Text);
  Stream.ReadString(FModuleName);
  FModule = nullptr;
  FParams->Load(Stream);
  FResultParam->Load(Stream);
  if (GetConfigVersion() >= DynamicSyntaxVersion)
    FRoutineVersion = Stream.ReadCurrency();
  else
    FRoutineVersion = GetConfigVersion();
  FLockSlot = Stream.ReadInteger();
}

void TORVRoutine::Validate() { TORVPrivilegedConfigObject::Validate(); }

void TORVRoutine::Compile() { FDefinition->Compile(); }

void TORVRoutine::Decompile() { FDefinition->Decompile(); }

void TORVRoutine::GrantAllPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) {
  GrantPrivilege(EffectiveUser, GrantTo, PrivilegeExecute);
}

void TORVRoutine::GrantRestrictedPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) {
  GrantPrivilege(EffectiveUser, GrantTo, PrivilegeExecute);
}

int32_t TORVRoutine::GetMemorySize() {
  return TORVPrivilegedSchemaObject::GetMemorySize() +
         static_cast<int32_t>(FDefinition->GetExpression().size() * sizeof(char16_t)) +
         static_cast<int32_t>(FModuleName.size() * sizeof(char16_t)) + FParams->GetMemorySize() +
         FResultParam->GetMemorySize() + FReferencedFunctions->GetMemorySize() +
         FReferencedProcedures->GetMemorySize();
}

int32_t TORVRoutine::GetMemoryCount() {
  return TORVPrivilegedSchemaObject::GetMemoryCount() + FParams->GetMemoryCount();
}

void TORVRoutine::CheckInvariants() const {
  TORVPrivilegedSchemaObject::CheckInvariants();
  CheckListInvariants({FParams.get(), FReferencedFunctions.get(), FReferencedProcedures.get()});
}

// ------------------------------------------------------------ from a statement

namespace {

TORVExprToken* ArgumentOf(TORVExprToken* Token, int32_t Slot) {
  return Token != nullptr && Slot < Token->GetNumArguments() ? Token->GetArgument(Slot) : nullptr;
}

// The type of a parameter item: its ttDATATYPE, else the item itself.
void AssignParamType(TORVRoutineParam& Param, TORVExprToken* Item) {
  TORVExprToken* Type = ArgumentOf(Item, ParamDataTypeSlot);
  if (Type == nullptr) Type = Item;
  Param.SetDataType(Type->FDataType);
  Param.SetSubType(Type->FSubType);
  Param.SetLength(Type->FLength);
  Param.SetScale(Type->FScale);
  Param.SetCollation(Type->FCollation);
}

}  // namespace

void TORVRoutine::BuildParams(TORVExprToken* Tokens) {
  FParams->Clear();
  TORVExprToken* List = ArgumentOf(Tokens, RoutineParamsSlot);
  for (int32_t Index = 0; List != nullptr && Index < List->GetNumArguments(); ++Index) {
    TORVExprToken* Item = List->GetArgument(Index);
    std::unique_ptr<TORVRoutineParam> Param(static_cast<TORVRoutineParam*>(FParams->GetNewObject()));
    switch (Item->FTokenOperator) {
      case toINPUT: Param->SetParamType(rpInput); break;
      case toINPUTOUTPUT: Param->SetParamType(rpInputOutput); break;
      case toOUTPUT: Param->SetParamType(rpOutput); break;
      default: break;
    }
    Param->SetName(Item->FName);
    AssignParamType(*Param, Item);
    if (TORVExprToken* Description = ArgumentOf(Item, ParamDescriptionSlot))
      Param->SetDescription(Description->FTokenConstant);
    FParams->Add(Param.get());
    Param.release();
  }
}

void TORVRoutine::BuildResultParam(TORVExprToken* Tokens) {
  TORVExprToken* Result = ArgumentOf(ArgumentOf(Tokens, RoutineReturnsSlot), 0);
  if (Result != nullptr) {
    FResultParam->SetParamType(rpResult);
    FResultParam->SetName(u"Result");
    AssignParamType(*FResultParam, Result);
    return;
  }
  FResultParam->SetParamType(rpNone);
  FResultParam->SetName(TORVString());
  FResultParam->SetDataType(0);
  FResultParam->SetSubType(0);
  FResultParam->SetLength(0);
  FResultParam->SetScale(0);
  FResultParam->SetCollation(0);
}

void TORVRoutine::BuildModule(TORVExprToken* Tokens) {
  TORVExprToken* Module = ArgumentOf(Tokens, RoutineModuleSlot);
  if (Module == nullptr) {
    SetImplementationType(riSQL);
    return;
  }
  auto* Found = static_cast<TORVModule*>(FConfig->GetModules().FindByName(Module->FName, true));
  Found->CheckModuleType(ModuleTypeRoutines);
  SetImplementationType(riExternal);
  SetModule(Found);
}

// ---------------------------------------------------------- called routines

void TORVRoutine::SetupExpressionReferences() {
  for (TORVSelectedConfigObjects* List :
       {static_cast<TORVSelectedConfigObjects*>(FReferencedFunctions.get()),
        static_cast<TORVSelectedConfigObjects*>(FReferencedProcedures.get())}) {
    List->SortByID();
    List->RemoveDuplicates();
  }
}

void TORVRoutine::ClearExpressionReferences() {
  FReferencedFunctions->Clear();
  FReferencedProcedures->Clear();
}

void TORVRoutine::FunctionFound(TORVExprToken* Token) {
  TORVCatalog* Catalog = GetCatalog();
  if (Catalog == nullptr || Token->FTokenOperator != toUDF || SameString(Token->FName, FName)) return;
  TORVFunction* Found = Catalog->GetDefaultSchema()->FindFunction(Token->FName, nullptr, true);
  if (Found != this) FReferencedFunctions->Add(Found);
}

void TORVRoutine::ProcedureFound(TORVExprToken* Token) {
  TORVCatalog* Catalog = GetCatalog();
  if (Catalog == nullptr || SameString(Token->FName, FName)) return;
  // A call binds a function of that name before a procedure.
  TORVSchema* Default = Catalog->GetDefaultSchema();
  if (TORVFunction* Function = Default->FindFunction(Token->FName, nullptr, false)) {
    if (Function != this) FReferencedFunctions->Add(Function);
    return;
  }
  TORVProcedure* Found = Default->FindProcedure(Token->FName, nullptr, true);
  if (Found != this) FReferencedProcedures->Add(Found);
}

// ------------------------------------------------------------ SQL texts

TORVString TORVRoutine::GetRoutineBody() const {
  const TORVString Text = TrimText(FDefinition->GetExpression());
  int32_t Position = 1;
  while (Position <= static_cast<int32_t>(Text.size())) {
    const TORVString Keyword = NextSQLKeyword(Text, Position);
    if (Keyword.empty()) break;
    if (SameString(Keyword, u"BEGIN")) {
      // The keyword ends where the scan stopped; the blanks and comments
      // the scan skipped lie before it.
      const size_t End = static_cast<size_t>(Position - 1);
      return Text.substr(End - Keyword.size());
    }
  }
  return Text;
}

TORVString TORVRoutine::GetSQL(bool IncludeExtensions) {
  TORVString SQL = UpperCaseString(GetTypeName()) + u" " + Quoted(FName) + u" (" +
                   FParams->GetCreateSQL(false, false, false) + u")" + CRLF;
  if (FResultParam->GetParamType() != rpNone) SQL += FResultParam->GetCreateSQL(false, false, false) + CRLF;
  if (FImplementationType == riExternal)
    SQL += u"EXTERNAL NAME " + Quoted(FModuleName);
  else
    SQL += GetRoutineBody();
  if (IncludeExtensions) {
    if (!FDescription.empty()) SQL += TORVString(CRLF) + u"DESCRIPTION " + QuotedString(FDescription, u'\'');
    SQL += TORVString(CRLF) + u"VERSION " + DecimalToSQLStr(FUserVersion, 2);
    if (!FAttributes.empty()) SQL += TORVString(CRLF) + u"ATTRIBUTES " + QuotedString(FAttributes, u'\'');
  }
  return SQL;
}

TORVString TORVRoutine::GetCreateSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/,
                                     bool /*Restricted*/) {
  return u"CREATE " + GetSQL(true);
}

void TORVRoutine::GetExtensionsAlterSQL(TORVRoutine* NewRoutine, TORVString& SQL) {
  if (!SameStringSensitive(FDescription, NewRoutine->FDescription))
    SQL += TORVString(CRLF) + u"DESCRIPTION " + QuotedString(NewRoutine->FDescription, u'\'');
  if (FUserVersion != NewRoutine->FUserVersion)
    SQL += TORVString(CRLF) + u"VERSION " + DecimalToSQLStr(NewRoutine->FUserVersion, 2);
  if (!SameStringSensitive(FAttributes, NewRoutine->FAttributes))
    SQL += TORVString(CRLF) + u"ATTRIBUTES " + QuotedString(NewRoutine->FAttributes, u'\'');
}

void TORVRoutine::BuildAlterSQL(int32_t Action, TORVConfigObject* Target, char16_t /*StatementTerminator*/) {
  FAlterSQL.clear();
  switch (Action) {
    case 0: FAlterSQL = GetCreateSQL(false, false, false); break;
    case 2: FAlterSQL = GetDropSQL(false, false); break;
    case 1: {
      auto* NewRoutine = dynamic_cast<TORVRoutine*>(Target);
      if (NewRoutine == nullptr || Compare(Target, false)) break;
      FAlterSQL = u"ALTER " + NewRoutine->GetSQL(false);
      GetExtensionsAlterSQL(NewRoutine, FAlterSQL);
      break;
    }
    default: break;
  }
}

// ------------------------------------------------------------ dependencies

void TORVRoutine::SetDependencies() {
  TORVCatalog* Catalog = GetCatalog();
  if (Catalog == nullptr) return;
  TORVSchema* Default = Catalog->GetDefaultSchema();
  Default->GetBaseTables().AddDependenciesToObject(this);
  Default->GetViews().AddDependenciesToObject(this);
  Default->GetRoutines().AddDependenciesToObject(this);
}

void TORVRoutine::RenameDependencies(const TORVString& NewName) {
  TORVCatalog* Catalog = GetCatalog();
  if (Catalog == nullptr) return;
  TORVSchema* Default = Catalog->GetDefaultSchema();
  Default->GetBaseTables().RenameDependenciesToObject(this, NewName);
  Default->GetViews().RenameDependenciesToObject(this, NewName);
  Default->GetRoutines().RenameDependenciesToObject(this, NewName);
}

void TORVRoutine::AddDependenciesToObject(TORVConfigObject* Obj) {
  TORVPrivilegedSchemaObject::AddDependenciesToObject(Obj);
  if (dynamic_cast<TORVRoutine*>(Obj) != nullptr) {
    Compile();
    FReferencedFunctions->AddDependenciesToObject(Obj);
    FReferencedProcedures->AddDependenciesToObject(Obj);
  } else if (auto* Module = dynamic_cast<TORVModule*>(Obj)) {
    if (FImplementationType == riExternal && SameString(Module->GetName(), FModuleName))
      Module->GetDependencies()->Add(this);
  }
}

void TORVRoutine::RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) {
  TORVPrivilegedSchemaObject::RenameDependenciesToObject(Obj, NewName);
  if (auto* Routine = dynamic_cast<TORVRoutine*>(Obj)) {
    Compile();
    const bool Function = dynamic_cast<TORVFunction*>(Routine) != nullptr;
    TORVSelectedConfigObjects& Referenced = Function ? static_cast<TORVSelectedConfigObjects&>(*FReferencedFunctions)
                                                     : static_cast<TORVSelectedConfigObjects&>(*FReferencedProcedures);
    if (Routine != this && Referenced.FindByID(Routine->GetID(), false) == nullptr) return;
    // One pass only: the rewritten text names a routine the catalog does
    // not hold yet, so it could not compile for a second one.
    FDefinition->RenameSymbols(Function ? ttFUNCREF : ttPROCREF, Routine->GetName(), NewName);
    SetModified(true);
  } else if (auto* Module = dynamic_cast<TORVModule*>(Obj)) {
    if (FImplementationType == riExternal && SameString(Module->GetName(), FModuleName)) {
      FModuleName = NewName;
      FModule = nullptr;
      SetModified(true);
    }
  }
}

// ------------------------------------------------------------------ modules

TORVModule* TORVRoutine::GetModule() {
  if (FModule == nullptr && FConfig != nullptr)
    FModule = static_cast<TORVModule*>(FConfig->GetModules().FindByName(FModuleName, true));
  return FModule;
}

void TORVRoutine::SetModule(TORVModule* Value) {
  FModule = Value;
  if (Value != nullptr && Value->GetName() != FModuleName) {
    FModuleName = Value->GetName();
    SetModified(true);
  }
}

void TORVRoutine::OpenModule() {
  if (FImplementationType != riExternal || FModuleHandle != 0) return;
  TORVModule* Module = GetModule();
  Module->LoadModule(ModuleTypeRoutines);
  try {
    FModuleHandle = Module->OpenModule();
  } catch (...) {
    Module->UnloadModule();
    throw;
  }
}

void TORVRoutine::CloseModule() {
  if (FImplementationType != riExternal || FModuleHandle == 0) return;
  TORVModule* Module = GetModule();
  try {
    Module->CloseModule(FModuleHandle);
  } catch (...) {
    FModuleHandle = 0;
    Module->UnloadModule();
    throw;
  }
  FModuleHandle = 0;
  Module->UnloadModule();
}

void TORVRoutine::CallExternalRoutine(TORVParamValues& ParamValues) {
  GetModule()->CallRoutine(FModuleHandle, FName, ParamValues);
}

// ------------------------------------------------------ procedures, functions

TORVProcedure::TORVProcedure(TORVConfig* OwnerConfig, TORVUser* OwnerUser, TORVCatalog* OwnerCatalog)
    : TORVRoutine(OwnerConfig, OwnerUser, OwnerCatalog) {
  FDefinition = CreateDefinition();
  FDefinition->SetCatalog(OwnerCatalog);
}

std::unique_ptr<TORVUserRoutine> TORVProcedure::CreateDefinition() {
  return std::make_unique<TORVProcedureRoutine>(this);
}

TORVString TORVProcedure::GetDropSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/) {
  return u"DROP PROCEDURE " + Quoted(FName);
}

TORVFunction::TORVFunction(TORVConfig* OwnerConfig, TORVUser* OwnerUser, TORVCatalog* OwnerCatalog)
    : TORVRoutine(OwnerConfig, OwnerUser, OwnerCatalog) {
  FDefinition = CreateDefinition();
  FDefinition->SetCatalog(OwnerCatalog);
}

std::unique_ptr<TORVUserRoutine> TORVFunction::CreateDefinition() {
  return std::make_unique<TORVFunctionRoutine>(this);
}

TORVString TORVFunction::GetDropSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/) {
  return u"DROP FUNCTION " + Quoted(FName);
}

// ---------------------------------------------------------------- collections

namespace {

// The other routine collection of the same schema.
template <class TOther>
TOther* SiblingCollection(TORVConfigObject* Collection);

template <>
TORVFunctions* SiblingCollection<TORVFunctions>(TORVConfigObject* Collection) {
  auto* Owner = dynamic_cast<TORVSchema*>(Collection->GetParent());
  return Owner != nullptr ? &Owner->GetFunctions() : nullptr;
}

template <>
TORVProcedures* SiblingCollection<TORVProcedures>(TORVConfigObject* Collection) {
  auto* Owner = dynamic_cast<TORVSchema*>(Collection->GetParent());
  return Owner != nullptr ? &Owner->GetProcedures() : nullptr;
}

}  // namespace

void TORVProcedures::CheckForDuplicateObject(TORVConfigObject* NewObject) {
  CheckDuplicatesOnce(FCheckingDuplicates, [&] {
    TORVPrivilegedCatalogObjects::CheckForDuplicateObject(NewObject);
    if (TORVFunctions* Functions = SiblingCollection<TORVFunctions>(this))
      Functions->CheckForDuplicateObject(NewObject);
  });
}

void TORVProcedures::ObjectsChanged() {
  if (auto* Owner = dynamic_cast<TORVSchema*>(FParent)) Owner->RefreshRoutines();
}

void TORVFunctions::CheckForDuplicateObject(TORVConfigObject* NewObject) {
  CheckDuplicatesOnce(FCheckingDuplicates, [&] {
    TORVPrivilegedCatalogObjects::CheckForDuplicateObject(NewObject);
    if (TORVProcedures* Procedures = SiblingCollection<TORVProcedures>(this))
      Procedures->CheckForDuplicateObject(NewObject);
  });
}

void TORVFunctions::ObjectsChanged() {
  if (auto* Owner = dynamic_cast<TORVSchema*>(FParent)) Owner->RefreshRoutines();
}

void TORVRoutines::SortByLockSlot() {
  Sort([](TORVConfigObject* A, TORVConfigObject* B) {
    const int32_t SlotA = static_cast<TORVRoutine*>(A)->GetLockSlot();
    const int32_t SlotB = static_cast<TORVRoutine*>(B)->GetLockSlot();
    return SlotA < SlotB ? -1 : (SlotA > SlotB ? 1 : 0);
  });
}

// ---------------------------------------------------------------------------
// Information tables

namespace {

// The columns every routine table starts with; a function adds its result
// type before the SQL texts.
std::vector<TORVTableColumnDef> RoutineColumns(bool WithResultType) {
  std::vector<TORVTableColumnDef> Columns{TableText(u"Name", 80, true),
                                          TableClob(u"Description", false),
                                          TableClob(u"Attributes", false),
                                          TableColumn(u"Version", dtDecimal, 2),
                                          TableText(u"Implementation", 15, true),
                                          TableClob(u"Definition", false),
                                          TableText(u"ModuleName", 60, true),
                                          TableColumn(u"NumParams", dtInteger)};
  if (WithResultType)
    Columns.insert(Columns.end(), {TableText(u"Type", 30, true), TableText(u"Collation", 80, true),
                                   TableColumn(u"Length", dtInteger), TableColumn(u"Precision", dtInteger),
                                   TableColumn(u"Scale", dtInteger)});
  Columns.insert(Columns.end(), {TableClob(u"CreateSQL", true), TableClob(u"DropSQL", true)});
  return Columns;
}

TORVTableDescription ParamsDescription(const char16_t* OwnerColumn) {
  return {{TableText(OwnerColumn, 80, true), TableText(u"Name", 80, true), TableClob(u"Description", false),
           TableText(u"Mode", 15, true), TableText(u"Type", 30, true), TableText(u"Collation", 80, true),
           TableColumn(u"Length", dtInteger), TableColumn(u"Precision", dtInteger), TableColumn(u"Scale", dtInteger),
           TableColumn(u"OrdinalPos", dtInteger)},
          {{OwnerColumn, {1}}, {u"Name", {2}}}};
}

}  // namespace

const TORVConfigObjectsClass& ProceduresClass() {
  static const TORVTableDescription Description{RoutineColumns(false), {{u"Name", {1}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVProcedures(Config); },
                                            u"Procedures", &Description};
  return Class;
}

const TORVConfigObjectsClass& FunctionsClass() {
  static const TORVTableDescription Description{RoutineColumns(true), {{u"Name", {1}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVFunctions(Config); },
                                            u"Functions", &Description};
  return Class;
}

const TORVConfigObjectsClass& ProcedureParamsClass() {
  static const TORVTableDescription Description = ParamsDescription(u"ProcedureName");
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVProcedureParams(Config); },
                                            u"ProcedureParams", &Description};
  return Class;
}

const TORVConfigObjectsClass& FunctionParamsClass() {
  static const TORVTableDescription Description = ParamsDescription(u"FunctionName");
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVFunctionParams(Config); },
                                            u"FunctionParams", &Description};
  return Class;
}

const TORVConfigObjectsClass& ProcedurePrivilegesClass() {
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVProcedurePrivileges(Config); },
                                            u"ProcedurePrivileges", &PrivilegesTableDescription()};
  return Class;
}

const TORVConfigObjectsClass& FunctionPrivilegesClass() {
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVFunctionPrivileges(Config); },
                                            u"FunctionPrivileges", &PrivilegesTableDescription()};
  return Class;
}

const TORVConfigObjectsClass& ODBCProceduresClass() {
  static const TORVTableDescription Description{
      {TableText(u"PROCEDURE_CAT", 80, true), TableText(u"PROCEDURE_SCHEM", 80, true),
       TableText(u"PROCEDURE_NAME", 80, true), TableColumn(u"NUM_INPUT_PARAMS", dtSmallInt),
       TableColumn(u"NUM_OUTPUT_PARAMS", dtSmallInt), TableColumn(u"NUM_RESULT_SETS", dtSmallInt),
       TableClob(u"REMARKS", false), TableColumn(u"PROCEDURE_TYPE", dtSmallInt),
       TableText(u"IMPLEMENTATION", 15, true), TableClob(u"DEFINITION", false), TableText(u"MODULE_NAME", 60, true)},
      {{u"ODBC", {1, 2, 3}}, {u"PROCEDURE_NAME", {3}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVODBCProcedures(Config); },
                                            u"SQLProcedures", &Description};
  return Class;
}

const TORVConfigObjectsClass& ODBCProcedureColumnsClass() {
  static const TORVTableDescription Description{
      {TableText(u"PROCEDURE_CAT", 80, true), TableText(u"PROCEDURE_SCHEM", 80, true),
       TableText(u"PROCEDURE_NAME", 80, true), TableText(u"COLUMN_NAME", 80, true),
       TableColumn(u"COLUMN_TYPE", dtSmallInt), TableColumn(u"DATA_TYPE", dtSmallInt),
       TableText(u"TYPE_NAME", 30, true), TableColumn(u"COLUMN_SIZE", dtInteger),
       TableColumn(u"BUFFER_LENGTH", dtInteger), TableColumn(u"DECIMAL_DIGITS", dtSmallInt),
       TableColumn(u"NUM_PREC_RADIX", dtSmallInt), TableColumn(u"NULLABLE", dtSmallInt),
       TableClob(u"REMARKS", false), TableClob(u"COLUMN_DEF", false), TableColumn(u"SQL_DATA_TYPE", dtSmallInt),
       TableColumn(u"SQL_DATETIME_SUB", dtSmallInt), TableColumn(u"CHAR_OCTET_LENGTH", dtInteger),
       TableColumn(u"ORDINAL_POSITION", dtInteger), TableText(u"IS_NULLABLE", 3, true),
       TableText(u"COLLATION", 80, true)},
      {{u"ODBC", {1, 2, 3, 5}}, {u"PROCEDURE_NAME", {3}}, {u"COLUMN_NAME", {4}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVODBCProcedureColumns(Config); },
                                            u"SQLProcedureColumns", &Description};
  return Class;
}

}  // namespace orv
