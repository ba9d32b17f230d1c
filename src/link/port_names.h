#pragma once

// Port number -> device. The window offers "COM1" to "COM10"; on Linux the
// n-th entry is the n-th serial port of this machine, counted the way
// Windows would number them, so an operator's habits carry over.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pelmora::link {

struct PortDevice {
    std::string path;         ///< what open() opens, e.g. "/dev/ttyUSB0" or "\\.\COM3"
    std::string description;  ///< product name of the adapter, or empty when none is known
};

/// Maps a port number (1 = COM1) to the device it would open now; nullopt when there is none.
using PortNamer = std::function<std::optional<PortDevice>(int portNumber)>;

/// The operating system's own numbering, looked up again at each call so that
/// an adapter plugged in after start-up is found. Does not block beyond a few
/// file-system reads.
PortNamer systemPortNamer();

/// The serial ports of this machine in numbering order: port n is element n-1.
/// On Windows every number up to the highest present COM port is listed
/// (Windows numbering has gaps; a missing number fails at open).
std::vector<PortDevice> listSystemPorts();

#if !defined(_WIN32)
/// Where the Linux port scan looks. Tests lay out a fake tree in a temporary
/// directory; there, files that are not character devices are taken as they
/// are, without asking a driver.
struct DeviceTree {
    std::filesystem::path devRoot{"/dev"};
    std::filesystem::path sysRoot{"/sys"};
};

/// Ports in numbering order: on-board UARTs (ttyS* with a driver bound that
/// knows a real UART), then ttyUSB*, ttyACM*, ttyAMA*, ttyXRUSB*, rfcomm*,
/// each family in numeric order.
std::vector<PortDevice> listSerialPorts(const DeviceTree& tree);

/// A namer that scans `tree` at each call.
PortNamer portNamerFor(DeviceTree tree);
#endif

}  // namespace pelmora::link
