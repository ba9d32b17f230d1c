// pelmora-send: one page command from the command line, built by the same
// code as the window's send button. The whole command goes out in one write:
// on the line it is the same byte stream as the window's piecewise writes,
// and one write cannot lose an early piece to a later one's input purge.

#include "arguments.h"
#include "byte_text.h"
#include "exit_codes.h"
#include "send_options.h"

#include "link/gbk_text.h"
#include "link/page_command.h"
#include "link/serial_port.h"

#include <pelmora/version.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <mutex>
#include <string>
#include <vector>

namespace {

using namespace pelmora;
using tools::send::Action;
using tools::send::SendOptions;

constexpr const char* kProgram = "pelmora-send";

void complain(const std::string& message)
{
    std::cerr << kProgram << ": " << message << std::endl;
}

// Events from the port's worker thread, run on the main thread when it asks.
class OwnerQueue {
public:
    void post(std::function<void()> task)
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }

    void runPending()
    {
        std::vector<std::function<void()>> tasks;
        {
            std::lock_guard lock(mutex_);
            tasks.swap(tasks_);
        }
        for (auto& task : tasks)
            task();
    }

private:
    std::mutex mutex_;
    std::vector<std::function<void()>> tasks_;
};

bool readAll(std::FILE* stream, std::string& out)
{
    char buffer[1 << 16];
    for (;;) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, stream);
        out.append(buffer, n);
        if (n < sizeof buffer)
            return !std::ferror(stream);
    }
}

// Characters a numeric pager cannot show, each once, quoted and escaped.
std::string charactersOutsideNumeric(std::string_view messageGbk)
{
    constexpr std::size_t kMaxListed = 10;
    std::vector<std::string> listed;
    bool more = false;
    for (std::size_t i = 0; i < messageGbk.size();) {
        const auto lead = static_cast<unsigned char>(messageGbk[i]);
        const std::size_t length = lead >= 0x81 && lead <= 0xFE && i + 1 < messageGbk.size() ? 2 : 1;
        const std::string_view character = messageGbk.substr(i, length);
        i += length;
        const char c = character[0];
        if (length == 1 && ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            continue;
        std::string shown = "\"" + tools::escapeGbk(character, true) + "\"";
        if (std::find(listed.begin(), listed.end(), shown) != listed.end())
            continue;
        if (listed.size() == kMaxListed) {
            more = true;
            break;
        }
        listed.push_back(std::move(shown));
    }
    std::string text;
    for (const std::string& shown : listed)
        text += (text.empty() ? "" : ", ") + shown;
    return more ? text + ", ..." : text;
}

int listPorts()
{
    const std::vector<link::PortDevice> ports = link::listSystemPorts();
    if (ports.empty()) {
        std::cout << "no serial ports found" << std::endl;
        return tools::kExitOk;
    }
    for (std::size_t i = 0; i < ports.size(); ++i) {
        std::cout << "COM" << i + 1 << "  " << ports[i].path;
        if (!ports[i].description.empty())
            std::cout << "  " << ports[i].description;
        std::cout << '\n';
    }
    std::cout.flush();
    return tools::kExitOk;
}

std::string openFailureMessage(const link::OpenFailure& failure, const std::string& target)
{
    const std::string device = failure.device.empty() ? target : failure.device;
    std::string message = "cannot open " + device + ": ";
    switch (failure.error) {
    case link::OpenError::NoSuchDevice:
        message += "no such serial port";
        if (!failure.device.empty() && failure.device != target)
            message += " (" + target + ")";
        return message + "; see --list-ports";
    case link::OpenError::InvalidPortNumber:
        return "cannot open " + target + ": no serial port has this number; see --list-ports";
    case link::OpenError::AccessDenied:
        message += "permission denied";
#if !defined(_WIN32)
        message += " (add your user to the dialout group: sudo usermod -aG dialout \"$USER\", then log in again)";
#endif
        return message;
    case link::OpenError::Busy:
        return message + "in use by another program";
    default:
        break;
    }
    message += std::string(link::describe(failure.error));
    if (!failure.detail.empty())
        message += " (" + failure.detail + ")";
    return message;
}

int sendCommand(const SendOptions& options, const std::string& command)
{
    OwnerQueue queue;
    link::PortNamer namer = link::systemPortNamer();
    std::string target = "COM" + std::to_string(options.port);
    if (options.device) {
        target = *options.device;
        namer = [path = *options.device](int) { return std::optional(link::PortDevice{path, {}}); };
    }
    std::string device = target;
    if (const auto named = namer(options.device ? 1 : options.port))
        device = named->path;
    link::SerialPort port([&queue](std::function<void()> task) { queue.post(std::move(task)); }, namer);
    bool deviceLost = false;
    port.onDeviceLost = [&deviceLost] { deviceLost = true; };
    port.setPortNumber(options.device ? 1 : options.port);
    port.setBaudRate(options.baud);
    port.setTimeout(options.timeout);

    if (!port.open()) {
        complain(openFailureMessage(port.lastOpenFailure(), target));
        return tools::kExitUnavailable;
    }
    const auto started = std::chrono::steady_clock::now();
    const bool written = port.write(command);
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    queue.runPending();
    port.close();
    if (written)
        return tools::kExitOk;

    std::string why = "failed";
    if (deviceLost)
        why = "failed: the device went away";
    else if (options.timeout.count() > 0
             && elapsed * 10 >= options.timeout * static_cast<std::int64_t>(command.size() + 1) * 9)
        why = "timed out after " + std::to_string(elapsed.count()) + " ms (the transmitter does not take the bytes)";
    complain("writing " + std::to_string(command.size()) + " bytes to " + device + " " + why);
    return tools::kExitIoError;
}

int run(int argc, char** argv)
{
    tools::prepareStandardStreams();
    const std::vector<std::string> arguments = tools::utf8Arguments(argc, argv);
    const tools::send::ParsedArguments parsed = tools::send::parseSendArguments(arguments);
    if (!parsed.error.empty()) {
        complain(parsed.error + " (see " + kProgram + " --help)");
        return tools::kExitUsage;
    }
    const SendOptions& options = parsed.options;
    switch (options.action) {
    case Action::Help:
        std::cout << tools::send::sendHelpText() << std::flush;
        return tools::kExitOk;
    case Action::Version:
        std::cout << kProgram << ' ' << kVersion << std::endl;
        return tools::kExitOk;
    case Action::ListPorts:
        return listPorts();
    case Action::Send:
    case Action::DryRun:
        break;
    }

    std::string messageUtf8 = options.message;
    if (options.messageFromStdin && !readAll(stdin, messageUtf8)) {
        complain("cannot read the message from standard input");
        return tools::kExitIoError;
    }

    const link::GbkResult address = link::utf8ToGbk(*options.address);
    if (!address.ok()) {
        complain("address: " + link::describeProblem(address) + "; nothing sent");
        return tools::kExitDataError;
    }
    link::GbkResult message = link::utf8ToGbk(messageUtf8);
    if (!message.ok()) {
        complain("message: " + link::describeProblem(message) + "; nothing sent");
        return tools::kExitDataError;
    }
    // After the conversion, so that positions above count the text as typed.
    // Safe on GBK: CR and LF never occur inside a two-byte character.
    const std::string messageGbk = link::lfToCrLf(message.bytes);

    if (options.selections.pagerType == 0) {
        const std::string outside = charactersOutsideNumeric(messageGbk);
        if (!outside.empty())
            complain("warning: a numeric pager shows only 0-9 and A-F; sent as typed anyway: " + outside);
    }

    const std::string command = link::page::buildCommand(options.selections, address.bytes, messageGbk);
    if (options.action == Action::DryRun) {
        std::cout << tools::toHex(command) << '\n' << tools::escapeGbk(command) << std::endl;
        return tools::kExitOk;
    }
    return sendCommand(options, command);
}

}  // namespace

int main(int argc, char** argv)
{
    return pelmora::tools::runReportingInternalErrors(kProgram, [&] { return run(argc, argv); });
}
