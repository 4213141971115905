#include "core/orvprogress.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/orvutf8.h"

namespace orv {
namespace {

// Records every report; time is whatever the test sets.
class TRecordingProgress : public TORVProgress {
 public:
  bool DoProgress() override {
    Events.push_back("progress " + std::to_string(GetProgressInfo()->GetPercentDone()));
    return Continue;
  }
  bool DoAbortCheck() override {
    Events.push_back("abort check");
    return Continue;
  }
  void DoStatus(const TORVString& Msg) override { Events.push_back("status " + StringToUtf8(Msg)); }
  void DoLog(const TORVString& Msg) override { Events.push_back("log " + StringToUtf8(Msg)); }

  std::vector<std::string> Events;
  uint32_t Now = 0;
  bool Continue = true;

 protected:
  uint32_t GetTickCount() const override { return Now; }
};

class Progress : public ::testing::Test {
 protected:
  void SetUp() override { FProgress.AfterConstruction(); }
  TRecordingProgress FProgress;
};

TEST_F(Progress, NestedPairsReportZeroAndHundredOnlyForTheOutermost) {
  FProgress.Now = 1000;
  FProgress.Start();
  FProgress.Now = 1200;
  FProgress.Start();
  FProgress.Finish();
  EXPECT_EQ(FProgress.GetTotalTime(), 0u) << "still running";
  FProgress.Now = 1750;
  FProgress.Finish();
  EXPECT_EQ(FProgress.Events,
            (std::vector<std::string>{"progress 0", "abort check", "abort check", "progress 100"}));
  EXPECT_EQ(FProgress.GetTotalTime(), 750u);
  FProgress.Finish();  // nothing runs
  EXPECT_EQ(FProgress.Events.size(), 4u);
  EXPECT_EQ(FProgress.GetUseCount(), 0);
}

TEST_F(Progress, TotalTimeIsZeroBeforeAnyOperationFinished) { EXPECT_EQ(FProgress.GetTotalTime(), 0u); }

TEST_F(Progress, CheckIntervalReportsOncePerIntervalOnEachChannel) {
  FProgress.Now = 0xFFFFFF00u;  // the interval spans the wrap of the tick counter
  FProgress.Start();
  FProgress.GetProgressInfo()->SetPercentDone(40);
  FProgress.Now += 999;
  EXPECT_TRUE(FProgress.CheckInterval());
  FProgress.Now += 1;
  EXPECT_TRUE(FProgress.CheckInterval());
  FProgress.Now += 500;
  FProgress.Start();  // nested: the abort channel, still at its start ticks
  FProgress.Now += 500;
  FProgress.Continue = false;
  EXPECT_FALSE(FProgress.CheckInterval()) << "the abort channel's interval passed";
  EXPECT_EQ(FProgress.Events,
            (std::vector<std::string>{"progress 0", "progress 40", "abort check", "abort check"}));
}

TEST_F(Progress, UpdateProgressReportsWithoutWaiting) {
  FProgress.Start();
  FProgress.GetProgressInfo()->SetPercentDone(5);
  EXPECT_TRUE(FProgress.UpdateProgress());
  FProgress.Continue = false;
  EXPECT_FALSE(FProgress.UpdateProgress());
  EXPECT_EQ(FProgress.Events, (std::vector<std::string>{"progress 0", "progress 5", "progress 5"}));
}

TEST_F(Progress, StatusPassesOnlyOutsideOperationsOrAsOutermostUserStatus) {
  FProgress.Status(u"idle", false);
  FProgress.Start();
  FProgress.Status(u"engine", false);
  FProgress.Status(u"user", true);
  FProgress.Start();
  FProgress.Status(u"nested user", true);
  FProgress.Log(u"always");
  EXPECT_EQ(FProgress.Events, (std::vector<std::string>{"status idle", "progress 0", "status user", "abort check",
                                                        "log always"}));
}

}  // namespace
}  // namespace orv
