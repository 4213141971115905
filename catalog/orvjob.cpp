#include "catalog/orvjob.h"

#include "core/orvstream.h"
#include "core/orvstrings.h"

namespace orv {

namespace {

// Job fields of version 2.04: the user and routine versions.
constexpr TORVCurrency JobVersionsVersion = TORVCurrency::FromScaled(20400);

// Run types that run only on the weekdays flagged.
bool UsesDays(int32_t RunType) { return RunType == 1 || (RunType >= 6 && RunType <= 8); }

}  // namespace

TORVString TORVJobRoutine::GetTypeName() const { return u"job"; }

TORVJob::TORVJob(TORVConfig* OwnerConfig)
    : TORVLockableConfigObject(OwnerConfig),
      FUserVersion(TORVCurrency::FromInt(1)),
      FDefinition(std::make_unique<TORVJobRoutine>(this)),
      FRoutineVersion(GetConfigVersion()) {}

TORVJob::~TORVJob() = default;

TORVString TORVJob::GetTypeName() const { return u"job"; }

void TORVJob::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVLockableConfigObject::Save(Stream, CRCOnly);
  Stream.WriteCurrency(FUserVersion);
  Stream.WriteString(FRunUserName);
  Stream.WriteString(FRunCategory);
  for (int32_t Value : {FRunType, FStartDate, FEndDate, FStartTime, FEndTime, FInterval}) Stream.WriteInteger(Value);
  for (bool Day : FDays) Stream.WriteBoolean(Day);
  for (int32_t Value : {FDayNumber, FDayOfMonth, FDayOfWeek}) Stream.WriteInteger(Value);
  for (bool Month : FMonths) Stream.WriteBoolean(Month);
  FDefinition->Save(Stream);
  Stream.WriteLargeInt(FLastRun);
  Stream.WriteCurrency(FRoutineVersion);
  Stream.WriteInteger(FLockSlot);
}

void TORVJob::Load(TORVMemoryStream& Stream) {
  TORVLockableConfigObject::Load(Stream);
  const bool Versions = GetConfigVersion() >= JobVersionsVersion;
  if (Versions) FUserVersion = Stream.ReadCurrency();
  FRunUserName.clear();
  Stream.ReadString(FRunUserName);
  FRunCategory.clear();
  Stream.ReadString(FRunCategory);
  for (int32_t* Value : {&FRunType, &FStartDate, &FEndDate, &FStartTime, &FEndTime, &FInterval})
    *Value = Stream.ReadInteger();
  bool AnyDay = false;
  for (bool& Day : FDays) AnyDay = (Day = Stream.ReadBoolean()) || AnyDay;
  for (int32_t* Value : {&FDayNumber, &FDayOfMonth, &FDayOfWeek}) *Value = Stream.ReadInteger();
  for (bool& Month : FMonths) Month = Stream.ReadBoolean();
  FDefinition->Load(Stream);
  FLastRun = Stream.ReadLargeInt();
  if (Versions) FRoutineVersion = Stream.ReadCurrency();
  FLockSlot = Stream.ReadInteger();
  if (!AnyDay && UsesDays(FRunType)) FDays.fill(true);
}

void TORVJob::SetRunUserName(const TORVString& Value) {
  if (SameString(Value, FRunUserName)) return;
  FRunUserName = Value;
  SetModified(true);
}

void TORVJob::SetLockSlot(int32_t Value) {
  if (Value == FLockSlot) return;
  FLockSlot = Value;
  SetModified(true);
}

TORVString TORVJobs::GetTypeName() const { return u"job"; }

}  // namespace orv
