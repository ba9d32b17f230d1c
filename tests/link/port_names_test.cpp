#include "link/port_names.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace pelmora::link {
namespace {

namespace fs = std::filesystem;

// A fake /dev and /sys laid out like a machine with two on-board UART nodes,
// USB adapters and a Bluetooth link.
class FakeDeviceTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "pelmora-ports-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        tree_.devRoot = root_ / "dev";
        tree_.sysRoot = root_ / "sys";
        fs::create_directories(tree_.devRoot);
        fs::create_directories(tree_.sysRoot / "class" / "tty");
    }
    void TearDown() override { fs::remove_all(root_); }

    void node(const std::string& name) { std::ofstream(tree_.devRoot / name) << ""; }

    static void attribute(const fs::path& file, const std::string& value)
    {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << value << "\n";
    }

    // ttyS node; `driver` binds a driver, `type` is serial_core's port type attribute.
    void uart(const std::string& name, bool driver, const std::string& type = {})
    {
        node(name);
        const fs::path sysDir = tree_.sysRoot / "class" / "tty" / name;
        fs::create_directories(sysDir / "device");
        if (driver)
            fs::create_directories(sysDir / "device" / "driver");
        if (!type.empty())
            attribute(sysDir / "type", type);
    }

    // A USB adapter: the tty's device link points below the interface (ttyUSB)
    // or at it (ttyACM), as the kernel lays it out.
    void usbAdapter(const std::string& name, const std::string& usbDevice, const std::string& manufacturer,
                    const std::string& product, const std::string& interfaceName = {})
    {
        node(name);
        const fs::path device = tree_.sysRoot / "devices" / "usb1" / usbDevice;
        attribute(device / "idVendor", "0403");
        if (!manufacturer.empty())
            attribute(device / "manufacturer", manufacturer);
        if (!product.empty())
            attribute(device / "product", product);
        const fs::path interfaceDir = device / (usbDevice + ":1.0");
        fs::create_directories(interfaceDir);
        if (!interfaceName.empty())
            attribute(interfaceDir / "interface", interfaceName);
        const fs::path target = name.starts_with("ttyUSB") ? interfaceDir / name : interfaceDir;
        fs::create_directories(target);
        fs::create_directories(tree_.sysRoot / "class" / "tty" / name);
        fs::create_directory_symlink(target, tree_.sysRoot / "class" / "tty" / name / "device");
    }

    static std::vector<std::string> names(const std::vector<PortDevice>& ports)
    {
        std::vector<std::string> result;
        for (const PortDevice& port : ports)
            result.push_back(fs::path(port.path).filename().string());
        return result;
    }

    fs::path root_;
    DeviceTree tree_;
};

TEST_F(FakeDeviceTree, OnBoardUartsFirstThenAdaptersByFamilyWithProductNames)
{
    // The root hub has a product too; it must never be taken for the adapter's.
    attribute(tree_.sysRoot / "devices" / "usb1" / "idVendor", "1d6b");
    attribute(tree_.sysRoot / "devices" / "usb1" / "product", "xHCI Host Controller");
    node("rfcomm0");
    usbAdapter("ttyACM1", "1-4", "", "", "CDC Abstract Control Model (ACM)");
    usbAdapter("ttyACM0", "1-3", "Pelmora", "Pelmora Pager Modem");
    usbAdapter("ttyUSB1", "1-2", "", "CP2102 USB to UART Bridge Controller");
    usbAdapter("ttyUSB0", "1-1", "FTDI", "FT232R USB UART");
    uart("ttyS0", true);
    uart("ttyS1", false);
    uart("ttyS2", true, "0");  // driver bound, but no UART behind it
    uart("ttyS3", true, "4");
    node("tty0");
    node("ttySAC");
    node("ttyUSB");
    node("console");
    fs::create_directories(tree_.devRoot / "ttyUSB9");  // a directory is no port

    const std::vector<PortDevice> ports = listSerialPorts(tree_);
    EXPECT_EQ(names(ports),
              (std::vector<std::string>{"ttyS0", "ttyS3", "ttyUSB0", "ttyUSB1", "ttyACM0", "ttyACM1", "rfcomm0"}));
    ASSERT_EQ(ports.size(), 7u);
    EXPECT_EQ(ports[0].path, (tree_.devRoot / "ttyS0").string());
    const std::vector<std::string> descriptions{"",
                                                "",
                                                "FTDI FT232R USB UART",
                                                "CP2102 USB to UART Bridge Controller",
                                                "Pelmora Pager Modem",
                                                "CDC Abstract Control Model (ACM)",
                                                ""};
    for (std::size_t i = 0; i < ports.size(); ++i)
        EXPECT_EQ(ports[i].description, descriptions[i]) << ports[i].path;
}

TEST_F(FakeDeviceTree, NumbersWithinAFamilyCountNumerically)
{
    for (const char* name : {"ttyUSB10", "ttyUSB9", "ttyUSB2", "ttyACM11", "ttyACM3"})
        node(name);
    EXPECT_EQ(names(listSerialPorts(tree_)),
              (std::vector<std::string>{"ttyUSB2", "ttyUSB9", "ttyUSB10", "ttyACM3", "ttyACM11"}));
}

TEST_F(FakeDeviceTree, NamerResolvesAtEachCallAndHasNothingOutsideTheCount)
{
    uart("ttyS0", true);
    node("ttyUSB0");
    const PortNamer namer = portNamerFor(tree_);
    EXPECT_EQ(namer(0), std::nullopt);
    EXPECT_EQ(namer(-1), std::nullopt);
    EXPECT_EQ(namer(3), std::nullopt);
    ASSERT_TRUE(namer(1));
    EXPECT_EQ(namer(1)->path, (tree_.devRoot / "ttyS0").string());
    EXPECT_EQ(namer(2)->path, (tree_.devRoot / "ttyUSB0").string());

    node("ttyACM0");  // plugged in after the namer was made
    ASSERT_TRUE(namer(3));
    EXPECT_EQ(namer(3)->path, (tree_.devRoot / "ttyACM0").string());
    fs::remove(tree_.devRoot / "ttyUSB0");  // unplugged: the numbers after it move up
    EXPECT_EQ(namer(2)->path, (tree_.devRoot / "ttyACM0").string());
    EXPECT_EQ(namer(3), std::nullopt);
}

TEST(PortNames, MissingTreeGivesNoPorts)
{
    EXPECT_TRUE(listSerialPorts(DeviceTree{"/nonexistent/dev", "/nonexistent/sys"}).empty());
}

}  // namespace
}  // namespace pelmora::link
