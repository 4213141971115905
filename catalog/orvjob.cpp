#include "catalog/orvjob.h"

#include <algorithm>

#include "base/orverrors.h"
#include "catalog/orvconfig.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvuser.h"
#include "core/orvdatetime.h"
#include "core/orvliteral.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"
#include "sql/orvparser.h"

namespace orv {

namespace {

// Job fields of version 2.04: the user and routine versions. Routines
// stored before it use the old form of dynamic statements.
constexpr TORVCurrency JobVersionsVersion = TORVCurrency::FromScaled(20400);

constexpr const char16_t* DayNames[7] = {u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat", u"Sun"};
constexpr const char16_t* MonthNames[12] = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                                            u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
constexpr const char16_t* OrdinalNames[5] = {u"First", u"Second", u"Third", u"Fourth", u"Last"};

// Run types that run only on the weekdays flagged.
bool UsesDays(int32_t RunType) { return RunType == jrDaily || (RunType >= jrHourly && RunType <= jrEveryMinutes); }

// The fields of a time stamp the schedule compares: whole days, hours and
// minutes (seconds are ignored).
int64_t DayOf(int64_t TimeStamp) { return TimeStamp / MSecsPerDay; }
int64_t TimeOf(int64_t TimeStamp) { return TimeStamp % MSecsPerDay; }
int64_t HourOf(int64_t Time) { return Time / MSecsPerHour; }
int64_t MinuteOf(int64_t Time) { return (Time / MSecsPerMinute) % 60; }
int64_t SecondOf(int64_t Time) { return (Time / MSecsPerSecond) % 60; }

// Month and year of a day; a day before the calendar (never run) counts
// as earlier than every month.
int64_t MonthIndex(int64_t Date) {
  if (Date < 1) return 0;
  const TORVParsedDate Parsed = ParseDate(static_cast<int32_t>(Date));
  return int64_t{Parsed.Year} * 12 + Parsed.Month;
}

TORVString JoinFlagged(const bool* Flags, const char16_t* const* Names, int32_t Count) {
  TORVString Result;
  for (int32_t Index = 0; Index < Count; ++Index) {
    if (!Flags[Index]) continue;
    if (!Result.empty()) Result += u", ";
    Result += Names[Index];
  }
  return Result;
}

TORVString Quoted(const TORVString& Text) { return QuotedString(Text, u'"'); }
TORVString Literal(const TORVString& Text) { return QuotedString(Text, u'\''); }

template <typename T>
void Change(TORVJob& Job, T& Field, const T& Value) {
  if (Field == Value) return;
  Field = Value;
  Job.SetModified(true);
}

}  // namespace

TORVString TORVJobRoutine::GetTypeName() const { return u"job"; }

TORVExprToken* TORVJobRoutine::Parse() {
  ResetCatalog();
  TORVParseOptions Options{poNoParameters, poAllowDatabaseUse, poAllowSchemaQualifier, poAllowTableQualifier,
                           poCheckEndRoutine};
  auto* Job = dynamic_cast<TORVJob*>(FParent);
  if (Job != nullptr && Job->GetRoutineVersion() < JobVersionsVersion) Options.Include(poConvertDynamic);
  TORVExprParser& Parser = *Config()->GetParser();
  Parser.Initialize(this);
  return Parser.ParseJobRoutine(Options);
}

TORVJob::TORVJob(TORVConfig* OwnerConfig)
    : TORVLockableConfigObject(OwnerConfig),
      FUserVersion(TORVCurrency::FromInt(1)),
      FDefinition(std::make_unique<TORVJobRoutine>(this)),
      FRoutineVersion(GetConfigVersion()) {}

TORVJob::~TORVJob() = default;

TORVString TORVJob::GetTypeName() const { return u"job"; }

void TORVJob::ResetReferences() {
  TORVLockableConfigObject::ResetReferences();
  FRunUser = nullptr;
  FLastRunError = 0;
  FRunRetries = 0;
}

void TORVJob::AddDependenciesToObject(TORVConfigObject* Obj) {
  TORVLockableConfigObject::AddDependenciesToObject(Obj);
  if (dynamic_cast<TORVUser*>(Obj) != nullptr && SameString(Obj->GetName(), FRunUserName))
    Obj->GetDependencies()->Add(this);
}

void TORVJob::RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) {
  TORVLockableConfigObject::RenameDependenciesToObject(Obj, NewName);
  if (dynamic_cast<TORVUser*>(Obj) == nullptr || !SameString(Obj->GetName(), FRunUserName)) return;
  FRunUserName = NewName;
  FRunUser = nullptr;
  SetModified(true);
}

void TORVJob::DeleteDependenciesToObject(TORVConfigObject* Obj) {
  TORVLockableConfigObject::DeleteDependenciesToObject(Obj);
  if (dynamic_cast<TORVUser*>(Obj) == nullptr || !SameString(Obj->GetName(), FRunUserName)) return;
  FRunUserName.clear();
  FRunUser = nullptr;
  SetModified(true);
}

int32_t TORVJob::GetMemorySize() {
  return TORVLockableConfigObject::GetMemorySize() + StringSize(FRunUserName) + StringSize(FRunCategory) +
         StringSize(FDefinition->GetExpression());
}

void TORVJob::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVLockableConfigObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVJob*>(FromObject);
  if (From == nullptr) return;
  FUserVersion = From->FUserVersion;
  FRunUserName = From->FRunUserName;
  FRunUser = nullptr;
  FRunCategory = From->FRunCategory;
  FRunType = From->FRunType;
  FStartDate = From->FStartDate;
  FEndDate = From->FEndDate;
  FStartTime = From->FStartTime;
  FEndTime = From->FEndTime;
  FInterval = From->FInterval;
  FDays = From->FDays;
  FDayNumber = From->FDayNumber;
  FDayOfMonth = From->FDayOfMonth;
  FDayOfWeek = From->FDayOfWeek;
  FMonths = From->FMonths;
  FDefinition->Assign(From->FDefinition.get(), CopyReferences);
  FLastRun = From->FLastRun;
  FRoutineVersion = From->FRoutineVersion;
}

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
  FRunUser = nullptr;
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

void TORVJob::Validate() {
  TORVLockableConfigObject::Validate();
  if (FRunType == jrMonthly && FDayOfMonth == 0 && (FDayNumber < 1 || FDayNumber > 31)) InvalidDayNumberError();
}

void TORVJob::InvalidDayNumberError() { ValidateError(FormatString(ORV_JOB_DAY_NUMBER_MSG, {u"1", u"31"}), 0, 0); }

void TORVJob::Compile() {
  TORVLockableConfigObject::Compile();
  if (FConfig != nullptr && FConfig->GetConfigDatabase() != nullptr)
    FDefinition->SetCatalog(FConfig->GetConfigDatabase()->GetCatalog());
  FDefinition->Compile();
}

void TORVJob::Decompile() {
  TORVLockableConfigObject::Decompile();
  FDefinition->Decompile();
}

TORVString TORVJob::GetCreateSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/,
                                 bool /*Restricted*/) {
  TORVUser* RunUser = GetRunUser();
  TORVString Result = u"CREATE JOB " + Quoted(FName);
  Result += u"\r\nRUN AS " + Quoted(RunUser != nullptr ? RunUser->GetName() : FRunUserName);
  Result += u"\r\nFROM DATE " + Literal(DateToSQLStr(FStartDate)) + u" TO DATE " + Literal(DateToSQLStr(FEndDate));
  const TORVString Days = UpperCaseString(GetDayNames());
  const TORVString Interval = IntToString(FInterval);
  Result += u"\r\n";
  switch (FRunType) {
    case jrOnce:
      Result += u"ONCE";
      break;
    case jrDaily:
      Result += u"DAILY ON " + Days;
      break;
    case jrWeekly:
      Result += u"WEEKLY ON " + Days;
      break;
    case jrMonthly:
      Result += u"MONTHLY";
      Result += FDayOfMonth == 0 ? u" ON DAY " + IntToString(FDayNumber)
                                 : u" ON " + UpperCaseString(GetDayOfMonthName());
      Result += u" OF " + UpperCaseString(GetMonthNames());
      break;
    case jrEveryDays:
      Result += u"EVERY " + Interval + u" DAYS";
      break;
    case jrEveryWeeks:
      Result += u"EVERY " + Interval + u" WEEKS ON " + Days;
      break;
    case jrHourly:
      Result += u"HOURLY ON " + Days;
      break;
    case jrEveryHours:
      Result += u"EVERY " + Interval + u" HOURS ON " + Days;
      break;
    case jrEveryMinutes:
      Result += u"EVERY " + Interval + u" MINUTES ON " + Days;
      break;
    case jrAtServerStart:
      Result += u"AT SERVER START";
      break;
    default:
      break;
  }
  Result += u"\r\nBETWEEN TIME " + Literal(TimeToSQLStr(FStartTime, true)) + u" AND TIME " +
            Literal(TimeToSQLStr(FEndTime, true));
  if (!FRunCategory.empty()) Result += u"\r\nCATEGORY " + Literal(FRunCategory);
  // The stored routine starts with the job's own header; the statement
  // names the job itself, so the text begins at the body.
  const TORVString& Routine = FDefinition->GetExpression();
  const int32_t Begin = StringPos(u"BEGIN", UpperCaseString(Routine));
  Result += u"\r\n" + TrimCatalogExpression(Begin > 0 ? Routine.substr(static_cast<size_t>(Begin - 1)) : Routine);
  if (!FDescription.empty()) Result += u"\r\nDESCRIPTION " + Literal(TrimCatalogExpression(FDescription));
  Result += u"\r\nVERSION " + DecimalToSQLStr(FUserVersion, 2);
  if (!FAttributes.empty()) Result += u"\r\nATTRIBUTES " + Literal(TrimCatalogExpression(FAttributes));
  return Result;
}

TORVString TORVJob::GetDropSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/) {
  return u"DROP JOB " + Quoted(FName);
}

// ----------------------------------------------------------- scheduling

int64_t TORVJob::GetNow() const { return FClock ? FClock() : CurrentTimeStamp(false); }

bool TORVJob::RunDay(int64_t TimeStamp) const {
  return FDays[static_cast<size_t>(ISODayOfWeek(static_cast<int32_t>(DayOf(TimeStamp))) - 1)];
}

bool TORVJob::MonthFlagged(int32_t Date) const {
  const int32_t Month = ParseDate(Date).Month;
  return Month >= 1 && Month <= 12 && FMonths[static_cast<size_t>(Month - 1)];
}

// ON DAY n runs on day n, or on the last day of a month too short for n.
bool TORVJob::MonthlyDay(int32_t Date) const {
  const int32_t Day = ParseDate(Date).Day;
  return Day == FDayNumber || (FDayNumber > Day && Date == LastDayOfMonth(Date));
}

bool TORVJob::RequiresScheduling(bool IsStartup) {
  const int64_t Now = GetNow();
  const int64_t Today = DayOf(Now);
  const bool InDates = FStartDate <= Today && Today <= FEndDate;
  if (IsStartup) return FRunType == jrAtServerStart && InDates;
  const int64_t Time = TimeOf(Now);
  if (!InDates || Time < FStartTime || Time > FEndTime) return false;
  const int32_t Date = static_cast<int32_t>(Today);
  const int64_t LastDay = DayOf(FLastRun);
  const int64_t LastTime = TimeOf(FLastRun);
  const int64_t Interval = StepInterval();
  const bool FromStartMinute = MinuteOf(Time) >= MinuteOf(FStartTime);
  switch (FRunType) {
    case jrOnce:
      return FLastRun == 0;
    case jrDaily:
    case jrWeekly:
      return RunDay(Now) && Today > LastDay;
    case jrMonthly:
      if (!MonthFlagged(Date) || Today <= LastDay) return false;
      if (FDayOfMonth == 0) return MonthlyDay(Date);
      return IsDayofMonth(Date, FDayOfMonth, FDayOfWeek) && MonthIndex(LastDay) < MonthIndex(Today);
    case jrEveryDays:
      return Today >= LastDay + Interval;
    case jrEveryWeeks:
      return RunDay(Now) && Today >= LastDay + 7 * Interval;
    case jrHourly:
      if (!RunDay(Now) || !FromStartMinute) return false;
      return Today > LastDay || (Today == LastDay && HourOf(Time) >= HourOf(LastTime) + 1);
    case jrEveryHours:
      if (!RunDay(Now) || !FromStartMinute || Today < LastDay) return false;
      return (Today - LastDay) * 24 + HourOf(Time) - HourOf(LastTime) >= Interval;
    case jrEveryMinutes:
      if (!RunDay(Now) || Today < LastDay) return false;
      return (Today - LastDay) * 1440 + (HourOf(Time) - HourOf(LastTime)) * 60 + MinuteOf(Time) -
                 MinuteOf(LastTime) >=
             Interval;
    default:
      return false;
  }
}

int64_t TORVJob::GetNextRun() {
  if (FStartTime >= FEndTime) return 0;
  if (FRunType < jrOnce || FRunType >= jrAtServerStart) return 0;
  if (FRunType == jrOnce && FLastRun != 0) return 0;
  const int64_t Base = std::max(FLastRun, GetNow());
  int64_t Next = DayOf(Base) < FStartDate ? FStartDate * MSecsPerDay + FStartTime
                                          : DayOf(Base) * MSecsPerDay + std::max<int64_t>(FStartTime, TimeOf(Base));
  const int64_t LastDay = DayOf(FLastRun);
  const int64_t LastTime = TimeOf(FLastRun);
  const int64_t Interval = StepInterval();
  // Days past the calendar have no weekday or month to test.
  const int64_t EndDate = std::min<int64_t>(FEndDate, MaxDate);
  while (DayOf(Next) <= EndDate) {
    const int64_t Day = DayOf(Next);
    const int64_t Time = TimeOf(Next);
    const auto Date = static_cast<int32_t>(Day);
    const int64_t NextDay = (Day + 1) * MSecsPerDay + FStartTime;
    bool Passes = Time <= FEndTime;
    // The step inside the day for the hourly and minute types when only
    // their last-run test fails; 0 when the next try is the next day.
    int64_t Step = 0;
    if (Passes) {
      switch (FRunType) {
        case jrOnce:
          break;
        case jrDaily:
        case jrWeekly:
          Passes = RunDay(Next);
          break;
        case jrMonthly:
          Passes = MonthFlagged(Date) &&
                   (FDayOfMonth == 0 ? MonthlyDay(Date)
                                     : IsDayofMonth(Date, FDayOfMonth, FDayOfWeek) &&
                                           MonthIndex(LastDay) < MonthIndex(Day));
          break;
        case jrEveryDays:
          Passes = Day >= LastDay + Interval;
          break;
        case jrEveryWeeks:
          Passes = RunDay(Next) && Day >= LastDay + 7 * Interval;
          break;
        case jrHourly:
        case jrEveryHours: {
          const int64_t Hours = FRunType == jrHourly ? 1 : Interval;
          Passes = RunDay(Next);
          if (Passes && !(Day > LastDay || HourOf(LastTime) + Hours <= HourOf(Time))) {
            Passes = false;
            Step = (HourOf(Time) + Hours) * MSecsPerHour + MinuteOf(FStartTime) * MSecsPerMinute;
          }
          break;
        }
        case jrEveryMinutes:
          Passes = RunDay(Next);
          if (Passes && !(Day > LastDay || HourOf(LastTime) < HourOf(Time) ||
                          MinuteOf(LastTime) + Interval <= MinuteOf(Time))) {
            Passes = false;
            Step = HourOf(Time) * MSecsPerHour + (MinuteOf(Time) + Interval) * MSecsPerMinute +
                   SecondOf(FStartTime) * MSecsPerSecond;
          }
          break;
        default:
          return 0;
      }
    }
    if (Passes) return Next;
    // A step that leaves the day may land before the next day's start
    // time, where the job never runs: it tries no earlier than that start.
    if (Step == 0)
      Next = NextDay;
    else
      Next = Step < MSecsPerDay ? Day * MSecsPerDay + Step : std::max(Day * MSecsPerDay + Step, NextDay);
  }
  return 0;
}

void TORVJob::SetLastRunError(int32_t MaxRetries) {
  FLastRunError = GetNow();
  ++FRunRetries;
  if (FRunRetries <= MaxRetries) return;
  FEnabled = false;
  FLastRunError = 0;
  FRunRetries = 0;
}

// ----------------------------------------------------------- properties

void TORVJob::SetUserVersion(TORVCurrency Value) { Change(*this, FUserVersion, Value); }

TORVUser* TORVJob::GetRunUser() {
  if (FRunUser != nullptr || FConfig == nullptr) return FRunUser;
  FRunUser = static_cast<TORVUser*>(FConfig->GetUsers().FindByName(FRunUserName, false));
  if (FRunUser == nullptr) FRunUser = FConfig->GetSystemUser();
  return FRunUser;
}

void TORVJob::SetRunUser(TORVUser* Value) {
  FRunUser = Value;
  if (Value == nullptr || SameString(Value->GetName(), FRunUserName)) return;
  FRunUserName = Value->GetName();
  SetModified(true);
}

void TORVJob::SetRunUserName(const TORVString& Value) {
  if (SameString(Value, FRunUserName)) return;
  FRunUserName = Value;
  FRunUser = nullptr;
  SetModified(true);
}

void TORVJob::SetRunCategory(const TORVString& Value) {
  if (SameString(Value, FRunCategory)) return;
  FRunCategory = Value;
  SetModified(true);
}

void TORVJob::SetRunType(int32_t Value) { Change(*this, FRunType, Value); }
void TORVJob::SetStartDate(int32_t Value) { Change(*this, FStartDate, Value); }
void TORVJob::SetEndDate(int32_t Value) { Change(*this, FEndDate, Value); }

void TORVJob::SetStartTime(int32_t Value) {
  SetMilliSeconds(Value, 0);
  Change(*this, FStartTime, Value);
}

void TORVJob::SetEndTime(int32_t Value) {
  SetMilliSeconds(Value, 999);
  Change(*this, FEndTime, Value);
}

void TORVJob::SetInterval(int32_t Value) { Change(*this, FInterval, Value); }

bool TORVJob::GetDays(int32_t Index) const { return FDays.at(static_cast<size_t>(Index - 1)); }

void TORVJob::SetDays(int32_t Index, bool Value) { Change(*this, FDays.at(static_cast<size_t>(Index - 1)), Value); }

TORVString TORVJob::GetDayNames() const { return JoinFlagged(FDays.data(), DayNames, 7); }

void TORVJob::SetDayNumber(int32_t Value) { Change(*this, FDayNumber, Value); }
void TORVJob::SetDayOfMonth(int32_t Value) { Change(*this, FDayOfMonth, Value); }

TORVString TORVJob::GetDayOfMonthName() const {
  TORVString Result;
  if (FDayOfMonth >= 1 && FDayOfMonth <= 5) Result = OrdinalNames[FDayOfMonth - 1];
  Result += u' ';
  if (FDayOfWeek >= 1 && FDayOfWeek <= 7) Result += DayNames[FDayOfWeek - 1];
  return Result;
}

void TORVJob::SetDayOfWeek(int32_t Value) { Change(*this, FDayOfWeek, Value); }

bool TORVJob::GetMonths(int32_t Index) const { return FMonths.at(static_cast<size_t>(Index - 1)); }

void TORVJob::SetMonths(int32_t Index, bool Value) {
  Change(*this, FMonths.at(static_cast<size_t>(Index - 1)), Value);
}

TORVString TORVJob::GetMonthNames() const { return JoinFlagged(FMonths.data(), MonthNames, 12); }

void TORVJob::SetLastRun(int64_t Value) { Change(*this, FLastRun, Value); }
void TORVJob::SetLockSlot(int32_t Value) { Change(*this, FLockSlot, Value); }

TORVString TORVJobs::GetTypeName() const { return u"job"; }

// ----------------------------------------------------- information tables

const TORVConfigObjectsClass& JobsClass() {
  static const TORVTableDescription Description{
      {TableText(u"Name", 80, true), TableClob(u"Description", false), TableClob(u"Attributes", false),
       TableColumn(u"Version", dtDecimal, 2), TableText(u"Category", 15, true), TableText(u"UserName", 80, true),
       TableColumn(u"StartDate", dtDate), TableColumn(u"EndDate", dtDate), TableText(u"Type", 15, true),
       TableColumn(u"Interval", dtInteger), TableText(u"Days", 60, true), TableColumn(u"DayNumber", dtInteger),
       TableText(u"DayOfMonth", 15, true), TableText(u"Months", 60, true), TableColumn(u"StartTime", dtTime),
       TableColumn(u"EndTime", dtTime), TableClob(u"Definition", false), TableColumn(u"LastRun", dtTimeStamp),
       TableColumn(u"NextRun", dtTimeStamp), TableColumn(u"Enabled", dtBoolean), TableClob(u"CreateSQL", true),
       TableClob(u"DropSQL", true)},
      {{u"Name", {1}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVJobs(Config); }, u"Jobs",
                                            &Description};
  return Class;
}

}  // namespace orv
