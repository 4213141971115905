// The signature and encryption password every engine starts with. The
// engine's settings and the stores that reach other engines both fall back
// on them, so they live below both.
#pragma once

namespace orv {

inline constexpr char16_t DefaultEngineSignature[] = u"kiln_marigold";
inline constexpr char16_t DefaultEncryptionPassword[] = u"brindlewort";

}  // namespace orv
