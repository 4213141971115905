// Conversion of 8-bit text between UTF-16 and the Windows ANSI code pages
// that collations and stored ANSI text refer to (874, 932, 936, 949, 950 and
// 1250 to 1258). Code page 0 stands for the engine's fixed ANSI code page, so
// that stored bytes and digests never depend on the machine's locale.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/orvtype.h"

namespace orv {

// The code page that code page 0 means everywhere in the engine.
inline constexpr int32_t DefaultAnsiCodePage = 1252;

// True for 0 and for every Windows code page the service converts.
bool IsCodePageSupported(int32_t CodePage);

// Bytes in CodePage to UTF-16. Byte sequences the code page does not define
// become a replacement character; an empty input gives an empty text.
TORVString MapStringToUnicode(std::string_view Value, int32_t CodePage);

// UTF-16 to bytes in CodePage. A character the code page cannot hold takes
// its nearest equivalent where the code page defines one, else "?"; an
// empty input gives an empty text.
TORVAnsiString MapStringToAnsi(std::u16string_view Value, int32_t CodePage);

}  // namespace orv
