// The last resort for a message that has nowhere else to go: a handler
// that failed, or none assigned. The engine's logs are the normal place for
// messages; this is only where they land when those cannot take them.
#pragma once

#include "base/orvtype.h"

namespace orv {

// Writes Text and a line break to the process's standard error as UTF-8, in
// one write, so that lines of concurrent callers do not interleave. Never
// raises: a message that cannot be written is lost.
void PlatformLogFallback(const TORVString& Text) noexcept;

}  // namespace orv
