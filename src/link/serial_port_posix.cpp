// Linux serial device: termios, with the open made exclusive and writes that
// end only when the bytes have left the output queue.

#include "link/serial_port_backend.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <locale.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

namespace pelmora::link::detail {
namespace {

using Clock = std::chrono::steady_clock;

// How often modem lines and error counters are sampled; the kernel offers no
// pollable event for them.
constexpr std::chrono::milliseconds kLineStatusPollInterval{50};
// How often the output queue is looked at while a write waits for it to empty.
constexpr std::chrono::milliseconds kDrainPollInterval{2};
constexpr std::size_t kReadChunk = 512;

std::string errorText(int error)
{
    // strerror_l with the C locale: English whatever locale the program set.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return cLocale ? strerror_l(error, cLocale) : std::strerror(error);
}

std::optional<speed_t> speedConstant(std::int32_t baud)
{
    struct Speed {
        std::int32_t baud;
        speed_t constant;
    };
    static constexpr std::array kSpeeds{
        Speed{50, B50},           Speed{75, B75},           Speed{110, B110},         Speed{134, B134},
        Speed{150, B150},         Speed{200, B200},         Speed{300, B300},         Speed{600, B600},
        Speed{1200, B1200},       Speed{1800, B1800},       Speed{2400, B2400},       Speed{4800, B4800},
        Speed{9600, B9600},       Speed{19200, B19200},     Speed{38400, B38400},     Speed{57600, B57600},
        Speed{115200, B115200},   Speed{230400, B230400},   Speed{460800, B460800},   Speed{500000, B500000},
        Speed{576000, B576000},   Speed{921600, B921600},   Speed{1000000, B1000000}, Speed{1152000, B1152000},
        Speed{1500000, B1500000}, Speed{2000000, B2000000}, Speed{2500000, B2500000}, Speed{3000000, B3000000},
        Speed{3500000, B3500000}, Speed{4000000, B4000000},
    };
    for (const Speed& speed : kSpeeds)
        if (speed.baud == baud)
            return speed.constant;
    return std::nullopt;
}

OpenError openErrorFor(int error)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return OpenError::NoSuchDevice;
    case EACCES:
    case EPERM:
    case EROFS:
        return OpenError::AccessDenied;
    case EBUSY:
    case EWOULDBLOCK:
        return OpenError::Busy;
    case ENOTTY:
    case EISDIR:
        return OpenError::NotASerialPort;
    default:
        return OpenError::SystemError;
    }
}

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    void reset()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    int get() const { return fd_; }

private:
    int fd_ = -1;
};

class PosixSerialDevice final : public SerialDevice {
public:
    PosixSerialDevice(FileDescriptor device, FileDescriptor wakeRead, FileDescriptor wakeWrite,
                      std::chrono::milliseconds timeout)
        : device_(std::move(device)), wakeRead_(std::move(wakeRead)), wakeWrite_(std::move(wakeWrite)),
          timeout_(timeout)
    {
        probeLineStatusSources();
    }

    ~PosixSerialDevice() override
    {
        // The exclusive flag lives on the tty, not on our descriptor: lift it, or
        // a tty kept alive by another descriptor stays closed to everyone else.
        ioctl(device_.get(), TIOCNXCL);
    }

    LineState waitForLineOrWake(LineEventSink& sink, bool watchLine) override
    {
        std::array<pollfd, 2> fds{pollfd{wakeRead_.get(), POLLIN, 0}, pollfd{device_.get(), POLLIN, 0}};
        const bool sampleLines = watchLine && lineSource_ != LineSource::None;
        const int timeoutMs = sampleLines ? static_cast<int>(kLineStatusPollInterval.count()) : -1;
        const int ready = ::poll(fds.data(), watchLine ? 2 : 1, timeoutMs);
        if (ready < 0)
            return LineState::Up;  // EINTR; the caller loops
        if (fds[0].revents != 0)
            drainWakePipe();
        if (!watchLine)
            return LineState::Up;
        LineState state = LineState::Up;
        if (fds[1].revents & POLLIN)
            state = readInput(sink);
        // A hung-up tty reports IN|OUT|ERR|HUP at once; read() has the last word
        // above, a bare HUP or ERR is final too.
        if (state == LineState::Up && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) && !(fds[1].revents & POLLIN))
            state = LineState::Lost;
        if (state == LineState::Up && sampleLines)
            sampleLineStatus(sink);
        return state;
    }

    bool write(std::span<const std::uint8_t> bytes, const std::atomic<bool>& stopRequested) override
    {
        // Only input is discarded before a write: TCOFLUSH would also destroy the
        // unsent tail of the previous piece of the same page.
        tcflush(device_.get(), TCIFLUSH);
        const std::optional<Clock::time_point> deadline = writeDeadline(bytes.size());
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::write(device_.get(), bytes.data() + sent, bytes.size() - sent);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return false;
            if (!waitWritable(deadline, stopRequested))
                return abandonOutput();
        }
        // Wait until the driver's output queue is empty. On a pseudo-terminal the
        // slave reports 0 at once: write() has already put the bytes into the
        // master's input buffer, where the master's next read finds them.
        for (;;) {
            int queued = 0;
            // A driver without TIOCOUTQ leaves write()'s own word as all we know.
            if (ioctl(device_.get(), TIOCOUTQ, &queued) != 0 || queued == 0)
                return true;
            if (stopRequested || (deadline && Clock::now() >= *deadline))
                return abandonOutput();
            auto pause = kDrainPollInterval;
            if (deadline)
                pause = std::min(pause, std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()));
            pollfd wake{wakeRead_.get(), POLLIN, 0};
            if (::poll(&wake, 1, static_cast<int>(pause.count())) > 0)
                drainWakePipe();
        }
    }

    void wake() override
    {
        const char token = 1;
        // A full pipe already holds a wake-up, so EAGAIN is fine.
        while (::write(wakeWrite_.get(), &token, 1) < 0 && errno == EINTR) {
        }
    }

private:
    enum class LineSource { None, Counters, ModemBits };

    std::optional<Clock::time_point> writeDeadline(std::size_t length) const
    {
        if (timeout_.count() == 0)
            return std::nullopt;
        // An allowance beyond a century is no limit (and would overflow the clock).
        constexpr std::chrono::milliseconds kCentury = std::chrono::years(100);
        if (length >= static_cast<std::size_t>(kCentury / timeout_))
            return std::nullopt;
        const auto allowance = timeout_ + timeout_ * static_cast<std::int64_t>(length);
        return Clock::now() + allowance;
    }

    // Waits until the device takes more bytes. False when the deadline passed
    // or a stop was requested.
    bool waitWritable(const std::optional<Clock::time_point>& deadline, const std::atomic<bool>& stopRequested)
    {
        for (;;) {
            if (stopRequested)
                return false;
            int timeoutMs = -1;
            if (deadline) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
                if (left.count() <= 0)
                    return false;
                timeoutMs = static_cast<int>(std::min<std::int64_t>(left.count(), INT32_MAX));
            }
            std::array<pollfd, 2> fds{pollfd{device_.get(), POLLOUT, 0}, pollfd{wakeRead_.get(), POLLIN, 0}};
            const int ready = ::poll(fds.data(), fds.size(), timeoutMs);
            if (ready < 0 && errno != EINTR)
                return false;
            if (fds[1].revents != 0)
                drainWakePipe();
            // ERR/HUP: let write() report the failure.
            if (fds[0].revents != 0)
                return true;
        }
    }

    bool abandonOutput()
    {
        tcflush(device_.get(), TCOFLUSH);
        return false;
    }

    void drainWakePipe()
    {
        std::array<char, 64> sink{};
        while (::read(wakeRead_.get(), sink.data(), sink.size()) > 0) {
        }
    }

    LineState readInput(LineEventSink& sink)
    {
        std::array<std::uint8_t, kReadChunk> buffer{};
        for (;;) {
            const ssize_t n = ::read(device_.get(), buffer.data(), buffer.size());
            if (n > 0) {
                sink.dataArrived(std::span(buffer.data(), static_cast<std::size_t>(n)));
                continue;
            }
            if (n == 0)
                return LineState::Lost;  // hung up
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return LineState::Up;
            return LineState::Lost;  // EIO: the master side or the adapter is gone
        }
    }

    void probeLineStatusSources()
    {
        serial_icounter_struct counters{};
        if (ioctl(device_.get(), TIOCGICOUNT, &counters) == 0) {
            lineSource_ = LineSource::Counters;
            counters_ = counters;
            return;
        }
        int bits = 0;
        if (ioctl(device_.get(), TIOCMGET, &bits) == 0) {
            lineSource_ = LineSource::ModemBits;
            modemBits_ = bits;
        }
        // A pseudo-terminal refuses both: nothing to sample.
    }

    void sampleLineStatus(LineEventSink& sink)
    {
        if (lineSource_ == LineSource::Counters) {
            serial_icounter_struct now{};
            if (ioctl(device_.get(), TIOCGICOUNT, &now) != 0)
                return;
            const serial_icounter_struct& before = counters_;
            if (now.brk != before.brk)
                sink.lineStatus(LineStatus::Break);
            if (now.frame != before.frame || now.parity != before.parity || now.overrun != before.overrun
                || now.buf_overrun != before.buf_overrun)
                sink.lineStatus(LineStatus::LineError);
            if (now.rng != before.rng)
                sink.lineStatus(LineStatus::Ring);
            if (now.cts != before.cts)
                sink.lineStatus(LineStatus::CtsChanged);
            if (now.dsr != before.dsr)
                sink.lineStatus(LineStatus::DsrChanged);
            if (now.dcd != before.dcd)
                sink.lineStatus(LineStatus::CarrierChanged);
            counters_ = now;
        } else if (lineSource_ == LineSource::ModemBits) {
            int bits = 0;
            if (ioctl(device_.get(), TIOCMGET, &bits) != 0)
                return;
            const int changed = bits ^ modemBits_;
            if ((bits & ~modemBits_) & TIOCM_RNG)
                sink.lineStatus(LineStatus::Ring);
            if (changed & TIOCM_CTS)
                sink.lineStatus(LineStatus::CtsChanged);
            if (changed & TIOCM_DSR)
                sink.lineStatus(LineStatus::DsrChanged);
            if (changed & TIOCM_CD)
                sink.lineStatus(LineStatus::CarrierChanged);
            modemBits_ = bits;
        }
    }

    FileDescriptor device_;
    FileDescriptor wakeRead_;
    FileDescriptor wakeWrite_;
    std::chrono::milliseconds timeout_{};
    LineSource lineSource_ = LineSource::None;
    serial_icounter_struct counters_{};
    int modemBits_ = 0;
};

OpenFailure failureFrom(OpenError error, const std::string& path, std::string detail)
{
    return OpenFailure{error, path, std::move(detail)};
}

// 8N1, raw, no flow control of any kind; everything else as the driver had it.
std::optional<OpenFailure> applyLineSettings(int fd, const std::string& path, std::int32_t baud)
{
    const std::optional<speed_t> speed = speedConstant(baud);
    if (!speed)
        return failureFrom(OpenError::SettingsRejected, path, "no line speed of " + std::to_string(baud) + " baud");
    termios settings{};
    if (tcgetattr(fd, &settings) != 0)
        return failureFrom(openErrorFor(errno), path, errorText(errno));
    settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF
                                               | IXANY | INPCK | IUCLC | IMAXBEL);
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ECHOE | ECHOK | ICANON | ISIG | IEXTEN);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CMSPAR);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    cfsetispeed(&settings, *speed);
    cfsetospeed(&settings, *speed);
    if (tcsetattr(fd, TCSANOW, &settings) != 0)
        return failureFrom(OpenError::SettingsRejected, path, errorText(errno));
    // tcsetattr succeeds when any part was applied: check that the speed and framing stuck.
    termios applied{};
    if (tcgetattr(fd, &applied) != 0)
        return failureFrom(OpenError::SystemError, path, errorText(errno));
    if (cfgetospeed(&applied) != *speed || cfgetispeed(&applied) != *speed)
        return failureFrom(OpenError::SettingsRejected, path,
                           "the driver does not accept " + std::to_string(baud) + " baud");
    if ((applied.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS)) != CS8)
        return failureFrom(OpenError::SettingsRejected, path, "the driver does not accept 8N1 without flow control");
    return std::nullopt;
}

}  // namespace

std::unique_ptr<SerialDevice> openSerialDevice(const std::string& path, const LineSettings& settings,
                                               OpenFailure& failure)
{
    FileDescriptor fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        failure = failureFrom(openErrorFor(errno), path, errorText(errno));
        return nullptr;
    }
    if (!isatty(fd.get())) {
        failure = failureFrom(OpenError::NotASerialPort, path, errorText(ENOTTY));
        return nullptr;
    }
    // TIOCEXCL keeps out other users but not root; the lock keeps out anyone
    // who also locks (our own second instance, minicom, ModemManager).
    if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        failure = failureFrom(error == EWOULDBLOCK ? OpenError::Busy : openErrorFor(error), path, errorText(error));
        return nullptr;
    }
    if (ioctl(fd.get(), TIOCEXCL) != 0) {
        failure = failureFrom(openErrorFor(errno), path, errorText(errno));
        return nullptr;
    }
    if (auto rejected = applyLineSettings(fd.get(), path, settings.baudRate)) {
        ioctl(fd.get(), TIOCNXCL);
        failure = std::move(*rejected);
        return nullptr;
    }
    // RTS on; DTR is left as the driver has it. A pseudo-terminal has no modem lines.
    const int rts = TIOCM_RTS;
    if (ioctl(fd.get(), TIOCMBIS, &rts) != 0 && errno != ENOTTY && errno != EINVAL) {
        const int error = errno;
        ioctl(fd.get(), TIOCNXCL);
        failure = failureFrom(OpenError::SettingsRejected, path, errorText(error));
        return nullptr;
    }
    tcflush(fd.get(), TCIOFLUSH);

    std::array<int, 2> pipeEnds{-1, -1};
    if (pipe2(pipeEnds.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        const int error = errno;
        ioctl(fd.get(), TIOCNXCL);
        failure = failureFrom(OpenError::SystemError, path, errorText(error));
        return nullptr;
    }
    return std::make_unique<PosixSerialDevice>(std::move(fd), FileDescriptor(pipeEnds[0]), FileDescriptor(pipeEnds[1]),
                                               settings.timeout);
}

}  // namespace pelmora::link::detail
