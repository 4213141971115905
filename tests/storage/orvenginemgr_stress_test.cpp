// Many threads registering, finding, locking, scanning and freeing sessions
// of one engine at once. Also run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "base/orverror.h"
#include "storage/orvenginemgr.h"
#include "tests/support/orvfakesession.h"

namespace orv {
namespace {

class TStressSession : public test::TFakeSession<TORVEngineSessionManager> {
 public:
  using TFakeSession::TFakeSession;
  bool IncludeInScans() override { return true; }

  int64_t Visits = 0;  // guarded by the session's lock
};

TEST(EngineManagerStress, SessionsComeAndGoWithoutDeadlockOrLoss) {
  constexpr int Workers = 4;
  constexpr int Rounds = 300;
  constexpr int Pinned = 4;
  auto Engine = CreateEngineManager();
  std::vector<TStressSession*> Shared;
  for (int I = 0; I < Pinned; ++I) Shared.push_back(CreateSessionManager<TStressSession>(Engine.get(), false));

  std::atomic<int> Failures{0};
  std::vector<std::thread> Threads;
  for (int W = 0; W < Workers; ++W) {
    Threads.emplace_back([&, W] {
      uint32_t Random = 2463534242u + static_cast<uint32_t>(W);
      for (int Round = 0; Round < Rounds; ++Round) {
        auto* Own = CreateSessionManager<TStressSession>(Engine.get(), true);
        Own->SetReleaseLockOnFree(true);
        const int32_t OwnHandle = Own->GetHandle();
        TORVEngineSessionManager* Found = nullptr;
        if (!Engine->FindSessionManager(OwnHandle, Found, false, 0, false, u"", u"", u"", 0) || Found != Own)
          ++Failures;
        Own->Unlock();

        // A shared session, found by identity and held while it is used.
        TStressSession* Target = Shared[static_cast<size_t>((Round + W) % Pinned)];
        if (Engine->FindSessionManager(Target->GetHandle(), Found, true, ORVInfiniteWait, false,
                                       Target->GetUniqueID(), u"", u"", 0) &&
            Found == Target) {
          ++Target->Visits;
          Found->Unlock();
        } else {
          ++Failures;
        }

        // Any handle at all, briefly; busy sessions may time out.
        Random ^= Random << 13;
        Random ^= Random >> 17;
        Random ^= Random << 5;
        const int32_t Probe = 1 + static_cast<int32_t>(Random % (Pinned + Workers + 2));
        try {
          if (Engine->FindSessionManager(Probe, Found, true, 5, true, u"", u"", u"", 0)) Found->Unlock();
        } catch (const EORVException& E) {
          if (E.ErrorCode() != 506) ++Failures;
        }

        if (Round % 10 == 0) {
          int32_t Handle = 0;
          try {
            while (Engine->NextSessionManager(Handle, Found, OwnHandle, true, 5))
              if (Handle != OwnHandle) Found->Unlock();
          } catch (const EORVException& E) {
            if (E.ErrorCode() != 506) ++Failures;
          }
        }

        Own->Lock(ORVInfiniteWait);
        FreeSessionManager(Own);
      }
    });
  }
  for (auto& Thread : Threads) Thread.join();

  EXPECT_EQ(Failures, 0);
  int64_t Visits = 0;
  for (TStressSession* Session : Shared) {
    TORVEngineSessionManager* Found = nullptr;
    EXPECT_TRUE(Engine->FindSessionManager(Session->GetHandle(), Found, true, 0, false, u"", u"", u"", 0));
    EXPECT_EQ(Found, Session);
    Visits += Session->Visits;
    Session->Unlock();
  }
  EXPECT_EQ(Visits, Workers * Rounds) << "every visit held the session alone";
  int32_t Handle = 0;
  int Registered = 0;
  TORVEngineSessionManager* Found = nullptr;
  while (Engine->NextSessionManager(Handle, Found, 0, false, 0)) ++Registered;
  EXPECT_EQ(Registered, Pinned) << "every worker session was freed and unregistered";
}

}  // namespace
}  // namespace orv
