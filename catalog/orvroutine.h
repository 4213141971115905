// Stored procedures and functions of a schema: their parameters, their text
// (an SQL body, or the name of an external module routine), the routines
// their bodies call, and the collections that hold them. Procedures and
// functions share one name space per schema.
#pragma once

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvcatalogexpr.h"
#include "catalog/orvcatalogobject.h"
#include "catalog/orvconfigobject.h"
#include "catalog/orvprivilege.h"
#include "catalog/orvschema.h"
#include "catalog/orvschemaobject.h"
#include "catalog/orvtypedobject.h"
#include "core/orvlocktype.h"

namespace orv {

class TORVModule;
class TORVParamValues;
class TORVRoutine;
class TORVProcedure;
class TORVFunction;

// Parameter modes; a function's result is the mode rpResult.
inline constexpr int32_t rpNone = 0;
inline constexpr int32_t rpInput = 1;
inline constexpr int32_t rpOutput = 2;
inline constexpr int32_t rpInputOutput = 3;
inline constexpr int32_t rpResult = 4;

// Routine bodies: SQL of the procedural language, or a routine exported by
// an external module.
inline constexpr int32_t riSQL = 0;
inline constexpr int32_t riExternal = 1;

// Routines stored before this catalog version use the older dynamic-SQL
// syntax and parse with poConvertDynamic.
inline constexpr TORVCurrency DynamicSyntaxVersion = TORVCurrency::FromScaled(20400);

// One parameter, or the result, of a routine.
class TORVRoutineParam : public TORVTypedCatalogObject {
 public:
  explicit TORVRoutineParam(TORVConfig* OwnerConfig = nullptr) : TORVTypedCatalogObject(false, OwnerConfig) {}

  TORVString GetTypeName() const override { return u"routine parameter"; }
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID) override;
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;
  // "IN", "OUT" or "INOUT", the quoted name and the type; "RETURNS" and the
  // type for the result; then the collation of character and CLOB types
  // and the description.
  TORVString GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly, bool Restricted) override;

  int32_t GetParamType() const { return FParamType; }
  void SetParamType(int32_t Value);

 protected:
  int32_t FParamType = rpNone;
};

class TORVRoutineParams : public TORVCatalogObjects {
 public:
  explicit TORVRoutineParams(TORVConfig* OwnerConfig = nullptr) : TORVCatalogObjects(true, OwnerConfig) {}

  TORVString GetTypeName() const override { return u"routine parameter"; }
  TORVConfigObject* CreateObject() override { return new TORVRoutineParam(FConfig); }
  TORVString GetCreateSQLSeparator() const override { return u", "; }
  TORVRoutineParam* GetParam(int32_t Index) const { return static_cast<TORVRoutineParam*>(FObjects[Index]); }
};

// The text of a stored procedure or function. Compiling it tells the owning
// routine which stored routines the body calls.
class TORVUserRoutine : public TORVCatalogRoutine {
 public:
  explicit TORVUserRoutine(TORVRoutine* Owner);

  // The function or procedure form of the routine grammar; a routine stored
  // before the current dynamic-SQL syntax parses with poConvertDynamic.
  TORVExprToken* Parse() override;
  void ExpressionCompiled() override;
  void ExpressionDecompiled() override;
  void FunctionFound(TORVExprToken* Token) override;
  void ProcedureFound(TORVExprToken* Token) override;

  TORVRoutine* GetRoutine() const { return FRoutine; }

 protected:
  TORVRoutine* FRoutine;
};

class TORVProcedureRoutine : public TORVUserRoutine {
 public:
  using TORVUserRoutine::TORVUserRoutine;

  TORVString GetTypeName() const override;
};

class TORVFunctionRoutine : public TORVUserRoutine {
 public:
  using TORVUserRoutine::TORVUserRoutine;

  TORVString GetTypeName() const override;
};

// The stored procedures or functions a routine's body calls.
class TORVSelectedProcedures : public TORVSelectedConfigObjects {
 public:
  TORVProcedure* GetProcedure(int32_t Index) const;
};

class TORVSelectedFunctions : public TORVSelectedConfigObjects {
 public:
  TORVFunction* GetFunction(int32_t Index) const;
};

// A stored procedure or function. FRoutineVersion is the catalog version
// whose syntax the stored text follows: it is set when the text is
// replaced by a statement (SetDefinitionText), and neither a rename of the
// routine or of a routine it calls nor any other change moves it, so that
// an old text keeps parsing as it was written. FModule is a cache found by
// name, never owned; FModuleHandle is non-zero only while the external
// routine's module is open.
class TORVRoutine : public TORVPrivilegedSchemaObject {
 public:
  TORVRoutine(TORVConfig* OwnerConfig, TORVUser* OwnerUser, TORVCatalog* OwnerCatalog);
  ~TORVRoutine() override;

  TORVString GetTypeName() const override { return u"routine"; }
  TORVLockSpaceKind GetLockSpaceKind() const override { return lkRoutine; }
  int32_t GetLockSlot() const override { return FLockSlot; }
  void SetSystemObject(bool Value) override;
  void SetTemporary(bool Value) override;
  void SetTemporaryForSession(bool Value) override;
  void ResetReferences() override;
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  // SQL bodies compare from their first BEGIN, case-insensitively; external
  // routines by module name, case-insensitively.
  bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID) override;
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  // A stream older than 2.04 holds no routine version: the routine takes
  // the catalog's version at load.
  void Load(TORVMemoryStream& Stream) override;
  void Validate() override;
  void Compile() override;
  void Decompile() override;
  void GrantAllPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) override;
  void GrantRestrictedPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) override;
  int32_t GetMemorySize() override;
  int32_t GetMemoryCount() override;
  void CheckInvariants() const override;
  void SetDependencies() override;
  void RenameDependencies(const TORVString& NewName) override;
  void AddDependenciesToObject(TORVConfigObject* Obj) override;
  void RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) override;
  TORVString GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly, bool Restricted) override;
  TORVString GetAlterSQL() override { return FAlterSQL; }
  void BuildAlterSQL(int32_t Action, TORVConfigObject* Target, char16_t StatementTerminator) override;

  virtual std::unique_ptr<TORVUserRoutine> CreateDefinition() = 0;

  // The keyword and name, the parameters, the result, the body (or the
  // external module) and, with IncludeExtensions, description, version
  // and attributes.
  TORVString GetSQL(bool IncludeExtensions);
  // The clauses of NewRoutine's description, version and attributes that
  // differ from this routine's, each on a new line.
  void GetExtensionsAlterSQL(TORVRoutine* NewRoutine, TORVString& SQL);
  // The trimmed text from its first BEGIN keyword; the whole text when it
  // has none.
  TORVString GetRoutineBody() const;

  // From the routine node of a parsed CREATE or ALTER PROCEDURE/FUNCTION:
  // the parameters in order, the result (mode 0 and empty without
  // RETURNS), and the external module (implementation 1) or an SQL body.
  void BuildParams(TORVExprToken* Tokens);
  void BuildResultParam(TORVExprToken* Tokens);
  void BuildModule(TORVExprToken* Tokens);

  // The definition's text, as a CREATE or ALTER statement gives it: the
  // routine now follows the catalog's current syntax.
  void SetDefinitionText(const TORVString& Text);
  // Compiled-definition callbacks.
  void SetupExpressionReferences();
  void ClearExpressionReferences();
  void FunctionFound(TORVExprToken* Token);
  void ProcedureFound(TORVExprToken* Token);

  int32_t GetImplementationType() const { return FImplementationType; }
  void SetImplementationType(int32_t Value);
  int32_t GetSecurityType() const { return FSecurityType; }
  void SetSecurityType(int32_t Value);
  void SetLockSlot(int32_t Value);
  const TORVString& GetModuleName() const { return FModuleName; }
  void SetModuleName(const TORVString& Value);
  TORVUserRoutine& GetDefinition() const { return *FDefinition; }
  TORVRoutineParams& GetParams() const { return *FParams; }
  TORVRoutineParam& GetResultParam() const { return *FResultParam; }
  TORVCurrency GetRoutineVersion() const { return FRoutineVersion; }
  void SetRoutineVersion(TORVCurrency Value) { FRoutineVersion = Value; }
  TORVSelectedFunctions& GetReferencedFunctions() const { return *FReferencedFunctions; }
  TORVSelectedProcedures& GetReferencedProcedures() const { return *FReferencedProcedures; }
  // Parameters of mode IN or INOUT, and of mode OUT or INOUT.
  int32_t GetNumInputParams() const;
  int32_t GetNumOutputParams() const;
  uintptr_t GetModuleHandle() const { return FModuleHandle; }

  // External routines: the module named by the module name, found and
  // cached on first use (it must exist).
  TORVModule* GetModule();
  void SetModule(TORVModule* Value);
  // An external routine loads its module and opens a working context once;
  // a failed open leaves the module unloaded and the handle 0. Closing
  // unloads the module also when closing fails.
  void OpenModule();
  void CloseModule();
  // The module's routine of this routine's name, with the open context.
  void CallExternalRoutine(TORVParamValues& ParamValues);

 protected:
  // The catalog's current version; the configuration's outside a catalog.
  TORVCurrency CurrentVersion();

  int32_t FImplementationType = riSQL;
  int32_t FSecurityType = 0;
  std::unique_ptr<TORVUserRoutine> FDefinition;
  TORVString FModuleName;
  TORVModule* FModule = nullptr;
  std::unique_ptr<TORVRoutineParams> FParams;
  std::unique_ptr<TORVRoutineParam> FResultParam;
  uintptr_t FModuleHandle = 0;
  TORVCurrency FRoutineVersion;
  int32_t FLockSlot = 0;
  std::unique_ptr<TORVSelectedFunctions> FReferencedFunctions;
  std::unique_ptr<TORVSelectedProcedures> FReferencedProcedures;
  TORVString FAlterSQL;
};

class TORVProcedure : public TORVRoutine {
 public:
  explicit TORVProcedure(TORVConfig* OwnerConfig = nullptr, TORVUser* OwnerUser = nullptr,
                         TORVCatalog* OwnerCatalog = nullptr);

  TORVString GetTypeName() const override { return u"procedure"; }
  std::unique_ptr<TORVUserRoutine> CreateDefinition() override;
  TORVString GetDropSQL(bool IncludeDependentObjects, bool DependentObjectsOnly) override;
};

class TORVFunction : public TORVRoutine {
 public:
  explicit TORVFunction(TORVConfig* OwnerConfig = nullptr, TORVUser* OwnerUser = nullptr,
                        TORVCatalog* OwnerCatalog = nullptr);

  TORVString GetTypeName() const override { return u"function"; }
  std::unique_ptr<TORVUserRoutine> CreateDefinition() override;
  TORVString GetDropSQL(bool IncludeDependentObjects, bool DependentObjectsOnly) override;
};

// A schema's procedures or functions. Each checks a new member's name
// against its own members and then against the other collection of the
// schema; FCheckingDuplicates keeps the two from asking each other again.
class TORVProcedures : public TORVPrivilegedCatalogObjects {
 public:
  using TORVPrivilegedCatalogObjects::TORVPrivilegedCatalogObjects;

  TORVString GetTypeName() const override { return u"procedure"; }
  TORVConfigObject* CreateObject() override { return new TORVProcedure(FConfig, nullptr, GetCatalog()); }
  TORVConfigObject* CreateObject(TORVUser* OwnerUser) override {
    return new TORVProcedure(FConfig, OwnerUser, GetCatalog());
  }
  void CheckForDuplicateObject(TORVConfigObject* NewObject) override;
  void ObjectsChanged() override;
  TORVProcedure* GetProcedure(int32_t Index) const { return static_cast<TORVProcedure*>(FObjects[Index]); }

 private:
  bool FCheckingDuplicates = false;
};

class TORVFunctions : public TORVPrivilegedCatalogObjects {
 public:
  using TORVPrivilegedCatalogObjects::TORVPrivilegedCatalogObjects;

  TORVString GetTypeName() const override { return u"function"; }
  TORVConfigObject* CreateObject() override { return new TORVFunction(FConfig, nullptr, GetCatalog()); }
  TORVConfigObject* CreateObject(TORVUser* OwnerUser) override {
    return new TORVFunction(FConfig, OwnerUser, GetCatalog());
  }
  void CheckForDuplicateObject(TORVConfigObject* NewObject) override;
  void ObjectsChanged() override;
  TORVFunction* GetFunction(int32_t Index) const { return static_cast<TORVFunction*>(FObjects[Index]); }

 private:
  bool FCheckingDuplicates = false;
};

// All procedures and functions of a schema, not owned; at most 4096, one
// per lock slot.
class TORVRoutines : public TORVPrivilegedCatalogObjects {
 public:
  explicit TORVRoutines(TORVConfig* OwnerConfig = nullptr) : TORVPrivilegedCatalogObjects(OwnerConfig, false) {}

  TORVString GetTypeName() const override { return u"routine"; }
  void SetModified(bool /*Value*/) override {}
  int32_t MaximumObjectsAllowed() const override { return 4096; }
  TORVRoutine* GetRoutine(int32_t Index) const { return static_cast<TORVRoutine*>(FObjects[Index]); }
  // Ascending lock slot.
  void SortByLockSlot();
};

// Only describe the information tables of routine parameters and
// privileges and the ODBC routine tables.
class TORVProcedureParams : public TORVRoutineParams {
 public:
  using TORVRoutineParams::TORVRoutineParams;
};

class TORVFunctionParams : public TORVRoutineParams {
 public:
  using TORVRoutineParams::TORVRoutineParams;
};

class TORVProcedurePrivileges : public TORVPrivileges {
 public:
  using TORVPrivileges::TORVPrivileges;
};

class TORVFunctionPrivileges : public TORVPrivileges {
 public:
  using TORVPrivileges::TORVPrivileges;
};

class TORVODBCProcedures : public TORVRoutines {
 public:
  using TORVRoutines::TORVRoutines;
};

class TORVODBCProcedureColumns : public TORVRoutines {
 public:
  using TORVRoutines::TORVRoutines;
};

const TORVConfigObjectsClass& ProceduresClass();
const TORVConfigObjectsClass& FunctionsClass();
const TORVConfigObjectsClass& ProcedureParamsClass();
const TORVConfigObjectsClass& FunctionParamsClass();
const TORVConfigObjectsClass& ProcedurePrivilegesClass();
const TORVConfigObjectsClass& FunctionPrivilegesClass();
const TORVConfigObjectsClass& ODBCProceduresClass();
const TORVConfigObjectsClass& ODBCProcedureColumnsClass();

}  // namespace orv
