#include "core/orvenv.h"

#include "core/orvstrings.h"
#include "platform/orvplatformcodepage.h"
#include "platform/orvplatformlocale.h"
#include "platform/orvplatformos.h"
#include "platform/orvplatformthread.h"
#include "base/orvutf8.h"
#include "platform/orvplatformtime.h"

namespace orv {

namespace {

const char16_t* OrdinalName(int32_t CharacterSet) {
  return CharacterSet == CharacterSetAnsi ? u"ANSI" : (CharacterSet == CharacterSetUnicode ? u"UNI" : nullptr);
}

}  // namespace

void TORVEnvironment::Initialize() { PopulateLocales(); }

void TORVEnvironment::AddLocale(int32_t ID, const TORVString& Name, const TORVString& ShortName) {
  // The table grows in steps of 64 entries and never shrinks.
  const int32_t Needed = GetNumLocales() + 1;
  if (static_cast<std::size_t>(Needed) > FLocales.capacity())
    FLocales.reserve(static_cast<std::size_t>(BlockOffset(Needed, 64)));
  FLocales.push_back(std::make_unique<TORVLocale>(ID, Name, ShortName));
}

void TORVEnvironment::PopulateLocales() {
  for (const TORVPlatformLocale& Locale : PlatformLocales()) {
    TORVString ShortName = Locale.ShortName;
    const int32_t Id = Locale.ID & 0xFFFF;
    // Latin and Cyrillic scripts of one language would otherwise share a name.
    if (Id == 1068 || Id == 1091)
      ShortName += u"L";
    else if (Id == 2092 || Id == 2115)
      ShortName += u"C";
    AddLocale(Id, Locale.Name, ShortName);
    const auto Language = static_cast<uint16_t>(Id);
    if (GetPrimaryLanguageID(Language) == 7 && GetSubLanguageID(Language) == 1) {
      const TORVPlatformLocale& PhoneBook = *PlatformFindLocale(GermanPhoneBookLocaleID);
      AddLocale(PhoneBook.ID, PhoneBook.Name, PhoneBook.ShortName);
    }
  }
}

const TORVLocale* TORVEnvironment::FindLocale(int32_t LocaleID) const {
  for (const auto& Locale : FLocales)
    if (Locale->GetID() == LocaleID) return Locale.get();
  return nullptr;
}

bool TORVEnvironment::ValidLocale(int32_t LocaleID) const {
  return LocaleID == 0 || FindLocale(LocaleID) != nullptr;
}

bool TORVEnvironment::ValidLocaleName(const TORVString& LocaleName, int32_t CharacterSet) const {
  const char16_t* Ordinal = OrdinalName(CharacterSet);
  if (Ordinal != nullptr && SameString(LocaleName, Ordinal)) return true;
  for (const auto& Locale : FLocales)
    if (SameString(Locale->GetShortName(), LocaleName)) return true;
  return false;
}

int32_t TORVEnvironment::ConvertLocaleNameToID(const TORVString& LocaleName, int32_t CharacterSet) const {
  const char16_t* Ordinal = OrdinalName(CharacterSet);
  if (Ordinal != nullptr && SameString(LocaleName, Ordinal)) return 0;
  for (const auto& Locale : FLocales)
    if (SameString(Locale->GetShortName(), LocaleName)) return Locale->GetID();
  return 0;
}

TORVString TORVEnvironment::ConvertIDToLocaleName(int32_t LocaleID, int32_t CharacterSet) const {
  if (LocaleID == 0) {
    const char16_t* Ordinal = OrdinalName(CharacterSet);
    return Ordinal != nullptr ? TORVString(Ordinal) : TORVString();
  }
  const TORVLocale* Locale = FindLocale(LocaleID);
  return Locale != nullptr ? Locale->GetShortName() : TORVString();
}

void TORVEnvironment::GetLocaleNames(std::vector<TORVString>& List, int32_t CharacterSet) const {
  List.clear();
  List.reserve(FLocales.size() + 1);
  const char16_t* Ordinal = OrdinalName(CharacterSet);
  List.emplace_back(Ordinal != nullptr ? Ordinal : u"");
  for (const auto& Locale : FLocales) List.push_back(Locale->GetShortName());
}

TORVString TORVEnvironment::GetCollationName(int32_t ID, int32_t CharacterSet) const {
  int32_t Locale = ID;
  ClearLocaleFlags(Locale);
  TORVString Name = ConvertIDToLocaleName(Locale, CharacterSet);
  if (GetLocaleFlag(ID, CollationCaseInsensitiveBit)) Name += u"_CI";
  if (GetLocaleFlag(ID, CollationAccentInsensitiveBit)) Name += u"_AI";
  if (GetLocaleFlag(ID, CollationKanaInsensitiveBit)) Name += u"_KI";
  if (GetLocaleFlag(ID, CollationWidthInsensitiveBit)) Name += u"_WI";
  return Name;
}

int32_t TORVEnvironment::LocaleToCodePage(int32_t LocaleID) const {
  if (LocaleID == 0) return 0;
  // An alternative sort has the code page of its language.
  const TORVPlatformLocale* Locale = PlatformFindLocale(LocaleID & 0xFFFF);
  return Locale != nullptr ? Locale->CodePage : 0;
}

TORVString TORVEnvironment::MapStringToUnicode(std::string_view Value, int32_t CodePage) const {
  return orv::MapStringToUnicode(Value, CodePage);
}

TORVAnsiString TORVEnvironment::MapStringToAnsi(std::u16string_view Value, int32_t CodePage) const {
  return orv::MapStringToAnsi(Value, CodePage);
}

void TORVEnvironment::MapStringToUnicode(std::string_view Value, int32_t CodePage, TORVString& Result) const {
  Result = orv::MapStringToUnicode(Value, CodePage);
}

void TORVEnvironment::MapStringToAnsi(std::u16string_view Value, int32_t CodePage, TORVAnsiString& Result) const {
  Result = orv::MapStringToAnsi(Value, CodePage);
}

TORVString TORVEnvironment::GetTempDirectory() const { return PlatformTempDirectory(); }

TORVString TORVEnvironment::GetTempFileName() const {
  return PlatformCreateTempFile(PlatformTempDirectory(), u"orv");
}

// Neither folder exists outside Windows.
TORVString TORVEnvironment::GetWindowsDirectory() const { return {}; }
TORVString TORVEnvironment::GetSystemDirectory() const { return {}; }

TORVString TORVEnvironment::GetAppDataDirectory() const { return PlatformAppDataDirectory(); }
TORVString TORVEnvironment::GetCommonDataDirectory() const { return PlatformCommonDataDirectory(); }
TORVString TORVEnvironment::GetDocumentsDirectory() const { return PlatformDocumentsDirectory(); }
TORVString TORVEnvironment::GetModuleFileName() const { return PlatformModuleFileName(); }
TORVString TORVEnvironment::GetComputerName() const { return PlatformComputerName(15); }
TORVString TORVEnvironment::GetUserName() const { return PlatformUserName(); }
int32_t TORVEnvironment::GetProcessID() const { return PlatformProcessID(); }
int32_t TORVEnvironment::GetThreadID() const { return static_cast<int32_t>(GetCurrentThreadID()); }
int32_t TORVEnvironment::GetLastError() const { return PlatformLastError(); }
void TORVEnvironment::SetLastError(int32_t Value) const { PlatformSetLastError(Value); }

TORVCurrency TORVEnvironment::GetOSVersion() const {
  int32_t Major = 0, Minor = 0;
  if (!PlatformOSVersion(Major, Minor)) return {};
  // The minor number is read as decimal places: 6.2, 6.15.
  int64_t Fraction = Minor, Scale = 1;
  while (Scale <= Fraction) Scale *= 10;
  int64_t Scaled = Fraction * TORVCurrency::Scale;
  int64_t Places = (Scaled + Scale / 2) / Scale;
  return TORVCurrency::FromScaled(int64_t{Major} * TORVCurrency::Scale + Places);
}

// The Windows platform IDs do not apply to this system.
TORVOSPlatform TORVEnvironment::GetOSPlatform() const { return opUnknown; }

uint32_t TORVEnvironment::GetTickCount() const { return orv::GetTickCount(); }
void TORVEnvironment::Sleep(uint32_t Value) const { orv::Sleep(Value); }
void TORVEnvironment::YieldThread() const { orv::YieldThread(); }

TORVString TORVEnvironment::ErrorMessage(int32_t ErrorCode) const { return PlatformErrorMessage(ErrorCode); }

void TORVEnvironment::RaiseLastError() const { PlatformRaiseError(PlatformLastError()); }

TORVLibraryHandle TORVEnvironment::LoadLibrary(const TORVString& LibraryFileName) const {
  return PlatformLoadLibrary(LibraryFileName);
}

void TORVEnvironment::FreeLibrary(TORVLibraryHandle& Handle) const {
  if (Handle == 0) return;
  TORVLibraryHandle Held = Handle;
  Handle = 0;
  PlatformFreeLibrary(Held);
}

void* TORVEnvironment::GetFunctionPtr(TORVLibraryHandle Handle, const TORVString& FunctionName) const {
  return PlatformGetFunctionPtr(Handle, StringToUtf8(FunctionName));
}

TORVString TORVEnvironment::GetLibraryErrorMessage() const { return PlatformLibraryError(); }

TORVEnvironment& Environment() {
  static TORVEnvironment Environment;
  static const bool Initialized = (Environment.Initialize(), true);
  (void)Initialized;
  return Environment;
}

}  // namespace orv
