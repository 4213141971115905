// An open database of a session as the engine's users see it: it prepares
// statements, procedures and scripts, opens tables and runs transactions,
// and keeps what it handed out in handle tables that remote requests name.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/orvtype.h"
#include "core/orvcommon.h"
#include "core/orvhandle.h"
#include "core/orvlocktype.h"

namespace orv {

class TORVCursor;
class TORVStatementManager;
class TORVProcedureManager;
class TORVScriptManager;

using TORVStringsArray = std::vector<TORVString>;

// The four tables own what is registered in them: Close and the destructor
// free scripts, procedures, statements and cursors, in that order.
class TORVDatabaseManager : public TORVHandleObject {
 public:
  static constexpr int32_t MaximumHandles = 4096;

  TORVDatabaseManager();
  ~TORVDatabaseManager() override;

  virtual void Open(TORVLockType DatabaseLockType);
  virtual void Close(bool ForceClose);
  virtual TORVCursor* OpenTable(const TORVString& SchemaName, const TORVString& TableName, bool OpenReadOnly,
                                bool OpenExclusive) = 0;
  // A prepared manager that this database keeps until it is handed back
  // with the matching Free..., which releases it and clears the variable.
  virtual TORVStatementManager* PrepareStatement(const TORVString& StatementToPrepare) = 0;
  virtual TORVProcedureManager* PrepareProcedure(const TORVString& ProcedureToPrepare) = 0;
  virtual TORVScriptManager* PrepareScript(const TORVString& ScriptToPrepare) = 0;
  virtual void FreeStatementManager(TORVStatementManager*& StatementManager) = 0;
  virtual void FreeProcedureManager(TORVProcedureManager*& ProcedureManager) = 0;
  virtual void FreeScriptManager(TORVScriptManager*& ScriptManager) = 0;
  // An empty list covers every table.
  virtual void StartTransaction(const TORVStringsArray& TableNames, int32_t LockTimeout) = 0;
  virtual void Commit(bool Flush, bool KeepLocks) = 0;
  virtual void Rollback() = 0;

  bool GetOpened() const { return FOpened; }
  TORVHandleObjects& GetCursors() const { return *FCursors; }
  TORVHandleObjects& GetStatementManagers() const { return *FStatementManagers; }
  TORVHandleObjects& GetProcedureManagers() const { return *FProcedureManagers; }
  TORVHandleObjects& GetScriptManagers() const { return *FScriptManagers; }

 protected:
  void SetOpened(bool Value) { FOpened = Value; }

 private:
  bool FOpened = false;
  std::unique_ptr<TORVHandleObjects> FCursors;
  std::unique_ptr<TORVHandleObjects> FStatementManagers;
  std::unique_ptr<TORVHandleObjects> FProcedureManagers;
  std::unique_ptr<TORVHandleObjects> FScriptManagers;
};

}  // namespace orv
