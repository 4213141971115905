// What view and routine managers need of the session that opened their
// object beyond the schema-object owner interface: the switch to the
// configuration's system user, a fresh evaluation context, the session's
// evaluator, the view query manager of query execution and the session's
// exception log. The local database manager implements it beside
// TORVSchemaObjectOwner.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>

namespace orv {

class TORVExprEvaluator;
class TORVSchemaObjectOwner;
class TORVViewManager;
class TORVViewQueryManager;

class TORVObjectManagerSession {
 public:
  virtual ~TORVObjectManagerSession() = default;

  // The current user is saved and the system user made current until the
  // matching PopCurrentUser; pairs nest. Use TORVSystemUserScope.
  virtual void PushSystemUser() = 0;
  virtual void PopCurrentUser() = 0;
  // A copy of the session's context becomes the evaluator's current one
  // until the matching RestoreContext; pairs nest. Use
  // TORVManagerContextScope.
  virtual void NewContext() = 0;
  virtual void RestoreContext() = 0;
  virtual TORVExprEvaluator& GetEvaluator() = 0;
  virtual std::unique_ptr<TORVViewQueryManager> CreateViewQueryManager(TORVViewManager& Manager) = 0;
  // Logs Exception under FunctionCode.
  virtual void HandleException(const std::exception& Exception, int32_t FunctionCode) = 0;
};

class TORVSystemUserScope {
 public:
  explicit TORVSystemUserScope(TORVObjectManagerSession& Session) : FSession(Session) { FSession.PushSystemUser(); }
  ~TORVSystemUserScope() { FSession.PopCurrentUser(); }
  TORVSystemUserScope(const TORVSystemUserScope&) = delete;
  TORVSystemUserScope& operator=(const TORVSystemUserScope&) = delete;

 private:
  TORVObjectManagerSession& FSession;
};

class TORVManagerContextScope {
 public:
  explicit TORVManagerContextScope(TORVObjectManagerSession& Session) : FSession(Session) { FSession.NewContext(); }
  ~TORVManagerContextScope() { FSession.RestoreContext(); }
  TORVManagerContextScope(const TORVManagerContextScope&) = delete;
  TORVManagerContextScope& operator=(const TORVManagerContextScope&) = delete;

 private:
  TORVObjectManagerSession& FSession;
};

// The session interface of Owner; a manager opened by anything else is a
// broken internal contract.
TORVObjectManagerSession& ManagerSessionOf(TORVSchemaObjectOwner* Owner);

}  // namespace orv
