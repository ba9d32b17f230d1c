#pragma once

// The serial port object that joins the window to the paging transmitter.
// All members are called on one thread, the owner's; a worker thread per open
// port does the device I/O and hands its events back through PostToOwner.

#include "link/port_names.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace pelmora::link {

enum class LineStatus { Break, Ring, LineError, CtsChanged, DsrChanged, CarrierChanged, EventCharacter };

enum class OpenError {
    None,
    InvalidPortNumber,
    NoSuchDevice,
    AccessDenied,
    Busy,
    NotASerialPort,
    SettingsRejected,
    SystemError
};

struct OpenFailure {
    OpenError error = OpenError::None;
    std::string device;  ///< the device that was tried, empty when the number names none
    std::string detail;  ///< the operating system's error text, in English
};

/// Runs a task later on the owner's thread, in posting order (in the GUI: a
/// queued call into Qt's loop). Called from the worker thread; must not block.
using PostToOwner = std::function<void(std::function<void()>)>;

namespace detail {
class PortSession;
}

class SerialPort {
public:
    static constexpr std::int32_t kDefaultPortNumber = 1;
    static constexpr std::int32_t kDefaultBaudRate = 19200;
    static constexpr std::chrono::milliseconds kDefaultTimeout{1000};

    explicit SerialPort(PostToOwner postToOwner, PortNamer namer = systemPortNamer());
    /// Closes the port: the worker is stopped and joined, queued events are dropped.
    ~SerialPort();

    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Settings are stored at once and take effect at the next open; they survive a close.
    void setPortNumber(std::int32_t n);  ///< below 1 is stored as 1
    std::int32_t portNumber() const;
    void setBaudRate(std::int32_t baud);  ///< negative is stored as 0 (which no open accepts)
    std::int32_t baudRate() const;
    /// Per-write time allowance t: a write of n bytes gives up after t + t * n.
    /// Negative is stored as 0, which means no time limit.
    void setTimeout(std::chrono::milliseconds t);
    std::chrono::milliseconds timeout() const;
    void setPortNamer(PortNamer namer);
    const PortNamer& portNamer() const { return namer_; }

    /// Opens the port (closing it first if open) with 8N1, no flow control and
    /// RTS on, and starts its worker. Blocks only for the device open itself.
    /// On failure returns false, holds nothing, and lastOpenFailure() says why.
    bool open();
    /// Stops and joins the worker, releases the device and drops events not yet
    /// raised. Does nothing when closed; never fails.
    void close();
    bool isOpen() const;

    /// Writes the bytes unchanged. Blocks the caller until the worker has ended
    /// the write: after discarding unread input, every byte is handed to the
    /// device and has left its output queue, or the time allowance has run out.
    /// False when closed, for a negative length, after the device was lost, on
    /// an OS error and on a timeout (what was not sent is then discarded).
    /// A length of 0 returns true and writes nothing.
    bool write(const void* data, std::ptrdiff_t length);
    bool write(std::string_view bytes);

    const OpenFailure& lastOpenFailure() const;

    /// Raised on the owner's thread, one call per received byte, in order.
    std::function<void(std::uint8_t)> onDataArrival;
    /// Raised on the owner's thread, in order with the data.
    std::function<void(LineStatus)> onLineStatus;
    /// Raised once on the owner's thread when the device vanished while open
    /// (adapter unplugged, line hung up). The port stays open until close().
    std::function<void()> onDeviceLost;

private:
    PostToOwner postToOwner_;
    PortNamer namer_;
    std::int32_t portNumber_ = kDefaultPortNumber;
    std::int32_t baudRate_ = kDefaultBaudRate;
    std::chrono::milliseconds timeout_ = kDefaultTimeout;
    OpenFailure lastOpenFailure_;
    std::unique_ptr<detail::PortSession> session_;
};

/// Short English name of an OpenError ("busy", "no such device", ...), for messages and logs.
std::string_view describe(OpenError error);

}  // namespace pelmora::link
