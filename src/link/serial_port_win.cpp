// Win32 serial device: overlapped I/O on "\\.\COMn" with the line set up as
// the transmitter expects it.

#include "link/serial_port_backend.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <array>
#include <utility>

namespace pelmora::link::detail {
namespace {

constexpr DWORD kEventMask = EV_RXCHAR | EV_CTS | EV_DSR | EV_RLSD | EV_BREAK | EV_ERR | EV_RING;  // 0x1F9
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;         // 0x0F
constexpr DWORD kReadChunk = 512;
constexpr DWORD kLineErrors = CE_FRAME | CE_RXPARITY | CE_OVERRUN | CE_RXOVER;

std::string errorText(DWORD error)
{
    char* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    DWORD length = FormatMessageA(flags, nullptr, error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                  reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result;
    if (length != 0 && text != nullptr) {
        result.assign(text, length);
        while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' '))
            result.pop_back();
    }
    if (text != nullptr)
        LocalFree(text);
    // Not every Windows carries English message texts.
    if (result.empty())
        result = "Windows error " + std::to_string(error);
    return result;
}

OpenError openErrorFor(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_UNIT:
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
        return OpenError::NoSuchDevice;
    // A port held by another program gives ERROR_ACCESS_DENIED.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return OpenError::Busy;
    case ERROR_INVALID_FUNCTION:
    case ERROR_INVALID_HANDLE:
    case ERROR_NOT_SUPPORTED:
        return OpenError::NotASerialPort;
    default:
        return OpenError::SystemError;
    }
}

class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { reset(); }
    Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept
    {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    void reset()
    {
        if (valid())
            CloseHandle(handle_);
        handle_ = nullptr;
    }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_ = nullptr;
};

class WinSerialDevice final : public SerialDevice {
public:
    WinSerialDevice(Handle port, Handle wakeEvent, Handle lineEvent, Handle ioEvent)
        : port_(std::move(port)), wakeEvent_(std::move(wakeEvent)), lineEvent_(std::move(lineEvent)),
          ioEvent_(std::move(ioEvent))
    {
        lineOverlapped_.hEvent = lineEvent_.get();
    }

    ~WinSerialDevice() override
    {
        if (waitPending_) {
            // The pending WaitCommEvent writes into our members: end it before they
            // go. It was issued by the worker, hence CancelIoEx, not CancelIo.
            CancelIoEx(port_.get(), &lineOverlapped_);
            DWORD ignored = 0;
            GetOverlappedResult(port_.get(), &lineOverlapped_, &ignored, TRUE);
        }
    }

    LineState waitForLineOrWake(LineEventSink& sink, bool watchLine) override
    {
        if (watchLine && !waitPending_) {
            eventMask_ = 0;
            ResetEvent(lineEvent_.get());
            if (WaitCommEvent(port_.get(), &eventMask_, &lineOverlapped_))
                return handleLineEvent(sink);
            if (GetLastError() != ERROR_IO_PENDING)
                return LineState::Lost;
            waitPending_ = true;
        }
        const std::array<HANDLE, 2> handles{wakeEvent_.get(), lineEvent_.get()};
        const DWORD count = waitPending_ ? 2 : 1;
        const DWORD which = WaitForMultipleObjects(count, handles.data(), FALSE, INFINITE);
        if (which != WAIT_OBJECT_0 + 1)
            return LineState::Up;  // woken
        waitPending_ = false;
        DWORD ignored = 0;
        if (!GetOverlappedResult(port_.get(), &lineOverlapped_, &ignored, FALSE))
            return LineState::Lost;
        if (!watchLine)
            return LineState::Up;
        return handleLineEvent(sink);
    }

    bool write(std::span<const std::uint8_t> bytes, const std::atomic<bool>&) override
    {
        PurgeComm(port_.get(), kPurgeAll);
        OVERLAPPED overlapped{};
        overlapped.hEvent = ioEvent_.get();
        ResetEvent(ioEvent_.get());
        const DWORD length = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), MAXDWORD));
        DWORD written = 0;
        if (!WriteFile(port_.get(), bytes.data(), length, &written, &overlapped)) {
            if (GetLastError() != ERROR_IO_PENDING)
                return false;
            if (!GetOverlappedResult(port_.get(), &overlapped, &written, TRUE))
                return false;
        }
        // The write timeouts end a stalled write "successfully" with fewer bytes: that is a failure.
        return written == bytes.size();
    }

    void wake() override { SetEvent(wakeEvent_.get()); }

private:
    LineState handleLineEvent(LineEventSink& sink)
    {
        const DWORD mask = eventMask_;
        if (mask & EV_BREAK)
            sink.lineStatus(LineStatus::Break);
        if (mask & EV_RING)
            sink.lineStatus(LineStatus::Ring);
        if (mask & EV_CTS)
            sink.lineStatus(LineStatus::CtsChanged);
        if (mask & EV_DSR)
            sink.lineStatus(LineStatus::DsrChanged);
        if (mask & EV_RLSD)
            sink.lineStatus(LineStatus::CarrierChanged);
        if (mask & EV_RXFLAG)
            sink.lineStatus(LineStatus::EventCharacter);
        return readInput(sink);
    }

    // Reads everything waiting; ClearCommError also reports line errors.
    LineState readInput(LineEventSink& sink)
    {
        std::array<std::uint8_t, kReadChunk> buffer{};
        for (;;) {
            DWORD errors = 0;
            COMSTAT status{};
            if (!ClearCommError(port_.get(), &errors, &status))
                return LineState::Lost;
            if (errors & kLineErrors)
                sink.lineStatus(LineStatus::LineError);
            if (status.cbInQue == 0)
                return LineState::Up;
            OVERLAPPED overlapped{};
            overlapped.hEvent = ioEvent_.get();
            ResetEvent(ioEvent_.get());
            DWORD got = 0;
            const DWORD wanted = std::min<DWORD>(status.cbInQue, kReadChunk);
            if (!ReadFile(port_.get(), buffer.data(), wanted, &got, &overlapped)) {
                if (GetLastError() != ERROR_IO_PENDING)
                    return LineState::Lost;
                if (!GetOverlappedResult(port_.get(), &overlapped, &got, TRUE)) {
                    // A write's PurgeComm aborts a read in progress; the bytes are discarded anyway.
                    if (GetLastError() == ERROR_OPERATION_ABORTED)
                        return LineState::Up;
                    return LineState::Lost;
                }
            }
            if (got == 0)
                return LineState::Up;
            sink.dataArrived(std::span(buffer.data(), got));
        }
    }

    Handle port_;
    Handle wakeEvent_;
    Handle lineEvent_;
    Handle ioEvent_;
    OVERLAPPED lineOverlapped_{};
    DWORD eventMask_ = 0;
    bool waitPending_ = false;
};

OpenFailure lastErrorFailure(const std::string& path)
{
    const DWORD error = GetLastError();
    return OpenFailure{openErrorFor(error), path, errorText(error)};
}

}  // namespace

std::unique_ptr<SerialDevice> openSerialDevice(const std::string& path, const LineSettings& settings,
                                               OpenFailure& failure)
{
    // Share mode 0: no other program may hold the port while we do.
    Handle port(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                            nullptr));
    if (!port.valid()) {
        failure = lastErrorFailure(path);
        return nullptr;
    }
    const DWORD timeout = static_cast<DWORD>(settings.timeout.count());
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = timeout;
    timeouts.ReadTotalTimeoutMultiplier = timeout;
    timeouts.ReadTotalTimeoutConstant = timeout;
    timeouts.WriteTotalTimeoutMultiplier = timeout;
    timeouts.WriteTotalTimeoutConstant = timeout;
    if (!SetCommTimeouts(port.get(), &timeouts) || !SetCommMask(port.get(), kEventMask)) {
        failure = lastErrorFailure(path);
        return nullptr;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    if (!GetCommState(port.get(), &dcb)) {
        failure = lastErrorFailure(path);
        return nullptr;
    }
    // 8N1, raw, no flow control, RTS on; DTR and everything else as read.
    dcb.BaudRate = static_cast<DWORD>(settings.baudRate);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.fParity = FALSE;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fDsrSensitivity = FALSE;
    if (!SetCommState(port.get(), &dcb)) {
        const DWORD error = GetLastError();
        failure = OpenFailure{error == ERROR_INVALID_FUNCTION ? OpenError::NotASerialPort : OpenError::SettingsRejected,
                              path, errorText(error)};
        return nullptr;
    }
    Handle wakeEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    Handle lineEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    Handle ioEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!wakeEvent.valid() || !lineEvent.valid() || !ioEvent.valid()) {
        failure = lastErrorFailure(path);
        return nullptr;
    }
    PurgeComm(port.get(), kPurgeAll);
    return std::make_unique<WinSerialDevice>(std::move(port), std::move(wakeEvent), std::move(lineEvent),
                                             std::move(ioEvent));
}

}  // namespace pelmora::link::detail
