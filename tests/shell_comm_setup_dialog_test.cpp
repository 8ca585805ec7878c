#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "link/user_paths.hpp"
#include "shell/comm_setup_dialog.hpp"
#include "shell/main_window.hpp"
#include "support/fast_timing.hpp"
#include "support/scripted_operator.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

constexpr const char* kRateTooHigh = "You can't choose a baudrate which is higher than the computed best baudrate!\n";
constexpr const char* kCannotSave = "Unable to save the configuration";

DeviceOpener NoDevice() {
  return [](const std::string&, std::string& whyNot) {
    whyNot = "no device in this test";
    return std::unique_ptr<SerialDevice>();
  };
}

class CommSetupDialogTest : public ::testing::Test {
 protected:
  SessionRecord& Record() { return *window.Record(); }
  SerialPort& Port() { return Record().Port(); }
  std::string SettingsText() const { return test::ReadFile(SettingsFilePath()); }
  bool SettingsWritten() const { return std::filesystem::exists(SettingsFilePath()); }
  std::string RegistryText() const { return test::ReadFile(dirs.Dir().File("config/Orvex/Brisko.conf")); }

  test::UserDirsInTemp dirs;
  test::ScriptedOperator op;
  MainWindow window{op, NoDevice(), test::FastTiming()};
};

TEST_F(CommSetupDialogTest, FillListsAndTakesTheSessionDefaults) {
  CommSetupDialog dialog(window);
  ASSERT_EQ(dialog.PortEntries().size(), 256u);
  EXPECT_EQ(dialog.PortEntries().front(), "COM1");
  EXPECT_EQ(dialog.PortEntries().back(), "COM256");
  EXPECT_EQ(dialog.RateEntries(), (std::vector<std::string>{"38400", "19200", "9600", "4800", "2400", "1200", "600"}));
  EXPECT_EQ(dialog.selectedPort, 0);
  EXPECT_EQ(dialog.selectedRate, 0);
  EXPECT_DOUBLE_EQ(dialog.crystalMHz, 11.0592);
  EXPECT_EQ(dialog.recommendedBaud, 38400u);
  EXPECT_EQ(dialog.reloadValue, 0xFFF7u);
}

TEST_F(CommSetupDialogTest, FillTakesPortAndCrystalOfTheSession) {
  Port().SetPortNumber(5);
  Record().SetCrystal(22.1184);
  CommSetupDialog dialog(window);
  EXPECT_EQ(dialog.selectedPort, 4);
  EXPECT_DOUBLE_EQ(dialog.crystalMHz, 22.1184);

  // Port numbers from a settings file need not be in the list.
  Port().SetPortNumber(300);
  Record().SetCrystal(0.0);
  CommSetupDialog high(window);
  EXPECT_EQ(high.selectedPort, 255);
  EXPECT_DOUBLE_EQ(high.crystalMHz, 11.0592);
  Port().SetPortNumber(0);
  EXPECT_EQ(CommSetupDialog(window).selectedPort, 0);
}

TEST_F(CommSetupDialogTest, FieldChecksCoverBothRanges) {
  CommSetupDialog dialog(window);
  EXPECT_EQ(dialog.CheckFields(), "");
  for (double ok : {1.0, 40.0}) {
    dialog.crystalMHz = ok;
    EXPECT_EQ(dialog.CheckFields(), "") << ok;
  }
  for (double bad : {0.99, 40.01, std::numeric_limits<double>::quiet_NaN()}) {
    dialog.crystalMHz = bad;
    EXPECT_EQ(dialog.CheckFields(), "Please enter a number between 1.0 and 40.0.") << bad;
  }
  dialog.crystalMHz = 12.0;
  for (unsigned ok : {600u, 38400u}) {
    dialog.recommendedBaud = ok;
    EXPECT_EQ(dialog.CheckFields(), "") << ok;
  }
  for (unsigned bad : {599u, 38401u}) {
    dialog.recommendedBaud = bad;
    EXPECT_EQ(dialog.CheckFields(), "Please enter an integer between 600 and 38400.") << bad;
  }
}

TEST_F(CommSetupDialogTest, ComputeAndNextBaudShowTheirResults) {
  CommSetupDialog dialog(window);
  dialog.crystalMHz = 1.0;
  dialog.Compute();
  EXPECT_EQ(dialog.recommendedBaud, 2400u);
  EXPECT_EQ(dialog.reloadValue, 0xFFF3u);
  EXPECT_EQ(dialog.RateEntries()[static_cast<std::size_t>(dialog.selectedRate)], "2400");

  dialog.crystalMHz = 11.0592;
  dialog.Compute();
  dialog.NextBaud();
  EXPECT_EQ(dialog.recommendedBaud, 19200u);
  EXPECT_EQ(dialog.reloadValue, 0xFFEEu);
  EXPECT_EQ(dialog.selectedRate, 1);
  EXPECT_TRUE(op.messages.empty());
}

TEST_F(CommSetupDialogTest, NextBaudFromSixHundredChangesNothing) {
  CommSetupDialog dialog(window);
  dialog.recommendedBaud = 600;
  dialog.reloadValue = 0x1234;
  dialog.selectedRate = 3;
  dialog.NextBaud();
  EXPECT_EQ(dialog.recommendedBaud, 600u);
  EXPECT_EQ(dialog.reloadValue, 0x1234u);
  EXPECT_EQ(dialog.selectedRate, 3);
}

TEST_F(CommSetupDialogTest, OutOfRangeCrystalIsReportedYetComputed) {
  CommSetupDialog dialog(window);
  dialog.crystalMHz = 50.0;
  dialog.Compute();
  EXPECT_EQ(op.messages, (std::vector<std::string>{"Please enter a number between 1.0 and 40.0."}));
  EXPECT_EQ(dialog.recommendedBaud, 38400u);
  EXPECT_EQ(dialog.reloadValue, 0xFFD7u);
  // Closing checks the fields once more and stays open.
  EXPECT_EQ(dialog.Confirm(), CommSetupDialog::Outcome::KeepOpen);
  EXPECT_EQ(op.messages.size(), 2u);
}

TEST_F(CommSetupDialogTest, ConfirmStoresChoiceAndWritesSettings) {
  CommSetupDialog dialog(window);
  dialog.Compute();
  dialog.selectedRate = 1;  // 19200
  EXPECT_EQ(dialog.Confirm(), CommSetupDialog::Outcome::Confirmed);
  EXPECT_TRUE(op.messages.empty());
  EXPECT_EQ(SettingsText(), "COM1$BAUD19200$CRYSTAL11.059200$$");
  EXPECT_EQ(Port().GetPortNumber(), 1);
  EXPECT_EQ(Port().GetBaudRate(), 19200u);
  EXPECT_EQ(RegistryText(), "[General]\nCOMMPORT=1\nBAUDRATE=19200\n");
  EXPECT_EQ(window.Snapshot().baudPane, "Baud Rate: 19200");
}

TEST_F(CommSetupDialogTest, InitialRecommendationAcceptsItsOwnRate) {
  CommSetupDialog dialog(window);
  dialog.selectedPort = 2;
  EXPECT_EQ(dialog.Confirm(), CommSetupDialog::Outcome::Confirmed);
  EXPECT_EQ(SettingsText(), "COM3$BAUD38400$CRYSTAL11.059200$$");
  EXPECT_EQ(window.Snapshot().portPane, "COM3");
}

TEST_F(CommSetupDialogTest, RateAboveTheRecommendationIsRefused) {
  CommSetupDialog dialog(window);
  dialog.crystalMHz = 1.0;
  dialog.Compute();
  dialog.selectedPort = 1;
  dialog.selectedRate = 2;  // 9600
  EXPECT_EQ(dialog.Confirm(), CommSetupDialog::Outcome::KeepOpen);
  EXPECT_EQ(op.messages, (std::vector<std::string>{kRateTooHigh}));
  EXPECT_EQ(dialog.RateEntries()[static_cast<std::size_t>(dialog.selectedRate)], "2400");
  // What was set before the refusal stays set; the settings wait.
  EXPECT_EQ(Port().GetBaudRate(), 9600u);
  EXPECT_EQ(Port().GetPortNumber(), 2);
  EXPECT_DOUBLE_EQ(Record().GetCrystal(), 1.0);
  EXPECT_FALSE(SettingsWritten());
  EXPECT_EQ(RegistryText(), "[General]\nCOMMPORT=2\n");

  // Confirming again with the list as it now stands goes through.
  EXPECT_EQ(dialog.Confirm(), CommSetupDialog::Outcome::Confirmed);
  EXPECT_EQ(SettingsText(), "COM2$BAUD2400$CRYSTAL1.000000$$");
}

TEST_F(CommSetupDialogTest, TypedCrystalCountsOnlyAfterComputeOrNextBaud) {
  CommSetupDialog opened(window);
  opened.crystalMHz = 20.0;
  EXPECT_EQ(opened.Confirm(), CommSetupDialog::Outcome::Confirmed);
  EXPECT_DOUBLE_EQ(Record().GetCrystal(), 11.0592);
  EXPECT_EQ(SettingsText(), "COM1$BAUD38400$CRYSTAL11.059200$$");

  CommSetupDialog computed(window);
  computed.crystalMHz = 12.0;
  computed.Compute();
  computed.crystalMHz = 24.0;
  EXPECT_EQ(computed.Confirm(), CommSetupDialog::Outcome::Confirmed);
  EXPECT_DOUBLE_EQ(Record().GetCrystal(), 12.0);
  EXPECT_EQ(SettingsText(), "COM1$BAUD38400$CRYSTAL12.000000$$");

  CommSetupDialog stepped(window);
  stepped.crystalMHz = 3.6864;
  stepped.NextBaud();
  EXPECT_EQ(stepped.Confirm(), CommSetupDialog::Outcome::Confirmed);
  EXPECT_EQ(SettingsText(), "COM1$BAUD19200$CRYSTAL3.686400$$");
}

TEST_F(CommSetupDialogTest, LinkUpRefusesWithoutStoringAnything) {
  Port().SetLinkUp();
  CommSetupDialog dialog(window);
  dialog.selectedPort = 3;
  dialog.Compute();
  EXPECT_EQ(dialog.Confirm(), CommSetupDialog::Outcome::Cancelled);
  EXPECT_EQ(op.messages, (std::vector<std::string>{"ChipType had been detected earlier."}));
  EXPECT_EQ(Port().GetPortNumber(), 1);
  EXPECT_FALSE(SettingsWritten());
  EXPECT_FALSE(std::filesystem::exists(dirs.Dir().File("config/Orvex/Brisko.conf")));
}

TEST_F(CommSetupDialogTest, NoSessionRecordConfirmsAndDoesNothing) {
  window.DestroyRecordForTest();
  CommSetupDialog dialog(window);
  EXPECT_EQ(dialog.selectedPort, 0);
  EXPECT_DOUBLE_EQ(dialog.crystalMHz, 11.0592);
  EXPECT_EQ(dialog.Confirm(), CommSetupDialog::Outcome::Confirmed);
  EXPECT_TRUE(op.messages.empty());
  EXPECT_FALSE(SettingsWritten());
}

TEST_F(CommSetupDialogTest, RegistryFailureIsToldAndConfirmationGoesOn) {
  // A plain file where the value store's directory belongs.
  test::WriteFile(dirs.Dir().File("config/Orvex"), "in the way");
  CommSetupDialog dialog(window);
  EXPECT_EQ(dialog.Confirm(), CommSetupDialog::Outcome::Confirmed);
  EXPECT_EQ(op.messages, (std::vector<std::string>{kCannotSave, kCannotSave}));
  EXPECT_EQ(SettingsText(), "COM1$BAUD38400$CRYSTAL11.059200$$");
}

TEST_F(CommSetupDialogTest, RecommendationOutOfRangeKeepsTheDialogOpenAtClose) {
  CommSetupDialog dialog(window);
  dialog.recommendedBaud = 50000;
  EXPECT_EQ(dialog.Confirm(), CommSetupDialog::Outcome::KeepOpen);
  EXPECT_EQ(op.messages, (std::vector<std::string>{"Please enter an integer between 600 and 38400."}));
}

}  // namespace
}  // namespace brisko
