// The triggers of a table or view: their action time and type, OF columns,
// WHEN condition and routine with its two row variables, the objects the
// routine reads and calls, and the twelve per-event lists that the row
// operations fire in collection order.
#pragma once

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvcatalogexpr.h"
#include "catalog/orvcatalogobject.h"
#include "catalog/orvcolumnref.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvroutine.h"
#include "catalog/orvtabledesc.h"

namespace orv {

class TORVTrigger;

// Action times and types; persisted. The types are the statement's trigger
// operation IDs.
inline constexpr int32_t taBefore = 1;
inline constexpr int32_t taAfter = 2;
inline constexpr int32_t taError = 3;
inline constexpr int32_t taInsteadOf = 4;
inline constexpr int32_t tyInsert = 1;
inline constexpr int32_t tyUpdate = 2;
inline constexpr int32_t tyDelete = 3;
inline constexpr int32_t tyAll = 4;
inline constexpr int32_t tyLoadUpdate = 5;

// One column of an update trigger's OF list.
class TORVTriggerColumn : public TORVColumnReference {
 public:
  TORVString GetTypeName() const override { return u"trigger column"; }

  TORVColumn* GetColumn() { return ResolveColumn(); }
  void SetColumn(TORVColumn* Value) { StoreColumn(Value); }
  int32_t GetColumnID() const { return FColumnID; }

 protected:
  TORVVirtualTable* ReferencedTable() const override;
};

class TORVTriggerColumns : public TORVColumnReferences<TORVTriggerColumn> {
 public:
  TORVTriggerColumn* GetTriggerColumn(int32_t Index) const { return GetMember(Index); }
};

// The WHEN condition; it must be BOOLEAN and reads the rows of the trigger's
// routine, so it compiles after the routine.
class TORVTriggerExpr : public TORVCatalogExpr {
 public:
  explicit TORVTriggerExpr(TORVTrigger* Trigger);

  // Kept as clients see it in compile errors.
  TORVString GetTypeName() const override;
  void Validate() override;
  TORVVirtualTable* DefaultTable() override;
  void DefaultTableName(TORVExprToken* Token, TORVString& Name) override;
  void CheckForRowColumn(TORVExprToken* Token) override;
  void ColumnFound(TORVExprToken* Token) override;

 private:
  TORVTrigger* FTrigger;
};

// The trigger's routine: a TRIGGER line with the quoted name, CR LF, then
// the body.
class TORVTriggerRoutine : public TORVCatalogRoutine {
 public:
  explicit TORVTriggerRoutine(TORVTrigger* Trigger);

  TORVString GetTypeName() const override;
  TORVExprToken* Parse() override;
  TORVVirtualTable* DefaultTable() override;
  void DefaultTableName(TORVExprToken* Token, TORVString& Name) override;
  void ExpressionCompiled() override;
  void ExpressionDecompiled() override;
  void CheckForRowColumn(TORVExprToken* Token) override;
  void ColumnFound(TORVExprToken* Token) override;
  void FunctionFound(TORVExprToken* Token) override;
  void ProcedureFound(TORVExprToken* Token) override;

 private:
  TORVTrigger* FTrigger;
};

// FEnabled lives in memory only: it is neither streamed, copied nor
// compared, and a trigger read from the catalog is enabled. FRoutineVersion
// is the catalog version whose syntax the routine text follows; it is set
// when the trigger is made, when ALTER TRIGGER replaces its definition
// (Assign) and by Load, and no other change moves it, so that an old text
// keeps parsing as it was written.
class TORVTrigger : public TORVCatalogObject {
 public:
  // The routine version and the expressions' catalog are OwnerCatalog's.
  explicit TORVTrigger(TORVCatalog* OwnerCatalog = nullptr);
  ~TORVTrigger() override;

  TORVString GetTypeName() const override { return u"trigger"; }
  void SetSystemObject(bool Value) override;
  void SetTemporary(bool Value) override;
  void SetTemporaryForSession(bool Value) override;
  void Reset() override;
  void ResetReferences() override;
  void Validate() override;
  bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID) override;
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  // The routine first, then the condition when it has a text.
  void Compile() override;
  void Decompile() override;
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;
  int32_t GetMemorySize() override;
  int32_t GetMemoryCount() override;
  void CheckInvariants() const override;
  TORVString GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly, bool Restricted) override;
  TORVString GetDropSQL(bool IncludeDependentObjects, bool DependentObjectsOnly) override;
  void BuildAlterSQL(int32_t Action, TORVConfigObject* Target, char16_t StatementTerminator) override;
  TORVString GetAlterSQL() override { return FAlterSQL; }
  TORVConfigObject* GetDependencyParentObject() override;
  void AddDependenciesToObject(TORVConfigObject* Obj) override;
  void ResetDependenciesToObject(TORVConfigObject* Obj, int32_t NewID) override;
  void RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) override;

  [[noreturn]] virtual void TriggerActionTimeError();
  [[noreturn]] virtual void TriggerActionTypeError();

  // The header line, the WHEN line, the routine body without its TRIGGER
  // line and, with the flag, the description.
  TORVString GetSQL(bool IncludeDescription);

  // The table or view that owns the trigger; nil outside one.
  TORVVirtualTable* GetOwnerTable() const;
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool Value) { FEnabled = Value; }
  void SaveEnabled() { FOldEnabled = FEnabled; }
  void RestoreEnabled() { FEnabled = FOldEnabled; }
  int32_t GetActionTime() const { return FActionTime; }
  void SetActionTime(int32_t Value);
  static TORVString GetActionTimeName(int32_t Value);
  TORVString GetActionTimeName() const { return GetActionTimeName(FActionTime); }
  int32_t GetActionType() const { return FActionType; }
  void SetActionType(int32_t Value);
  static TORVString GetActionTypeName(int32_t Value);
  TORVString GetActionTypeName() const { return GetActionTypeName(FActionType); }
  TORVTriggerColumns* GetTriggerColumns() const { return FTriggerColumns.get(); }
  TORVTriggerExpr* GetConditionExpr() const { return FConditionExpr.get(); }
  TORVTriggerRoutine* GetDefinition() const { return FDefinition.get(); }
  TORVSelectedColumns* GetReferencedOldRowColumns() const { return FReferencedOldRowColumns.get(); }
  TORVSelectedColumns* GetReferencedNewRowColumns() const { return FReferencedNewRowColumns.get(); }
  TORVSelectedFunctions* GetReferencedFunctions() const { return FReferencedFunctions.get(); }
  TORVSelectedProcedures* GetReferencedProcedures() const { return FReferencedProcedures.get(); }
  bool GetPositionChanged() const { return FPositionChanged; }
  void SetPositionChanged(bool Value) { FPositionChanged = Value; }
  int32_t GetOldPosition() const { return FOldPosition; }
  void SetOldPosition(int32_t Value) { FOldPosition = Value; }
  TORVCurrency GetRoutineVersion() const { return FRoutineVersion; }

  // What the routine and the condition report while they bind.
  void CheckForRowColumn(TORVExprToken* Token);
  void ColumnFound(TORVExprToken* Token);
  void FunctionFound(TORVExprToken* Token);
  void ProcedureFound(TORVExprToken* Token);
  // Each selection in ID order, each member once; or emptied.
  void SetupExpressionReferences();
  void ClearExpressionReferences();

 private:
  void PassFlag(void (TORVConfigObject::*Setter)(bool), bool Value);

  bool FEnabled = true;
  bool FOldEnabled = true;
  int32_t FActionTime = 0;
  int32_t FActionType = 0;
  std::unique_ptr<TORVTriggerColumns> FTriggerColumns;
  std::unique_ptr<TORVTriggerExpr> FConditionExpr;
  std::unique_ptr<TORVTriggerRoutine> FDefinition;
  std::unique_ptr<TORVSelectedColumns> FReferencedOldRowColumns;
  std::unique_ptr<TORVSelectedColumns> FReferencedNewRowColumns;
  std::unique_ptr<TORVSelectedFunctions> FReferencedFunctions;
  std::unique_ptr<TORVSelectedProcedures> FReferencedProcedures;
  bool FPositionChanged = false;
  int32_t FOldPosition = -1;
  TORVCurrency FRoutineVersion;
  TORVString FAlterSQL;
};

// One event list of a trigger collection: it refers to triggers of that
// collection, never marks anything modified and never reacts to changes.
class TORVReferencedTriggers : public TORVCatalogObjects {
 public:
  TORVReferencedTriggers() : TORVCatalogObjects(false) {}

  TORVString GetTypeName() const override { return u"trigger"; }
  void SetModified(bool /*Value*/) override {}
  void ObjectsChanged() override {}

  TORVTrigger* GetTrigger(int32_t Index) const { return static_cast<TORVTrigger*>(FObjects[Index]); }
};

// The triggers of a table or view in firing order. Every change of the
// membership rebuilds the twelve event lists (SetupTriggerInformation):
// each holds, in collection order, the triggers of its time (Before, After,
// Error) for its operation, an All trigger standing in the four lists of
// its time; Instead Of triggers enter none.
class TORVTriggers : public TORVCatalogObjects {
 public:
  TORVTriggers();
  ~TORVTriggers() override;

  TORVString GetTypeName() const override { return u"trigger"; }
  TORVConfigObject* CreateObject() override { return new TORVTrigger(GetCatalog()); }
  void ObjectsChanged() override;
  int32_t GetMemorySize() override;

  // Where CREATE TRIGGER places a trigger for a 1-based position: a
  // position n inserts at n - 1, a negative index at 0, an index at or past
  // the end appends.
  void InsertAtPosition(int32_t Position, TORVTrigger* NewTrigger);
  void SetupTriggerInformation();
  TORVTrigger* GetTrigger(int32_t Index) const { return static_cast<TORVTrigger*>(FObjects[Index]); }

  TORVReferencedTriggers* GetBeforeInsertTriggers() { return List(0); }
  TORVReferencedTriggers* GetAfterInsertTriggers() { return List(1); }
  TORVReferencedTriggers* GetErrorInsertTriggers() { return List(2); }
  TORVReferencedTriggers* GetBeforeUpdateTriggers() { return List(3); }
  TORVReferencedTriggers* GetAfterUpdateTriggers() { return List(4); }
  TORVReferencedTriggers* GetErrorUpdateTriggers() { return List(5); }
  TORVReferencedTriggers* GetBeforeDeleteTriggers() { return List(6); }
  TORVReferencedTriggers* GetAfterDeleteTriggers() { return List(7); }
  TORVReferencedTriggers* GetErrorDeleteTriggers() { return List(8); }
  TORVReferencedTriggers* GetBeforeLoadTriggers() { return List(9); }
  TORVReferencedTriggers* GetAfterLoadTriggers() { return List(10); }
  TORVReferencedTriggers* GetErrorLoadTriggers() { return List(11); }

 private:
  // The list of operation Operation (0 insert, 1 update, 2 delete, 3 load)
  // and time Time (0 before, 1 after, 2 error) is Operation * 3 + Time;
  // made empty on first use.
  TORVReferencedTriggers* List(int32_t Index);

  std::unique_ptr<TORVReferencedTriggers> FEventLists[12];
};

// The information tables "Triggers" and "TriggerColumns".
const TORVConfigObjectsClass& TriggersClass();
const TORVConfigObjectsClass& TriggerColumnsClass();

}  // namespace orv
