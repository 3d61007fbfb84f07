// Runs a CRC check with each carry-less fold this processor has: the wide one (where there is
// one) and the narrow one, which the wide one would otherwise hide on such a processor.
#pragma once

#include "archive/CarrylessFold.h"

#include <gtest/gtest.h>

namespace testsupport
{

template <class Check> void WithEachFold(Check check)
{
#if defined(__x86_64__)
    const bool wide = WideFoldAllowed();
    check();
    if (wide) {
        SCOPED_TRACE("narrow fold");
        WideFoldAllowed() = false;
        check();
        WideFoldAllowed() = true;
    }
#else
    check();
#endif
}

} // namespace testsupport
