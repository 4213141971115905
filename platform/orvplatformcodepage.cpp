#include "platform/orvplatformcodepage.h"

#include <unicode/ucnv.h>

#include <array>
#include <limits>
#include <string>

#include "base/orverror.h"
#include "base/orvutf8.h"

namespace orv {

namespace {

struct TCodePageEntry {
  int32_t CodePage;
  const char* ConverterName;
};

// ICU's tables for the Windows code pages (not the IBM or ISO relatives that
// share some of the numbers), so that bytes mean what they mean on Windows.
constexpr std::array<TCodePageEntry, 14> CodePages = {{
    {874, "windows-874-2000"},
    {932, "ibm-943_P15A-2003"},
    {936, "windows-936-2000"},
    {949, "windows-949-2000"},
    {950, "windows-950-2000"},
    {1250, "ibm-5346_P100-1998"},
    {1251, "ibm-5347_P100-1998"},
    {1252, "ibm-5348_P100-1997"},
    {1253, "ibm-5349_P100-1998"},
    {1254, "ibm-5350_P100-1998"},
    {1255, "ibm-9447_P100-2002"},
    {1256, "ibm-9448_X100-2005"},
    {1257, "ibm-9449_P100-2002"},
    {1258, "ibm-5354_P100-1998"},
}};

int FindCodePage(int32_t CodePage) {
  if (CodePage == 0) CodePage = DefaultAnsiCodePage;
  for (std::size_t i = 0; i < CodePages.size(); ++i) {
    if (CodePages[i].CodePage == CodePage) return static_cast<int>(i);
  }
  return -1;
}

// Characters a code page lacks are replaced by "?", never refused; only a
// code page outside the table (callers take theirs from the locale table),
// text beyond 2 GB or a converter that fails outright comes here, a plain
// engine exception without an error code.
[[noreturn]] void RaiseConversionError(const char* Detail, int32_t CodePage) {
  throw EORVBaseException(FormatString(u"Cannot convert text with the code page %s (%s)",
                                       {AsciiToString(std::to_string(CodePage)), AsciiToString(Detail)}));
}

// ICU converters keep conversion state and must not be shared between
// threads; each thread opens the ones it uses once and keeps them.
class TConverterCache {
 public:
  TConverterCache() { FConverters.fill(nullptr); }
  ~TConverterCache() {
    for (UConverter* converter : FConverters) {
      if (converter != nullptr) ucnv_close(converter);
    }
  }
  TConverterCache(const TConverterCache&) = delete;
  TConverterCache& operator=(const TConverterCache&) = delete;

  UConverter* Get(int32_t CodePage) {
    const int index = FindCodePage(CodePage);
    if (index < 0) RaiseConversionError("code page not supported", CodePage);
    UConverter*& converter = FConverters[static_cast<std::size_t>(index)];
    if (converter == nullptr) {
      UErrorCode error = U_ZERO_ERROR;
      UConverter* opened = ucnv_open(CodePages[static_cast<std::size_t>(index)].ConverterName, &error);
      if (U_FAILURE(error) || opened == nullptr) RaiseConversionError(u_errorName(error), CodePage);
      // Characters without an exact mapping take the code page's nearest
      // equivalent where it has one, and "?" otherwise, as Windows does.
      ucnv_setFallback(opened, true);
      ucnv_setSubstChars(opened, "?", 1, &error);
      if (U_FAILURE(error)) {
        ucnv_close(opened);
        RaiseConversionError(u_errorName(error), CodePage);
      }
      converter = opened;
    }
    return converter;
  }

 private:
  std::array<UConverter*, CodePages.size()> FConverters;
};

UConverter* Converter(int32_t CodePage) {
  thread_local TConverterCache cache;
  return cache.Get(CodePage);
}

// ICU counts in int32_t; anything longer cannot be converted in one call.
int32_t CheckedLength(std::size_t Length, std::size_t Factor, int32_t CodePage) {
  if (Length > static_cast<std::size_t>(std::numeric_limits<int32_t>::max() / 4) / Factor) {
    RaiseConversionError("text too long", CodePage);
  }
  return static_cast<int32_t>(Length);
}

}  // namespace

bool IsCodePageSupported(int32_t CodePage) { return FindCodePage(CodePage) >= 0; }

TORVString MapStringToUnicode(std::string_view Value, int32_t CodePage) {
  UConverter* converter = Converter(CodePage);
  if (Value.empty()) return TORVString();
  const int32_t length = CheckedLength(Value.size(), 2, CodePage);
  // One byte never gives more than two UTF-16 units.
  TORVString result(static_cast<std::size_t>(length) * 2, u'\0');
  UErrorCode error = U_ZERO_ERROR;
  const int32_t written = ucnv_toUChars(converter, reinterpret_cast<UChar*>(result.data()),
                                        static_cast<int32_t>(result.size()), Value.data(), length, &error);
  if (U_FAILURE(error)) RaiseConversionError(u_errorName(error), CodePage);
  result.resize(static_cast<std::size_t>(written));
  return result;
}

TORVAnsiString MapStringToAnsi(std::u16string_view Value, int32_t CodePage) {
  UConverter* converter = Converter(CodePage);
  if (Value.empty()) return TORVAnsiString();
  const std::size_t maxBytes = static_cast<std::size_t>(ucnv_getMaxCharSize(converter));
  const int32_t length = CheckedLength(Value.size(), maxBytes, CodePage);
  TORVAnsiString result(static_cast<std::size_t>(UCNV_GET_MAX_BYTES_FOR_STRING(length, maxBytes)), '\0');
  UErrorCode error = U_ZERO_ERROR;
  const int32_t written =
      ucnv_fromUChars(converter, result.data(), static_cast<int32_t>(result.size()),
                      reinterpret_cast<const UChar*>(Value.data()), length, &error);
  if (U_FAILURE(error)) RaiseConversionError(u_errorName(error), CodePage);
  result.resize(static_cast<std::size_t>(written));
  return result;
}

}  // namespace orv
