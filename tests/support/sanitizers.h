#pragma once

#include <string_view>

// What the build is instrumented with (-DKELVORA_SANITIZE), so tests that run in real time allow
// for the slower code: their timing aims and waits are multiplied by timeScale().
namespace Sanitizers {

#ifdef KELVORA_SANITIZE
constexpr std::string_view Enabled = KELVORA_SANITIZE;
#else
constexpr std::string_view Enabled;
#endif

constexpr bool Address = Enabled.find("address") != std::string_view::npos;
constexpr bool Thread = Enabled.find("thread") != std::string_view::npos;

// ThreadSanitizer slows code down about five to fifteen times, AddressSanitizer about twice.
constexpr int timeScale()
{
    return Thread ? 8 : Address ? 3 : 1;
}

constexpr int scaled(int milliseconds)
{
    return milliseconds * timeScale();
}

} // namespace Sanitizers
