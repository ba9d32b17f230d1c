#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace pelmora::ui {

// Opens a web address the desktop's own way (the shell's "open"); when that
// fails, starts the registered web browser with it. Returns true only when a
// program was actually started for the address; false for an empty address or
// when both attempts fail. Shows nothing either way. Blocks only while the
// program is being started, never until it ends.
bool openWebAddress(const QString& address);

// The fallback alone: the web browser registered with the system (Windows:
// the ".htm" document class's open command; elsewhere x-www-browser, then
// sensible-browser) started with the address. True when a start succeeded.
bool startRegisteredBrowser(const QString& address);

// A browser's registered command line with its document placeholder cut off:
// everything before the first "\"%1\"", else before the first "%1", else the
// whole line.
QString browserCommandPrefix(const QString& commandLine);

// Registry values longer than this are refused, not cut.
inline constexpr qsizetype kMaxRegistryValueChars = 259;

// Reads the default value of a key under the classes root; empty when the key
// or value is missing or unreadable.
using ClassesRootReader = std::function<std::optional<QString>(const QString& subKey)>;

// The command line that starts the registered browser with `address`: the
// ".htm" class name, its "\shell\open\command" value cut by
// browserCommandPrefix, one space, the address. Empty when either value is
// missing or longer than kMaxRegistryValueChars.
std::optional<QString> registeredBrowserCommandLine(const ClassesRootReader& readClassesRootDefault,
                                                    const QString& address);

}  // namespace pelmora::ui
