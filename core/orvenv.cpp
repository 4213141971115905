#include "core/orvenv.h"

#include "core/orvstrings.h"
#include "platform/orvplatformcodepage.h"
#include "platform/orvplatformlocale.h"
#include "platform/orvplatformos.h"
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
  const int32_t needed = GetNumLocales() + 1;
  if (static_cast<std::size_t>(needed) > FLocales.capacity())
    FLocales.reserve(static_cast<std::size_t>(BlockOffset(needed, 64)));
  FLocales.push_back(std::make_unique<TORVLocale>(ID, Name, ShortName));
}

void TORVEnvironment::PopulateLocales() {
  for (const TORVPlatformLocale& locale : PlatformLocales()) {
    TORVString shortName = locale.ShortName;
    const int32_t id = locale.ID & 0xFFFF;
    // Latin and Cyrillic scripts of one language would otherwise share a name.
    if (id == 1068 || id == 1091)
      shortName += u"L";
    else if (id == 2092 || id == 2115)
      shortName += u"C";
    AddLocale(id, locale.Name, shortName);
    const auto language = static_cast<uint16_t>(id);
    if (GetPrimaryLanguageID(language) == 7 && GetSubLanguageID(language) == 1) {
      const TORVPlatformLocale& phoneBook = *PlatformFindLocale(GermanPhoneBookLocaleID);
      AddLocale(phoneBook.ID, phoneBook.Name, phoneBook.ShortName);
    }
  }
}

const TORVLocale* TORVEnvironment::FindLocale(int32_t LocaleID) const {
  for (const auto& locale : FLocales)
    if (locale->GetID() == LocaleID) return locale.get();
  return nullptr;
}

bool TORVEnvironment::ValidLocale(int32_t LocaleID) const {
  return LocaleID == 0 || FindLocale(LocaleID) != nullptr;
}

bool TORVEnvironment::ValidLocaleName(const TORVString& LocaleName, int32_t CharacterSet) const {
  const char16_t* ordinal = OrdinalName(CharacterSet);
  if (ordinal != nullptr && SameString(LocaleName, ordinal)) return true;
  for (const auto& locale : FLocales)
    if (SameString(locale->GetShortName(), LocaleName)) return true;
  return false;
}

int32_t TORVEnvironment::ConvertLocaleNameToID(const TORVString& LocaleName, int32_t CharacterSet) const {
  const char16_t* ordinal = OrdinalName(CharacterSet);
  if (ordinal != nullptr && SameString(LocaleName, ordinal)) return 0;
  for (const auto& locale : FLocales)
    if (SameString(locale->GetShortName(), LocaleName)) return locale->GetID();
  return 0;
}

TORVString TORVEnvironment::ConvertIDToLocaleName(int32_t LocaleID, int32_t CharacterSet) const {
  if (LocaleID == 0) {
    const char16_t* ordinal = OrdinalName(CharacterSet);
    return ordinal != nullptr ? TORVString(ordinal) : TORVString();
  }
  const TORVLocale* locale = FindLocale(LocaleID);
  return locale != nullptr ? locale->GetShortName() : TORVString();
}

void TORVEnvironment::GetLocaleNames(std::vector<TORVString>& List, int32_t CharacterSet) const {
  List.clear();
  List.reserve(FLocales.size() + 1);
  const char16_t* ordinal = OrdinalName(CharacterSet);
  List.emplace_back(ordinal != nullptr ? ordinal : u"");
  for (const auto& locale : FLocales) List.push_back(locale->GetShortName());
}

TORVString TORVEnvironment::GetCollationName(int32_t ID, int32_t CharacterSet) const {
  int32_t locale = ID;
  ClearLocaleFlags(locale);
  TORVString name = ConvertIDToLocaleName(locale, CharacterSet);
  if (GetLocaleFlag(ID, CollationCaseInsensitiveBit)) name += u"_CI";
  if (GetLocaleFlag(ID, CollationAccentInsensitiveBit)) name += u"_AI";
  if (GetLocaleFlag(ID, CollationKanaInsensitiveBit)) name += u"_KI";
  if (GetLocaleFlag(ID, CollationWidthInsensitiveBit)) name += u"_WI";
  return name;
}

int32_t TORVEnvironment::LocaleToCodePage(int32_t LocaleID) const {
  if (LocaleID == 0) return 0;
  // An alternative sort has the code page of its language.
  const TORVPlatformLocale* locale = PlatformFindLocale(LocaleID & 0xFFFF);
  return locale != nullptr ? locale->CodePage : 0;
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
int32_t TORVEnvironment::GetThreadID() const { return PlatformThreadID(); }
int32_t TORVEnvironment::GetLastError() const { return PlatformLastError(); }
void TORVEnvironment::SetLastError(int32_t Value) const { PlatformSetLastError(Value); }

TORVCurrency TORVEnvironment::GetOSVersion() const {
  int32_t major = 0, minor = 0;
  if (!PlatformOSVersion(major, minor)) return {};
  // The minor number is read as decimal places: 6.2, 6.15.
  int64_t fraction = minor, scale = 1;
  while (scale <= fraction) scale *= 10;
  int64_t scaled = fraction * TORVCurrency::Scale;
  int64_t places = (scaled + scale / 2) / scale;
  return TORVCurrency::FromScaled(int64_t{major} * TORVCurrency::Scale + places);
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
  TORVLibraryHandle handle = Handle;
  Handle = 0;
  PlatformFreeLibrary(handle);
}

void* TORVEnvironment::GetFunctionPtr(TORVLibraryHandle Handle, const TORVString& FunctionName) const {
  return PlatformGetFunctionPtr(Handle, StringToUtf8(FunctionName));
}

TORVEnvironment& Environment() {
  static TORVEnvironment environment;
  static const bool initialized = (environment.Initialize(), true);
  (void)initialized;
  return environment;
}

}  // namespace orv
