#include <gtest/gtest.h>

#include <filesystem>

#include "link/user_paths.hpp"
#include "shell/main_window.hpp"
#include "shell/settings_file.hpp"
#include "shell/user_places.hpp"
#include "support/fast_timing.hpp"
#include "support/scripted_operator.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

class SettingsFileTest : public ::testing::Test {
 protected:
  std::unique_ptr<MainWindow> StartWindow() {
    return std::make_unique<MainWindow>(
        op, [](const std::string&, std::string&) { return std::unique_ptr<SerialDevice>(); }, test::FastTiming(),
        files.dirs.Places());
  }
  std::string SettingsPath() const { return files.Path("config/brisko/OrvexBslComDft.txt"); }
  std::string RegistryText() const { return test::ReadFile(files.Path("config/Orvex/Brisko.conf")); }

  test::TestFiles files;
  test::ScriptedOperator op;
};

TEST_F(SettingsFileTest, FilesOfTheFormAreAppliedAsTheyAreAndOthersKeepTheDefaults) {
  struct Case {
    const char* text;
    int port;
    unsigned baud;
    double crystal;
  } cases[] = {
      {"COM2$BAUD19200$CRYSTAL12.000000$$", 2, 19200, 12.0},  // as the set-up dialog writes it
      {"COM3$BAUD57600$CRYSTAL22.1184$$", 3, 57600, 22.1184},
      {"COM4$BAUD9600$CRYSTAL3.6864$whatever\n", 4, 9600, 3.6864},  // anything after the third field
      {"COMx$BAUD$CRYSTAL?$$", 0, 0, 0.0},                          // numbers that do not parse
      {"COM1$BAUD38400$$", 1, 38400, 11.0592},
      {"com3$BAUD9600$CRYSTAL12.0$$", 1, 38400, 11.0592},
      {"COM3$CRYSTAL12.0$BAUD9600$$", 1, 38400, 11.0592},
      {"COM3$BAUD9600$CRYSTAL12.0", 1, 38400, 11.0592},
      {"", 1, 38400, 11.0592},
      // The reader looks at 48 bytes; the third '$' lies beyond them.
      {"COM3$BAUD9600$CRYSTAL12.000000000000000000000000000$$", 1, 38400, 11.0592},
      {nullptr, 1, 38400, 11.0592},  // no file
  };
  for (const auto& c : cases) {
    std::filesystem::remove(SettingsPath());
    if (c.text) {
      std::filesystem::create_directories(files.Path("config/brisko"));
      test::WriteFile(SettingsPath(), c.text);
    }
    auto window = StartWindow();
    const std::string name = c.text ? c.text : "no file";
    EXPECT_EQ(window->Record()->Port().GetPortNumber(), c.port) << name;
    EXPECT_EQ(window->Record()->Port().GetBaudRate(), c.baud) << name;
    EXPECT_DOUBLE_EQ(window->Record()->GetCrystal(), c.crystal) << name;
    EXPECT_EQ(window->Snapshot().portPane, "COM" + std::to_string(c.port)) << name;
    EXPECT_EQ(window->Snapshot().baudPane, "Baud Rate: " + std::to_string(c.baud)) << name;
  }
  EXPECT_EQ(files.dirs.Places().SettingsFile(), SettingsPath());
  EXPECT_TRUE(op.messages.empty());
}

TEST_F(SettingsFileTest, WriteReplacesTheWholeFileOrDoesNothing) {
  WriteSettingsFile(SettingsPath(), "COM12$BAUD38400$CRYSTAL11.059200$$");
  WriteSettingsFile(SettingsPath(), "COM1$BAUD600$CRYSTAL1.000000$$");
  EXPECT_EQ(test::ReadFile(SettingsPath()), "COM1$BAUD600$CRYSTAL1.000000$$");

  std::filesystem::remove(SettingsPath());
  std::filesystem::create_directories(SettingsPath());  // a folder in the file's place
  WriteSettingsFile(SettingsPath(), "COM1$BAUD600$CRYSTAL1.000000$$");
  EXPECT_TRUE(std::filesystem::is_directory(SettingsPath()));
  EXPECT_EQ(StartWindow()->Record()->Port().GetBaudRate(), 38400u);
}

TEST_F(SettingsFileTest, RegistryValuesAreAddedReplacedAndCut) {
  EXPECT_TRUE(SaveRegistryValue(files.dirs.Places(), "COMMPORT", "1"));
  EXPECT_EQ(RegistryText(), "[General]\nCOMMPORT=1\n");
  EXPECT_TRUE(SaveRegistryValue(files.dirs.Places(), "BAUDRATE", "9600"));
  EXPECT_TRUE(SaveRegistryValue(files.dirs.Places(), "COMMPORT", "12"));
  auto has = [&](const std::string& line) { return RegistryText().find(line) != std::string::npos; };
  EXPECT_FALSE(has("COMMPORT=1\n"));
  EXPECT_TRUE(has("COMMPORT=12\n"));
  EXPECT_TRUE(has("BAUDRATE=9600\n"));
  ASSERT_TRUE(SaveRegistryValue(files.dirs.Places(), "BAUDRATE", std::string(31, '7')));
  EXPECT_TRUE(has("BAUDRATE=" + std::string(31, '7') + "\n"));
  ASSERT_TRUE(SaveRegistryValue(files.dirs.Places(), "BAUDRATE", std::string(32, '8')));
  EXPECT_TRUE(has("BAUDRATE=" + std::string(30, '8') + "\n"));
}

TEST(UserPlacesTest, XdgFoldersWinAndRelativeOnesAreIgnored) {
  test::UserDirsInTemp dirs;
  const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  const std::string home = dirs.Dir().File("home");
  ::setenv("HOME", home.c_str(), 1);
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("XDG_CACHE_HOME", "relative/cache", 1);
  const SessionPlaces places = UserPlaces();
  ::setenv("HOME", oldHome.c_str(), 1);
  EXPECT_EQ(places.configDir, home + "/.config/brisko");
  EXPECT_EQ(places.cacheDir, home + "/.cache/brisko");
  EXPECT_EQ(places.dataDir, dirs.Places().dataDir);
  EXPECT_TRUE(places.keepSettings);
}

}  // namespace
}  // namespace brisko
