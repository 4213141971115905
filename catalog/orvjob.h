// Jobs: procedural routines that the server runs on a schedule as a
// configured user.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvcatalogexpr.h"
#include "catalog/orvconfigobject.h"
#include "catalog/orvlockable.h"

namespace orv {

// The routine a job runs; its owner is the job.
class TORVJobRoutine : public TORVCatalogExpr {
 public:
  using TORVCatalogExpr::TORVCatalogExpr;

  TORVString GetTypeName() const override;
};

// Weekday flags (Monday first) and month flags (January first).
using TORVJobDays = std::array<bool, 7>;
using TORVJobMonths = std::array<bool, 12>;

class TORVJob : public TORVLockableConfigObject {
 public:
  explicit TORVJob(TORVConfig* OwnerConfig = nullptr);
  ~TORVJob() override;

  TORVString GetTypeName() const override;
  bool GetUseAttributes() const override { return true; }
  TORVLockSpaceKind GetLockSpaceKind() const override { return lkJob; }
  int32_t GetLockSlot() const override { return FLockSlot; }
  // The schedule and routine after the lockable record; UserVersion and
  // RoutineVersion are read from 2.04. A run type that needs weekdays and
  // has none runs on every day.
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;

  bool GetEnabled() const { return FEnabled; }
  TORVCurrency GetUserVersion() const { return FUserVersion; }
  const TORVString& GetRunUserName() const { return FRunUserName; }
  void SetRunUserName(const TORVString& Value);
  int32_t GetRunType() const { return FRunType; }
  const TORVJobDays& GetDays() const { return FDays; }
  TORVJobRoutine& GetDefinition() const { return *FDefinition; }
  int64_t GetLastRun() const { return FLastRun; }
  void SetLockSlot(int32_t Value);

 private:
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
  int32_t FLockSlot = 0;
};

class TORVJobs : public TORVConfigObjects {
 public:
  explicit TORVJobs(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override { return new TORVJob(FConfig); }
  int32_t MaximumObjectsAllowed() const override { return 4096; }

  TORVJob* GetJob(int32_t Index) const { return static_cast<TORVJob*>(GetObjects(Index)); }
};

}  // namespace orv
