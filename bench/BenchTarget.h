// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>

// A figure against its target: the verdict is printed after the figures, and a missed target
// makes the program's exit status 1, so that `make bench` fails on it.
namespace BenchTarget {

inline int& missed() {
    static int count = 0;
    return count;
}

// Prints "PASS: what" or "FAIL: what" with the value and the target; false when missed.
inline bool met(const char* what, double value, const char* relation, double target, bool ok) {
    std::printf("%s: %s %.3f (target %s %g)\n", ok ? "PASS" : "FAIL", what, value, relation,
                target);
    if (!ok)
        ++missed();
    return ok;
}

inline bool atMost(const char* what, double value, double target) {
    return met(what, value, "<=", target, value <= target);
}

inline bool below(const char* what, double value, double target) {
    return met(what, value, "<", target, value < target);
}

// A target that is a condition, not a figure.
inline bool holds(const char* what, bool ok) {
    std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what);
    if (!ok)
        ++missed();
    return ok;
}

inline int exitStatus() {
    return missed() == 0 ? 0 : 1;
}

} // namespace BenchTarget
