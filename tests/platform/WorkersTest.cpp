// The worker count: the variable wins over the setting, which wins over the machine; every
// answer lies between 1 and the cap, and a value that is no count is passed over.
#include "platform/Workers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sched.h>

using namespace platform;

TEST(Workers, VariableThenSettingThenTheProcessorsThisProcessMayUse)
{
    cpu_set_t set;
    ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
    const unsigned machine = std::min<unsigned>(CPU_COUNT(&set), kMaxWorkers);
    struct Case
    {
        const char* variable; // null: unset
        unsigned setting;
        unsigned expected;
    };
    const Case cases[] = {
        {nullptr, 0, machine},
        {nullptr, 3, 3},
        {nullptr, 99, kMaxWorkers},
        {"1", 3, 1},
        {"2", 0, 2},
        {"12345678901234567890", 1, kMaxWorkers},
        {"", 3, 3},
        {"two", 0, machine},
        {"0", 5, 5},
        {"-1", 0, machine},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.variable != nullptr ? c.variable : "(unset)");
        if (c.variable != nullptr) {
            setenv("TAVREL_THREADS", c.variable, 1);
        } else {
            unsetenv("TAVREL_THREADS");
        }
        SetWorkerSetting(c.setting);
        EXPECT_EQ(WorkerCount(), c.expected);
    }
    unsetenv("TAVREL_THREADS");
    SetWorkerSetting(0);
}
