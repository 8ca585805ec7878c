#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <tuple>

#include "link/user_paths.hpp"
#include "shell/setup/comm_setup_dialog.hpp"
#include "shell/session/session.hpp"
#include "support/fast_timing.hpp"
#include "support/scripted_operator.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

using Outcome = CommSetupDialog::Outcome;
using Messages = std::vector<std::string>;

constexpr const char* kCrystalRange = "Please enter a number between 1.0 and 40.0.";
constexpr const char* kBaudRange = "Please enter an integer between 600 and 38400.";

class CommSetupDialogTest : public ::testing::Test {
 protected:
  SessionRecord& Record() { return *window.Record(); }
  SerialPort& Port() { return Record().Port(); }
  std::string SettingsText() const { return test::ReadFile(files.dirs.Places().SettingsFile()); }
  std::string RegistryText() const { return test::ReadFile(files.Path("config/Orvex/Brisko.conf")); }
  // Recommended rate, reload value and the rate list's selection, as shown.
  static std::tuple<unsigned, std::uint32_t, std::string> Shown(const CommSetupDialog& d) {
    return {d.recommendedBaud, d.reloadValue, d.RateEntries().at(static_cast<std::size_t>(d.selectedRate))};
  }
  using Fields = std::tuple<unsigned, std::uint32_t, std::string>;
  // The dialog tells nobody itself; whoever shows it passes its messages on.
  void Relay(CommSetupDialog& d) {
    for (const std::string& message : d.TakeMessages()) op.Tell(message);
  }
  CommSetupDialog::Outcome Confirm(CommSetupDialog& d) {
    const auto outcome = d.Confirm();
    Relay(d);
    return outcome;
  }

  test::TestFiles files;
  test::ScriptedOperator op;
  Session window{op, [](const std::string&, std::string&) { return std::unique_ptr<SerialDevice>(); },
                    test::FastTiming(), files.dirs.Places()};
};

TEST_F(CommSetupDialogTest, OpensWithTheListsAndTheSessionsPortAndCrystal) {
  CommSetupDialog dialog(window);
  EXPECT_EQ(dialog.RateEntries(), (Messages{"38400", "19200", "9600", "4800", "2400", "1200", "600"}));
  EXPECT_EQ(Shown(dialog), (Fields{38400, 0xFFF7, "38400"}));

  Port().SetPortNumber(5);
  Record().SetCrystal(22.1184);
  CommSetupDialog taken(window);
  EXPECT_EQ(taken.selectedPort, 4);
  EXPECT_DOUBLE_EQ(taken.crystalMHz, 22.1184);
  // Values from a settings file need not be in the lists.
  Port().SetPortNumber(300);
  Record().SetCrystal(0.0);
  CommSetupDialog high(window);
  EXPECT_EQ(high.selectedPort, 255);
  EXPECT_DOUBLE_EQ(high.crystalMHz, 11.0592);
  Port().SetPortNumber(0);
  EXPECT_EQ(CommSetupDialog(window).selectedPort, 0);
}

TEST_F(CommSetupDialogTest, FieldChecksCoverBothRangesAndKeepTheDialogOpen) {
  struct Case {
    double crystal;
    unsigned baud;
    const char* problem;
  } cases[] = {{1.0, 38400, ""},  {40.0, 600, ""},          {0.99, 38400, kCrystalRange},
               {40.01, 38400, kCrystalRange},                {std::numeric_limits<double>::quiet_NaN(), 600, kCrystalRange},
               {12.0, 599, kBaudRange}, {12.0, 38401, kBaudRange}};
  for (const auto& c : cases) {
    CommSetupDialog dialog(window);
    dialog.crystalMHz = c.crystal;
    dialog.recommendedBaud = c.baud;
    EXPECT_EQ(dialog.CheckFields(), c.problem) << c.crystal << " " << c.baud;
  }
  CommSetupDialog dialog(window);
  dialog.recommendedBaud = 50000;
  EXPECT_EQ(Confirm(dialog), Outcome::KeepOpen);
  EXPECT_EQ(op.messages, Messages{kBaudRange});
}

TEST_F(CommSetupDialogTest, ComputeAndNextBaudShowTheirResults) {
  CommSetupDialog dialog(window);
  dialog.crystalMHz = 11.0592;
  dialog.Compute();
  Relay(dialog);
  dialog.NextBaud();
  Relay(dialog);
  EXPECT_EQ(Shown(dialog), (Fields{19200, 0xFFEE, "19200"}));
  EXPECT_TRUE(op.messages.empty());

  // Nothing below 600: the fields stay as they are.
  dialog.recommendedBaud = 600;
  dialog.reloadValue = 0x1234;
  dialog.selectedRate = 3;
  dialog.NextBaud();
  Relay(dialog);
  EXPECT_EQ(Shown(dialog), (Fields{600, 0x1234, "4800"}));

  // A crystal out of range is reported, yet computed; closing checks again.
  dialog.crystalMHz = 50.0;
  dialog.Compute();
  Relay(dialog);
  EXPECT_EQ(op.messages, Messages{kCrystalRange});
  EXPECT_EQ(Shown(dialog), (Fields{38400, 0xFFD7, "38400"}));
  EXPECT_EQ(Confirm(dialog), Outcome::KeepOpen);
  EXPECT_EQ(op.messages.size(), 2u);
}

// A typed crystal counts only once Compute or Next Baud has used it; what
// is confirmed goes to the port, the settings file, the store and the panes.
TEST_F(CommSetupDialogTest, ConfirmStoresTheChoiceAndWritesTheSettings) {
  enum class Press { Nothing, Compute, NextBaud };
  const struct {
    const char* what;
    double typed;
    Press press;
    double typedAfter;  // 0: none
    int port, rate;     // -1: as the dialog sets them
    const char* settings;
  } rows[] = {
      {"typed, never computed", 20.0, Press::Nothing, 0, -1, -1, "COM1$BAUD38400$CRYSTAL11.059200$$"},
      {"typed again after Compute", 12.0, Press::Compute, 24.0, -1, -1, "COM1$BAUD38400$CRYSTAL12.000000$$"},
      {"Next Baud", 3.6864, Press::NextBaud, 0, -1, -1, "COM1$BAUD19200$CRYSTAL3.686400$$"},
      {"COM3 at 19200", 11.0592, Press::Compute, 0, 2, 1, "COM3$BAUD19200$CRYSTAL11.059200$$"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CommSetupDialog dialog(window);
    dialog.crystalMHz = row.typed;
    if (row.port >= 0) dialog.selectedPort = row.port;
    if (row.press == Press::Compute) dialog.Compute();
    if (row.press == Press::NextBaud) dialog.NextBaud();
    Relay(dialog);
    if (row.typedAfter != 0) dialog.crystalMHz = row.typedAfter;
    if (row.rate >= 0) dialog.selectedRate = row.rate;
    EXPECT_EQ(Confirm(dialog), Outcome::Confirmed);
    EXPECT_TRUE(op.messages.empty());
    EXPECT_EQ(SettingsText(), row.settings);
  }
  EXPECT_EQ(Port().GetBaudRate(), 19200u);
  EXPECT_EQ(Port().GetPortNumber(), 3);
  EXPECT_EQ(RegistryText(), "[General]\nCOMMPORT=3\nBAUDRATE=19200\n");
  EXPECT_EQ(window.Window().Snapshot().baudPane, "Baud Rate: 19200");
  EXPECT_EQ(window.Window().Snapshot().portPane, "COM3");
}

TEST_F(CommSetupDialogTest, RateAboveTheRecommendationIsRefused) {
  CommSetupDialog dialog(window);
  dialog.crystalMHz = 1.0;
  dialog.Compute();
  Relay(dialog);
  dialog.selectedPort = 1;
  dialog.selectedRate = 2;  // 9600
  EXPECT_EQ(Confirm(dialog), Outcome::KeepOpen);
  EXPECT_EQ(op.messages,
            Messages{"You can't choose a baudrate which is higher than the computed best baudrate!\n"});
  EXPECT_EQ(std::get<2>(Shown(dialog)), "2400");
  // What was set before the refusal stays set; the settings wait.
  EXPECT_EQ(Port().GetBaudRate(), 9600u);
  EXPECT_EQ(Port().GetPortNumber(), 2);
  EXPECT_DOUBLE_EQ(Record().GetCrystal(), 1.0);
  EXPECT_FALSE(std::filesystem::exists(files.dirs.Places().SettingsFile()));
  EXPECT_EQ(RegistryText(), "[General]\nCOMMPORT=2\n");

  EXPECT_EQ(Confirm(dialog), Outcome::Confirmed);  // with the list as it now stands
  EXPECT_EQ(SettingsText(), "COM2$BAUD2400$CRYSTAL1.000000$$");
}

TEST_F(CommSetupDialogTest, LinkUpOrNoSessionRecordStoresNothing) {
  Port().SetLinkUp();
  CommSetupDialog dialog(window);
  dialog.selectedPort = 3;
  dialog.Compute();
  Relay(dialog);
  EXPECT_EQ(Confirm(dialog), Outcome::Cancelled);
  EXPECT_EQ(op.messages, Messages{"ChipType had been detected earlier."});
  EXPECT_EQ(Port().GetPortNumber(), 1);
  EXPECT_FALSE(std::filesystem::exists(files.Path("config/Orvex/Brisko.conf")));

  op.messages.clear();
  window.DestroyRecordForTest();
  CommSetupDialog noRecord(window);
  EXPECT_EQ(noRecord.selectedPort, 0);
  EXPECT_EQ(Confirm(noRecord), Outcome::Confirmed);
  EXPECT_TRUE(op.messages.empty());
  EXPECT_FALSE(std::filesystem::exists(files.dirs.Places().SettingsFile()));
}

TEST_F(CommSetupDialogTest, RegistryFailureIsToldAndConfirmationGoesOn) {
  test::WriteFile(files.Path("config/Orvex"), "in the way");  // a plain file where the store's folder belongs
  CommSetupDialog dialog(window);
  EXPECT_EQ(Confirm(dialog), Outcome::Confirmed);
  EXPECT_EQ(op.messages, Messages(2, "Unable to save the configuration"));
  EXPECT_EQ(SettingsText(), "COM1$BAUD38400$CRYSTAL11.059200$$");
}

}  // namespace
}  // namespace brisko
