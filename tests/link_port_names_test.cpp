#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

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

TEST(UserPathsTest, FoldersAreMadePrivateAndAFailureSaysWhy) {
  test::TempDir dir;
  const SessionPlaces places{dir.File("config/brisko"), "", dir.File("data/brisko"), true};
  std::string whyNot;
  ASSERT_TRUE(EnsureDir(places.configDir, whyNot)) << whyNot;
  struct stat st {};
  ASSERT_EQ(::stat(places.configDir.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(places.SettingsFile(), places.configDir + "/OrvexBslComDft.txt");
  EXPECT_EQ(places.PortMapFile(), places.configDir + "/ports.conf");

  // A file in the way is named with the reason, and no folder is made elsewhere.
  test::WriteFile(dir.File("plain-file"), "x");
  EXPECT_FALSE(EnsureDir(dir.File("plain-file/brisko"), whyNot));
  EXPECT_NE(whyNot.find("plain-file"), std::string::npos) << whyNot;
  EXPECT_NE(whyNot.find("Not a directory"), std::string::npos) << whyNot;

  // A session that keeps no settings has no settings file.
  SessionPlaces simulated = places;
  simulated.keepSettings = false;
  EXPECT_EQ(simulated.SettingsFile(), "");
}

}  // namespace
}  // namespace brisko
