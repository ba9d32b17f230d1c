#include "link/serial_port.h"

#include "link/serial_port_backend.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace pelmora::link {
namespace detail {
namespace {

struct PortEvent {
    enum class Kind : std::uint8_t { Data, Line, DeviceLost };
    Kind kind = Kind::Data;
    std::uint8_t byte = 0;
    LineStatus status = LineStatus::LineError;
};

// What a posted task holds on to. The worker fills `pending`; the owner's
// thread empties it. `port` is cleared by close on the owner's thread, so a
// task that runs after a close or after the object is gone raises nothing.
struct EventRelay {
    std::mutex mutex;
    std::vector<PortEvent> pending;  // guarded by mutex
    bool drainPosted = false;        // guarded by mutex
    SerialPort* port = nullptr;      // owner's thread only
};

void raise(SerialPort& port, const PortEvent& event)
{
    // Copied so that a handler may reassign itself while it runs.
    switch (event.kind) {
    case PortEvent::Kind::Data:
        if (auto handler = port.onDataArrival)
            handler(event.byte);
        break;
    case PortEvent::Kind::Line:
        if (auto handler = port.onLineStatus)
            handler(event.status);
        break;
    case PortEvent::Kind::DeviceLost:
        if (auto handler = port.onDeviceLost)
            handler();
        break;
    }
}

void drainOnOwnerThread(const std::shared_ptr<EventRelay>& relay)
{
    std::vector<PortEvent> batch;
    {
        std::lock_guard lock(relay->mutex);
        batch.swap(relay->pending);
        relay->drainPosted = false;
    }
    for (const PortEvent& event : batch) {
        // A handler may close or destroy the port; then the rest is dropped.
        if (relay->port == nullptr)
            return;
        raise(*relay->port, event);
    }
}

}  // namespace

class PortSession final : private LineEventSink {
public:
    PortSession(std::unique_ptr<SerialDevice> device, PostToOwner postToOwner, SerialPort* port)
        : device_(std::move(device)), postToOwner_(std::move(postToOwner)), relay_(std::make_shared<EventRelay>())
    {
        relay_->port = port;
        worker_ = std::thread([this] { run(); });
    }

    ~PortSession()
    {
        stopRequested_ = true;
        device_->wake();
        worker_.join();
        relay_->port = nullptr;
    }

    PortSession(const PortSession&) = delete;
    PortSession& operator=(const PortSession&) = delete;

    bool write(std::span<const std::uint8_t> bytes)
    {
        WriteRequest request{bytes};
        std::unique_lock lock(requestMutex_);
        pendingWrite_ = &request;
        device_->wake();
        writeEnded_.wait(lock, [&] { return request.ended; });
        return request.succeeded;
    }

private:
    struct WriteRequest {
        std::span<const std::uint8_t> bytes;
        bool ended = false;
        bool succeeded = false;
    };

    void run()
    {
        bool lineUp = true;
        while (!stopRequested_) {
            if (WriteRequest* request = takeWriteRequest()) {
                const bool succeeded = lineUp && device_->write(request->bytes, stopRequested_);
                endWrite(*request, succeeded);
                continue;
            }
            if (device_->waitForLineOrWake(*this, lineUp) == LineState::Lost && lineUp) {
                lineUp = false;
                queue({PortEvent::Kind::Line, 0, LineStatus::LineError});
                queue({PortEvent::Kind::DeviceLost, 0, LineStatus::LineError});
            }
        }
        // The owner cannot be waiting in write() while it closes, but never leave a caller hanging.
        if (WriteRequest* request = takeWriteRequest())
            endWrite(*request, false);
    }

    WriteRequest* takeWriteRequest()
    {
        std::lock_guard lock(requestMutex_);
        return std::exchange(pendingWrite_, nullptr);
    }

    void endWrite(WriteRequest& request, bool succeeded)
    {
        {
            std::lock_guard lock(requestMutex_);
            request.succeeded = succeeded;
            request.ended = true;
        }
        writeEnded_.notify_all();
    }

    void dataArrived(std::span<const std::uint8_t> bytes) override
    {
        std::vector<PortEvent> events;
        events.reserve(bytes.size());
        for (std::uint8_t byte : bytes)
            events.push_back({PortEvent::Kind::Data, byte, LineStatus::LineError});
        queue(events);
    }

    void lineStatus(LineStatus status) override { queue({PortEvent::Kind::Line, 0, status}); }

    void queue(const PortEvent& event) { queue(std::span(&event, 1)); }

    // Appends under the lock and posts one drain task per non-empty batch; the
    // worker never waits for the owner's thread.
    void queue(std::span<const PortEvent> events)
    {
        if (!postToOwner_ || events.empty())
            return;
        bool mustPost = false;
        {
            std::lock_guard lock(relay_->mutex);
            relay_->pending.insert(relay_->pending.end(), events.begin(), events.end());
            mustPost = !std::exchange(relay_->drainPosted, true);
        }
        if (mustPost)
            postToOwner_([relay = relay_] { drainOnOwnerThread(relay); });
    }

    std::unique_ptr<SerialDevice> device_;
    PostToOwner postToOwner_;
    std::shared_ptr<EventRelay> relay_;
    std::atomic<bool> stopRequested_{false};
    std::mutex requestMutex_;
    std::condition_variable writeEnded_;
    WriteRequest* pendingWrite_ = nullptr;  // guarded by requestMutex_
    std::thread worker_;
};

}  // namespace detail

namespace {
constexpr std::chrono::milliseconds kLongestTimeout{INT32_MAX};
}

SerialPort::SerialPort(PostToOwner postToOwner, PortNamer namer)
    : postToOwner_(std::move(postToOwner)), namer_(std::move(namer))
{
}

SerialPort::~SerialPort()
{
    close();
}

void SerialPort::setPortNumber(std::int32_t n)
{
    portNumber_ = std::max<std::int32_t>(n, 1);
}
std::int32_t SerialPort::portNumber() const
{
    return portNumber_;
}

void SerialPort::setBaudRate(std::int32_t baud)
{
    baudRate_ = std::max<std::int32_t>(baud, 0);
}
std::int32_t SerialPort::baudRate() const
{
    return baudRate_;
}

void SerialPort::setTimeout(std::chrono::milliseconds t)
{
    timeout_ = std::clamp(t, std::chrono::milliseconds::zero(), kLongestTimeout);
}
std::chrono::milliseconds SerialPort::timeout() const
{
    return timeout_;
}

void SerialPort::setPortNamer(PortNamer namer)
{
    namer_ = std::move(namer);
}

bool SerialPort::open()
{
    close();
    lastOpenFailure_ = {};
    if (portNumber_ < 1) {
        lastOpenFailure_ = {OpenError::InvalidPortNumber, {}, "port numbers start at 1"};
        return false;
    }
    const std::optional<PortDevice> device = namer_ ? namer_(portNumber_) : std::nullopt;
    if (!device) {
        lastOpenFailure_ = {
            OpenError::NoSuchDevice, {}, "no serial port number " + std::to_string(portNumber_) + " on this machine"};
        return false;
    }
    if (baudRate_ == 0) {
        // On POSIX speed 0 would hang the line up instead of setting a speed.
        lastOpenFailure_ = {OpenError::SettingsRejected, device->path, "0 baud is not a line speed"};
        return false;
    }
    auto opened = detail::openSerialDevice(device->path, detail::LineSettings{baudRate_, timeout_}, lastOpenFailure_);
    if (!opened)
        return false;
    lastOpenFailure_ = {};
    session_ = std::make_unique<detail::PortSession>(std::move(opened), postToOwner_, this);
    return true;
}

void SerialPort::close()
{
    session_.reset();
}

bool SerialPort::isOpen() const
{
    return session_ != nullptr;
}

bool SerialPort::write(const void* data, std::ptrdiff_t length)
{
    if (!session_ || length < 0 || (data == nullptr && length > 0))
        return false;
    if (length == 0)
        return true;
    return session_->write(std::span(static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(length)));
}

bool SerialPort::write(std::string_view bytes)
{
    return write(bytes.data(), static_cast<std::ptrdiff_t>(bytes.size()));
}

const OpenFailure& SerialPort::lastOpenFailure() const
{
    return lastOpenFailure_;
}

std::string_view describe(OpenError error)
{
    switch (error) {
    case OpenError::None:
        return "no error";
    case OpenError::InvalidPortNumber:
        return "invalid port number";
    case OpenError::NoSuchDevice:
        return "no such device";
    case OpenError::AccessDenied:
        return "access denied";
    case OpenError::Busy:
        return "port in use";
    case OpenError::NotASerialPort:
        return "not a serial port";
    case OpenError::SettingsRejected:
        return "line settings rejected";
    case OpenError::SystemError:
        return "system error";
    }
    return "unknown error";
}

}  // namespace pelmora::link
