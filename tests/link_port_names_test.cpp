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

TEST(UserPathsTest, XdgDirectoriesAreMadePrivateAndHoldTheTemporaryImages) {
  test::UserDirsInTemp dirs;
  std::string config = ConfigDir();
  EXPECT_EQ(config, std::string(std::getenv("XDG_CONFIG_HOME")) + "/brisko");
  struct stat st {};
  ASSERT_EQ(::stat(config.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  std::string cache = std::string(std::getenv("XDG_CACHE_HOME")) + "/brisko";
  EXPECT_EQ(TempImagePath(), cache + "/orvextmp.bin");
  EXPECT_EQ(TempImage1Path(), cache + "/orvextmp1.bin");

  // A directory that cannot be made gives empty paths, not a file elsewhere.
  std::string file = dirs.Dir().File("plain-file");
  test::WriteFile(file, "x");
  ::setenv("XDG_CONFIG_HOME", file.c_str(), 1);
  EXPECT_EQ(SettingsFilePath(), "");
  EXPECT_EQ(PortMapPath(), "");
}

TEST(UserPathsTest, DefaultsLieUnderHomeAndRelativeXdgValuesAreIgnored) {
  test::UserDirsInTemp dirs;
  std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  std::string home = dirs.Dir().File("home");
  ::setenv("HOME", home.c_str(), 1);
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("XDG_CACHE_HOME", "relative/cache", 1);
  EXPECT_EQ(ConfigDir(), home + "/.config/brisko");
  EXPECT_EQ(CacheDir(), home + "/.cache/brisko");
  struct stat st {};
  EXPECT_EQ(::stat((home + "/.cache/brisko").c_str(), &st), 0);
  ::setenv("HOME", oldHome.c_str(), 1);
}

}  // namespace
}  // namespace brisko
