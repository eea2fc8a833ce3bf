#include "common/short_slices.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The kernel's struct sched_attr (first version); glibc 2.36 does not declare it.
struct SchedAttr {
  uint32_t Size;
  uint32_t Policy;
  uint64_t Flags;
  int32_t Nice;
  uint32_t Priority;
  uint64_t Runtime;  // for SCHED_OTHER: the slice
  uint64_t Deadline;
  uint64_t Period;
};

}  // namespace

bool RequestShortTimeSlices(uint64_t nanoseconds) {
  SchedAttr attr{};
  attr.Size = sizeof attr;
  attr.Policy = SCHED_OTHER;
  attr.Nice = getpriority(PRIO_PROCESS, 0);
  attr.Runtime = nanoseconds;
  return syscall(SYS_sched_setattr, 0, &attr, 0) == 0;
}
