#pragma once
// The checks of the small test programs that run under Wine, where Qt Test
// is not at hand: each check prints PASS or FAIL with its name, and the
// program's exit status is the number that failed.

#include <cstdio>
#include <string>

namespace checks {

inline int failures = 0;

inline void check(bool ok, const std::string &name, const std::string &detail = {})
{
    std::printf("%s: %s%s%s\n", ok ? "PASS" : "FAIL", name.c_str(), detail.empty() ? "" : " -- ",
                detail.c_str());
    failures += ok ? 0 : 1;
}

} // namespace checks
