// The environment: the operating system's locales, folders, names, error
// texts and shared libraries as the engine object that higher layers ask,
// and the bit routines of collation IDs. It is not the only way down: the
// one doorway to the operating system is platform/, and core files call the
// narrow platform service they need (clock, thread identity, code pages,
// locale comparison) directly.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "core/orvcommon.h"
#include "base/orvtype.h"
#include "platform/orvplatformos.h"

namespace orv {

// Low 16 bits: language ID (primary language in bits 0-9, sublanguage in
// bits 10-15); bits 16-19: sort ID; bits 20-23: the options below. 0 is the
// ordinal collation.
using TORVCollationID = int32_t;

constexpr int32_t CollationCaseInsensitiveBit = 20;   // _CI
constexpr int32_t CollationAccentInsensitiveBit = 21; // _AI
constexpr int32_t CollationKanaInsensitiveBit = 22;   // _KI
constexpr int32_t CollationWidthInsensitiveBit = 23;  // _WI
constexpr int32_t CollationFlagsMask = 0x00F00000;

// The German phone-book sort, listed right after German (Germany).
constexpr int32_t GermanPhoneBookLocaleID = 66567;

inline int32_t GetLocaleID(uint16_t LanguageID, uint16_t SortID) {
  return static_cast<int32_t>((static_cast<uint32_t>(SortID) << 16) | LanguageID);
}
inline uint16_t GetLanguageID(uint8_t Primary, uint8_t Sub) {
  return static_cast<uint16_t>((static_cast<uint16_t>(Sub) << 10) | Primary);
}
inline uint16_t GetPrimaryLanguageID(uint16_t LanguageID) { return LanguageID & 0x3FF; }
inline uint16_t GetSubLanguageID(uint16_t LanguageID) { return static_cast<uint16_t>(LanguageID >> 10); }

inline bool GetLocaleFlag(int32_t Value, int32_t Flag) {
  return (static_cast<uint32_t>(Value) >> Flag) & 1u;
}
inline void SetLocaleFlag(int32_t& Value, int32_t Flag) {
  Value = static_cast<int32_t>(static_cast<uint32_t>(Value) | (1u << Flag));
}
inline void ClearLocaleFlag(int32_t& Value, int32_t Flag) {
  Value = static_cast<int32_t>(static_cast<uint32_t>(Value) & ~(1u << Flag));
}
inline void ClearLocaleFlags(int32_t& Value) { Value &= ~CollationFlagsMask; }
inline void CopyLocaleFlags(int32_t Source, int32_t& Dest) { Dest |= Source & CollationFlagsMask; }

enum TORVOSPlatform : uint8_t { opUnknown, opWindows9x, opWindowsNT };

class TORVLocale : public TORVBaseObject {
 public:
  TORVLocale(int32_t ID, TORVString Name, TORVString ShortName)
      : FID(ID), FName(std::move(Name)), FShortName(std::move(ShortName)) {}

  int32_t GetID() const { return FID; }
  const TORVString& GetName() const { return FName; }
  const TORVString& GetShortName() const { return FShortName; }

 private:
  int32_t FID;
  TORVString FName;
  TORVString FShortName;
};

class TORVEnvironment : public TORVBaseObject {
 public:
  TORVEnvironment() = default;

  // Fills the locale table; the global environment does this once at start.
  virtual void Initialize();
  virtual void PopulateLocales();

  int32_t GetNumLocales() const { return static_cast<int32_t>(FLocales.size()); }
  const TORVLocale& GetLocales(int32_t Index) const { return *FLocales[static_cast<std::size_t>(Index)]; }

  bool ValidLocale(int32_t LocaleID) const;
  bool ValidLocaleName(const TORVString& LocaleName, int32_t CharacterSet) const;
  int32_t ConvertLocaleNameToID(const TORVString& LocaleName, int32_t CharacterSet) const;
  TORVString ConvertIDToLocaleName(int32_t LocaleID, int32_t CharacterSet) const;
  // "ANSI" or "UNI" first, then every locale's short name in table order.
  void GetLocaleNames(std::vector<TORVString>& List, int32_t CharacterSet) const;
  TORVString GetCollationName(int32_t ID, int32_t CharacterSet) const;
  int32_t LocaleToCodePage(int32_t LocaleID) const;
  // Code-page text to and from UTF-16; empty for an empty input.
  TORVString MapStringToUnicode(std::string_view Value, int32_t CodePage) const;
  TORVAnsiString MapStringToAnsi(std::u16string_view Value, int32_t CodePage) const;
  void MapStringToUnicode(std::string_view Value, int32_t CodePage, TORVString& Result) const;
  void MapStringToAnsi(std::u16string_view Value, int32_t CodePage, TORVAnsiString& Result) const;

  TORVString GetTempDirectory() const;
  // A new, empty temporary file ("orvXXXX.TMP") in the temporary folder; it
  // is created so that no other caller can be handed the same name.
  TORVString GetTempFileName() const;
  TORVString GetWindowsDirectory() const;
  TORVString GetSystemDirectory() const;
  TORVString GetAppDataDirectory() const;
  TORVString GetCommonDataDirectory() const;
  TORVString GetDocumentsDirectory() const;
  TORVString GetModuleFileName() const;
  TORVString GetComputerName() const;
  TORVString GetUserName() const;
  int32_t GetProcessID() const;
  int32_t GetThreadID() const;
  int32_t GetLastError() const;
  void SetLastError(int32_t Value) const;
  TORVCurrency GetOSVersion() const;
  TORVOSPlatform GetOSPlatform() const;
  TORVString ErrorMessage(int32_t ErrorCode) const;
  [[noreturn]] void RaiseLastError() const;

  // Spans stay right across the 2^32 wrap of the tick counter.
  static uint32_t CalcElapsedTime(uint32_t BeginTicks, uint32_t EndTicks) { return EndTicks - BeginTicks; }
  uint32_t GetTickCount() const;
  void Sleep(uint32_t Value) const;
  void YieldThread() const;

  TORVLibraryHandle LoadLibrary(const TORVString& LibraryFileName) const;
  static bool LibraryLoaded(TORVLibraryHandle Handle) { return Handle != 0; }
  void FreeLibrary(TORVLibraryHandle& Handle) const;
  void* GetFunctionPtr(TORVLibraryHandle Handle, const TORVString& FunctionName) const;
  // The loader's text for this thread's last failed load, lookup or free.
  TORVString GetLibraryErrorMessage() const;

 protected:
  void AddLocale(int32_t ID, const TORVString& Name, const TORVString& ShortName);

 private:
  const TORVLocale* FindLocale(int32_t LocaleID) const;

  std::vector<std::unique_ptr<TORVLocale>> FLocales;
};

// The process-wide environment, created and initialised on first use.
TORVEnvironment& Environment();

}  // namespace orv
