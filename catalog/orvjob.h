// Jobs: procedural routines that the server runs on a schedule as a
// configured user.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvcatalogexpr.h"
#include "catalog/orvconfigobject.h"
#include "catalog/orvlockable.h"
#include "catalog/orvtabledesc.h"

namespace orv {

class TORVUser;

// The routine a job runs; its owner is the job. It binds names through the
// catalog of the Configuration database, and a routine stored before
// dynamic statements changed form parses in its old form.
class TORVJobRoutine : public TORVCatalogExpr {
 public:
  using TORVCatalogExpr::TORVCatalogExpr;

  TORVString GetTypeName() const override;
  TORVExprToken* Parse() override;
};

// Run types.
enum : int32_t {
  jrOnce,
  jrDaily,
  jrWeekly,
  jrMonthly,
  jrEveryDays,
  jrEveryWeeks,
  jrHourly,
  jrEveryHours,
  jrEveryMinutes,
  jrAtServerStart
};

// The local time stamp a job schedules against.
using TORVJobClock = std::function<int64_t()>;

// Weekday flags (Monday first) and month flags (January first).
using TORVJobDays = std::array<bool, 7>;
using TORVJobMonths = std::array<bool, 12>;

// A job is scheduled in local time: dates are day numbers, times
// milliseconds of the day, time stamps day x 86,400,000 + time. Enabled,
// InProgress and the failure fields live in memory only; the routine
// version changes with the routine's text (construction, Assign, Load),
// never with other edits, so that an old-form routine keeps parsing.
class TORVJob : public TORVLockableConfigObject {
 public:
  explicit TORVJob(TORVConfig* OwnerConfig = nullptr);
  ~TORVJob() override;

  TORVString GetTypeName() const override;
  bool GetUseAttributes() const override { return true; }
  TORVLockSpaceKind GetLockSpaceKind() const override { return lkJob; }
  int32_t GetLockSlot() const override { return FLockSlot; }
  // Forgets the run user and the failure fields; Enabled stays.
  void ResetReferences() override;
  // The job depends on the user it runs as; a renamed user is followed, a
  // dropped one leaves the job running as System.
  void AddDependenciesToObject(TORVConfigObject* Obj) override;
  void RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) override;
  void DeleteDependenciesToObject(TORVConfigObject* Obj) override;
  int32_t GetMemorySize() override;
  // Schedule, routine, last run and routine version; not the lock slot nor
  // the in-memory state.
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  // The schedule and routine after the lockable record; UserVersion and
  // RoutineVersion are read from 2.04. A run type that needs weekdays and
  // has none runs on every day.
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;
  // The name, then the day number of a MONTHLY ON DAY n job (1 to 31).
  void Validate() override;
  void Compile() override;
  void Decompile() override;
  TORVString GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly, bool Restricted) override;
  TORVString GetDropSQL(bool IncludeDependentObjects, bool DependentObjectsOnly) override;

  // ORV_METADATA_ERROR: the day number must lie in 1 to 31.
  virtual void InvalidDayNumberError();

  // Must the job run now? With IsStartup only AT SERVER START jobs inside
  // their date window are due. Never raises.
  bool RequiresScheduling(bool IsStartup);
  // When the job is expected to run next; 0 for none. Walks the date
  // window one day at a time.
  int64_t GetNextRun();
  // A failed run: counts it, and after more than MaxRetries failures
  // disables the job and clears the count.
  void SetLastRunError(int32_t MaxRetries);

  // The clock the schedule reads; the local time when unset.
  void SetClock(TORVJobClock Value) { FClock = std::move(Value); }
  int64_t GetNow() const;

  bool GetEnabled() const { return FEnabled; }
  TORVCurrency GetUserVersion() const { return FUserVersion; }
  void SetUserVersion(TORVCurrency Value);
  // The user of RunUserName, else the System user; cached.
  TORVUser* GetRunUser();
  void SetRunUser(TORVUser* Value);
  const TORVString& GetRunUserName() const { return FRunUserName; }
  void SetRunUserName(const TORVString& Value);
  const TORVString& GetRunCategory() const { return FRunCategory; }
  void SetRunCategory(const TORVString& Value);
  int32_t GetRunType() const { return FRunType; }
  void SetRunType(int32_t Value);
  int32_t GetStartDate() const { return FStartDate; }
  void SetStartDate(int32_t Value);
  int32_t GetEndDate() const { return FEndDate; }
  void SetEndDate(int32_t Value);
  // The start time is kept at millisecond 0 and the end time at 999, so
  // that both ends of the window are whole seconds.
  int32_t GetStartTime() const { return FStartTime; }
  void SetStartTime(int32_t Value);
  int32_t GetEndTime() const { return FEndTime; }
  void SetEndTime(int32_t Value);
  int32_t GetInterval() const { return FInterval; }
  void SetInterval(int32_t Value);
  // Index 1 Monday .. 7 Sunday.
  bool GetDays(int32_t Index) const;
  void SetDays(int32_t Index, bool Value);
  const TORVJobDays& GetDays() const { return FDays; }
  // "Mon, Wed": the flagged weekdays, Monday first.
  TORVString GetDayNames() const;
  int32_t GetDayNumber() const { return FDayNumber; }
  void SetDayNumber(int32_t Value);
  int32_t GetDayOfMonth() const { return FDayOfMonth; }
  void SetDayOfMonth(int32_t Value);
  // "Second Tue".
  TORVString GetDayOfMonthName() const;
  int32_t GetDayOfWeek() const { return FDayOfWeek; }
  void SetDayOfWeek(int32_t Value);
  // Index 1 January .. 12 December.
  bool GetMonths(int32_t Index) const;
  void SetMonths(int32_t Index, bool Value);
  TORVString GetMonthNames() const;
  TORVJobRoutine& GetDefinition() const { return *FDefinition; }
  int64_t GetLastRun() const { return FLastRun; }
  void SetLastRun(int64_t Value);
  TORVCurrency GetRoutineVersion() const { return FRoutineVersion; }
  bool GetInProgress() const { return FInProgress; }
  void SetInProgress(bool Value) { FInProgress = Value; }
  int64_t GetLastRunError() const { return FLastRunError; }
  int32_t GetRunRetries() const { return FRunRetries; }
  void SetLockSlot(int32_t Value);

 private:
  // The interval that schedules: at least 1, whatever was stored.
  int64_t StepInterval() const { return FInterval < 1 ? 1 : FInterval; }
  // Whether the time stamp's day is a run day (weekday flag set), lies in
  // a flagged month, or passes the monthly rule.
  bool RunDay(int64_t TimeStamp) const;
  bool MonthFlagged(int32_t Date) const;
  bool MonthlyDay(int32_t Date) const;

  bool FEnabled = true;
  TORVCurrency FUserVersion;
  TORVString FRunUserName;
  TORVString FRunCategory;
  int32_t FRunType = 0;
  int32_t FStartDate = 0;
  int32_t FEndDate = 0;
  int32_t FStartTime = 0;
  int32_t FEndTime = 0;
  int32_t FInterval = 0;
  TORVJobDays FDays{};
  int32_t FDayNumber = 0;
  int32_t FDayOfMonth = 0;
  int32_t FDayOfWeek = 0;
  TORVJobMonths FMonths{};
  std::unique_ptr<TORVJobRoutine> FDefinition;
  int64_t FLastRun = 0;
  TORVCurrency FRoutineVersion;
  bool FInProgress = false;
  int64_t FLastRunError = 0;
  int32_t FRunRetries = 0;
  int32_t FLockSlot = 0;
  TORVUser* FRunUser = nullptr;
  TORVJobClock FClock;
};

class TORVJobs : public TORVConfigObjects {
 public:
  explicit TORVJobs(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override { return new TORVJob(FConfig); }
  int32_t MaximumObjectsAllowed() const override { return 4096; }

  TORVJob* GetJob(int32_t Index) const { return static_cast<TORVJob*>(GetObjects(Index)); }
};

// The information table "Jobs".
const TORVConfigObjectsClass& JobsClass();

}  // namespace orv
