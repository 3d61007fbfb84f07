// The worker count: environment, setting, then the processors this process may use.
#include "platform/Workers.h"

#include <atomic>
#include <cstdlib>
#include <sched.h>
#include <unistd.h>

namespace platform
{

namespace
{

std::atomic<unsigned> g_setting{0};

// A count written as digits only, or 0.
unsigned Parse(const char* text)
{
    if (text == nullptr || *text == '\0') {
        return 0;
    }
    unsigned long value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9' || value > kMaxWorkers) {
            return *p >= '0' && *p <= '9' ? kMaxWorkers : 0;
        }
        value = value * 10 + static_cast<unsigned long>(*p - '0');
    }
    return static_cast<unsigned>(value);
}

unsigned Processors()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        int count = CPU_COUNT(&set);
        if (count > 0) {
            return static_cast<unsigned>(count);
        }
    }
    long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<unsigned>(online) : 1;
}

} // namespace

unsigned WorkerCount()
{
    unsigned count = Parse(std::getenv("TAVREL_THREADS"));
    if (count == 0) {
        count = g_setting.load(std::memory_order_relaxed);
    }
    if (count == 0) {
        count = Processors();
    }
    return count < 1 ? 1 : (count > kMaxWorkers ? kMaxWorkers : count);
}

void SetWorkerSetting(unsigned count)
{
    g_setting.store(count, std::memory_order_relaxed);
}

} // namespace platform
