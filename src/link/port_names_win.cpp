// Windows names its serial ports itself: port n is "\\.\COMn".

#include "link/port_names.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <charconv>
#include <string_view>

namespace pelmora::link {
namespace {

constexpr DWORD kDosDeviceListSize = 1 << 20;

std::string comPath(int portNumber)
{
    return "\\\\.\\COM" + std::to_string(portNumber);
}

// Highest n for which a "COMn" DOS device exists, 0 when none does.
int highestComPort()
{
    std::string names(kDosDeviceListSize, '\0');
    const DWORD length = QueryDosDeviceA(nullptr, names.data(), static_cast<DWORD>(names.size()));
    int highest = 0;
    for (std::size_t start = 0; start < length;) {
        const std::size_t end = names.find('\0', start);
        if (end == std::string::npos || end == start)
            break;
        const std::string_view name(names.data() + start, end - start);
        if (name.size() > 3 && name.substr(0, 3) == "COM") {
            int number = 0;
            const auto [last, error] = std::from_chars(name.data() + 3, name.data() + name.size(), number);
            if (error == std::errc{} && last == name.data() + name.size())
                highest = std::max(highest, number);
        }
        start = end + 1;
    }
    return highest;
}

}  // namespace

PortNamer systemPortNamer()
{
    return [](int portNumber) -> std::optional<PortDevice> {
        if (portNumber < 1)
            return std::nullopt;
        return PortDevice{comPath(portNumber), {}};
    };
}

std::vector<PortDevice> listSystemPorts()
{
    std::vector<PortDevice> ports;
    const int highest = highestComPort();
    for (int n = 1; n <= highest; ++n)
        ports.push_back({comPath(n), {}});
    return ports;
}

}  // namespace pelmora::link
