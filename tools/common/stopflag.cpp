#include "tools/common/stopflag.h"

#include <atomic>

namespace {

// Lock-free, so that the signal handler may set it.
std::atomic<bool> stopFlag {false};
static_assert(std::atomic<bool>::is_always_lock_free);

}  // namespace

void RequestStop()
{
    stopFlag.store(true, std::memory_order_relaxed);
}

bool StopRequested()
{
    return stopFlag.load(std::memory_order_relaxed);
}

void ThrowIfStopRequested()
{
    if (StopRequested())
        throw TStopped();
}
