#pragma once

// Test helpers for the serial port: an owner loop standing in for the GUI's
// event loop, and real pseudo-terminals.

#include "link/serial_port.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace pelmora::link::testing {

// Tasks posted from any thread run on the thread that pumps, in posting order.
class OwnerLoop {
public:
    PostToOwner poster()
    {
        return [this](std::function<void()> task) {
            {
                std::lock_guard lock(mutex_);
                tasks_.push_back(std::move(task));
            }
            posted_.notify_all();
        };
    }

    // Runs posted tasks until `done` holds or `limit` has passed; returns done().
    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (done())
                return true;
            std::unique_lock lock(mutex_);
            if (!posted_.wait_until(lock, deadline, [&] { return !tasks_.empty(); }))
                return done();
            auto task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
        }
    }

    void pumpFor(std::chrono::milliseconds period)
    {
        pumpUntil([] { return false; }, period);
    }

    std::size_t pendingTasks()
    {
        std::lock_guard lock(mutex_);
        return tasks_.size();
    }

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> tasks_;
};

// A pseudo-terminal pair. The slave descriptor from openpty stays open: the
// tests read the slave's settings through it and use it as a second writer.
struct PseudoTerminal {
    int master = -1;
    int slave = -1;
    std::string slavePath;

    PseudoTerminal()
    {
        if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
            return;
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        slavePath = ttyname(slave);
    }
    ~PseudoTerminal()
    {
        closeMaster();
        if (slave >= 0)
            ::close(slave);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool ok() const { return master >= 0 && slave >= 0 && !slavePath.empty(); }

    void closeMaster()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }

    // What the master can read within `wait`; stops early once `expected` bytes arrived.
    std::string readMaster(std::size_t expected = SIZE_MAX,
                           std::chrono::milliseconds wait = std::chrono::milliseconds(500))
    {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + wait;
        char buffer[4096];
        while (got.size() < expected) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0) {
                got.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd readable{master, POLLIN, 0};
            ::poll(&readable, 1, static_cast<int>(left.count()));
        }
        return got;
    }

    PortNamer namerForPortOne() const
    {
        return [path = slavePath](int portNumber) -> std::optional<PortDevice> {
            if (portNumber != 1)
                return std::nullopt;
            return PortDevice{path, {}};
        };
    }
};

inline int openDescriptorCount()
{
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr)
            ++count;
        closedir(dir);
    }
    return count;
}

}  // namespace pelmora::link::testing
