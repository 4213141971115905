#include "core/orvcharset.h"

namespace orv {

TORVString CharSetToString(int32_t CharacterSet) {
  switch (CharacterSet) {
    case 0:
      return u"ANSI";
    case 1:
      return u"Unicode";
    default:
      return u"Unknown";
  }
}

int32_t CharSize(int32_t CharacterSet) {
  return CharacterSet == CharacterSetAnsi ? 1 : (CharacterSet == CharacterSetUnicode ? 2 : 0);
}

bool ContainsUnicodePreamble(const TORVBytes& Bytes) {
  return Bytes.size() >= 2 && Bytes[0] == 0xFF && Bytes[1] == 0xFE;
}

bool ContainsUnicodeChars(const TORVBytes& Bytes) {
  return Bytes.size() >= 2 && (Bytes[0] == 0 || Bytes[1] == 0);
}

}  // namespace orv
