// Sessions for tests: the abstract parts of a session that no test looks
// at, answered plainly, over any session base class. Tests set OpenStoreFn
// to hand out their own store.
#pragma once

#include <functional>

#include "core/orvenv.h"
#include "core/orvsessionmgr.h"

namespace orv::test {

template <typename TBase>
class TFakeSession : public TBase {
 public:
  using TBase::TBase;

  int32_t GetCharacterSet() override { return CharacterSetUnicode; }
  TORVString GetCurrentUserName() override { return u"Tester"; }
  uint32_t GetProgressTickCount() override { return Environment().GetTickCount(); }
  uint32_t CalcElapsedTime(uint32_t BeginTicks, uint32_t EndTicks) override {
    return TORVEnvironment::CalcElapsedTime(BeginTicks, EndTicks);
  }
  TORVString GetCollationName(int32_t /*ID*/) override { return u"ANSI"; }
  void Login(const TORVString& /*UserName*/, const TORVString& /*Password*/) override {}
  void Logout() override {}
  TORVDatabaseManager* OpenDatabase(const TORVString& /*DatabaseName*/, TORVLockType /*LockType*/) override {
    return nullptr;
  }
  TORVStoreManager* OpenStore(const TORVString& StoreName, TORVLockType StoreLockType, bool LocalOnly) override {
    return OpenStoreFn ? OpenStoreFn(StoreName, StoreLockType, LocalOnly) : nullptr;
  }
  void FreeCachedStatementManagers(const TORVString& /*DatabaseName*/) override {}
  void FreeCachedProcedureManagers(const TORVString& /*DatabaseName*/) override {}

  std::function<TORVStoreManager*(const TORVString&, TORVLockType, bool)> OpenStoreFn;
};

}  // namespace orv::test
