// The failure form of the format checks: return a description of the first broken rule.
#pragma once

#include "fuzz/format_checks.h"

#include <string>

#define KCHECK(condition, message)      \
    do {                                \
        if (!(condition))               \
            return std::string(message); \
    } while (false)
