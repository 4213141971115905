// Character sets of stored text (ANSI or Unicode): their names, their sizes
// and the signs by which a byte image shows UTF-16 text.
#pragma once

#include <cstdint>

#include "base/orvtype.h"

namespace orv {

// "ANSI" for 0, "Unicode" for 1, "Unknown" otherwise.
TORVString CharSetToString(int32_t CharacterSet);
// Bytes per character: 1, 2, or 0 for an unknown set.
int32_t CharSize(int32_t CharacterSet);
// At least two bytes and they are FF FE.
bool ContainsUnicodePreamble(const TORVBytes& Bytes);
// At least two bytes and one of the first two is 0.
bool ContainsUnicodeChars(const TORVBytes& Bytes);

}  // namespace orv
