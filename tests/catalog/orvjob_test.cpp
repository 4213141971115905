#include "catalog/orvjob.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "catalog/orvcatalog.h"
#include "catalog/orvconfig.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvuser.h"
#include "core/orvdatetime.h"
#include "core/orvstream.h"
#include "sql/orvbuilder.h"
#include "sql/orvparser.h"
#include "sql/orvvalidater.h"
#include "tests/catalog/orvconfigroot.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvsqltreedump.h"

namespace orv {
namespace {

using test::ErrorOf;

int32_t Day(int32_t Year, int32_t Month, int32_t DayOfMonth) {
  int32_t Date = 0;
  EXPECT_TRUE(MakeDate({Year, Month, DayOfMonth}, Date, false));
  return Date;
}

int32_t At(int32_t Hour, int32_t Minute, int32_t Second = 0) {
  return static_cast<int32_t>(Hour * MSecsPerHour + Minute * MSecsPerMinute + Second * MSecsPerSecond);
}

int64_t Stamp(int32_t Date, int32_t Time) { return Date * MSecsPerDay + Time; }

class JobsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Config = test::NewRoot();
    Job = NewJob(u"Rotate");
  }

  // A job as CREATE JOB makes one: the whole of 2026 to 2028, all day, on
  // every weekday and month, with the clock at Now.
  TORVJob* NewJob(const TORVString& Name) {
    auto Made = std::make_unique<TORVJob>(Config.get());
    Made->SetName(Name);
    Made->SetStartDate(Day(2026, 1, 1));
    Made->SetEndDate(Day(2028, 12, 31));
    Made->SetStartTime(0);
    Made->SetEndTime(At(23, 59, 59));
    for (int32_t Index = 1; Index <= 7; ++Index) Made->SetDays(Index, true);
    for (int32_t Index = 1; Index <= 12; ++Index) Made->SetMonths(Index, true);
    Made->SetInterval(1);
    Made->SetLockSlot(Config->GetNewJobLockSlot());
    Made->SetClock([this] { return Now; });
    Config->GetJobs().Add(Made.get());
    return Made.release();
  }

  std::unique_ptr<TORVConfig> Config;
  TORVJob* Job = nullptr;
  int64_t Now = 0;
};

TEST_F(JobsTest, RequiresSchedulingFollowsEachRunTypesRule) {
  const int32_t Apr29 = Day(2026, 4, 29);
  const int32_t Jan5 = Day(2026, 1, 5);
  struct TCase {
    const char* What;
    std::function<void(TORVJob&)> Setup;
    int64_t LastRun;
    int64_t Now;
    bool IsStartup;
    bool Due;
  };
  auto Monthly31 = [](TORVJob& J) {
    J.SetRunType(jrMonthly);
    J.SetDayNumber(31);
  };
  auto LastFriday = [](TORVJob& J) {
    J.SetRunType(jrMonthly);
    J.SetDayOfMonth(5);
    J.SetDayOfWeek(5);
    for (int32_t Month = 1; Month <= 12; ++Month) J.SetMonths(Month, Month == 7);
  };
  auto Every = [](int32_t RunType, int32_t Interval, int32_t StartTime) {
    return [=](TORVJob& J) {
      J.SetRunType(RunType);
      J.SetInterval(Interval);
      J.SetStartTime(StartTime);
    };
  };
  const std::vector<TCase> Cases = {
      {"day 31 on the 30th of April", Monthly31, 0, Stamp(Day(2026, 4, 30), At(9, 0)), false, true},
      {"day 31 not on the 29th of April", Monthly31, 0, Stamp(Apr29, At(9, 0)), false, false},
      {"day 31 on the 28th of a short February", Monthly31, 0, Stamp(Day(2027, 2, 28), At(9, 0)), false, true},
      {"day 31 not on the 28th of a leap February", Monthly31, 0, Stamp(Day(2028, 2, 28), At(9, 0)), false, false},
      {"day 31 on the 29th of a leap February", Monthly31, 0, Stamp(Day(2028, 2, 29), At(9, 0)), false, true},
      {"last Friday of July", LastFriday, 0, Stamp(Day(2026, 7, 31), At(9, 0)), false, true},
      {"not an earlier Friday of July", LastFriday, 0, Stamp(Day(2026, 7, 24), At(9, 0)), false, false},
      {"not the last Friday of an unselected month", LastFriday, 0, Stamp(Day(2026, 10, 30), At(9, 0)), false, false},
      {"not twice in July", LastFriday, Stamp(Day(2026, 7, 31), At(1, 0)), Stamp(Day(2026, 7, 31), At(9, 0)), false,
       false},
      {"daily, run today", [](TORVJob& J) { J.SetRunType(jrDaily); }, Stamp(Jan5, At(8, 0)), Stamp(Jan5, At(23, 0)),
       false, false},
      {"daily, run yesterday", [](TORVJob& J) { J.SetRunType(jrDaily); }, Stamp(Jan5, At(8, 0)),
       Stamp(Jan5 + 1, At(0, 1)), false, true},
      {"daily, not on an unflagged weekday", [](TORVJob& J) { J.SetRunType(jrDaily), J.SetDays(2, false); }, 0,
       Stamp(Day(2026, 1, 6), At(9, 0)), false, false},
      {"30 minutes, 15 after 23:50", Every(jrEveryMinutes, 30, 0), Stamp(Jan5, At(23, 50)),
       Stamp(Jan5 + 1, At(0, 5)), false, false},
      {"30 minutes, 30 after 23:50", Every(jrEveryMinutes, 30, 0), Stamp(Jan5, At(23, 50)),
       Stamp(Jan5 + 1, At(0, 20)), false, true},
      {"2 hours after 22:10, minute before the start's", Every(jrEveryHours, 2, At(0, 15)), Stamp(Jan5, At(22, 10)),
       Stamp(Jan5 + 1, At(1, 5)), false, false},
      {"2 hours after 22:10, from midnight", Every(jrEveryHours, 2, At(0, 15)), Stamp(Jan5, At(22, 10)),
       Stamp(Jan5 + 1, At(0, 15)), false, true},
      {"2 hours after 22:10, one hour later", Every(jrEveryHours, 2, 0), Stamp(Jan5, At(22, 10)),
       Stamp(Jan5, At(23, 50)), false, false},
      {"hourly before minute 30", Every(jrHourly, 1, At(8, 30)), 0, Stamp(Jan5, At(9, 29)), false, false},
      {"hourly from minute 30", Every(jrHourly, 1, At(8, 30)), 0, Stamp(Jan5, At(9, 30)), false, true},
      {"hourly, twice in one hour", Every(jrHourly, 1, At(8, 30)), Stamp(Jan5, At(9, 31)), Stamp(Jan5, At(9, 59)),
       false, false},
      {"hourly, the next hour", Every(jrHourly, 1, At(8, 30)), Stamp(Jan5, At(9, 31)), Stamp(Jan5, At(10, 30)), false,
       true},
      {"every 3 days, after 2", Every(jrEveryDays, 3, 0), Stamp(Jan5, At(9, 0)), Stamp(Jan5 + 2, At(9, 0)), false,
       false},
      {"every 3 days, after 3", Every(jrEveryDays, 3, 0), Stamp(Jan5, At(9, 0)), Stamp(Jan5 + 3, At(0, 0)), false,
       true},
      {"every 2 weeks, after 13 days", Every(jrEveryWeeks, 2, 0), Stamp(Jan5, At(9, 0)), Stamp(Jan5 + 13, At(9, 0)),
       false, false},
      {"every 2 weeks, after 14 days", Every(jrEveryWeeks, 2, 0), Stamp(Jan5, At(9, 0)), Stamp(Jan5 + 14, At(9, 0)),
       false, true},
      {"once, never run", [](TORVJob& J) { J.SetRunType(jrOnce); }, 0, Stamp(Jan5, At(9, 0)), false, true},
      {"once, run before", [](TORVJob& J) { J.SetRunType(jrOnce); }, 1, Stamp(Jan5, At(9, 0)), false, false},
      {"once, outside the dates", [](TORVJob& J) { J.SetRunType(jrOnce); }, 0, Stamp(Day(2029, 1, 1), At(9, 0)),
       false, false},
      {"once, outside the times", [](TORVJob& J) { J.SetRunType(jrOnce), J.SetStartTime(At(10, 0)); }, 0,
       Stamp(Jan5, At(9, 0)), false, false},
      {"once, at server start", [](TORVJob& J) { J.SetRunType(jrOnce); }, 0, Stamp(Jan5, At(9, 0)), true, false},
      {"server start, starting", [](TORVJob& J) { J.SetRunType(jrAtServerStart); }, 5, Stamp(Jan5, At(9, 0)), true,
       true},
      {"server start, outside the dates", [](TORVJob& J) { J.SetRunType(jrAtServerStart); }, 0,
       Stamp(Day(2025, 12, 31), At(9, 0)), true, false},
      {"server start, not starting", [](TORVJob& J) { J.SetRunType(jrAtServerStart); }, 0, Stamp(Jan5, At(9, 0)),
       false, false},
      // An interval below 1 counts as 1: at most once a minute, a day.
      {"0 minutes, same minute", Every(jrEveryMinutes, 0, 0), Stamp(Jan5, At(10, 0, 10)), Stamp(Jan5, At(10, 0, 50)),
       false, false},
      {"0 minutes, next minute", Every(jrEveryMinutes, 0, 0), Stamp(Jan5, At(10, 0, 10)), Stamp(Jan5, At(10, 1)),
       false, true},
      {"-5 days, same day", Every(jrEveryDays, -5, 0), Stamp(Jan5, At(1, 0)), Stamp(Jan5, At(9, 0)), false, false},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.What);
    TORVJob* Subject = NewJob(u"Case");
    Case.Setup(*Subject);
    Subject->SetLastRun(Case.LastRun);
    Now = Case.Now;
    EXPECT_EQ(Subject->RequiresScheduling(Case.IsStartup), Case.Due);
    Config->GetJobs().Remove(Subject);
    delete Subject;
  }
}

TEST_F(JobsTest, GetNextRunPredictsEachRunType) {
  // Wednesday 2026-03-04 at 10:00, inside an 08:00 to 17:00 window.
  const int32_t Wed = Day(2026, 3, 4);
  struct TCase {
    const char* What;
    std::function<void(TORVJob&)> Setup;
    int64_t LastRun;
    int64_t Next;
  };
  auto OnlyDay = [](int32_t Flagged) {
    return [=](TORVJob& J) {
      for (int32_t Index = 1; Index <= 7; ++Index) J.SetDays(Index, Index == Flagged);
    };
  };
  auto Type = [](int32_t RunType, int32_t Interval, std::function<void(TORVJob&)> More = nullptr) {
    return [=](TORVJob& J) {
      J.SetRunType(RunType);
      J.SetInterval(Interval);
      if (More) More(J);
    };
  };
  const std::vector<TCase> Cases = {
      {"once, now", Type(jrOnce, 0), 0, Stamp(Wed, At(10, 0))},
      {"once, already run", Type(jrOnce, 0), Stamp(Wed, At(9, 0)), 0},
      {"daily on Monday", Type(jrDaily, 0, OnlyDay(1)), 0, Stamp(Day(2026, 3, 9), At(8, 0))},
      {"weekly on Friday", Type(jrWeekly, 0, OnlyDay(5)), Stamp(Wed, At(9, 0)), Stamp(Day(2026, 3, 6), At(8, 0))},
      {"monthly on day 31 of April", Type(jrMonthly, 0,
                                          [](TORVJob& J) {
                                            J.SetDayNumber(31);
                                            for (int32_t M = 1; M <= 12; ++M) J.SetMonths(M, M == 4);
                                          }),
       0, Stamp(Day(2026, 4, 30), At(8, 0))},
      {"monthly on the second Tuesday of January and July", Type(jrMonthly, 0,
                                                                 [](TORVJob& J) {
                                                                   J.SetDayOfMonth(2);
                                                                   J.SetDayOfWeek(2);
                                                                   for (int32_t M = 1; M <= 12; ++M)
                                                                     J.SetMonths(M, M == 1 || M == 7);
                                                                 }),
       0, Stamp(Day(2026, 7, 14), At(8, 0))},
      {"every 3 days", Type(jrEveryDays, 3), Stamp(Wed - 1, At(9, 0)), Stamp(Wed + 2, At(8, 0))},
      {"every 2 weeks on Wednesday", Type(jrEveryWeeks, 2, OnlyDay(3)), Stamp(Wed, At(9, 0)),
       Stamp(Day(2026, 3, 18), At(8, 0))},
      {"hourly from minute 30", Type(jrHourly, 0, [](TORVJob& J) { J.SetStartTime(At(8, 30)); }),
       Stamp(Wed, At(10, 0)), Stamp(Wed, At(11, 30))},
      {"every 2 hours from minute 30", Type(jrEveryHours, 2, [](TORVJob& J) { J.SetStartTime(At(8, 30)); }),
       Stamp(Wed, At(10, 0)), Stamp(Wed, At(12, 30))},
      {"every 15 minutes at the start's second", Type(jrEveryMinutes, 15,
                                                      [](TORVJob& J) { J.SetStartTime(At(8, 0, 20)); }),
       Stamp(Wed, At(10, 0)), Stamp(Wed, At(10, 15, 20))},
      {"every 0 minutes returns", Type(jrEveryMinutes, 0), Stamp(Wed, At(10, 0)), Stamp(Wed, At(10, 1))},
      {"hourly past the end of the day starts at the start time",
       Type(jrHourly, 0, [](TORVJob& J) { J.SetStartTime(At(8, 30)), J.SetEndTime(At(23, 59, 59)); }),
       Stamp(Wed, At(23, 40)), Stamp(Wed + 1, At(8, 30))},
      {"at server start", Type(jrAtServerStart, 0), 0, 0},
      {"an empty time window", Type(jrDaily, 0, [](TORVJob& J) { J.SetEndTime(At(7, 0)); }), 0, 0},
      {"no weekday flagged", Type(jrWeekly, 0, OnlyDay(0)), 0, 0},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.What);
    TORVJob* Subject = NewJob(u"Case");
    Subject->SetStartTime(At(8, 0));
    Subject->SetEndTime(At(17, 0));
    Subject->SetEndDate(Day(2026, 12, 31));
    Case.Setup(*Subject);
    Subject->SetLastRun(Case.LastRun);
    Now = Stamp(Wed, At(10, 0));
    EXPECT_EQ(Subject->GetNextRun(), Case.Next);
    Config->GetJobs().Remove(Subject);
    delete Subject;
  }
}

TEST_F(JobsTest, TimesAreWholeSecondsAndTheEndTimeEndsItsSecond) {
  Job->SetStartTime(At(8, 0, 5) + 123);
  Job->SetEndTime(At(17, 0));
  EXPECT_EQ(Job->GetStartTime(), At(8, 0, 5));
  EXPECT_EQ(Job->GetEndTime(), At(17, 0) + 999);
  EXPECT_NE(Job->GetCreateSQL(false, false, false).find(u"BETWEEN TIME '08:00:05' AND TIME '17:00:00.999'"),
            TORVString::npos);
}

TEST_F(JobsTest, TheCreateTextWritesItsClausesInOrder) {
  TORVUser* Bob = test::NewUser(*Config, u"Bob");
  Job->SetRunUserName(u"bob");
  Job->SetRunType(jrMonthly);
  Job->SetDayOfMonth(2);
  Job->SetDayOfWeek(2);
  for (int32_t Month = 1; Month <= 12; ++Month) Job->SetMonths(Month, Month == 1 || Month == 7);
  Job->SetStartTime(At(1, 0));
  Job->SetEndTime(At(2, 30));
  Job->SetRunCategory(u"Nightly");
  Job->GetDefinition().SetExpression(u"JOB \"Rotate\"\r\nBEGIN\r\n  CALL Rotate();\r\nEND\r\n");
  Job->SetDescription(u"Rotates the logs");
  Job->SetUserVersion(TORVCurrency::FromScaled(12500));
  Job->SetAttributes(u"owner=ops");
  EXPECT_EQ(Job->GetCreateSQL(false, false, false),
            u"CREATE JOB \"Rotate\"\r\nRUN AS \"Bob\"\r\nFROM DATE '2026-01-01' TO DATE '2028-12-31'\r\n"
            u"MONTHLY ON SECOND TUE OF JAN, JUL\r\nBETWEEN TIME '01:00' AND TIME '02:30:00.999'\r\n"
            u"CATEGORY 'Nightly'\r\nBEGIN\r\n  CALL Rotate();\r\nEND\r\nDESCRIPTION 'Rotates the logs'\r\n"
            u"VERSION 1.25\r\nATTRIBUTES 'owner=ops'");
  EXPECT_EQ(Job->GetDropSQL(false, false), u"DROP JOB \"Rotate\"");

  test::Rename(*Bob, u"Robert");
  EXPECT_EQ(Job->GetRunUserName(), u"Robert");
  EXPECT_EQ(Job->GetRunUser(), Bob);
  test::Drop(Bob);
  EXPECT_EQ(Job->GetRunUserName(), u"");
  EXPECT_EQ(Job->GetRunUser(), Config->GetSystemUser());
  EXPECT_NE(Job->GetCreateSQL(false, false, false).find(u"\r\nRUN AS \"System\"\r\n"), TORVString::npos);
}

TEST_F(JobsTest, OtherScheduleClausesAndTheDayNumberCheck) {
  struct TCase {
    int32_t RunType;
    int32_t Interval;
    const char16_t* Clause;
  };
  for (int32_t Index = 1; Index <= 7; ++Index) Job->SetDays(Index, Index == 1 || Index == 7);
  const std::vector<TCase> Cases = {
      {jrOnce, 0, u"\r\nONCE\r\n"},
      {jrDaily, 0, u"\r\nDAILY ON MON, SUN\r\n"},
      {jrEveryDays, 4, u"\r\nEVERY 4 DAYS\r\n"},
      {jrEveryWeeks, 2, u"\r\nEVERY 2 WEEKS ON MON, SUN\r\n"},
      {jrHourly, 0, u"\r\nHOURLY ON MON, SUN\r\n"},
      {jrEveryMinutes, 5, u"\r\nEVERY 5 MINUTES ON MON, SUN\r\n"},
      {jrAtServerStart, 0, u"\r\nAT SERVER START\r\n"},
  };
  for (const TCase& Case : Cases) {
    Job->SetRunType(Case.RunType);
    Job->SetInterval(Case.Interval);
    EXPECT_NE(Job->GetCreateSQL(false, false, false).find(Case.Clause), TORVString::npos) << Case.RunType;
  }
  Job->SetRunType(jrMonthly);
  Job->SetDayNumber(31);
  Job->Validate();
  Job->SetDayNumber(32);
  EXPECT_NE(ErrorOf([&] { Job->Validate(); }).find("(Day number for month must be between 1 and 31)"),
            std::string::npos);
  // The ordinal form does not use the day number.
  Job->SetDayOfMonth(1);
  Job->Validate();
}

TEST_F(JobsTest, FailuresBeyondTheRetryLimitDisableTheJob) {
  Now = Stamp(Day(2026, 2, 1), At(3, 0));
  Job->SetLastRunError(2);
  Job->SetLastRunError(2);
  EXPECT_EQ(Job->GetRunRetries(), 2);
  EXPECT_EQ(Job->GetLastRunError(), Now);
  EXPECT_TRUE(Job->GetEnabled());
  Job->SetLastRunError(2);
  EXPECT_FALSE(Job->GetEnabled());
  EXPECT_EQ(Job->GetRunRetries(), 0);
  EXPECT_EQ(Job->GetLastRunError(), 0);
  // A reset clears the failure fields but never enables the job again.
  Job->SetLastRunError(5);
  Job->ResetReferences();
  EXPECT_EQ(Job->GetRunRetries(), 0);
  EXPECT_EQ(Job->GetLastRunError(), 0);
  EXPECT_FALSE(Job->GetEnabled());
}

TEST_F(JobsTest, AJobWithoutDayFlagsLoadsEveryDayOnlyForTheDailyAndHourlyTypes) {
  Now = Stamp(Day(2026, 3, 4), At(10, 0));
  for (int32_t RunType : {jrDaily, jrWeekly, jrEveryWeeks, jrHourly, jrEveryHours, jrEveryMinutes}) {
    SCOPED_TRACE(RunType);
    Job->SetRunType(RunType);
    Job->SetInterval(1);
    for (int32_t Index = 1; Index <= 7; ++Index) Job->SetDays(Index, false);
    TORVMemoryStream Stream(CharacterSetUnicode);
    Job->Save(Stream, false);
    Stream.SetPosition(0);
    TORVJob Loaded(Config.get());
    Loaded.Load(Stream);
    EXPECT_EQ(Stream.GetAvailable(), 0);
    Loaded.SetClock([this] { return Now; });
    const bool EveryDay = RunType != jrWeekly && RunType != jrEveryWeeks;
    EXPECT_EQ(Loaded.GetDayNames(), EveryDay ? u"Mon, Tue, Wed, Thu, Fri, Sat, Sun" : u"");
    EXPECT_EQ(Loaded.RequiresScheduling(false), EveryDay);
  }
}

// A routine stored before dynamic statements changed form keeps its old
// version, and parses in the old form, whatever else of the job changes.
TEST_F(JobsTest, TheRoutineVersionFollowsTheRoutineOnly) {
  const TORVCurrency Old = TORVCurrency::FromScaled(20300);
  Config->SetVersion(Old);
  TORVJob Fresh(Config.get());
  EXPECT_EQ(Fresh.GetRoutineVersion(), Old);
  Config->SetVersion(EngineCatalogVersion);
  Fresh.SetName(u"Fresh");
  Fresh.SetDescription(u"changed");
  Fresh.SetRunCategory(u"Nightly");
  EXPECT_EQ(Fresh.GetRoutineVersion(), Old);
  Job->Assign(&Fresh, false);
  EXPECT_EQ(Job->GetRoutineVersion(), Old);
  EXPECT_EQ(Job->GetRunCategory(), u"Nightly");
  // A change of case alone is no change of category.
  Config->SetModified(false);
  Job->SetRunCategory(u"NIGHTLY");
  EXPECT_EQ(Job->GetRunCategory(), u"Nightly");
  EXPECT_FALSE(Config->GetModified());
}

// A job's routine with the configuration's compiler and a catalog for the
// Configuration database.
class JobRoutineTest : public ::testing::Test {
 protected:
  JobRoutineTest() : Config(test::NewRoot()) {
    Config->SetParser(&Parser);
    Config->SetValidater(&Validater);
    Config->SetBuilder(&Builder);
    Config->GetConfigDatabase()->SetCatalog(std::make_unique<TORVCatalog>(Config.get()));
    Catalog = Config->GetConfigDatabase()->GetCatalog();
  }

  // Whether the routine's table list names its tables in the old form: as
  // character constants.
  bool ConvertsNames(TORVJob& Job) {
    Job.GetDefinition().SetCatalog(Catalog);
    TORVPartialTree Tree(Job.GetDefinition().Parse());
    return test::DumpTokens(Tree.Get()).find(":text \"t\"") != std::string::npos;
  }

  TORVExprParser Parser;
  TORVExprValidater Validater;
  TORVExprBuilder Builder;
  std::unique_ptr<TORVConfig> Config;
  TORVCatalog* Catalog = nullptr;  // the Configuration database's
};

TEST_F(JobRoutineTest, TheRoutineCompilesAgainstTheConfigurationCatalog) {
  TORVJob Job(Config.get());
  Job.SetName(u"Count");
  Job.GetDefinition().SetExpression(u"JOB \"Count\"\r\nBEGIN\r\n  DECLARE n INTEGER;\r\n  SET n = 1;\r\nEND");
  Job.Compile();
  EXPECT_TRUE(Job.GetDefinition().GetCompiled());
  EXPECT_EQ(Job.GetDefinition().GetCatalog(), Catalog);
  Job.Decompile();
  EXPECT_FALSE(Job.GetDefinition().GetCompiled());
}

TEST_F(JobRoutineTest, ARoutineStoredBeforeDynamicNamesChangedKeepsTheOldForm) {
  constexpr char16_t Text[] = u"JOB \"Old\"\r\nBEGIN START TRANSACTION ON TABLES t; COMMIT; END";
  // A job of a 2.03 configuration, which stored no routine version.
  const TORVCurrency Old = TORVCurrency::FromScaled(20300);
  Config->SetVersion(Old);
  TORVJob Loaded(Config.get());
  Config->SetVersion(EngineCatalogVersion);
  Loaded.GetDefinition().SetExpression(Text);
  EXPECT_EQ(Loaded.GetRoutineVersion(), Old);
  EXPECT_TRUE(ConvertsNames(Loaded));
  // Neither a description nor a text rewrite makes it new syntax.
  Loaded.SetDescription(u"still old");
  Loaded.GetDefinition().SetExpression(Text);
  EXPECT_EQ(Loaded.GetRoutineVersion(), Old);
  EXPECT_TRUE(ConvertsNames(Loaded));
  // A job that a statement builds follows the configuration's syntax.
  TORVJob Built(Config.get());
  Built.GetDefinition().SetExpression(Text);
  EXPECT_FALSE(ConvertsNames(Built));
  Loaded.Assign(&Built, false);
  EXPECT_EQ(Loaded.GetRoutineVersion(), EngineCatalogVersion);
  EXPECT_FALSE(ConvertsNames(Loaded));
}

}  // namespace
}  // namespace orv
