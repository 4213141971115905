#include "platform/orvplatformthread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace orv {

uint32_t GetCurrentThreadID() { return static_cast<uint32_t>(::syscall(SYS_gettid)); }

bool SetThreadNiceValue(uint32_t ThreadID, int32_t Nice) {
  // On Linux a thread's own number names it alone for PRIO_PROCESS.
  return ::setpriority(PRIO_PROCESS, static_cast<id_t>(ThreadID), Nice) == 0;
}

}  // namespace orv
