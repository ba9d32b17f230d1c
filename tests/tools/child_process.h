#pragma once

// A tool run as a real child process with pipes on its standard streams, so
// the tests see exactly what a user or a script would.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace pelmora::test {

class ChildProcess {
public:
    // Starts `program` with `arguments`. Throws std::runtime_error if it
    // cannot be started.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments);
    // Kills (SIGKILL) and reaps the child if it still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Writes all of `bytes` to its standard input, then closes it.
    void writeStdinAndClose(const std::string& bytes);

    // The next line of standard output without its '\n', or nothing if none
    // came within `timeout` (or the output ended).
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);

    void signal(int signalNumber);

    // Exit code, or nothing if the child did not exit within `timeout` (or
    // was ended by a signal). Collects the rest of stdout and stderr.
    std::optional<int> wait(std::chrono::milliseconds timeout);

    const std::string& standardError() const { return stderr_; }
    // Output not yet returned by readLine.
    const std::string& pendingOutput() const { return stdout_; }

private:
    void pump(std::chrono::milliseconds timeout);

    pid_t pid_ = -1;
    int stdinFd_ = -1;
    int stdoutFd_ = -1;
    int stderrFd_ = -1;
    std::string stdout_;
    std::string stderr_;
    std::optional<int> status_;
};

struct RunResult {
    int exitCode = -1;  // -1: killed after the time limit
    std::string out;
    std::string err;
};

// Runs to the end with `input` on standard input.
RunResult runToEnd(const std::string& program, const std::vector<std::string>& arguments, const std::string& input = {},
                   std::chrono::milliseconds timeout = std::chrono::seconds(30));

}  // namespace pelmora::test
