#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "link/port_list.hpp"
#include "link/port_names.hpp"
#include "link/user_paths.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

TEST(PortNamesTest, ComNamesThePortMapAndHowANameBecomesADevice) {
  EXPECT_EQ(ParseComName("com12"), 12);
  EXPECT_EQ(ComName(3), "COM3");
  for (const char* notCom : {"COM", "COM0", "COMx", "COM1a", "/dev/ttyUSB0", "COM-1", ""})
    EXPECT_EQ(ParseComName(notCom), std::nullopt) << notCom;

  test::TempDir dir;
  test::WriteFile(dir.File("ports.conf"),
                  "# bench adapters\r\n"
                  "COM5=/dev/ttyUSB0\r\n"
                  "  COM6 = /dev/ttyACM0  \n"
                  "\n"
                  "COM7\n"
                  "LPT1=/dev/lp0\n"
                  "COM8=\n");
  auto map = ReadPortMap(dir.File("ports.conf"));
  EXPECT_EQ(map, (std::map<int, std::string>{{5, "/dev/ttyUSB0"}, {6, "/dev/ttyACM0"}}));
  EXPECT_TRUE(ReadPortMap(dir.File("missing.conf")).empty());

  EXPECT_EQ(ResolvePortName("COM5", map), "/dev/ttyUSB0");
  EXPECT_EQ(ResolvePortName("COM1", map), "/dev/ttyS0");
  EXPECT_EQ(ResolvePortName("/dev/pts/3", map), "/dev/pts/3");
}

// The ports of a fake /sys and /dev: ttys without a device (a console, a
// pty) and legacy ttyS ports without a UART are left out; USB adapters come
// first, with their by-id names; mapped devices are listed even when the
// kernel does not list them.
TEST(PortNamesTest, PortListReadsTheKernelsTtys) {
  namespace fs = std::filesystem;
  test::TempDir root;
  const auto file = [&](const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(root.File(path)).parent_path());
    test::WriteFile(root.File(path), text + "\n");
  };
  const auto link = [&](const std::string& path, const std::string& target) {
    fs::create_directories(fs::path(root.File(path)).parent_path());
    fs::create_directory_symlink(target, root.File(path));
  };
  const std::string usb = "sys/devices/pci0000:00/usb1/1-2";
  file(usb + "/idVendor", "0403");
  file(usb + "/idProduct", "6001");
  file(usb + "/serial", "A10K3Q");
  file(usb + "/manufacturer", "FTDI");
  file(usb + "/product", "FT232R USB UART");
  file(usb + "/1-2:1.0/ttyUSB10/x", "");
  file("sys/bus/usb-serial/drivers/ftdi_sio/x", "");
  link(usb + "/1-2:1.0/ttyUSB10/driver", "../../../../../../bus/usb-serial/drivers/ftdi_sio");
  link("sys/class/tty/ttyUSB10/device", "../../../devices/pci0000:00/usb1/1-2/1-2:1.0/ttyUSB10");
  file("sys/devices/pnp0/00:05/x", "");
  link("sys/class/tty/ttyS0/device", "../../../devices/pnp0/00:05");
  file("sys/class/tty/ttyS0/type", "4");
  link("sys/class/tty/ttyS7/device", "../../../devices/pnp0/00:05");
  file("sys/class/tty/ttyS7/type", "0");  // no UART behind it
  file("sys/class/tty/tty0/dev", "4:0");
  file("dev/ttyUSB10", "");
  link("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3Q-if00-port0", "../../ttyUSB10");

  const auto ports = ListSerialPorts(
      {{5, "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3Q-if00-port0"}, {2, "/dev/pts/4"}, {1, "/dev/ttyS0"}},
      root.Path());
  ASSERT_EQ(ports.size(), 3u);
  EXPECT_EQ(ports[0].device, "/dev/ttyUSB10");
  EXPECT_EQ(ports[0].byId, "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3Q-if00-port0");
  EXPECT_EQ(ports[0].driver, "ftdi_sio");
  EXPECT_EQ(ports[0].usbId + " " + ports[0].usbSerial + " " + ports[0].description,
            "0403:6001 A10K3Q FTDI FT232R USB UART");
  EXPECT_EQ(ports[0].comNames, std::vector<std::string>{"COM5"});
  EXPECT_EQ(ports[1].device + " " + ports[1].usbId + ports[1].comNames.at(0), "/dev/ttyS0 COM1");
  EXPECT_EQ(ports[2].device + " " + ports[2].comNames.at(0), "/dev/pts/4 COM2");
  EXPECT_TRUE(ListSerialPorts({}, root.File("nothing")).empty());
}

// Each save replaces the whole map through a new file: a refused device or a
// full disk leaves the map as it was, and no half-written file behind.
TEST(PortNamesTest, SavingAMappingKeepsTheRestAndAFailureKeepsTheOldMap) {
  test::TempDir dir;
  const std::string map = dir.File("config/brisko/ports.conf");  // the folder is made by the first save
  std::string fiftyNine;
  for (int n = 1; n <= 59; ++n)
    fiftyNine += "COM" + std::to_string(n) + "=/dev/serial/by-id/usb-adapter-" + std::to_string(n) + "\n";
  const struct {
    const char* before;  // null: as the previous row left it
    int port;
    std::string device;
    unsigned long diskBytes;  // 0: no limit
    bool saved;
    std::string after;
    const char* why;
  } rows[] = {
      {nullptr, 6, "/dev/ttyUSB0", 0, true, "COM6=/dev/ttyUSB0\n", ""},
      {"# mine\nCOM1=/dev/ttyACM3\n COM5 = /dev/old\n", 5, "/dev/pts/7", 0, true,
       "# mine\nCOM1=/dev/ttyACM3\nCOM5=/dev/pts/7\n", ""},
      {nullptr, 1, "", 0, true, "# mine\nCOM5=/dev/pts/7\n", ""},  // back to /dev/ttyS0
      {nullptr, 2, "ttyUSB1", 0, false, "# mine\nCOM5=/dev/pts/7\n", "is not a device path"},
      {nullptr, 2, "/dev/x\nCOM1=/dev/y", 0, false, "# mine\nCOM5=/dev/pts/7\n", "is not a device path"},
      {fiftyNine.c_str(), 60, "/dev/ttyUSB9", 200, false, fiftyNine, "File too large"},
  };
  for (const auto& row : rows) {
    if (row.before) {
      std::filesystem::create_directories(dir.File("config/brisko"));
      test::WriteFile(map, row.before);
    }
    std::string whyNot;
    bool saved = false;
    {
      std::optional<test::FileSizeLimit> full;
      if (row.diskBytes) full.emplace(row.diskBytes);
      saved = SavePortMapping(map, row.port, row.device, whyNot);
    }
    EXPECT_EQ(saved, row.saved) << row.device;
    EXPECT_EQ(test::ReadFile(map), row.after) << row.device;
    EXPECT_NE(whyNot.find(row.why), std::string::npos) << whyNot;
    EXPECT_EQ(test::FolderNames(dir.File("config/brisko")), std::vector<std::string>{"ports.conf"});
  }
  EXPECT_EQ(ReadPortMap(map).size(), 59u);
}

// The file names in the folders are checked through the settings file and
// the command line.
TEST(UserPathsTest, FoldersAreMadePrivateAndAFailureSaysWhy) {
  test::TempDir dir;
  const SessionPlaces places{dir.File("config/brisko"), "", dir.File("data/brisko"), true};
  std::string whyNot;
  ASSERT_TRUE(EnsureDir(places.configDir, whyNot)) << whyNot;
  struct stat st {};
  ASSERT_EQ(::stat(places.configDir.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // A file in the way is named with the reason, and no folder is made elsewhere.
  test::WriteFile(dir.File("plain-file"), "x");
  EXPECT_FALSE(EnsureDir(dir.File("plain-file/brisko"), whyNot));
  EXPECT_NE(whyNot.find("plain-file"), std::string::npos) << whyNot;
  EXPECT_NE(whyNot.find("Not a directory"), std::string::npos) << whyNot;
}

}  // namespace
}  // namespace brisko
