#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "link/user_paths.hpp"
#include "shell/comm_setup_dialog.hpp"
#include "shell/main_window.hpp"
#include "shell/settings_file.hpp"
#include "support/fast_timing.hpp"
#include "support/scripted_operator.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

class SettingsFileTest : public ::testing::Test {
 protected:
  std::unique_ptr<MainWindow> StartWindow() {
    return std::make_unique<MainWindow>(
        op, [](const std::string&, std::string&) { return std::unique_ptr<SerialDevice>(); }, test::FastTiming());
  }
  std::string SettingsPath() const { return dirs.Dir().File("config/brisko/OrvexBslComDft.txt"); }
  std::string RegistryPath() const { return dirs.Dir().File("config/Orvex/Brisko.conf"); }

  struct Applied {
    int port;
    unsigned baud;
    double crystal;
    std::string portPane;
    std::string baudPane;
  };
  Applied StartWith(const std::string& fileText) {
    std::filesystem::create_directories(dirs.Dir().File("config/brisko"));
    test::WriteFile(SettingsPath(), fileText);
    auto window = StartWindow();
    SerialPort& port = window->Record()->Port();
    const WindowState state = window->Snapshot();
    return {port.GetPortNumber(), port.GetBaudRate(), window->Record()->GetCrystal(), state.portPane, state.baudPane};
  }

  test::UserDirsInTemp dirs;
  test::ScriptedOperator op;
};

TEST_F(SettingsFileTest, LivesInTheUsersConfigurationDirectory) {
  EXPECT_EQ(SettingsFilePath(), SettingsPath());
}

TEST_F(SettingsFileTest, ConfirmedChoiceIsWrittenAndAppliedAtTheNextStart) {
  {
    auto window = StartWindow();
    CommSetupDialog dialog(*window);
    dialog.selectedPort = 1;
    dialog.crystalMHz = 12.0;
    dialog.Compute();
    dialog.selectedRate = 1;
    ASSERT_EQ(dialog.Confirm(), CommSetupDialog::Outcome::Confirmed);
  }
  EXPECT_EQ(test::ReadFile(SettingsPath()), "COM2$BAUD19200$CRYSTAL12.000000$$");

  auto next = StartWindow();
  EXPECT_EQ(next->Snapshot().portPane, "COM2");
  EXPECT_EQ(next->Snapshot().baudPane, "Baud Rate: 19200");
  EXPECT_DOUBLE_EQ(next->Record()->GetCrystal(), 12.0);
  CommSetupDialog reopened(*next);
  EXPECT_EQ(reopened.selectedPort, 1);
  EXPECT_DOUBLE_EQ(reopened.crystalMHz, 12.0);
}

TEST_F(SettingsFileTest, ValuesAreAppliedAsTheyAre) {
  const Applied applied = StartWith("COM3$BAUD57600$CRYSTAL22.1184$$");
  EXPECT_EQ(applied.port, 3);
  EXPECT_EQ(applied.baud, 57600u);
  EXPECT_DOUBLE_EQ(applied.crystal, 22.1184);
  EXPECT_EQ(applied.portPane, "COM3");
  EXPECT_EQ(applied.baudPane, "Baud Rate: 57600");
}

TEST_F(SettingsFileTest, AnythingAfterTheThirdFieldIsIgnored) {
  const Applied applied = StartWith("COM4$BAUD9600$CRYSTAL3.6864$whatever\n");
  EXPECT_EQ(applied.port, 4);
  EXPECT_EQ(applied.baud, 9600u);
  EXPECT_DOUBLE_EQ(applied.crystal, 3.6864);
}

TEST_F(SettingsFileTest, NumbersThatDoNotParseBecomeZero) {
  const Applied applied = StartWith("COMx$BAUD$CRYSTAL?$$");
  EXPECT_EQ(applied.port, 0);
  EXPECT_EQ(applied.baud, 0u);
  EXPECT_EQ(applied.crystal, 0.0);
}

TEST_F(SettingsFileTest, FilesNotOfTheFormKeepTheDefaults) {
  for (const char* text : {"COM1$BAUD38400$$", "com3$BAUD9600$CRYSTAL12.0$$", "COM3$CRYSTAL12.0$BAUD9600$$",
                           "COM3$BAUD9600$CRYSTAL12.0", "",
                           // The reader looks at 48 bytes; the third '$' lies beyond them.
                           "COM3$BAUD9600$CRYSTAL12.000000000000000000000000000$$"}) {
    const Applied applied = StartWith(text);
    EXPECT_EQ(applied.port, 1) << text;
    EXPECT_EQ(applied.baud, 38400u) << text;
    EXPECT_DOUBLE_EQ(applied.crystal, 11.0592) << text;
    EXPECT_EQ(applied.portPane, "COM1") << text;
  }
  EXPECT_TRUE(op.messages.empty());
}

TEST_F(SettingsFileTest, MissingFileChangesNothingAndShowsNothing) {
  auto window = StartWindow();
  EXPECT_EQ(window->Record()->Port().GetPortNumber(), 1);
  EXPECT_EQ(window->Record()->Port().GetBaudRate(), 38400u);
  EXPECT_DOUBLE_EQ(window->Record()->GetCrystal(), 11.0592);
  EXPECT_TRUE(op.messages.empty());
}

TEST_F(SettingsFileTest, FormatAndParseAgree) {
  EXPECT_EQ(FormatSettings(1, 38400, 11.0592), "COM1$BAUD38400$CRYSTAL11.059200$$");
  EXPECT_EQ(FormatSettings(256, 600, 40.0), "COM256$BAUD600$CRYSTAL40.000000$$");
  const std::optional<Settings> parsed = ParseSettings(FormatSettings(7, 4800, 1.8432));
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->portNumber, 7);
  EXPECT_EQ(parsed->baudRate, 4800u);
  EXPECT_DOUBLE_EQ(parsed->crystalMHz, 1.8432);
}

TEST_F(SettingsFileTest, WriteReplacesTheWholeFileWithoutALineEnd) {
  WriteSettingsFile("COM12$BAUD38400$CRYSTAL11.059200$$");
  WriteSettingsFile("COM1$BAUD600$CRYSTAL1.000000$$");
  EXPECT_EQ(test::ReadFile(SettingsPath()), "COM1$BAUD600$CRYSTAL1.000000$$");
}

TEST_F(SettingsFileTest, WriteThatCannotCreateTheFileDoesNothing) {
  std::filesystem::create_directories(SettingsPath());  // a directory in the file's place
  WriteSettingsFile("COM1$BAUD600$CRYSTAL1.000000$$");
  EXPECT_TRUE(std::filesystem::is_directory(SettingsPath()));
  // ... and the next start keeps the defaults.
  EXPECT_EQ(StartWindow()->Record()->Port().GetBaudRate(), 38400u);
}

TEST_F(SettingsFileTest, FirstRegistryWriteCreatesTheStore) {
  ASSERT_FALSE(std::filesystem::exists(RegistryPath()));
  EXPECT_TRUE(SaveRegistryValue("COMMPORT", "1"));
  EXPECT_EQ(test::ReadFile(RegistryPath()), "[General]\nCOMMPORT=1\n");
  EXPECT_TRUE(SaveRegistryValue("BAUDRATE", "38400"));
  EXPECT_EQ(test::ReadFile(RegistryPath()), "[General]\nCOMMPORT=1\nBAUDRATE=38400\n");
}

TEST_F(SettingsFileTest, RegistryValueIsReplacedAndLongTextsAreCut) {
  ASSERT_TRUE(SaveRegistryValue("COMMPORT", "1"));
  ASSERT_TRUE(SaveRegistryValue("BAUDRATE", "9600"));
  ASSERT_TRUE(SaveRegistryValue("COMMPORT", "12"));
  const std::string text = test::ReadFile(RegistryPath());
  EXPECT_EQ(text.find("COMMPORT=1\n"), std::string::npos);
  EXPECT_NE(text.find("COMMPORT=12\n"), std::string::npos);
  EXPECT_NE(text.find("BAUDRATE=9600\n"), std::string::npos);

  ASSERT_TRUE(SaveRegistryValue("BAUDRATE", std::string(31, '7')));
  EXPECT_NE(test::ReadFile(RegistryPath()).find("BAUDRATE=" + std::string(31, '7') + "\n"), std::string::npos);
  ASSERT_TRUE(SaveRegistryValue("BAUDRATE", std::string(32, '8')));
  EXPECT_NE(test::ReadFile(RegistryPath()).find("BAUDRATE=" + std::string(30, '8') + "\n"), std::string::npos);
}

}  // namespace
}  // namespace brisko
