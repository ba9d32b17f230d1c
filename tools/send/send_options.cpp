#include "send_options.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string_view>

namespace pelmora::tools::send {
namespace {

struct Choice {
    std::string_view name;
    int position;
};

constexpr Choice kPhaseChoices[] = {{"normal", 0}, {"正", 0}, {"p", 0}, {"inverted", 1}, {"反", 1}, {"n", 1}};
constexpr Choice kFunctionChoices[] = {{"1", 0}, {"2", 1}, {"3", 2}, {"4", 3}};
constexpr Choice kRateChoices[] = {{"1200", 0}, {"h", 0}, {"512", 1}, {"l", 1}};
constexpr Choice kTypeChoices[] = {{"numeric", 0}, {"数字机", 0}, {"n", 0}, {"chinese", 1}, {"汉字机", 1}, {"t", 1}};
constexpr Choice kBaudChoices[] = {{"9600", 9600}, {"115200", 115200}};

// The options that pick one item of a fixed list, and where the pick goes.
struct ChoiceOption {
    std::string_view name;
    std::span<const Choice> choices;
    std::string_view takes;  // for the error message
    int& (*field)(SendOptions&);
};

const ChoiceOption kChoiceOptions[] = {
    {"--baud", kBaudChoices, "9600 or 115200", [](SendOptions& o) -> int& { return o.baud; }},
    {"--phase", kPhaseChoices, "normal or inverted (正/反, P/N)",
     [](SendOptions& o) -> int& { return o.selections.phase; }},
    {"--function", kFunctionChoices, "1, 2, 3 or 4", [](SendOptions& o) -> int& { return o.selections.function; }},
    {"--rate", kRateChoices, "1200 or 512", [](SendOptions& o) -> int& { return o.selections.rate; }},
    {"--type", kTypeChoices, "numeric or chinese (数字机/汉字机, N/T)",
     [](SendOptions& o) -> int& { return o.selections.pagerType; }},
};

const ChoiceOption* findChoiceOption(std::string_view name)
{
    for (const ChoiceOption& option : kChoiceOptions)
        if (option.name == name)
            return &option;
    return nullptr;
}

std::string asciiLower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lower;
}

std::optional<int> choose(std::span<const Choice> choices, std::string_view value)
{
    const std::string wanted = asciiLower(value);
    for (const Choice& choice : choices) {
        if (choice.name == wanted)
            return choice.position;
    }
    return std::nullopt;
}

std::optional<std::int64_t> parseInteger(std::string_view text)
{
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

}  // namespace

ParsedArguments parseSendArguments(std::span<const std::string> arguments)
{
    ParsedArguments parsed;
    SendOptions& options = parsed.options;

    for (const std::string& argument : arguments) {
        if (argument == "--")
            break;
        if (argument == "--help" || argument == "-h") {
            options.action = Action::Help;
            return parsed;
        }
        if (argument == "--version") {
            options.action = Action::Version;
            return parsed;
        }
    }

    auto fail = [&parsed](std::string message) {
        parsed.error = std::move(message);
        return parsed;
    };

    bool portGiven = false;
    bool dryRun = false;
    bool listPorts = false;
    std::optional<std::string> messageArgument;
    bool messageAfterOptionsEnd = false;  // "-" after "--" is a message, not standard input
    bool optionsEnded = false;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument == "-" || argument.rfind("-", 0) != 0) {
            if (messageArgument)
                return fail("more than one message given (quote a message that has spaces)");
            messageArgument = argument;
            messageAfterOptionsEnd = optionsEnded;
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "--dry-run") {
            dryRun = true;
            continue;
        }
        if (argument == "--list-ports") {
            listPorts = true;
            continue;
        }

        std::string name = argument;
        std::optional<std::string> value;
        if (const auto equals = argument.find('='); equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        static constexpr std::string_view kValued[] = {"--address",  "--port", "--device", "--baud",   "--phase",
                                                       "--function", "--rate", "--type",   "--timeout"};
        if (std::find(std::begin(kValued), std::end(kValued), name) == std::end(kValued))
            return fail("unknown option " + name);
        if (!value) {
            if (i + 1 >= arguments.size())
                return fail(name + " needs a value");
            value = arguments[++i];
        }

        if (name == "--address") {
            options.address = *value;
        } else if (name == "--port") {
            const auto number = parseInteger(*value);
            if (!number || *number < 1 || *number > std::numeric_limits<std::int32_t>::max())
                return fail("--port takes a port number from 1 (COM1), not \"" + *value + "\"");
            options.port = static_cast<std::int32_t>(*number);
            portGiven = true;
        } else if (name == "--device") {
            if (value->empty())
                return fail("--device needs a device path");
            options.device = *value;
        } else if (const ChoiceOption* choice = findChoiceOption(name)) {
            const auto picked = choose(choice->choices, *value);
            if (!picked)
                return fail(name + " takes " + std::string(choice->takes) + ", not \"" + *value + "\"");
            choice->field(options) = *picked;
        } else if (name == "--timeout") {
            const auto ms = parseInteger(*value);
            if (!ms || *ms < 0 || *ms > std::numeric_limits<std::int32_t>::max())
                return fail("--timeout takes milliseconds, 0 or more, not \"" + *value + "\"");
            options.timeout = std::chrono::milliseconds(*ms);
        }
    }

    if (portGiven && options.device)
        return fail("give either --port or --device, not both");
    if (listPorts) {
        if (dryRun || messageArgument || options.address)
            return fail("--list-ports takes no page to send");
        options.action = Action::ListPorts;
        return parsed;
    }
    if (!options.address)
        return fail("--address is required: a page must never reach a pager by accident");
    if (messageArgument && *messageArgument == "-" && !messageAfterOptionsEnd)
        options.messageFromStdin = true;
    else if (messageArgument)
        options.message = *messageArgument;
    options.action = dryRun ? Action::DryRun : Action::Send;
    return parsed;
}

std::string sendHelpText()
{
    return R"(Usage: pelmora-send [options] --address CODE [MESSAGE | -]
Send one page command to a POCSAG paging transmitter on a serial port, and
wait until its last byte has left the port.

MESSAGE is UTF-8 text and goes out as GBK (code page 936); "-" reads it from
standard input, all of it. Line feeds go out as CR LF. Without MESSAGE the
page carries no text. Put -- before a message that starts with "-".

Options (defaults are the window's start-up selections):
  --address CODE        pager address code; required ("" sends none)
  --port N              serial port COMn (default 1); see --list-ports
  --device PATH         open PATH instead, e.g. /dev/ttyUSB0 or /dev/pts/3
  --baud 9600|115200    line speed (default 115200)
  --phase normal|inverted
                        also 正/反 or P/N (default normal)
  --function 1|2|3|4    beep/function code (default 1)
  --rate 1200|512       paging rate (default 1200)
  --type numeric|chinese
                        pager type, also 数字机/汉字机 or N/T (default numeric)
  --timeout MS          write time allowance: a command of n bytes gives up
                        after MS + MS*n milliseconds (default 1000; 0: none)
  --dry-run             print the command's bytes (hex, then as text) and
                        open no port
  --list-ports          print each port number with its device and exit
  -h, --help            print this help and exit
  --version             print the version and exit

A numeric pager shows only 0-9 and A-F; other characters get a warning on
standard error but are sent as typed.

Exit status:
  0   the command was sent
  64  usage error
  65  the address or message holds a character without a GBK code, or is
      not UTF-8; nothing was sent
  69  the port cannot be opened (missing, busy, permission denied)
  74  the write failed or timed out, or standard input could not be read

Examples:
  pelmora-send --address 1234567 123
  pelmora-send --device /dev/ttyUSB0 --type chinese --address 1234567 数据
  date | pelmora-send --port 2 --baud 9600 --type chinese --address 42 -
)";
}

}  // namespace pelmora::tools::send
