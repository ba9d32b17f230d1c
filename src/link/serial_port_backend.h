#pragma once

// The seam between the shared worker logic (serial_port.cpp) and the OS code
// (serial_port_posix.cpp, serial_port_win.cpp). Only the worker thread calls
// a SerialDevice, except wake(), which any thread may call.

#include "link/serial_port.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace pelmora::link::detail {

struct LineSettings {
    std::int32_t baudRate = SerialPort::kDefaultBaudRate;
    std::chrono::milliseconds timeout = SerialPort::kDefaultTimeout;  ///< 0: no time limit
};

class LineEventSink {
public:
    virtual void dataArrived(std::span<const std::uint8_t> bytes) = 0;
    virtual void lineStatus(LineStatus status) = 0;

protected:
    ~LineEventSink() = default;
};

enum class LineState { Up, Lost };

class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    /// Blocks until wake() is called or the line has something to report, and
    /// reports it to the sink. Once it has returned Lost it watches only for
    /// wake() and must not be asked to read the line again (watchLine false).
    virtual LineState waitForLineOrWake(LineEventSink& sink, bool watchLine) = 0;

    /// Discards unread input, writes all bytes and waits until they have left
    /// the output queue, all within the timeout allowance. Gives up early when
    /// `stopRequested` is set and wake() is called.
    virtual bool write(std::span<const std::uint8_t> bytes, const std::atomic<bool>& stopRequested) = 0;

    /// Makes a waiting waitForLineOrWake() or write() look at the request flags.
    virtual void wake() = 0;
};

/// Opens `path` with the line settings applied and everything pending discarded.
/// On failure returns null and fills `failure` (device and detail included).
std::unique_ptr<SerialDevice> openSerialDevice(const std::string& path, const LineSettings& settings,
                                               OpenFailure& failure);

}  // namespace pelmora::link::detail
