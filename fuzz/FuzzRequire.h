#pragma once

#include <cstdio>
#include <cstdlib>

// Stops the run with a libFuzzer crash report naming the broken invariant.
inline void Require(bool condition, const char* invariant) {
    if (condition)
        return;
    std::fprintf(stderr, "invariant broken: %s\n", invariant);
    std::abort();
}
