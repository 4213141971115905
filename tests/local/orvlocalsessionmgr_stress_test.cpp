#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "local/orvlocalsessionmgr.h"
#include "tests/local/orvlocalsessiontest.h"

namespace orv {
namespace {

using LocalSessionThreads = test::LocalSessionTest;

// Sessions of one process on threads of their own log in and out as one
// user: the shared user locks never block each other, and every event
// reaches the log once and whole.
TEST_F(LocalSessionThreads, EveryLoginAndLogoutOfManyThreadsIsLoggedOnce) {
  constexpr int32_t Threads = 8;
  constexpr int32_t Rounds = 200;
  OpenSession(u"Maker")->Close();
  for (const std::string& Failure : test::LoginThreads(Engine.get(), u"Threads", Threads, Rounds))
    EXPECT_EQ(Failure, "");
  std::vector<std::pair<std::string, std::string>> Expected;
  for (int32_t I = 0; I < Threads; ++I) Expected.emplace_back("Threads", "T" + std::to_string(I));
  test::ExpectEveryLoginOnce(*OpenSession(u"Checker"), Expected, Rounds);
}

}  // namespace
}  // namespace orv
