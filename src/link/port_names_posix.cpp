// Linux port numbering, counted the way Windows would number the same
// machine's ports: on-board UARTs first, then the adapters by family.

#include "link/port_names.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <string_view>
#include <system_error>
#include <tuple>

namespace pelmora::link {
namespace fs = std::filesystem;

namespace {

struct PortFamily {
    std::string_view prefix;
    bool onBoardUart;  // ttyS nodes exist for every possible UART: keep only real ones
};

// Order of the families: on-board UARTs, USB serial converters, USB modems
// (CDC-ACM), ARM SoC UARTs, Exar USB UARTs, Bluetooth serial links.
constexpr std::array kFamilies{
    PortFamily{"ttyS", true},    PortFamily{"ttyUSB", false},   PortFamily{"ttyACM", false},
    PortFamily{"ttyAMA", false}, PortFamily{"ttyXRUSB", false}, PortFamily{"rfcomm", false},
};

constexpr int kPortUnknown = PORT_UNKNOWN;

std::optional<unsigned> numberAfter(std::string_view name, std::string_view prefix)
{
    if (!name.starts_with(prefix))
        return std::nullopt;
    const std::string_view digits = name.substr(prefix.size());
    if (digits.empty() || digits.size() > 6)
        return std::nullopt;
    unsigned number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc{} || end != digits.data() + digits.size())
        return std::nullopt;
    return number;
}

std::string readAttribute(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line))
        return {};
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\t'))
        line.pop_back();
    return line;
}

bool isRealUart(const DeviceTree& tree, const std::string& name, const fs::path& node)
{
    std::error_code ec;
    const fs::path sysDir = tree.sysRoot / "class" / "tty" / name;
    if (!fs::exists(sysDir / "device" / "driver", ec))
        return false;
    // serial_core publishes the port type, which spares opening the port (an
    // open raises DTR and RTS on a real UART).
    if (const std::string type = readAttribute(sysDir / "type"); !type.empty())
        return type != std::to_string(kPortUnknown);
    if (!fs::is_character_file(node, ec))
        return true;  // a test tree
    const int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EBUSY;  // held exclusively by someone: it is real
    serial_struct info{};
    const bool known = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != kPortUnknown;
    ::close(fd);
    return known;
}

// Product name of the USB device above the tty: ttyUSB sits below the
// interface, ttyACM is the interface. Empty for anything else.
std::string describeAdapter(const DeviceTree& tree, const std::string& name)
{
    std::error_code ec;
    fs::path dir = fs::canonical(tree.sysRoot / "class" / "tty" / name / "device", ec);
    if (ec)
        return {};
    std::string interfaceName;
    for (int level = 0; level < 3 && !dir.empty() && dir != dir.root_path(); ++level, dir = dir.parent_path()) {
        if (interfaceName.empty())
            interfaceName = readAttribute(dir / "interface");
        if (!fs::exists(dir / "idVendor", ec))
            continue;
        // The first USB device up the chain is the adapter; never look past it to a hub.
        const std::string product = readAttribute(dir / "product");
        if (product.empty())
            break;
        const std::string manufacturer = readAttribute(dir / "manufacturer");
        if (manufacturer.empty() || product.starts_with(manufacturer))
            return product;
        return manufacturer + " " + product;
    }
    return interfaceName;
}

}  // namespace

std::vector<PortDevice> listSerialPorts(const DeviceTree& tree)
{
    struct Found {
        std::size_t family;
        unsigned number;
        std::string name;
    };
    std::vector<Found> found;
    std::error_code ec;
    for (fs::directory_iterator it(tree.devRoot, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_directory(ec))
            continue;
        const std::string name = it->path().filename().string();
        for (std::size_t family = 0; family < kFamilies.size(); ++family) {
            if (const auto number = numberAfter(name, kFamilies[family].prefix)) {
                found.push_back({family, *number, name});
                break;
            }
        }
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return std::tie(a.family, a.number) < std::tie(b.family, b.number);
    });

    std::vector<PortDevice> ports;
    for (const Found& entry : found) {
        const fs::path node = tree.devRoot / entry.name;
        if (kFamilies[entry.family].onBoardUart) {
            if (!isRealUart(tree, entry.name, node))
                continue;
            ports.push_back({node.string(), {}});
        } else {
            ports.push_back({node.string(), describeAdapter(tree, entry.name)});
        }
    }
    return ports;
}

PortNamer portNamerFor(DeviceTree tree)
{
    return [tree = std::move(tree)](int portNumber) -> std::optional<PortDevice> {
        if (portNumber < 1)
            return std::nullopt;
        std::vector<PortDevice> ports = listSerialPorts(tree);
        if (static_cast<std::size_t>(portNumber) > ports.size())
            return std::nullopt;
        return std::move(ports[static_cast<std::size_t>(portNumber) - 1]);
    };
}

PortNamer systemPortNamer()
{
    return portNamerFor(DeviceTree{});
}

std::vector<PortDevice> listSystemPorts()
{
    return listSerialPorts(DeviceTree{});
}

}  // namespace pelmora::link
