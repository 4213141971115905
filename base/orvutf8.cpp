#include "base/orvutf8.h"

namespace orv {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void AppendUtf16(TORVString& out, char32_t cp) {
  if (cp < 0x10000) {
    out += static_cast<char16_t>(cp);
  } else {
    out += HighSurrogateOf(cp);
    out += LowSurrogateOf(cp);
  }
}

}  // namespace

std::string StringToUtf8(std::u16string_view Value) {
  std::string out;
  out.reserve(Value.size());
  for (std::size_t i = 0; i < Value.size(); ++i) {
    char32_t c = Value[i];
    if (IsHighSurrogate(c)) {
      if (i + 1 < Value.size() && IsLowSurrogate(Value[i + 1])) {
        c = SurrogatePairCodePoint(c, Value[i + 1]);
        ++i;
      } else {
        c = kReplacement;
      }
    } else if (IsLowSurrogate(c)) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

TORVString Utf8ToString(std::string_view Value) {
  TORVString out;
  out.reserve(Value.size());
  std::size_t i = 0;
  while (i < Value.size()) {
    const auto b0 = static_cast<unsigned char>(Value[i]);
    int extra;
    char32_t cp;
    char32_t min;
    if (b0 < 0x80) {
      out += static_cast<char16_t>(b0);
      ++i;
      continue;
    } else if ((b0 & 0xE0) == 0xC0) {
      extra = 1, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
      extra = 2, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
      extra = 3, cp = b0 & 0x07, min = 0x10000;
    } else {
      out += static_cast<char16_t>(kReplacement);
      ++i;
      continue;
    }
    std::size_t j = 1;
    for (; j <= static_cast<std::size_t>(extra); ++j) {
      if (i + j >= Value.size()) break;
      const auto b = static_cast<unsigned char>(Value[i + j]);
      if ((b & 0xC0) != 0x80) break;
      cp = (cp << 6) | (b & 0x3F);
    }
    if (j <= static_cast<std::size_t>(extra) || cp < min || cp > 0x10FFFF || IsSurrogate(cp)) {
      out += static_cast<char16_t>(kReplacement);
      i += j;
      continue;
    }
    AppendUtf16(out, cp);
    i += j;
  }
  return out;
}

TORVString AsciiToString(std::string_view Value) {
  return TORVString(Value.begin(), Value.end());
}

}  // namespace orv
