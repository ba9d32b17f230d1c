#pragma once

// Exit statuses of the tools, the values of BSD's sysexits.h (not available
// on Windows, hence spelled out).

#include <cstdio>
#include <exception>

namespace pelmora::tools {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 64;        // EX_USAGE: bad command line
inline constexpr int kExitDataError = 65;    // EX_DATAERR: text that cannot be sent
inline constexpr int kExitUnavailable = 69;  // EX_UNAVAILABLE: port missing, busy or denied
inline constexpr int kExitOsError = 71;      // EX_OSERR: the system refused a resource
inline constexpr int kExitCantCreate = 73;   // EX_CANTCREAT: an output file cannot be made
inline constexpr int kExitIoError = 74;      // EX_IOERR: write failed or timed out

// Runs a tool's body; an exception that escapes it (out of memory, a missing
// converter) ends the tool with one line on stderr instead of an abort.
template <typename Body>
int runReportingInternalErrors(const char* program, Body&& body)
{
    try {
        return body();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: internal error: %s\n", program, error.what());
        return kExitOsError;
    }
}

}  // namespace pelmora::tools
