#pragma once

// The command line of pelmora-send. Defaults are the main window's start-up
// selections, so a page sent from a script matches one sent from the window.

#include "link/page_command.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace pelmora::tools::send {

enum class Action { Send, DryRun, ListPorts, Help, Version };

struct SendOptions {
    static constexpr std::int32_t kDefaultPort = 1;
    static constexpr std::int32_t kDefaultBaud = 115200;
    static constexpr std::chrono::milliseconds kDefaultTimeout{1000};

    Action action = Action::Send;
    std::int32_t port = kDefaultPort;
    std::optional<std::string> device;  // --device: opened instead of port n
    std::int32_t baud = kDefaultBaud;
    link::page::Selections selections;
    std::optional<std::string> address;  // UTF-8; required for Send and DryRun
    std::string message;                 // UTF-8; empty: a page without text
    bool messageFromStdin = false;
    std::chrono::milliseconds timeout = kDefaultTimeout;
};

struct ParsedArguments {
    SendOptions options;
    std::string error;  // set for a usage error; then options are not to be used
};

// `arguments` excludes the program name. --help and --version win over any
// other argument, even a faulty one.
ParsedArguments parseSendArguments(std::span<const std::string> arguments);

std::string sendHelpText();

}  // namespace pelmora::tools::send
