// UTF-8 <-> UTF-16 at the operating-system boundary (file names, sockets,
// diagnostics). Ill-formed input becomes U+FFFD rather than failing.
#pragma once

#include <string>
#include <string_view>

#include "base/orvtype.h"

namespace orv {

std::string StringToUtf8(std::u16string_view Value);
TORVString Utf8ToString(std::string_view Value);
// Widens 7-bit text (numbers, fixed keywords) without any conversion rules.
TORVString AsciiToString(std::string_view Value);

}  // namespace orv
