#include <gtest/gtest.h>

#include <filesystem>

#include "link/user_paths.hpp"
#include "shell/session/session.hpp"
#include "shell/setup/settings_file.hpp"
#include "shell/setup/user_places.hpp"
#include "support/fast_timing.hpp"
#include "support/scripted_operator.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

class SettingsFileTest : public ::testing::Test {
 protected:
  std::unique_ptr<Session> StartWindow() {
    auto session = std::make_unique<Session>(
        op, [](const std::string&, std::string&) { return std::unique_ptr<SerialDevice>(); }, test::FastTiming(),
        files.dirs.Places());
    ApplySavedSettings(*session);
    return session;
  }
  std::string SettingsPath() const { return files.Path("config/brisko/OrvexBslComDft.txt"); }

  test::TestFiles files;
  test::ScriptedOperator op;
};

TEST_F(SettingsFileTest, ValidFilesAreAppliedAndOthersKeepTheDefaultsAndSayWhy) {
  const std::string form = "it is not of the form COM<n>$BAUD<n>$CRYSTAL<MHz>$$";
  struct Case {
    const char* text;
    int port;
    unsigned baud;
    double crystal;
    std::string whyIgnored;
  } cases[] = {
      {"COM2$BAUD19200$CRYSTAL12.000000$$", 2, 19200, 12.0, ""},  // as the set-up dialog writes it
      {"COM3$BAUD57600$CRYSTAL22.1184$$", 3, 57600, 22.1184, ""},
      {"COM4$BAUD9600$CRYSTAL3.6864$whatever\n", 4, 9600, 3.6864, ""},  // anything after the third field
      {"COM5x$BAUD9600baud$CRYSTAL12MHz$$", 5, 9600, 12.0, ""},         // the number at the start counts
      {"COMx$BAUD$CRYSTAL?$$", 1, 38400, 11.0592, form},
      {"COM1$BAUD38400$$", 1, 38400, 11.0592, form},
      {"com3$BAUD9600$CRYSTAL12.0$$", 1, 38400, 11.0592, form},
      {"COM3$CRYSTAL12.0$BAUD9600$$", 1, 38400, 11.0592, form},
      {"COM3$BAUD9600$CRYSTAL12.0", 1, 38400, 11.0592, form},  // cut short
      {"", 1, 38400, 11.0592, form},
      // The reader looks at 48 bytes; the third '$' lies beyond them.
      {"COM3$BAUD9600$CRYSTAL12.000000000000000000000000000$$", 1, 38400, 11.0592, form},
      {"COM0$BAUD9600$CRYSTAL12.0$$", 1, 38400, 11.0592, "the port number 0 is not between 1 and 9999"},
      {"COM-2$BAUD9600$CRYSTAL12.0$$", 1, 38400, 11.0592, "the port number -2 is not between 1 and 9999"},
      {"COM2$BAUD-9600$CRYSTAL12.0$$", 1, 38400, 11.0592, "the baud rate -9600 is not between 110 and 921600"},
      {"COM2$BAUD99999999999999999999$CRYSTAL12$$", 1, 38400, 11.0592, form},
      {"COM2$BAUD9600$CRYSTAL50.000000$$", 1, 38400, 11.0592,
       "the crystal frequency 50 MHz is not between 1.0 and 40.0"},
      {"COM2$BAUD9600$CRYSTALnan$$", 1, 38400, 11.0592, "the crystal frequency nan MHz is not between 1.0 and 40.0"},
      {"COM2$BAUD9600$CRYSTAL1e300$$", 1, 38400, 11.0592,
       "the crystal frequency 1e+300 MHz is not between 1.0 and 40.0"},
      {nullptr, 1, 38400, 11.0592, ""},  // no file
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
    EXPECT_EQ(window->Window().Snapshot().portPane, "COM" + std::to_string(c.port)) << name;
    EXPECT_EQ(window->Window().Snapshot().baudPane, "Baud Rate: " + std::to_string(c.baud)) << name;
    const std::string problem = c.whyIgnored.empty() ? "" : SettingsPath() + " is ignored: " + c.whyIgnored;
    EXPECT_EQ(SettingsFileProblem(SettingsPath()), problem) << name;
    SilentSink silent;
    SessionRecord record(silent, nullptr);
    EXPECT_EQ(ApplySettingsFile(record, SettingsPath()), problem) << name;
    if (c.text) {
      EXPECT_EQ(test::ReadFile(SettingsPath()), c.text) << "an ignored file is left as it is";
    }
  }
  EXPECT_EQ(files.dirs.Places().SettingsFile(), SettingsPath());
  EXPECT_TRUE(op.messages.empty());
}

// Whatever the writer puts down, the reader takes back.
TEST_F(SettingsFileTest, WriteReplacesTheWholeFileOnlyWithWhatTheReaderTakes) {
  EXPECT_TRUE(WriteSettingsFile(SettingsPath(), "COM12$BAUD38400$CRYSTAL11.059200$$"));
  EXPECT_TRUE(WriteSettingsFile(SettingsPath(), FormatSettings(1, 600, 1.0)));
  EXPECT_EQ(test::ReadFile(SettingsPath()), "COM1$BAUD600$CRYSTAL1.000000$$");

  struct Refused {
    int port;
    unsigned baud;
    double crystal;
    const char* why;
  } refused[] = {
      {1, 38400, 0.5, "the crystal frequency 0.5 MHz is not between 1.0 and 40.0"},
      {0, 38400, 12.0, "the port number 0 is not between 1 and 9999"},
      {1, 0, 12.0, "the baud rate 0 is not between 110 and 921600"},
  };
  for (const auto& r : refused) {
    EXPECT_EQ(SettingsProblem({r.port, r.baud, r.crystal}), r.why);
    EXPECT_FALSE(WriteSettingsFile(SettingsPath(), FormatSettings(r.port, r.baud, r.crystal))) << r.why;
  }
  EXPECT_EQ(FormatSettings(1, 38400, 1e300), "");
  EXPECT_EQ(SettingsProblem({9999, 921600, 40.0}), "");
  EXPECT_EQ(test::ReadFile(SettingsPath()), "COM1$BAUD600$CRYSTAL1.000000$$");
  {
    test::FileSizeLimit full(10);  // a full disk keeps the old file
    std::string whyNot;
    EXPECT_FALSE(WriteSettingsFile(SettingsPath(), FormatSettings(7, 9600, 12.0), whyNot));
    EXPECT_EQ(whyNot, SettingsPath() + ": File too large");
  }
  EXPECT_EQ(test::ReadFile(SettingsPath()), "COM1$BAUD600$CRYSTAL1.000000$$");
  EXPECT_EQ(test::FolderNames(files.Path("config/brisko")), std::vector<std::string>{"OrvexBslComDft.txt"});

  std::filesystem::remove(SettingsPath());
  std::filesystem::create_directories(SettingsPath());  // a folder in the file's place
  EXPECT_FALSE(WriteSettingsFile(SettingsPath(), "COM1$BAUD600$CRYSTAL1.000000$$"));
  EXPECT_TRUE(std::filesystem::is_directory(SettingsPath()));
  EXPECT_EQ(StartWindow()->Record()->Port().GetBaudRate(), 38400u);
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
