#pragma once

#include <cstdio>

// One figure on a line of its own, beside a benchmark's readable report, for bench/run-all.sh to
// gather into one table: FIGURE <tab> what <tab> unit <tab> ours <tab> baseline <tab> its value <tab> aim.
// A figure without a baseline passes an empty name.
inline void printFigure(const char* what, const char* unit, double ours, const char* baseline = "",
                        double baselineValue = 0.0, const char* aim = "")
{
    std::printf("FIGURE\t%s\t%s\t%.4g\t%s\t%.4g\t%s\n", what, unit, ours, baseline, baselineValue, aim);
    std::fflush(stdout);
}
