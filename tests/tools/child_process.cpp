#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace pelmora::test {
namespace {

using Clock = std::chrono::steady_clock;

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments)
{
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_ = ::fork();
    if (pid_ < 0)
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (pid_ == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    stdinFd_ = in[1];
    stdoutFd_ = out[0];
    stderrFd_ = err[0];
    ::signal(SIGPIPE, SIG_IGN);
}

ChildProcess::~ChildProcess()
{
    if (!status_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    closeFd(stdinFd_);
    closeFd(stdoutFd_);
    closeFd(stderrFd_);
}

void ChildProcess::writeStdinAndClose(const std::string& bytes)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(stdinFd_, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    closeFd(stdinFd_);
}

// Reads whatever arrives on stdout/stderr until `timeout` or both end.
void ChildProcess::pump(std::chrono::milliseconds timeout)
{
    std::array<pollfd, 2> fds{pollfd{stdoutFd_, POLLIN, 0}, pollfd{stderrFd_, POLLIN, 0}};
    if (::poll(fds.data(), fds.size(), static_cast<int>(timeout.count())) <= 0)
        return;
    std::array<char, 65536> buffer{};
    int* fdsToRead[] = {&stdoutFd_, &stderrFd_};
    std::string* sinks[] = {&stdout_, &stderr_};
    for (std::size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].revents == 0)
            continue;
        const ssize_t n = ::read(*fdsToRead[i], buffer.data(), buffer.size());
        if (n > 0)
            sinks[i]->append(buffer.data(), static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
            closeFd(*fdsToRead[i]);
    }
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (const auto end = stdout_.find('\n'); end != std::string::npos) {
            std::string line = stdout_.substr(0, end);
            stdout_.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || (stdoutFd_ < 0 && stderrFd_ < 0))
            return std::nullopt;
        if (stdoutFd_ < 0) {
            // Output ended; nothing more can come.
            return std::nullopt;
        }
        pump(left);
    }
}

void ChildProcess::signal(int signalNumber)
{
    if (!status_)
        ::kill(pid_, signalNumber);
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (!status_) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            status_ = status;
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        if (stdoutFd_ >= 0 || stderrFd_ >= 0)
            pump(std::min(left, std::chrono::milliseconds(20)));
        else
            ::usleep(5000);
    }
    // The child is gone; collect what it left in the pipes (bounded, in case
    // something it started still holds them).
    const auto drainDeadline = Clock::now() + std::chrono::seconds(5);
    while ((stdoutFd_ >= 0 || stderrFd_ >= 0) && Clock::now() < drainDeadline)
        pump(std::chrono::milliseconds(100));
    if (!WIFEXITED(*status_))
        return std::nullopt;
    return WEXITSTATUS(*status_);
}

RunResult runToEnd(const std::string& program, const std::vector<std::string>& arguments, const std::string& input,
                   std::chrono::milliseconds timeout)
{
    ChildProcess child(program, arguments);
    child.writeStdinAndClose(input);
    RunResult result;
    result.exitCode = child.wait(timeout).value_or(-1);
    result.out = child.pendingOutput();
    result.err = child.standardError();
    return result;
}

}  // namespace pelmora::test
