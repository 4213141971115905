// Cost of a privilege check: the same user asking again on one object (the
// effective set is cached), against a check that walks an object with 100
// privileges granted to 25 roles, 5 of which the user holds.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvconfig.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvprivilege.h"
#include "catalog/orvuser.h"
#include "core/orvliteral.h"

namespace {

using namespace orv;

struct TPrivilegeSetup {
  std::unique_ptr<TORVConfig> Config = std::make_unique<TORVConfig>();
  TORVUser* User = nullptr;
  TORVDatabaseContainer* Database = nullptr;

  TPrivilegeSetup() {
    Config->SetName(u"ORVConfig");
    Config->SetCharacterSet(CharacterSetUnicode);
    auto NewUser = std::make_unique<TORVUser>(Config.get());
    NewUser->SetName(u"Bench");
    NewUser->SetPassword(u"secret");
    Config->GetUsers().Add(NewUser.get());
    User = NewUser.release();
    auto NewDatabase = std::make_unique<TORVDatabaseContainer>(Config.get(), Config->GetSystemUser());
    NewDatabase->SetName(u"Sales");
    Config->GetDatabases().Add(NewDatabase.get());
    Database = NewDatabase.release();
    TORVUser* System = Config->GetSystemUser();
    for (int32_t Index = 0; Index < 25; ++Index) {
      auto Role = std::make_unique<TORVRole>(Config.get());
      Role->SetName(u"Role" + IntToString(Index));
      Config->GetRoles().Add(Role.get());
      TORVRole* Added = Role.release();
      for (int32_t Number = PrivilegeSelect; Number <= PrivilegeDelete; ++Number)
        Database->GrantPrivilege(System, Added, Number);
      if (Index % 5 == 4) User->GrantRole(System, Added);
    }
  }
};

void BM_CheckPrivilegeCached(benchmark::State& state) {
  TPrivilegeSetup Setup;
  benchmark::DoNotOptimize(Setup.Database->CheckPrivilege(Setup.User, PrivilegeSelect));
  for (auto _ : state) benchmark::DoNotOptimize(Setup.Database->CheckPrivilege(Setup.User, PrivilegeUpdate));
  state.counters["privileges"] = Setup.Database->GetPrivileges().GetCount();
}
BENCHMARK(BM_CheckPrivilegeCached);

void BM_CheckPrivilegeCold(benchmark::State& state) {
  TPrivilegeSetup Setup;
  for (auto _ : state) {
    Setup.Database->ClearEffectivePrivileges();
    benchmark::DoNotOptimize(Setup.Database->CheckPrivilege(Setup.User, PrivilegeUpdate));
  }
  state.counters["privileges"] = Setup.Database->GetPrivileges().GetCount();
}
BENCHMARK(BM_CheckPrivilegeCold);

}  // namespace
