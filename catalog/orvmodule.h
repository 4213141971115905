// External modules: libraries registered in the configuration under a
// name, which routines, text filters, word generators and migrators call.
// The module object loads and frees its library with a reference count,
// asks it what kind of module it is, binds the exports of that kind and
// wraps every call: texts and data of variable length come back by a size
// call followed by a data call, and every failure becomes error 202.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "base/orvtype.h"
#include "catalog/orvconfigobject.h"
#include "catalog/orvlockable.h"
#include "catalog/orvtabledesc.h"
#include "core/orvenv.h"

namespace orv {

class TORVMemoryStream;
class TORVParamValues;
class TORVStringsList;

// Configuration streams carry modules from this version on.
inline constexpr TORVCurrency ModulesVersion = TORVCurrency::FromScaled(20400);

// Module kinds: the values the library's validation export accepts. A
// probe answers 0 for a library that accepts none (or cannot say) and 10
// for one that does not load.
inline constexpr int32_t ModuleTypeNone = 0;
inline constexpr int32_t ModuleTypeNotLoaded = 10;
inline constexpr int32_t ModuleTypeRoutines = 100;
inline constexpr int32_t ModuleTypeTextFilter = 200;
inline constexpr int32_t ModuleTypeWordGenerator = 300;
inline constexpr int32_t ModuleTypeMigrator = 400;

// The word buffer a word generator fills, in characters.
inline constexpr int32_t ModuleWordLength = 1024;
// The most a module may report for a text (characters) or data (bytes).
inline constexpr int32_t MaxModuleDataSize = 256 * 1024 * 1024;

// "External Routines", "Text Filter", "Word Generator", "Migrator"; empty
// for any other code.
TORVString TranslateModuleType(int32_t TypeOfModule);
// "ANSI", "Unicode"; empty for any other value.
TORVString TranslateCharSet(int32_t CharacterSet);

// The exports. Every one answers a Boolean in one byte (0 false); handles
// are pointer-sized; texts are code-page bytes (A) or UTF-16 units (W) as
// the configuration's character set says, passed zero-terminated, and every
// length counts characters of the variant in use (data sizes count bytes).
extern "C" {
using TORVModuleHandle = uintptr_t;
using TORVModuleCallback = uint8_t (*)(uintptr_t Instance, int32_t CallbackID, uintptr_t Data, int32_t* DataSize);
using TORVModuleValidate = uint8_t (*)(int32_t TypeOfModule);
using TORVModuleValidateCharSet = uint8_t (*)(int32_t CharacterSet);
using TORVModuleSetCallback = uint8_t (*)(uintptr_t Instance, TORVModuleCallback ModuleCallback);
using TORVModuleOpen = uint8_t (*)(TORVModuleHandle* ModuleHandle);
using TORVModuleClose = uint8_t (*)(TORVModuleHandle ModuleHandle);
using TORVModuleErrorMsgA = uint8_t (*)(TORVModuleHandle ModuleHandle, char* ErrorMsg, int32_t* ErrorMsgLength);
using TORVModuleErrorMsgW = uint8_t (*)(TORVModuleHandle ModuleHandle, char16_t* ErrorMsg, int32_t* ErrorMsgLength);
using TORVModuleCallRoutineA = uint8_t (*)(TORVModuleHandle ModuleHandle, const char* RoutineName, uint8_t* ParamData,
                                           int32_t ParamDataSize);
using TORVModuleCallRoutineW = uint8_t (*)(TORVModuleHandle ModuleHandle, const char16_t* RoutineName,
                                           uint8_t* ParamData, int32_t ParamDataSize);
using TORVModuleOutputParams = uint8_t (*)(TORVModuleHandle ModuleHandle, uint8_t* ParamData, int32_t* ParamDataSize);
using TORVModuleCallTextFilterA = uint8_t (*)(TORVModuleHandle ModuleHandle, const char* TypeName, const char* TextData,
                                              int32_t TextLength);
using TORVModuleCallTextFilterW = uint8_t (*)(TORVModuleHandle ModuleHandle, const char16_t* TypeName,
                                              const char16_t* TextData, int32_t TextLength);
using TORVModuleOutputTextA = uint8_t (*)(TORVModuleHandle ModuleHandle, char* TextData, int32_t* TextLength);
using TORVModuleOutputTextW = uint8_t (*)(TORVModuleHandle ModuleHandle, char16_t* TextData, int32_t* TextLength);
using TORVModuleCallWordGeneratorA = uint8_t (*)(TORVModuleHandle ModuleHandle, int32_t Collation, const char* TextData,
                                                 int32_t TextLength, char* WordData, int32_t WordLength,
                                                 int32_t* ResultWordLength, int32_t* Position, uint8_t SearchWords);
using TORVModuleCallWordGeneratorW = uint8_t (*)(TORVModuleHandle ModuleHandle, int32_t Collation,
                                                 const char16_t* TextData, int32_t TextLength, char16_t* WordData,
                                                 int32_t WordLength, int32_t* ResultWordLength, int32_t* Position,
                                                 uint8_t SearchWords);
using TORVModuleGetParams = uint8_t (*)(TORVModuleHandle ModuleHandle, uint8_t* ParamData, int32_t* ParamDataSize);
using TORVModuleSetParams = uint8_t (*)(TORVModuleHandle ModuleHandle, uint8_t* ParamData, int32_t ParamDataSize);
// Lists: comma text.
using TORVModuleGetNamesA = uint8_t (*)(TORVModuleHandle ModuleHandle, char* Names, int32_t* NamesLength);
using TORVModuleGetNamesW = uint8_t (*)(TORVModuleHandle ModuleHandle, char16_t* Names, int32_t* NamesLength);
// A text asked for one named object (also the names under one table).
using TORVModuleGetNamedTextA = uint8_t (*)(TORVModuleHandle ModuleHandle, const char* Name, char* Text,
                                            int32_t* TextLength);
using TORVModuleGetNamedTextW = uint8_t (*)(TORVModuleHandle ModuleHandle, const char16_t* Name, char16_t* Text,
                                            int32_t* TextLength);
// A text asked for one object of a table.
using TORVModuleGetTableObjectTextA = uint8_t (*)(TORVModuleHandle ModuleHandle, const char* TableName,
                                                  const char* ObjectName, char* Text, int32_t* TextLength);
using TORVModuleGetTableObjectTextW = uint8_t (*)(TORVModuleHandle ModuleHandle, const char16_t* TableName,
                                                  const char16_t* ObjectName, char16_t* Text, int32_t* TextLength);
using TORVModuleGetCreateObjectA = uint8_t (*)(TORVModuleHandle ModuleHandle, const char* ObjectName,
                                               const char* ObjectType, uint8_t PostCreate,
                                               char* CreateObjectStatement, int32_t* CreateObjectStatementLength);
using TORVModuleGetCreateObjectW = uint8_t (*)(TORVModuleHandle ModuleHandle, const char16_t* ObjectName,
                                               const char16_t* ObjectType, uint8_t PostCreate,
                                               char16_t* CreateObjectStatement, int32_t* CreateObjectStatementLength);
using TORVModuleGetRowsToInsertA = uint8_t (*)(TORVModuleHandle ModuleHandle, const char* TableName,
                                               int32_t* RowsToInsert);
using TORVModuleGetRowsToInsertW = uint8_t (*)(TORVModuleHandle ModuleHandle, const char16_t* TableName,
                                               int32_t* RowsToInsert);
using TORVModuleGetInsertParamsA = uint8_t (*)(TORVModuleHandle ModuleHandle, const char* TableName,
                                               uint8_t* InsertParamData, int32_t* InsertParamDataSize);
using TORVModuleGetInsertParamsW = uint8_t (*)(TORVModuleHandle ModuleHandle, const char16_t* TableName,
                                               uint8_t* InsertParamData, int32_t* InsertParamDataSize);
}

// One export bound in both character-set variants; only the variant of the
// configuration's character set is ever set.
template <typename TA, typename TW>
struct TORVModuleExport {
  TA A = nullptr;
  TW W = nullptr;
  void Clear() { A = nullptr; W = nullptr; }
};

// Library states: not loaded (no instance, count 0); loaded and not set up
// (a kind-0 load or probes); set up for a kind (its exports bound); cached
// (count 0 but kept loaded because the configuration caches libraries).
// Entry points are only bound while FModuleInstance is not 0, and
// FModuleSetup implies a loaded library. One session's thread uses a
// module object at a time, so it carries no lock of its own. The library is
// shared by every session that loads it: its callbacks reach the module
// object that is calling it on the same thread.
class TORVModule : public TORVLockableConfigObject {
 public:
  explicit TORVModule(TORVConfig* OwnerConfig = nullptr);
  // Frees the library whatever references remain.
  ~TORVModule() override;

  TORVString GetTypeName() const override;
  TORVLockSpaceKind GetLockSpaceKind() const override { return lkModule; }
  int32_t GetLockSlot() const override { return FLockSlot; }
  // A module takes no ID from the configuration's counter.
  void AssignID() override {}
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  // Path, then LockSlot (read from 2.04, which every stream holding modules
  // is).
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;
  int32_t GetMemorySize() override;
  // The databases, text filters, word generators and migrators that name
  // the module.
  void SetDependencies() override;
  void RenameDependencies(const TORVString& NewName) override;
  void DeleteDependencies() override;
  // PATH is an empty literal when Restricted.
  TORVString GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly, bool Restricted) override;
  TORVString GetDropSQL(bool IncludeDependentObjects, bool DependentObjectsOnly) override;

  // Error 202 with the detail each names.
  [[noreturn]] virtual void ModuleError(const TORVString& Text);
  [[noreturn]] virtual void ModuleLoadOSError(const TORVString& OSErrorText);
  // The loader's text for a missing export; an export that answered False
  // leaves the loader's last text.
  [[noreturn]] virtual void ModuleCallError(const TORVString& FunctionName);
  [[noreturn]] virtual void ModuleExecutionError(const TORVString& Text);
  [[noreturn]] virtual void ModuleUnloadError(const TORVString& Text);

  // Take and release one load reference; TypeOfModule 0 loads without
  // validation or binding. A failed load leaves the count as it was.
  void LoadModule(int32_t TypeOfModule);
  void UnloadModule() { UnloadModuleInstance(false); }
  // Decrements the count; frees the library when forced, or at 0 unless
  // the configuration caches libraries.
  void UnloadModuleInstance(bool ForceUnload);

  // A new working context of the module.
  TORVModuleHandle OpenModule();
  // Ends the working context; the handle is 0 afterwards in every case.
  void CloseModule(TORVModuleHandle& ModuleHandle);

  // The calls. A False answer raises the module's own message through
  // ModuleExecutionError, unless ModuleHandle is 0: then the call ends
  // quietly with nothing taken back.
  void CallRoutine(TORVModuleHandle ModuleHandle, const TORVString& RoutineName, TORVParamValues& ParamValues);
  // The filtered text goes to Text.
  void CallTextFilter(TORVModuleHandle ModuleHandle, int32_t Collation, const TORVString& FilterType,
                      const TORVString& TextToFilter);
  // The next word at or after Position (1-based); empty when none is left.
  void CallWordGenerator(TORVModuleHandle ModuleHandle, int32_t Collation, const TORVString& Text,
                         int32_t& Position, TORVString& Word, bool SearchWords);
  // Migrators.
  void CallGetParams(TORVModuleHandle ModuleHandle, TORVParamValues& ParamValues);
  void CallSetParams(TORVModuleHandle ModuleHandle, TORVParamValues& ParamValues);
  void CallGetObjectNames(TORVModuleHandle ModuleHandle, TORVStringsList& ObjectNames);
  TORVString CallGetCreateObjectStatement(TORVModuleHandle ModuleHandle, const TORVString& ObjectName,
                                          const TORVString& ObjectType, bool PostCreate);
  void CallGetTableNames(TORVModuleHandle ModuleHandle, TORVStringsList& TableNames);
  TORVString CallGetCreateTableStatement(TORVModuleHandle ModuleHandle, const TORVString& TableName);
  void CallGetIndexNames(TORVModuleHandle ModuleHandle, const TORVString& TableName, TORVStringsList& IndexNames);
  TORVString CallGetCreateIndexStatement(TORVModuleHandle ModuleHandle, const TORVString& TableName,
                                         const TORVString& IndexName);
  void CallGetTriggerNames(TORVModuleHandle ModuleHandle, const TORVString& TableName,
                           TORVStringsList& TriggerNames);
  TORVString CallGetCreateTriggerStatement(TORVModuleHandle ModuleHandle, const TORVString& TableName,
                                           const TORVString& TriggerName);
  void CallGetViewNames(TORVModuleHandle ModuleHandle, TORVStringsList& ViewNames);
  TORVString CallGetCreateViewStatement(TORVModuleHandle ModuleHandle, const TORVString& ViewName);
  void CallGetFunctionNames(TORVModuleHandle ModuleHandle, TORVStringsList& FunctionNames);
  TORVString CallGetCreateFunctionStatement(TORVModuleHandle ModuleHandle, const TORVString& FunctionName);
  void CallGetProcedureNames(TORVModuleHandle ModuleHandle, TORVStringsList& ProcedureNames);
  TORVString CallGetCreateProcedureStatement(TORVModuleHandle ModuleHandle, const TORVString& ProcedureName);
  int32_t CallGetRowsToInsert(TORVModuleHandle ModuleHandle, const TORVString& TableName);
  TORVString CallGetInsertStatement(TORVModuleHandle ModuleHandle, const TORVString& TableName);
  TORVString CallGetInsertParamStatement(TORVModuleHandle ModuleHandle, const TORVString& TableName);
  void CallGetInsertParams(TORVModuleHandle ModuleHandle, const TORVString& TableName,
                           TORVParamValues& InsertParamValues);

  // Probes: each takes a load reference and releases it. The kind is the
  // first of 100, 200, 300, 400 the library accepts; the character set 0
  // or 1, -1 when the library cannot say.
  int32_t GetModuleType();
  TORVString GetModuleTypeName() { return TranslateModuleType(GetModuleType()); }
  int32_t GetModuleCharSet();
  TORVString GetModuleCharSetName() { return TranslateCharSet(GetModuleCharSet()); }
  void CheckModuleType(int32_t TypeOfModule);
  void CheckModuleCharSet(int32_t CharSetOfModule);
  // The library accepts the kind and, when it can say, the configuration's
  // character set; ModuleError otherwise.
  void ValidateModule(int32_t TypeOfModule);
  // The object exports, or both parameterised-insert exports, are bound:
  // only after the library has been set up as a migrator.
  bool GetObjectMigratorModule();
  bool GetInsertParamsMigratorModule();
  // A relative path lies in the configuration folder.
  TORVString GetFullPath() const;

  // The session's handler gets the module's callbacks.
  void DoModuleCallback(int32_t ID, uintptr_t Data, int32_t& DataSize);

  const TORVString& GetPath() const { return FPath; }
  void SetPath(const TORVString& Value);
  void SetLockSlot(int32_t Value);
  // Shared objects carry no version resource: both stay empty.
  const TORVString& GetModuleVersion() const { return FModuleVersion; }
  const TORVString& GetModuleDescription() const { return FModuleDescription; }
  const TORVString& GetText() const { return FText; }
  TORVLibraryHandle GetModuleInstance() const { return FModuleInstance; }
  int32_t GetModuleInstanceCount() const { return FModuleInstanceCount; }
  bool GetModuleSetup() const { return FModuleSetup; }

 private:
  void LoadModuleInstance();
  void BindLoadFunctions();
  void ClearFunctions();
  void SetModuleCallbackFunction();
  void SetupFunctions(int32_t TypeOfModule);
  // Error retrieval on a False answer: nothing for handle 0.
  void GetErrorMsg(TORVModuleHandle ModuleHandle);
  // FParamsStream, remade when the configuration's character set changed.
  TORVMemoryStream& ParamsStream();
  // Size call, then (for a positive size) the data call into FParamsStream;
  // the reported size, nothing after a False answer on handle 0.
  template <typename TCall>
  std::optional<int32_t> FetchData(TORVModuleHandle ModuleHandle, TCall Call);
  // Reads a whole parameter list, with type information or only the output
  // values, from exactly Size bytes of FParamsStream.
  void ReadParams(TORVParamValues& ParamValues, int32_t Size, bool OutputOnly);
  // A text export of the configuration's character set by the two-call
  // protocol; Call(Export, Encode, Buffer, Length) makes one call, Encode
  // turning the engine's texts into the variant's.
  template <typename TA, typename TW, typename TCall>
  TORVString RequestText(TORVModuleHandle ModuleHandle, const TORVModuleExport<TA, TW>& Export,
                         const TORVString& ExportName, int32_t CodePage, TCall Call);
  template <typename TA, typename TW, typename TCall>
  void RequestNames(TORVModuleHandle ModuleHandle, const TORVModuleExport<TA, TW>& Export,
                    const TORVString& ExportName, TORVStringsList& Names, TCall Call);
  [[noreturn]] void InvalidLengthError(int64_t Length);
  // Error 202 naming the module, with Detail.
  EORVException ModuleException(const TORVString& Detail) const;

  int32_t FLockSlot = 0;
  TORVString FPath;
  TORVLibraryHandle FModuleInstance = 0;
  int32_t FModuleInstanceCount = 0;
  bool FModuleSetup = false;
  TORVString FModuleVersion;
  TORVString FModuleDescription;
  // The loader's text when the last load failed.
  TORVString FLoadErrorText;
  TORVModuleValidate FValidateFunction = nullptr;
  TORVModuleValidateCharSet FValidateCharSetFunction = nullptr;
  TORVModuleSetCallback FSetCallbackFunction = nullptr;
  TORVModuleOpen FOpenFunction = nullptr;
  TORVModuleExport<TORVModuleCallRoutineA, TORVModuleCallRoutineW> FCallRoutineFunction;
  TORVModuleOutputParams FOutputParamsFunction = nullptr;
  TORVModuleExport<TORVModuleCallTextFilterA, TORVModuleCallTextFilterW> FCallTextFilterFunction;
  TORVModuleExport<TORVModuleOutputTextA, TORVModuleOutputTextW> FOutputTextFunction;
  TORVModuleExport<TORVModuleCallWordGeneratorA, TORVModuleCallWordGeneratorW> FCallWordGeneratorFunction;
  TORVModuleGetParams FGetParamsFunction = nullptr;
  TORVModuleSetParams FSetParamsFunction = nullptr;
  TORVModuleExport<TORVModuleGetNamesA, TORVModuleGetNamesW> FGetObjectNamesFunction;
  TORVModuleExport<TORVModuleGetCreateObjectA, TORVModuleGetCreateObjectW> FGetCreateObjectFunction;
  TORVModuleExport<TORVModuleGetNamesA, TORVModuleGetNamesW> FGetTableNamesFunction;
  TORVModuleExport<TORVModuleGetNamedTextA, TORVModuleGetNamedTextW> FGetCreateTableFunction;
  TORVModuleExport<TORVModuleGetNamedTextA, TORVModuleGetNamedTextW> FGetIndexNamesFunction;
  TORVModuleExport<TORVModuleGetTableObjectTextA, TORVModuleGetTableObjectTextW> FGetCreateIndexFunction;
  TORVModuleExport<TORVModuleGetNamedTextA, TORVModuleGetNamedTextW> FGetTriggerNamesFunction;
  TORVModuleExport<TORVModuleGetTableObjectTextA, TORVModuleGetTableObjectTextW> FGetCreateTriggerFunction;
  TORVModuleExport<TORVModuleGetNamesA, TORVModuleGetNamesW> FGetViewNamesFunction;
  TORVModuleExport<TORVModuleGetNamedTextA, TORVModuleGetNamedTextW> FGetCreateViewFunction;
  TORVModuleExport<TORVModuleGetNamesA, TORVModuleGetNamesW> FGetFunctionNamesFunction;
  TORVModuleExport<TORVModuleGetNamedTextA, TORVModuleGetNamedTextW> FGetCreateFunctionFunction;
  TORVModuleExport<TORVModuleGetNamesA, TORVModuleGetNamesW> FGetProcedureNamesFunction;
  TORVModuleExport<TORVModuleGetNamedTextA, TORVModuleGetNamedTextW> FGetCreateProcedureFunction;
  TORVModuleExport<TORVModuleGetRowsToInsertA, TORVModuleGetRowsToInsertW> FGetRowsToInsertFunction;
  TORVModuleExport<TORVModuleGetNamedTextA, TORVModuleGetNamedTextW> FGetInsertStmtFunction;
  TORVModuleExport<TORVModuleGetNamedTextA, TORVModuleGetNamedTextW> FGetInsertParamStmtFunction;
  TORVModuleExport<TORVModuleGetInsertParamsA, TORVModuleGetInsertParamsW> FGetInsertParamsFunction;
  TORVModuleExport<TORVModuleErrorMsgA, TORVModuleErrorMsgW> FErrorMsgFunction;
  TORVModuleClose FCloseFunction = nullptr;
  std::unique_ptr<TORVMemoryStream> FParamsStream;
  TORVString FText;
};

class TORVModules : public TORVConfigObjects {
 public:
  explicit TORVModules(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override { return new TORVModule(FConfig); }
  int32_t MaximumObjectsAllowed() const override { return 1024; }

  TORVModule* GetModule(int32_t Index) const { return static_cast<TORVModule*>(GetObjects(Index)); }
};

// The "Modules" table.
const TORVConfigObjectsClass& ModulesClass();

// A configuration object that calls the module it names (text filters,
// word generators, migrators). It resolves the module by name on first use
// and, while open, holds one load reference and one working context of it.
class TORVModuleObject : public TORVConfigObject {
 public:
  using TORVConfigObject::TORVConfigObject;
  // Closes the working context.
  ~TORVModuleObject() override;

  // Then forgets the module, so that it is found again by name.
  void ResetReferences() override;
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  // Also ModuleName, ignoring case, against an object of the same class.
  bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID) override;
  // The module's name follows the base record.
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;
  int32_t GetMemorySize() override;
  // The module named by ModuleName (ignoring case) gains this object as a
  // dependent, or passes its new name on to it.
  void AddDependenciesToObject(TORVConfigObject* Obj) override;
  void RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) override;

  // The kind the module is loaded for.
  virtual int32_t GetModuleKind() const = 0;

  // The not-found error of the modules when none has the name.
  TORVModule* GetModule();
  // Copies the module's name when it differs exactly.
  void SetModule(TORVModule* Value);
  // Loads the module for its kind and opens a working context; nothing when
  // open. A failure leaves the object closed and the module's count as it
  // was.
  void OpenModule();
  // Closes the context and releases the reference, the latter also when
  // closing raised; nothing when closed.
  void CloseModule();

  const TORVString& GetModuleName() const { return FModuleName; }
  // A change of letter case alone is not stored.
  void SetModuleName(const TORVString& Value);
  TORVModuleHandle GetModuleHandle() const { return FModuleHandle; }

 protected:
  // Forgets the resolved module unless a working context of it is open.
  void ForgetModule();
  // "\r\nMODULE <quoted name of the module>" and the description line.
  TORVString ModuleLines();
  // The base record's fields alone, for subclasses that stream fields of
  // their own before the module's name.
  void SaveBase(TORVMemoryStream& Stream, bool CRCOnly) { TORVConfigObject::Save(Stream, CRCOnly); }
  void LoadBase(TORVMemoryStream& Stream) { TORVConfigObject::Load(Stream); }

  TORVString FModuleName;
  TORVModule* FModule = nullptr;
  TORVModuleHandle FModuleHandle = 0;
};

// The table of word generators and of migrators: Name, Description,
// ModuleName, CreateSQL, DropSQL.
const TORVTableDescription& ModuleUsersTableDescription();
// "\r\nDESCRIPTION <quoted, trimmed description>" when there is one.
TORVString ModuleDescriptionLine(const TORVString& Description);
// Names in double quotes.
TORVString QuotedModuleName(const TORVString& Name);

}  // namespace orv
