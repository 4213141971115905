#include "platform/orvplatformlog.h"

#include <unistd.h>

#include <cerrno>
#include <string>

#include "base/orvutf8.h"

namespace orv {

void PlatformLogFallback(const TORVString& Text) noexcept {
  try {
    std::string Line = StringToUtf8(Text);
    Line += '\n';
    const char* Data = Line.data();
    size_t Left = Line.size();
    while (Left > 0) {
      const ssize_t Written = ::write(STDERR_FILENO, Data, Left);
      if (Written < 0 && errno == EINTR) continue;
      if (Written <= 0) return;
      Data += Written;
      Left -= static_cast<size_t>(Written);
    }
  } catch (...) {
    // Out of memory for the line: there is nowhere left to say so.
  }
}

}  // namespace orv
