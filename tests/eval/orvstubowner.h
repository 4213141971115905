// An owner for managers tested apart from a database: what a test does not
// override either does nothing (user switches, logging) or raises, so a
// test that reaches an unexpected member fails loudly.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <stdexcept>

#include "eval/orvschemaobjmgr.h"

namespace orv::test {

class TStubOwner : public TORVSchemaObjectOwner {
 public:
  TORVLockManager& GetLockManager() override { throw std::logic_error("no lock manager"); }
  TORVSessionManager& GetSessionManager() override { throw std::logic_error("no session"); }
  void CheckPrivilege(TORVPrivilegedSchemaObject*, int32_t, const TORVString&) override {}
  TORVTriggerEvaluator& GetTriggerEvaluator() override { throw std::logic_error("no trigger evaluator"); }
  void HandleException(const std::exception&, int32_t) override {}
  void PushCurrentUser() override {}
  void SetCurrentUser(TORVUser*) override {}
  void PopCurrentUser() override {}
  TORVUser* GetSystemUser() override { return nullptr; }
  TORVExprEvaluator& GetEvaluator() override { throw std::logic_error("no evaluator"); }
  void NewContext() override {}
  void RestoreContext() override {}
  std::unique_ptr<TORVViewQueryManager> CreateViewQueryManager(TORVViewManager&) override {
    throw std::logic_error("no query execution");
  }
};

}  // namespace orv::test
