// The managers a database keeps for the schema objects (tables, views,
// routines) its sessions opened: when a manager's run-time state is built,
// reused, refreshed and torn down, and the per-database collections that
// key the managers by the handle each schema object stores.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvcursor.h"
#include "core/orvcommon.h"
#include "core/orvhandle.h"
#include "core/orvlocktype.h"

namespace orv {

class TORVCompressionManager;
class TORVEngineManagerSettings;
class TORVExprEvaluator;
class TORVExprToken;
class TORVFileManager;
class TORVLockManager;
class TORVPrivilegedSchemaObject;
class TORVSchemaObjectManagers;
class TORVRowValues;
class TORVSessionManager;
class TORVTriggerEvaluator;
class TORVUser;
class TORVValue;
class TORVViewManager;
class TORVViewQueryManager;
class TORVVirtualTableManager;

// Undoes after a failure that is already on its way; that first failure is
// the one that passes on.
template <typename TUndo>
void UndoAfterFailure(TUndo Undo) {
  try {
    Undo();
  } catch (...) {
  }
}

// What a manager reaches of the database manager that opened its object.
// The local database manager implements it; managers live below it.
class TORVSchemaObjectOwner {
 public:
  virtual ~TORVSchemaObjectOwner() = default;
  virtual TORVLockManager& GetLockManager() = 0;
  virtual TORVSessionManager& GetSessionManager() = 0;
  // Raises the session's privilege error when the current user lacks
  // Privilege on Object.
  virtual void CheckPrivilege(TORVPrivilegedSchemaObject* Object, int32_t Privilege,
                              const TORVString& StatementText) = 0;

  // What a base table's manager and its files reach of the database and
  // its session. An owner that opens no base table leaves them: reaching
  // one then is a broken contract (std::logic_error).
  virtual TORVFileManager* GetFileManagerForSchema(const TORVString& SchemaName);
  // The database's table managers, through which a constraint check
  // reaches the other tables its foreign keys involve.
  virtual TORVSchemaObjectManagers& GetTableManagers();
  virtual TORVEngineManagerSettings& GetSessionSettings();
  virtual TORVCompressionManager& GetCompressionManager();
  virtual int32_t GetSessionHandle();
  virtual TORVString GetDatabaseName();
  virtual TORVString GetDatabaseFullPath();
  virtual bool GetDatabaseSessionIsolation();
  virtual void LogEvent(int32_t Category, int32_t FunctionCode, int32_t ErrorCode, const TORVString& Description);
  virtual void BackupError(const TORVString& Msg);
  virtual void RestoreError(const TORVString& Msg);
  // Evaluates Tokens in a new evaluator context whose current row is
  // Values; the context is restored also when the evaluation fails.
  virtual void EvaluateRow(TORVRowValues& Values, TORVExprToken* Tokens, TORVValue& Value);

  // What running triggers reaches of the session.
  virtual TORVTriggerEvaluator& GetTriggerEvaluator() = 0;
  // Logs Exception as the session's error event with FunctionCode.
  virtual void HandleException(const std::exception& Exception, int32_t FunctionCode) = 0;
  // The session's stack of current users.
  virtual void PushCurrentUser() = 0;
  virtual void SetCurrentUser(TORVUser* User) = 0;
  virtual void PopCurrentUser() = 0;
  // The configuration's system user, whose rights trigger bodies run with.
  virtual TORVUser* GetSystemUser() = 0;

  // What view and routine managers reach of the session: its evaluator, a
  // copy of its context made current until the matching RestoreContext
  // (pairs nest; use TORVManagerContextScope), and query execution's
  // manager of a view's query.
  virtual TORVExprEvaluator& GetEvaluator() = 0;
  virtual void NewContext() = 0;
  virtual void RestoreContext() = 0;
  virtual std::unique_ptr<TORVViewQueryManager> CreateViewQueryManager(TORVViewManager& Manager) = 0;

  // Query execution's cursor over Manager's object, which takes over one
  // use of Manager. Nil from an owner that makes no local cursors (or no
  // indexed ones).
  virtual std::unique_ptr<TORVCursor> CreateLocalCursor(TORVVirtualTableManager& /*Manager*/,
                                                        const TORVString& /*CursorName*/, bool /*OpenReadOnly*/,
                                                        bool /*OpenExclusive*/, bool /*Indexed*/) {
    return nullptr;
  }
};

// The configuration's system user is current for the scope's life; the
// user it replaced comes back on every path.
class TORVSystemUserScope {
 public:
  explicit TORVSystemUserScope(TORVSchemaObjectOwner& Owner) : FOwner(Owner) {
    FOwner.PushCurrentUser();
    try {
      FOwner.SetCurrentUser(FOwner.GetSystemUser());
    } catch (...) {
      FOwner.PopCurrentUser();
      throw;
    }
  }
  ~TORVSystemUserScope() { FOwner.PopCurrentUser(); }
  TORVSystemUserScope(const TORVSystemUserScope&) = delete;
  TORVSystemUserScope& operator=(const TORVSystemUserScope&) = delete;

 private:
  TORVSchemaObjectOwner& FOwner;
};

class TORVManagerContextScope {
 public:
  explicit TORVManagerContextScope(TORVSchemaObjectOwner& Owner) : FOwner(Owner) { FOwner.NewContext(); }
  ~TORVManagerContextScope() { FOwner.RestoreContext(); }
  TORVManagerContextScope(const TORVManagerContextScope&) = delete;
  TORVManagerContextScope& operator=(const TORVManagerContextScope&) = delete;

 private:
  TORVSchemaObjectOwner& FOwner;
};

// States: created (not opened) -> opened and initialized (use count > 0)
// -> idle (use count 0; still opened when kept open, compiled state reset)
// -> closed -> removed and freed.
// Invariants: FInitialized implies FOpened; FUseCount > 0 implies FOpened
// and FInitialized; FOpening and FClosing are set only inside Open and
// Close. A manager belongs to one database manager of one session and is
// used by one thread at a time: no locks; other sessions are held off by
// the object locks of the lock manager.
class TORVSchemaObjectManager : public TORVHandleObject {
 public:
  TORVSchemaObjectManager(TORVSchemaObjectOwner* OwnerDatabaseManager,
                          TORVPrivilegedSchemaObject* SchemaObjectToManage);

  // Whether the physical state stays open when nobody uses the manager.
  virtual bool GetKeepOpen() { return false; }
  // The hooks of the open and close protocol; they do nothing here.
  virtual void InternalOpen() {}
  // Re-reads what other sessions may have changed while the manager idled.
  virtual void InternalReopen() {}
  virtual void InternalOpenReferenced() {}
  virtual void InternalInitialize() {}
  virtual void InternalReset() {}
  virtual void InternalCloseReferenced() {}
  virtual void InternalClose() {}
  // Withdraws the keep-open choice and closes for good, unlocking.
  virtual void BeforeDestroy();

  // A re-entrant Open (through a constraint or trigger that refers back to
  // the object) only counts one more user.
  virtual void Open(bool OpenReferenced);
  virtual void Close(bool ForceClose, bool CloseReferenced, bool UnlockAfterClose);

  // True only when a new lock was taken. An exclusive request on an idle
  // kept-open object first gives back the shared lock this session caches
  // for it, which would otherwise block the request.
  bool LockObject(TORVLockType LockType);
  void UnlockObject(TORVLockType LockType);
  // UnlockObject while another failure is on its way.
  void UnlockAfterFailure(TORVLockType LockType);

  // Transactions and batch updates keep an object open for their duration
  // and give back the earlier choice at their end.
  void SaveKeepOpen() { FLastKeepOpen = FKeepOpen; }
  void RestoreKeepOpen() { FKeepOpen = FLastKeepOpen; }
  void CheckPrivilege(int32_t Privilege, const TORVString& StatementText);

  bool DoProgress(int32_t PercentDone);
  void DoStatusMessage(const TORVString& Text, bool UserStatus);
  void DoLogMessage(const TORVString& Text);

  TORVSessionManager& GetSessionManager() const;
  TORVSchemaObjectOwner* GetDatabaseManager() const { return FDatabaseManager; }
  TORVPrivilegedSchemaObject* GetSchemaObject() const { return FSchemaObject; }
  bool GetInitialized() const { return FInitialized; }
  bool GetOpened() const { return FOpened; }
  bool GetOpening() const { return FOpening; }
  bool GetClosing() const { return FClosing; }
  int32_t GetUseCount() const { return FUseCount; }
  int32_t GetRefOpenCount() const { return FRefOpenCount; }
  bool GetKeepOpenFlag() const { return FKeepOpen; }
  void SetKeepOpen(bool Value) { FKeepOpen = Value; }

 protected:
  TORVSchemaObjectOwner* FDatabaseManager;
  TORVPrivilegedSchemaObject* FSchemaObject;
  bool FInitialized = false;
  bool FOpened = false;
  bool FOpening = false;
  bool FClosing = false;
  int32_t FUseCount = 0;
  int32_t FRefOpenCount = 0;
  bool FKeepOpen = false;
  bool FLastKeepOpen = false;

 private:
  // Builds the compiled state; a failure resets what was built.
  void Initialize();
  // What every physical close ends with, also when InternalClose failed.
  void FinishClose(bool UnlockAfterClose, bool Failing);
};

// The managers of one kind of schema object of one database. The handle
// table owns the managers registered in it; each schema object stores the
// handle of its manager (0 when none). Used by the thread of the owning
// session only: the table is not lockable.
class TORVSchemaObjectManagers : public TORVBaseObject {
 public:
  explicit TORVSchemaObjectManagers(TORVSchemaObjectOwner* OwnerDatabaseManager);
  ~TORVSchemaObjectManagers() override;

  // A manager of the right class for SchemaObject.
  virtual std::unique_ptr<TORVSchemaObjectManager> CreateNew(TORVSchemaObjectOwner* OwnerDatabaseManager,
                                                             TORVPrivilegedSchemaObject* SchemaObject) = 0;
  virtual int32_t GetMaximumCapacity() const = 0;

  // The manager registered for SchemaObject, or a new one registered under
  // the lowest free handle. A manager is made whenever none is registered.
  TORVSchemaObjectManager* Get(TORVPrivilegedSchemaObject* SchemaObject, bool CreateIfNotFound);
  // Locks and opens SchemaObject's manager. A failure gives back the lock
  // this call took and removes a manager that nobody uses.
  TORVSchemaObjectManager* Open(TORVPrivilegedSchemaObject* SchemaObject, TORVLockType LockType);
  void Remove(TORVPrivilegedSchemaObject* SchemaObject);
  void CloseAllUnused();
  // Also withdraws every keep-open choice.
  void CloseAll();
  void RemoveAllUnused();
  // Closes and frees every manager in handle order; the first failure
  // passes on once every manager is freed.
  void FreeAll();
  // One step over the registered managers in handle order (start with 0).
  bool NextManager(int32_t& Handle, TORVSchemaObjectManager*& Manager);

  // The number of registered managers.
  int32_t GetCount();
  TORVSchemaObjectOwner* GetDatabaseManager() const { return FDatabaseManager; }

 private:
  TORVHandleObjects& Managers();
  // Unregisters Manager, clears its object's handle, closes it for good and
  // frees it, also when the close fails.
  void Destroy(TORVSchemaObjectManager* Manager);

  TORVSchemaObjectOwner* FDatabaseManager;
  // Made at first use, since its capacity is the subclass's answer.
  std::unique_ptr<TORVHandleObjects> FManagers;
};

// The table managers of a database: a result-set table gets the query
// result kind, every other base table the stored kind.
class TORVTableManagers : public TORVSchemaObjectManagers {
 public:
  static constexpr int32_t MaximumCapacity = 4096;

  using TORVSchemaObjectManagers::TORVSchemaObjectManagers;

  std::unique_ptr<TORVSchemaObjectManager> CreateNew(TORVSchemaObjectOwner* OwnerDatabaseManager,
                                                     TORVPrivilegedSchemaObject* SchemaObject) override;
  int32_t GetMaximumCapacity() const override { return MaximumCapacity; }

 protected:
  // The two kinds; a kind whose manager this build cannot make raises the
  // table's metadata error naming the kind.
  virtual std::unique_ptr<TORVSchemaObjectManager> CreateTableManager(TORVSchemaObjectOwner* OwnerDatabaseManager,
                                                                      TORVPrivilegedSchemaObject* SchemaObject);
  virtual std::unique_ptr<TORVSchemaObjectManager> CreateQueryResultTableManager(
      TORVSchemaObjectOwner* OwnerDatabaseManager, TORVPrivilegedSchemaObject* SchemaObject);
};

}  // namespace orv
