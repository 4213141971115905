#include "catalog/orvmodule.h"

#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "base/orvutf8.h"
#include "catalog/orvconfig.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvmigrator.h"
#include "catalog/orvtextfilter.h"
#include "catalog/orvwordgen.h"
#include "core/orvfilepath.h"
#include "core/orvliteral.h"
#include "core/orvparam.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"
#include "platform/orvplatformcodepage.h"

namespace orv {

namespace {

constexpr char16_t NotModuleTypeMsg[] = u"The module is not a %s module";
constexpr char16_t NotCharSetMsg[] = u"The module is not compiled to use the %s character set";
constexpr char16_t LoadOSErrorMsg[] = u"The module could not be loaded (OS Error: %s)";
constexpr char16_t CallErrorMsg[] = u"An error occurred with the module call %s (OS Error: %s)";
constexpr char16_t ExecutionErrorMsg[] = u"Module execution error: %s";
constexpr char16_t UnloadErrorMsg[] = u"Error unloading the module: %s";
constexpr char16_t InvalidLengthMsg[] = u"The module returned an invalid length (%s)";
constexpr char16_t InvalidParamsMsg[] = u"The module returned invalid parameter data (%s)";
constexpr char16_t StuckWordMsg[] = u"The module returned a word without moving past position %s";

// Engine texts in the character-set variant of an export: UTF-16 as it is,
// or bytes of the code page.
struct TAnsiText {
  int32_t CodePage;
  TORVAnsiString operator()(const TORVString& Value) const { return Environment().MapStringToAnsi(Value, CodePage); }
  TORVString Back(const char* Text, int32_t Length) const {
    return Environment().MapStringToUnicode(std::string_view(Text, static_cast<std::size_t>(Length)), CodePage);
  }
};

struct TUnicodeText {
  const TORVString& operator()(const TORVString& Value) const { return Value; }
  TORVString Back(const char16_t* Text, int32_t Length) const {
    return TORVString(Text, static_cast<std::size_t>(Length));
  }
};

// The ANSI code page of a collation's locale (flag bits removed); the
// engine's own for locale 0.
int32_t CollationCodePage(int32_t Collation) {
  ClearLocaleFlags(Collation);
  const int32_t CodePage = Environment().LocaleToCodePage(Collation);
  return CodePage != 0 ? CodePage : DefaultAnsiCodePage;
}

template <typename T>
void Bind(TORVLibraryHandle Instance, const char16_t* Name, T& Field) {
  Field = reinterpret_cast<T>(Environment().GetFunctionPtr(Instance, Name));
}

template <typename TA, typename TW>
void Bind(TORVLibraryHandle Instance, const char16_t* Name, int32_t CharacterSet, TORVModuleExport<TA, TW>& Export) {
  Export.Clear();
  if (CharacterSet == CharacterSetAnsi)
    Bind(Instance, Name, Export.A);
  else if (CharacterSet == CharacterSetUnicode)
    Bind(Instance, Name, Export.W);
}

template <typename TA, typename TW>
bool Bound(const TORVModuleExport<TA, TW>& Export, int32_t CharacterSet) {
  return CharacterSet == CharacterSetAnsi ? Export.A != nullptr
                                          : CharacterSet == CharacterSetUnicode && Export.W != nullptr;
}

// The module object whose export this thread is running. A library is
// loaded once per process, so it keeps one callback registration for every
// session that loads it: the Instance it hands back names whichever module
// object registered last, which may belong to another session, running on
// another thread, or be freed already. A callback therefore goes to the
// module object that made the call on the calling thread.
thread_local TORVModule* CallingModule = nullptr;

// Marks Module as the caller of the exports run in its lifetime; nests, so
// that a call made from inside a callback restores the outer caller.
class TModuleCallScope {
 public:
  explicit TModuleCallScope(TORVModule* Module) : FOuter(CallingModule) { CallingModule = Module; }
  ~TModuleCallScope() { CallingModule = FOuter; }
  TModuleCallScope(const TModuleCallScope&) = delete;
  TModuleCallScope& operator=(const TModuleCallScope&) = delete;

 private:
  TORVModule* FOuter;
};

}  // namespace

// The callback every module gets. Nothing the handler raises unwinds into
// the module; a callback from outside any call this thread made (a thread
// of the library's own) reaches no session and answers False.
extern "C" {
static uint8_t ModuleCallbackFunction(uintptr_t Instance, int32_t CallbackID, uintptr_t Data, int32_t* DataSize) {
  TORVModule* Module = CallingModule;
  if (Instance == 0 || Module == nullptr || DataSize == nullptr) return 0;
  try {
    Module->DoModuleCallback(CallbackID, Data, *DataSize);
    return 1;
  } catch (...) {
    return 0;
  }
}
}

TORVString TranslateModuleType(int32_t TypeOfModule) {
  switch (TypeOfModule) {
    case ModuleTypeRoutines: return u"External Routines";
    case ModuleTypeTextFilter: return u"Text Filter";
    case ModuleTypeWordGenerator: return u"Word Generator";
    case ModuleTypeMigrator: return u"Migrator";
    default: return TORVString();
  }
}

TORVString TranslateCharSet(int32_t CharacterSet) {
  switch (CharacterSet) {
    case CharacterSetAnsi: return u"ANSI";
    case CharacterSetUnicode: return u"Unicode";
    default: return TORVString();
  }
}

TORVString QuotedModuleName(const TORVString& Name) { return QuotedString(Name, u'"'); }

TORVString ModuleDescriptionLine(const TORVString& Description) {
  if (Description.empty()) return TORVString();
  return u"\r\nDESCRIPTION " + QuotedString(TrimCatalogExpression(Description), u'\'');
}

// ---------------------------------------------------------------- TORVModule

TORVModule::TORVModule(TORVConfig* OwnerConfig) : TORVLockableConfigObject(OwnerConfig) {}

TORVModule::~TORVModule() {
  if (FModuleInstance == 0 && FModuleInstanceCount == 0) return;
  try {
    UnloadModuleInstance(true);
  } catch (...) {
    // The library is gone or cannot be freed; nothing is left to report to.
  }
}

TORVString TORVModule::GetTypeName() const { return u"module"; }

void TORVModule::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVLockableConfigObject::Assign(FromObject, CopyReferences);
  if (auto* From = dynamic_cast<TORVModule*>(FromObject)) FPath = From->FPath;
}

void TORVModule::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVLockableConfigObject::Save(Stream, CRCOnly);
  Stream.WriteString(FPath);
  Stream.WriteInteger(FLockSlot);
}

void TORVModule::Load(TORVMemoryStream& Stream) {
  TORVLockableConfigObject::Load(Stream);
  FPath.clear();
  Stream.ReadString(FPath);
  FLockSlot = GetConfigVersion() >= ModulesVersion ? Stream.ReadInteger() : 0;
}

int32_t TORVModule::GetMemorySize() { return TORVLockableConfigObject::GetMemorySize() + StringSize(FPath); }

void TORVModule::SetDependencies() {
  if (FConfig == nullptr) return;
  FConfig->GetDatabases().AddDependenciesToObject(this);
  FConfig->GetTextFilters().AddDependenciesToObject(this);
  FConfig->GetWordGenerators().AddDependenciesToObject(this);
  FConfig->GetMigrators().AddDependenciesToObject(this);
}

void TORVModule::RenameDependencies(const TORVString& NewName) {
  if (FConfig == nullptr) return;
  FConfig->GetDatabases().RenameDependenciesToObject(this, NewName);
  FConfig->GetTextFilters().RenameDependenciesToObject(this, NewName);
  FConfig->GetWordGenerators().RenameDependenciesToObject(this, NewName);
  FConfig->GetMigrators().RenameDependenciesToObject(this, NewName);
}

void TORVModule::DeleteDependencies() {
  if (FConfig == nullptr) return;
  FConfig->GetDatabases().DeleteDependenciesToObject(this);
  FConfig->GetTextFilters().DeleteDependenciesToObject(this);
  FConfig->GetWordGenerators().DeleteDependenciesToObject(this);
  FConfig->GetMigrators().DeleteDependenciesToObject(this);
}

TORVString TORVModule::GetCreateSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/,
                                    bool Restricted) {
  return u"CREATE MODULE " + QuotedModuleName(FName) + u"\r\nPATH " +
         (Restricted ? TORVString(u"''") : QuotedString(FPath, u'\'')) + ModuleDescriptionLine(FDescription);
}

TORVString TORVModule::GetDropSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/) {
  return u"DROP MODULE " + QuotedModuleName(FName);
}

void TORVModule::SetPath(const TORVString& Value) {
  if (Value == FPath) return;
  FPath = Value;
  SetModified(true);
}

void TORVModule::SetLockSlot(int32_t Value) {
  if (Value == FLockSlot) return;
  FLockSlot = Value;
  SetModified(true);
}

TORVString TORVModule::GetFullPath() const {
  if (!IsRelativePath(FPath)) return FPath;
  TORVString Folder = FConfig != nullptr ? FConfig->GetPath() : TORVString();
  if (!Folder.empty() && Folder.back() != u'/') Folder += u'/';
  return Folder + FPath;
}

void TORVModule::DoModuleCallback(int32_t ID, uintptr_t Data, int32_t& DataSize) {
  if (FConfig != nullptr) FConfig->DoModuleCallback(this, ID, static_cast<intptr_t>(Data), DataSize);
}

// ------------------------------------------------------------------ errors

EORVException TORVModule::ModuleException(const TORVString& Detail) const {
  return MakeError(ORV_MODULE_ERROR, {GetTypeName(), FName, Detail});
}

void TORVModule::ModuleError(const TORVString& Text) { throw ModuleException(Text); }

void TORVModule::ModuleLoadOSError(const TORVString& OSErrorText) {
  throw ModuleException(FormatString(LoadOSErrorMsg, {OSErrorText}));
}

void TORVModule::ModuleCallError(const TORVString& FunctionName) {
  // Asking the loader again for a missing export gives its own text for
  // exactly that name; an export that is there but answered False has no
  // loader text.
  TORVString OSErrorText;
  if (FModuleInstance != 0 && Environment().GetFunctionPtr(FModuleInstance, FunctionName) == nullptr)
    OSErrorText = Environment().GetLibraryErrorMessage();
  throw ModuleException(FormatString(CallErrorMsg, {FunctionName, OSErrorText}));
}

void TORVModule::ModuleExecutionError(const TORVString& Text) {
  throw ModuleException(FormatString(ExecutionErrorMsg, {Text}));
}

void TORVModule::ModuleUnloadError(const TORVString& Text) {
  throw ModuleException(FormatString(UnloadErrorMsg, {Text}));
}

void TORVModule::InvalidLengthError(int64_t Length) {
  ModuleExecutionError(FormatString(InvalidLengthMsg, {IntToString(Length)}));
  throw std::logic_error("ModuleExecutionError returned");
}

// --------------------------------------------------------- load references

void TORVModule::LoadModuleInstance() {
  if (FModuleInstance == 0) {
    if (FModuleInstanceCount == 0 && FConfig != nullptr) FConfig->DoModuleLoad(this);
    FModuleVersion.clear();
    FModuleDescription.clear();
    FModuleInstance = Environment().LoadLibrary(GetFullPath());
    if (FModuleInstance == 0) {
      FLoadErrorText = Environment().GetLibraryErrorMessage();
    } else {
      try {
        BindLoadFunctions();
      } catch (const std::exception& E) {
        ClearFunctions();
        if (FConfig != nullptr) FConfig->DoModuleLoadError(this, E);
      }
    }
  }
  ++FModuleInstanceCount;
}

void TORVModule::UnloadModuleInstance(bool ForceUnload) {
  if (FModuleInstanceCount > 0) --FModuleInstanceCount;
  const bool Cached = FConfig != nullptr && FConfig->GetCacheModuleLibraries();
  if (!ForceUnload && (FModuleInstanceCount > 0 || Cached)) {
    if (FModuleInstanceCount == 0 && FConfig != nullptr) FConfig->DoModuleUnload(this);
    return;
  }
  try {
    FModuleSetup = false;
    ClearFunctions();
    Environment().FreeLibrary(FModuleInstance);
    if (FConfig != nullptr) FConfig->DoModuleUnload(this);
  } catch (const EORVException& E) {
    ModuleUnloadError(E.ErrorMsg());
  } catch (const std::exception& E) {
    ModuleUnloadError(Utf8ToString(E.what()));
  }
}

void TORVModule::LoadModule(int32_t TypeOfModule) {
  TModuleCallScope Calling(this);
  LoadModuleInstance();
  try {
    if (!FModuleSetup) {
      if (FModuleInstance == 0) ModuleLoadOSError(FLoadErrorText);
      if (TypeOfModule != ModuleTypeNone) {
        ValidateModule(TypeOfModule);
        SetModuleCallbackFunction();
        SetupFunctions(TypeOfModule);
        FModuleSetup = true;
      }
    } else if (TypeOfModule != ModuleTypeNone) {
      ValidateModule(TypeOfModule);
    }
  } catch (...) {
    UnloadModuleInstance(false);
    throw;
  }
}

void TORVModule::BindLoadFunctions() {
  Bind(FModuleInstance, u"ValidateORVModule", FValidateFunction);
  Bind(FModuleInstance, u"ValidateORVModuleCharacterSet", FValidateCharSetFunction);
  Bind(FModuleInstance, u"SetORVModuleCallbackFunction", FSetCallbackFunction);
  Bind(FModuleInstance, u"OpenORVModule", FOpenFunction);
  Bind(FModuleInstance, u"GetORVModuleErrorMsg", GetConfigCharacterSet(), FErrorMsgFunction);
  Bind(FModuleInstance, u"CloseORVModule", FCloseFunction);
}

void TORVModule::ClearFunctions() {
  FValidateFunction = nullptr;
  FValidateCharSetFunction = nullptr;
  FSetCallbackFunction = nullptr;
  FOpenFunction = nullptr;
  FCallRoutineFunction.Clear();
  FOutputParamsFunction = nullptr;
  FCallTextFilterFunction.Clear();
  FOutputTextFunction.Clear();
  FCallWordGeneratorFunction.Clear();
  FGetParamsFunction = nullptr;
  FSetParamsFunction = nullptr;
  for (auto* Export : {&FGetObjectNamesFunction, &FGetTableNamesFunction, &FGetViewNamesFunction,
                       &FGetFunctionNamesFunction, &FGetProcedureNamesFunction})
    Export->Clear();
  for (auto* Export : {&FGetCreateTableFunction, &FGetIndexNamesFunction, &FGetTriggerNamesFunction,
                       &FGetCreateViewFunction, &FGetCreateFunctionFunction, &FGetCreateProcedureFunction,
                       &FGetInsertStmtFunction, &FGetInsertParamStmtFunction})
    Export->Clear();
  FGetCreateObjectFunction.Clear();
  FGetCreateIndexFunction.Clear();
  FGetCreateTriggerFunction.Clear();
  FGetRowsToInsertFunction.Clear();
  FGetInsertParamsFunction.Clear();
  FErrorMsgFunction.Clear();
  FCloseFunction = nullptr;
}

void TORVModule::ValidateModule(int32_t TypeOfModule) {
  if (FValidateFunction == nullptr || FValidateFunction(TypeOfModule) == 0)
    ModuleError(FormatString(NotModuleTypeMsg, {TranslateModuleType(TypeOfModule)}));
  const int32_t CharacterSet = GetConfigCharacterSet();
  if (FValidateCharSetFunction != nullptr && FValidateCharSetFunction(CharacterSet) == 0)
    ModuleError(FormatString(NotCharSetMsg, {TranslateCharSet(CharacterSet)}));
}

void TORVModule::SetModuleCallbackFunction() {
  if (FSetCallbackFunction == nullptr) return;
  if (FSetCallbackFunction(reinterpret_cast<uintptr_t>(this), &ModuleCallbackFunction) == 0)
    ModuleCallError(u"SetORVModuleCallbackFunction");
}

void TORVModule::SetupFunctions(int32_t TypeOfModule) {
  const int32_t CharacterSet = GetConfigCharacterSet();
  switch (TypeOfModule) {
    case ModuleTypeRoutines:
      Bind(FModuleInstance, u"CallORVRoutine", CharacterSet, FCallRoutineFunction);
      Bind(FModuleInstance, u"GetORVOutputParams", FOutputParamsFunction);
      break;
    case ModuleTypeTextFilter:
      Bind(FModuleInstance, u"CallORVTextFilter", CharacterSet, FCallTextFilterFunction);
      Bind(FModuleInstance, u"GetORVOutputText", CharacterSet, FOutputTextFunction);
      break;
    case ModuleTypeWordGenerator:
      Bind(FModuleInstance, u"CallORVWordGenerator", CharacterSet, FCallWordGeneratorFunction);
      break;
    case ModuleTypeMigrator:
      Bind(FModuleInstance, u"GetORVParams", FGetParamsFunction);
      Bind(FModuleInstance, u"SetORVParams", FSetParamsFunction);
      Bind(FModuleInstance, u"GetORVObjectNames", CharacterSet, FGetObjectNamesFunction);
      Bind(FModuleInstance, u"GetORVCreateObjectStatement", CharacterSet, FGetCreateObjectFunction);
      Bind(FModuleInstance, u"GetORVTableNames", CharacterSet, FGetTableNamesFunction);
      Bind(FModuleInstance, u"GetORVCreateTableStatement", CharacterSet, FGetCreateTableFunction);
      Bind(FModuleInstance, u"GetORVIndexNames", CharacterSet, FGetIndexNamesFunction);
      Bind(FModuleInstance, u"GetORVCreateIndexStatement", CharacterSet, FGetCreateIndexFunction);
      Bind(FModuleInstance, u"GetORVTriggerNames", CharacterSet, FGetTriggerNamesFunction);
      Bind(FModuleInstance, u"GetORVCreateTriggerStatement", CharacterSet, FGetCreateTriggerFunction);
      Bind(FModuleInstance, u"GetORVViewNames", CharacterSet, FGetViewNamesFunction);
      Bind(FModuleInstance, u"GetORVCreateViewStatement", CharacterSet, FGetCreateViewFunction);
      Bind(FModuleInstance, u"GetORVFunctionNames", CharacterSet, FGetFunctionNamesFunction);
      Bind(FModuleInstance, u"GetORVCreateFunctionStatement", CharacterSet, FGetCreateFunctionFunction);
      Bind(FModuleInstance, u"GetORVProcedureNames", CharacterSet, FGetProcedureNamesFunction);
      Bind(FModuleInstance, u"GetORVCreateProcedureStatement", CharacterSet, FGetCreateProcedureFunction);
      Bind(FModuleInstance, u"GetORVRowsToInsert", CharacterSet, FGetRowsToInsertFunction);
      Bind(FModuleInstance, u"GetORVInsertStatement", CharacterSet, FGetInsertStmtFunction);
      Bind(FModuleInstance, u"GetORVInsertParameterStatement", CharacterSet, FGetInsertParamStmtFunction);
      Bind(FModuleInstance, u"GetORVInsertParameters", CharacterSet, FGetInsertParamsFunction);
      break;
    default:
      break;
  }
}

// ------------------------------------------------------------------ probes

int32_t TORVModule::GetModuleType() {
  LoadModuleInstance();
  int32_t Result = ModuleTypeNone;
  try {
    if (FModuleInstance == 0) {
      Result = ModuleTypeNotLoaded;
    } else if (FValidateFunction != nullptr) {
      for (int32_t Kind : {ModuleTypeRoutines, ModuleTypeTextFilter, ModuleTypeWordGenerator, ModuleTypeMigrator})
        if (FValidateFunction(Kind) != 0) {
          Result = Kind;
          break;
        }
    }
  } catch (...) {
    UnloadModuleInstance(false);
    throw;
  }
  UnloadModuleInstance(false);
  return Result;
}

int32_t TORVModule::GetModuleCharSet() {
  LoadModuleInstance();
  int32_t Result = -1;
  if (FModuleInstance != 0 && FValidateCharSetFunction != nullptr) {
    if (FValidateCharSetFunction(CharacterSetAnsi) != 0)
      Result = CharacterSetAnsi;
    else if (FValidateCharSetFunction(CharacterSetUnicode) != 0)
      Result = CharacterSetUnicode;
  }
  UnloadModuleInstance(false);
  return Result;
}

void TORVModule::CheckModuleType(int32_t TypeOfModule) {
  if (GetModuleType() != TypeOfModule) ModuleError(FormatString(NotModuleTypeMsg, {TranslateModuleType(TypeOfModule)}));
}

void TORVModule::CheckModuleCharSet(int32_t CharSetOfModule) {
  if (GetModuleCharSet() != CharSetOfModule)
    ModuleError(FormatString(NotCharSetMsg, {TranslateCharSet(CharSetOfModule)}));
}

bool TORVModule::GetObjectMigratorModule() {
  LoadModuleInstance();
  const bool Result = FModuleInstance != 0 && Bound(FGetObjectNamesFunction, GetConfigCharacterSet());
  UnloadModuleInstance(false);
  return Result;
}

bool TORVModule::GetInsertParamsMigratorModule() {
  LoadModuleInstance();
  const int32_t CharacterSet = GetConfigCharacterSet();
  const bool Result = FModuleInstance != 0 && Bound(FGetInsertParamStmtFunction, CharacterSet) &&
                      Bound(FGetInsertParamsFunction, CharacterSet);
  UnloadModuleInstance(false);
  return Result;
}

// -------------------------------------------------------- working contexts

TORVModuleHandle TORVModule::OpenModule() {
  TModuleCallScope Calling(this);
  if (FOpenFunction == nullptr) ModuleCallError(u"OpenORVModule");
  TORVModuleHandle Handle = 0;
  if (FOpenFunction(&Handle) == 0) ModuleCallError(u"OpenORVModule");
  return Handle;
}

void TORVModule::CloseModule(TORVModuleHandle& ModuleHandle) {
  if (ModuleHandle == 0) return;
  TModuleCallScope Calling(this);
  const TORVModuleHandle Held = ModuleHandle;
  ModuleHandle = 0;
  if (FCloseFunction == nullptr || FCloseFunction(Held) == 0) ModuleCallError(u"CloseORVModule");
}

// ---------------------------------------------------------------- protocol

void TORVModule::GetErrorMsg(TORVModuleHandle ModuleHandle) {
  if (ModuleHandle == 0) return;
  TModuleCallScope Calling(this);
  const TORVString ExportName = u"GetORVModuleErrorMsg";
  const auto Fetch = [&](auto Export, auto Text) {
    if (Export == nullptr) ModuleCallError(ExportName);
    int32_t Length = 0;
    if (Export(ModuleHandle, nullptr, &Length) == 0) ModuleCallError(ExportName);
    if (Length < 0 || Length > MaxModuleDataSize) InvalidLengthError(Length);
    using TBuffer = std::conditional_t<std::is_same_v<decltype(Text), TAnsiText>, std::string, std::u16string>;
    TBuffer Buffer(static_cast<std::size_t>(Length), 0);
    if (Export(ModuleHandle, Buffer.data(), &Length) == 0) ModuleCallError(ExportName);
    ModuleExecutionError(Text.Back(Buffer.data(), static_cast<int32_t>(Buffer.size())));
  };
  switch (GetConfigCharacterSet()) {
    case CharacterSetAnsi: Fetch(FErrorMsgFunction.A, TAnsiText{DefaultAnsiCodePage}); break;
    case CharacterSetUnicode: Fetch(FErrorMsgFunction.W, TUnicodeText{}); break;
    default: ModuleCallError(ExportName);
  }
}

template <typename TA, typename TW, typename TCall>
TORVString TORVModule::RequestText(TORVModuleHandle ModuleHandle, const TORVModuleExport<TA, TW>& Export,
                                   const TORVString& ExportName, int32_t CodePage, TCall Call) {
  TModuleCallScope Calling(this);
  const auto TwoCalls = [&](auto Function, auto Text) -> TORVString {
    if (Function == nullptr) ModuleCallError(ExportName);
    using TBuffer = std::conditional_t<std::is_same_v<decltype(Text), TAnsiText>, std::string, std::u16string>;
    int32_t Length = 0;
    if (Call(Function, Text, static_cast<typename TBuffer::value_type*>(nullptr), &Length) == 0) {
      GetErrorMsg(ModuleHandle);
      return TORVString();
    }
    if (Length < 0 || Length > MaxModuleDataSize) InvalidLengthError(Length);
    // The data call comes also for an empty result: the buffer then holds
    // only its terminator.
    const int32_t Reported = Length;
    TBuffer Buffer(static_cast<std::size_t>(Reported), 0);
    if (Call(Function, Text, Buffer.data(), &Length) == 0) {
      GetErrorMsg(ModuleHandle);
      return TORVString();
    }
    return Text.Back(Buffer.data(), Reported);
  };
  switch (GetConfigCharacterSet()) {
    case CharacterSetAnsi: return TwoCalls(Export.A, TAnsiText{CodePage});
    case CharacterSetUnicode: return TwoCalls(Export.W, TUnicodeText{});
    default: ModuleCallError(ExportName);
  }
  return TORVString();
}

template <typename TA, typename TW, typename TCall>
void TORVModule::RequestNames(TORVModuleHandle ModuleHandle, const TORVModuleExport<TA, TW>& Export,
                              const TORVString& ExportName, TORVStringsList& Names, TCall Call) {
  Names.Clear();
  Names.SetCommaText(RequestText(ModuleHandle, Export, ExportName, DefaultAnsiCodePage, Call));
}

TORVMemoryStream& TORVModule::ParamsStream() {
  const int32_t CharacterSet = GetConfigCharacterSet();
  if (FParamsStream == nullptr || FParamsStream->GetCharacterSet() != CharacterSet)
    FParamsStream = std::make_unique<TORVMemoryStream>(CharacterSet);
  return *FParamsStream;
}

template <typename TCall>
std::optional<int32_t> TORVModule::FetchData(TORVModuleHandle ModuleHandle, TCall Call) {
  TModuleCallScope Calling(this);
  int32_t Size = 0;
  if (Call(nullptr, &Size) == 0) {
    GetErrorMsg(ModuleHandle);
    return std::nullopt;
  }
  if (Size > MaxModuleDataSize) InvalidLengthError(Size);
  if (Size <= 0) return Size;
  TORVMemoryStream& Stream = ParamsStream();
  Stream.SetSize(Size);
  Stream.SetPosition(0);
  int32_t Length = Size;
  if (Call(Stream.GetMemory(), &Length) == 0) {
    GetErrorMsg(ModuleHandle);
    return std::nullopt;
  }
  return Size;
}

void TORVModule::ReadParams(TORVParamValues& ParamValues, int32_t Size, bool OutputOnly) {
  TORVMemoryStream& Stream = ParamsStream();
  // The stream holds exactly the reported size: a count or length that
  // does not fit it fails the read instead of reaching past the buffer.
  Stream.SetSize(Size);
  Stream.SetPosition(0);
  try {
    if (OutputOnly)
      ParamValues.LoadOutputParams(Stream);
    else
      ParamValues.Load(Stream);
  } catch (const EORVException& E) {
    ModuleExecutionError(FormatString(InvalidParamsMsg, {E.ErrorMsg()}));
  }
}

// ------------------------------------------------------------------- calls

void TORVModule::CallRoutine(TORVModuleHandle ModuleHandle, const TORVString& RoutineName,
                             TORVParamValues& ParamValues) {
  TModuleCallScope Calling(this);
  TORVMemoryStream& Stream = ParamsStream();
  Stream.SetSize(0);
  Stream.SetPosition(0);
  ParamValues.Save(Stream);
  const int32_t Size = static_cast<int32_t>(Stream.GetSize());
  uint8_t* Data = Size > 0 ? Stream.GetMemory() : nullptr;
  bool Called = false;
  switch (GetConfigCharacterSet()) {
    case CharacterSetAnsi:
      if (FCallRoutineFunction.A == nullptr) ModuleCallError(u"CallORVRoutine");
      Called = FCallRoutineFunction.A(ModuleHandle, TAnsiText{DefaultAnsiCodePage}(RoutineName).c_str(), Data,
                                      Size) != 0;
      break;
    case CharacterSetUnicode:
      if (FCallRoutineFunction.W == nullptr) ModuleCallError(u"CallORVRoutine");
      Called = FCallRoutineFunction.W(ModuleHandle, RoutineName.c_str(), Data, Size) != 0;
      break;
    default:
      break;
  }
  if (!Called) {
    GetErrorMsg(ModuleHandle);
    return;
  }
  if (FOutputParamsFunction == nullptr) ModuleCallError(u"GetORVOutputParams");
  const std::optional<int32_t> OutputSize = FetchData(ModuleHandle, [&](uint8_t* Buffer, int32_t* Length) {
    return FOutputParamsFunction(ModuleHandle, Buffer, Length);
  });
  if (OutputSize.value_or(0) > 0) ReadParams(ParamValues, *OutputSize, true);
}

void TORVModule::CallTextFilter(TORVModuleHandle ModuleHandle, int32_t Collation, const TORVString& FilterType,
                                const TORVString& TextToFilter) {
  TModuleCallScope Calling(this);
  const int32_t CodePage = CollationCodePage(Collation);
  FText.clear();
  bool Called = false;
  switch (GetConfigCharacterSet()) {
    case CharacterSetAnsi: {
      if (FCallTextFilterFunction.A == nullptr) ModuleCallError(u"CallORVTextFilter");
      const TORVAnsiString Text = TAnsiText{CodePage}(TextToFilter);
      Called = FCallTextFilterFunction.A(ModuleHandle, TAnsiText{DefaultAnsiCodePage}(FilterType).c_str(),
                                         Text.c_str(), static_cast<int32_t>(Text.size())) != 0;
      break;
    }
    case CharacterSetUnicode:
      if (FCallTextFilterFunction.W == nullptr) ModuleCallError(u"CallORVTextFilter");
      Called = FCallTextFilterFunction.W(ModuleHandle, FilterType.c_str(), TextToFilter.c_str(),
                                         static_cast<int32_t>(TextToFilter.size())) != 0;
      break;
    default:
      ModuleCallError(u"CallORVTextFilter");
  }
  if (!Called) {
    GetErrorMsg(ModuleHandle);
    return;
  }
  FText = RequestText(ModuleHandle, FOutputTextFunction, u"GetORVOutputText", CodePage,
                      [&](auto Function, auto, auto* Buffer, int32_t* Length) {
                        return Function(ModuleHandle, Buffer, Length);
                      });
}

void TORVModule::CallWordGenerator(TORVModuleHandle ModuleHandle, int32_t Collation, const TORVString& Text,
                                   int32_t& Position, TORVString& Word, bool SearchWords) {
  TModuleCallScope Calling(this);
  const int32_t StartPosition = Position;
  // A failure on handle 0 must not hand the last word out again.
  Word.clear();
  int32_t ResultWordLength = 0;
  bool Called = false;
  switch (GetConfigCharacterSet()) {
    case CharacterSetAnsi: {
      if (FCallWordGeneratorFunction.A == nullptr) ModuleCallError(u"CallORVWordGenerator");
      const TAnsiText Convert{CollationCodePage(Collation)};
      const TORVAnsiString AnsiText = Convert(Text);
      std::string Buffer(ModuleWordLength, '\0');
      Called = FCallWordGeneratorFunction.A(ModuleHandle, Collation, AnsiText.c_str(),
                                            static_cast<int32_t>(AnsiText.size()), Buffer.data(), ModuleWordLength,
                                            &ResultWordLength, &Position, SearchWords ? 1 : 0) != 0;
      if (Called) {
        if (ResultWordLength < 0 || ResultWordLength > ModuleWordLength) InvalidLengthError(ResultWordLength);
        Word = Convert.Back(Buffer.data(), ResultWordLength);
      }
      break;
    }
    case CharacterSetUnicode: {
      if (FCallWordGeneratorFunction.W == nullptr) ModuleCallError(u"CallORVWordGenerator");
      std::u16string Buffer(ModuleWordLength, u'\0');
      Called = FCallWordGeneratorFunction.W(ModuleHandle, Collation, Text.c_str(), static_cast<int32_t>(Text.size()),
                                            Buffer.data(), ModuleWordLength, &ResultWordLength, &Position,
                                            SearchWords ? 1 : 0) != 0;
      if (Called) {
        if (ResultWordLength < 0 || ResultWordLength > ModuleWordLength) InvalidLengthError(ResultWordLength);
        Word.assign(Buffer.data(), static_cast<std::size_t>(ResultWordLength));
      }
      break;
    }
    default:
      ModuleCallError(u"CallORVWordGenerator");
  }
  if (!Called) {
    GetErrorMsg(ModuleHandle);
    return;
  }
  // A word that leaves Position where it was would be handed out for ever.
  if (!Word.empty() && Position <= StartPosition)
    ModuleExecutionError(FormatString(StuckWordMsg, {IntToString(StartPosition)}));
}

void TORVModule::CallGetParams(TORVModuleHandle ModuleHandle, TORVParamValues& ParamValues) {
  ParamValues.RemoveAll();
  if (FGetParamsFunction == nullptr) ModuleCallError(u"GetORVParams");
  const std::optional<int32_t> Size = FetchData(ModuleHandle, [&](uint8_t* Buffer, int32_t* Length) {
    return FGetParamsFunction(ModuleHandle, Buffer, Length);
  });
  if (Size.value_or(0) > 0) ReadParams(ParamValues, *Size, false);
}

void TORVModule::CallSetParams(TORVModuleHandle ModuleHandle, TORVParamValues& ParamValues) {
  TModuleCallScope Calling(this);
  if (FSetParamsFunction == nullptr) ModuleCallError(u"SetORVParams");
  TORVMemoryStream& Stream = ParamsStream();
  Stream.SetSize(0);
  Stream.SetPosition(0);
  ParamValues.Save(Stream);
  const int32_t Size = static_cast<int32_t>(Stream.GetSize());
  if (FSetParamsFunction(ModuleHandle, Size > 0 ? Stream.GetMemory() : nullptr, Size) == 0) GetErrorMsg(ModuleHandle);
}

namespace {

// Calls of the shapes the migrator exports share; Text turns each engine
// text into the export's variant.
auto ListCall(TORVModuleHandle ModuleHandle) {
  return [ModuleHandle](auto Function, auto, auto* Buffer, int32_t* Length) {
    return Function(ModuleHandle, Buffer, Length);
  };
}

auto NamedCall(TORVModuleHandle ModuleHandle, const TORVString& Name) {
  return [ModuleHandle, &Name](auto Function, auto Text, auto* Buffer, int32_t* Length) {
    return Function(ModuleHandle, Text(Name).c_str(), Buffer, Length);
  };
}

auto TableObjectCall(TORVModuleHandle ModuleHandle, const TORVString& TableName, const TORVString& ObjectName) {
  return [ModuleHandle, &TableName, &ObjectName](auto Function, auto Text, auto* Buffer, int32_t* Length) {
    return Function(ModuleHandle, Text(TableName).c_str(), Text(ObjectName).c_str(), Buffer, Length);
  };
}

}  // namespace

void TORVModule::CallGetObjectNames(TORVModuleHandle ModuleHandle, TORVStringsList& ObjectNames) {
  RequestNames(ModuleHandle, FGetObjectNamesFunction, u"GetORVObjectNames", ObjectNames, ListCall(ModuleHandle));
}

TORVString TORVModule::CallGetCreateObjectStatement(TORVModuleHandle ModuleHandle, const TORVString& ObjectName,
                                                    const TORVString& ObjectType, bool PostCreate) {
  return RequestText(ModuleHandle, FGetCreateObjectFunction, u"GetORVCreateObjectStatement", DefaultAnsiCodePage,
                     [&](auto Function, auto Text, auto* Buffer, int32_t* Length) {
                       return Function(ModuleHandle, Text(ObjectName).c_str(), Text(ObjectType).c_str(),
                                       PostCreate ? 1 : 0, Buffer, Length);
                     });
}

void TORVModule::CallGetTableNames(TORVModuleHandle ModuleHandle, TORVStringsList& TableNames) {
  RequestNames(ModuleHandle, FGetTableNamesFunction, u"GetORVTableNames", TableNames, ListCall(ModuleHandle));
}

TORVString TORVModule::CallGetCreateTableStatement(TORVModuleHandle ModuleHandle, const TORVString& TableName) {
  return RequestText(ModuleHandle, FGetCreateTableFunction, u"GetORVCreateTableStatement", DefaultAnsiCodePage,
                     NamedCall(ModuleHandle, TableName));
}

void TORVModule::CallGetIndexNames(TORVModuleHandle ModuleHandle, const TORVString& TableName,
                                   TORVStringsList& IndexNames) {
  RequestNames(ModuleHandle, FGetIndexNamesFunction, u"GetORVIndexNames", IndexNames,
               NamedCall(ModuleHandle, TableName));
}

TORVString TORVModule::CallGetCreateIndexStatement(TORVModuleHandle ModuleHandle, const TORVString& TableName,
                                                   const TORVString& IndexName) {
  return RequestText(ModuleHandle, FGetCreateIndexFunction, u"GetORVCreateIndexStatement", DefaultAnsiCodePage,
                     TableObjectCall(ModuleHandle, TableName, IndexName));
}

void TORVModule::CallGetTriggerNames(TORVModuleHandle ModuleHandle, const TORVString& TableName,
                                     TORVStringsList& TriggerNames) {
  RequestNames(ModuleHandle, FGetTriggerNamesFunction, u"GetORVTriggerNames", TriggerNames,
               NamedCall(ModuleHandle, TableName));
}

TORVString TORVModule::CallGetCreateTriggerStatement(TORVModuleHandle ModuleHandle, const TORVString& TableName,
                                                     const TORVString& TriggerName) {
  return RequestText(ModuleHandle, FGetCreateTriggerFunction, u"GetORVCreateTriggerStatement", DefaultAnsiCodePage,
                     TableObjectCall(ModuleHandle, TableName, TriggerName));
}

void TORVModule::CallGetViewNames(TORVModuleHandle ModuleHandle, TORVStringsList& ViewNames) {
  RequestNames(ModuleHandle, FGetViewNamesFunction, u"GetORVViewNames", ViewNames, ListCall(ModuleHandle));
}

TORVString TORVModule::CallGetCreateViewStatement(TORVModuleHandle ModuleHandle, const TORVString& ViewName) {
  return RequestText(ModuleHandle, FGetCreateViewFunction, u"GetORVCreateViewStatement", DefaultAnsiCodePage,
                     NamedCall(ModuleHandle, ViewName));
}

void TORVModule::CallGetFunctionNames(TORVModuleHandle ModuleHandle, TORVStringsList& FunctionNames) {
  RequestNames(ModuleHandle, FGetFunctionNamesFunction, u"GetORVFunctionNames", FunctionNames,
               ListCall(ModuleHandle));
}

TORVString TORVModule::CallGetCreateFunctionStatement(TORVModuleHandle ModuleHandle,
                                                      const TORVString& FunctionName) {
  return RequestText(ModuleHandle, FGetCreateFunctionFunction, u"GetORVCreateFunctionStatement", DefaultAnsiCodePage,
                     NamedCall(ModuleHandle, FunctionName));
}

void TORVModule::CallGetProcedureNames(TORVModuleHandle ModuleHandle, TORVStringsList& ProcedureNames) {
  RequestNames(ModuleHandle, FGetProcedureNamesFunction, u"GetORVProcedureNames", ProcedureNames,
               ListCall(ModuleHandle));
}

TORVString TORVModule::CallGetCreateProcedureStatement(TORVModuleHandle ModuleHandle,
                                                       const TORVString& ProcedureName) {
  return RequestText(ModuleHandle, FGetCreateProcedureFunction, u"GetORVCreateProcedureStatement",
                     DefaultAnsiCodePage, NamedCall(ModuleHandle, ProcedureName));
}

int32_t TORVModule::CallGetRowsToInsert(TORVModuleHandle ModuleHandle, const TORVString& TableName) {
  TModuleCallScope Calling(this);
  int32_t RowsToInsert = 0;
  bool Called = false;
  switch (GetConfigCharacterSet()) {
    case CharacterSetAnsi:
      if (FGetRowsToInsertFunction.A == nullptr) ModuleCallError(u"GetORVRowsToInsert");
      Called = FGetRowsToInsertFunction.A(ModuleHandle, TAnsiText{DefaultAnsiCodePage}(TableName).c_str(),
                                          &RowsToInsert) != 0;
      break;
    case CharacterSetUnicode:
      if (FGetRowsToInsertFunction.W == nullptr) ModuleCallError(u"GetORVRowsToInsert");
      Called = FGetRowsToInsertFunction.W(ModuleHandle, TableName.c_str(), &RowsToInsert) != 0;
      break;
    default:
      ModuleCallError(u"GetORVRowsToInsert");
  }
  if (!Called) {
    GetErrorMsg(ModuleHandle);
    return 0;
  }
  return RowsToInsert;
}

TORVString TORVModule::CallGetInsertStatement(TORVModuleHandle ModuleHandle, const TORVString& TableName) {
  return RequestText(ModuleHandle, FGetInsertStmtFunction, u"GetORVInsertStatement", DefaultAnsiCodePage,
                     NamedCall(ModuleHandle, TableName));
}

TORVString TORVModule::CallGetInsertParamStatement(TORVModuleHandle ModuleHandle, const TORVString& TableName) {
  return RequestText(ModuleHandle, FGetInsertParamStmtFunction, u"GetORVInsertParameterStatement",
                     DefaultAnsiCodePage, NamedCall(ModuleHandle, TableName));
}

void TORVModule::CallGetInsertParams(TORVModuleHandle ModuleHandle, const TORVString& TableName,
                                     TORVParamValues& InsertParamValues) {
  std::optional<int32_t> Size;
  switch (GetConfigCharacterSet()) {
    case CharacterSetAnsi: {
      if (FGetInsertParamsFunction.A == nullptr) ModuleCallError(u"GetORVInsertParameters");
      const TORVAnsiString Name = TAnsiText{DefaultAnsiCodePage}(TableName);
      Size = FetchData(ModuleHandle, [&](uint8_t* Buffer, int32_t* Length) {
        return FGetInsertParamsFunction.A(ModuleHandle, Name.c_str(), Buffer, Length);
      });
      break;
    }
    case CharacterSetUnicode:
      if (FGetInsertParamsFunction.W == nullptr) ModuleCallError(u"GetORVInsertParameters");
      Size = FetchData(ModuleHandle, [&](uint8_t* Buffer, int32_t* Length) {
        return FGetInsertParamsFunction.W(ModuleHandle, TableName.c_str(), Buffer, Length);
      });
      break;
    default:
      ModuleCallError(u"GetORVInsertParameters");
  }
  // A failure on handle 0 takes nothing back and leaves the list as it was.
  if (!Size.has_value()) return;
  if (*Size > 0)
    ReadParams(InsertParamValues, *Size, false);
  else
    InsertParamValues.RemoveAll();
}

TORVString TORVModules::GetTypeName() const { return u"module"; }

const TORVConfigObjectsClass& ModulesClass() {
  static const TORVTableDescription Description{
      {TableText(u"Name", 80, true), TableClob(u"Description", false), TableText(u"FilePath", 255, true),
       TableText(u"FileVersion", 15, true), TableClob(u"FileDescription", false), TableText(u"Type", 30, true),
       TableText(u"CharacterSet", 30, true), TableClob(u"CreateSQL", true), TableClob(u"DropSQL", true)},
      {{u"Name", {1}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVModules(Config); }, u"Modules",
                                            &Description};
  return Class;
}

const TORVTableDescription& ModuleUsersTableDescription() {
  static const TORVTableDescription Description{
      {TableText(u"Name", 80, true), TableClob(u"Description", false), TableText(u"ModuleName", 255, true),
       TableClob(u"CreateSQL", true), TableClob(u"DropSQL", true)},
      {{u"Name", {1}}}};
  return Description;
}

// ----------------------------------------------------------- module users

TORVModuleObject::~TORVModuleObject() {
  try {
    CloseModule();
  } catch (...) {
    // A destructor reports nothing; the reference was released all the same.
  }
}

void TORVModuleObject::ResetReferences() {
  TORVConfigObject::ResetReferences();
  ForgetModule();
}

void TORVModuleObject::ForgetModule() {
  // An open working context is closed in the module that gave it.
  if (FModuleHandle == 0) FModule = nullptr;
}

void TORVModuleObject::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVConfigObject::Assign(FromObject, CopyReferences);
  if (auto* From = dynamic_cast<TORVModuleObject*>(FromObject)) FModuleName = From->FModuleName;
}

bool TORVModuleObject::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  if (!TORVConfigObject::Compare(ObjectToCompare, CompareID)) return false;
  auto* Other = dynamic_cast<TORVModuleObject*>(ObjectToCompare);
  if (Other == nullptr || typeid(*Other) != typeid(*this)) return true;
  return SameString(FModuleName, Other->FModuleName);
}

void TORVModuleObject::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVConfigObject::Save(Stream, CRCOnly);
  Stream.WriteString(FModuleName);
}

void TORVModuleObject::Load(TORVMemoryStream& Stream) {
  TORVConfigObject::Load(Stream);
  FModuleName.clear();
  Stream.ReadString(FModuleName);
  ForgetModule();
}

int32_t TORVModuleObject::GetMemorySize() { return TORVConfigObject::GetMemorySize() + StringSize(FModuleName); }

void TORVModuleObject::AddDependenciesToObject(TORVConfigObject* Obj) {
  if (dynamic_cast<TORVModule*>(Obj) != nullptr && SameString(Obj->GetName(), FModuleName))
    Obj->GetDependencies()->Add(this);
}

void TORVModuleObject::RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) {
  if (dynamic_cast<TORVModule*>(Obj) == nullptr || !SameString(Obj->GetName(), FModuleName)) return;
  FModuleName = NewName;
  SetModified(true);
}

TORVModule* TORVModuleObject::GetModule() {
  if (FModule == nullptr && FConfig != nullptr)
    FModule = static_cast<TORVModule*>(FConfig->GetModules().FindByName(FModuleName, true));
  return FModule;
}

void TORVModuleObject::SetModule(TORVModule* Value) {
  FModule = Value;
  if (Value != nullptr && Value->GetName() != FModuleName) {
    FModuleName = Value->GetName();
    SetModified(true);
  }
}

void TORVModuleObject::OpenModule() {
  if (FModuleHandle != 0) return;
  TORVModule* Module = GetModule();
  if (Module == nullptr) return;
  Module->LoadModule(GetModuleKind());
  try {
    FModuleHandle = Module->OpenModule();
  } catch (...) {
    Module->UnloadModule();
    throw;
  }
}

void TORVModuleObject::CloseModule() {
  if (FModuleHandle == 0) return;
  TORVModule* Module = FModule != nullptr ? FModule : GetModule();
  // Once closed, the module is found again by name: the name may have
  // changed while the context was open.
  FModule = nullptr;
  try {
    Module->CloseModule(FModuleHandle);
  } catch (...) {
    Module->UnloadModule();
    throw;
  }
  Module->UnloadModule();
}

void TORVModuleObject::SetModuleName(const TORVString& Value) {
  if (SameString(Value, FModuleName)) return;
  FModuleName = Value;
  ForgetModule();
  SetModified(true);
}

TORVString TORVModuleObject::ModuleLines() {
  TORVModule* Module = GetModule();
  return u"\r\nMODULE " + QuotedModuleName(Module != nullptr ? Module->GetName() : FModuleName) +
         ModuleDescriptionLine(FDescription);
}

}  // namespace orv
