#include <gtest/gtest.h>

#include <optional>

#include "shell/flash/byte_edit_command.hpp"
#include "shell/flash/byte_edit_parsing.hpp"
#include "support/sim_session.hpp"

namespace brisko {
namespace {

using test::Bytes;
using test::ChipConfig;
using test::Pattern;
using test::SimSession;
using Messages = std::vector<std::string>;
using Verdict = EditData::Verdict;

constexpr const char* kIllegal = "Illegal Hex number detected!\nPlease verify your input.";
constexpr const char* kFormat = "Wrong string format detected!\nPlease verify your input.";
constexpr const char* kOversize = "Input string is oversize!\nPlease shorten your input.";

TEST(ParseEditAddress, AddressesAndTheirByteCounts) {
  struct Case {
    const char* text;
    int model;
    std::uint32_t address, count;
    std::string refusal;
  };
  const Case cases[] = {
      {"03E6", kKT420, 0x03E6, 16, ""},
      {"3FF8", kKT410, 0x3FF8, 8, ""},
      {"4000", kKT410, 0x4000, 0, "Memory address is invalid!"},
      {"abcd", kKT540, 0xABCD, 16, ""},
      {"abcd", kKT420, 0xABCD, 0, "Memory address is invalid!"},
      {"FFF8", kKT550, 0xFFF8, 8, ""},
      {"3E6", kKT420, 0, 0, "Address string should be in 4-digit Hex format!"},
      {"12345", kKT540, 0, 0, "Address string should be in 4-digit Hex format!"},  // never 1234h
      {"03G6", kKT540, 0, 0, "Memory address is invalid!"},
      {"1FFF", kKT580, 0x1FFF, 1, ""},
  };
  for (const Case& c : cases) {
    const EditAddress at = ParseEditAddress(c.text, c.model);
    EXPECT_EQ(at.refusal, c.refusal) << c.text;
    if (!c.refusal.empty()) continue;
    EXPECT_EQ(at.address, c.address) << c.text;
    EXPECT_EQ(at.count, c.count) << c.text;
  }
}

TEST(ParseEditData, InputsToBytesOrMessages) {
  struct Case {
    const char* text;
    std::size_t display;
    Verdict verdict;
    Bytes bytes;
    std::string refusal;
  };
  const Case cases[] = {
      {"72 4F 5D 00", 48, Verdict::Ok, {0x72, 0x4F, 0x5D, 0x00}, ""},
      {"72 4f 5d 00 ", 48, Verdict::Ok, {0x72, 0x4F, 0x5D, 0x00}, ""},
      {"7234F", 48, Verdict::Refused, {}, kFormat},  // the 3 is no byte's: nothing is guessed
      {" 4F", 48, Verdict::Refused, {}, kFormat},    // never 04h
      {"72 4 ", 48, Verdict::Refused, {}, kFormat},
      {"72 4", 48, Verdict::Ok, {0x72, 0x04}, ""},   // a lone last digit is its value
      {"7", 48, Verdict::ClearField, {}, ""},
      {"72,4F", 48, Verdict::Refused, {}, kIllegal},
      {"724F5D", 48, Verdict::Refused, {}, kFormat},
      {"72    4F", 48, Verdict::Refused, {}, kFormat},
      {"00 11 22 33 44 55 66 77 88", 24, Verdict::Refused, {}, kOversize},
      {"00 11 22 33 44 55 66 77", 24, Verdict::Ok, {0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}, ""},
  };
  for (const Case& c : cases) {
    const EditData data = ParseEditData(c.text, c.display);
    EXPECT_EQ(data.verdict, c.verdict) << c.text;
    EXPECT_EQ(data.bytes, c.bytes) << c.text;
    EXPECT_EQ(data.refusal, c.refusal) << c.text;
  }
  EXPECT_EQ(ParseEditData(std::string(49, '0'), 48).verdict, Verdict::ClearField);
}

// The command line's texts become the dialog's, or are refused with why.
TEST(EditArguments, AddressAndBytesOrTheReason) {
  struct Case {
    const char* argument;
    bool address;  // else new data
    std::optional<std::string> text;
    std::string why;
  };
  const Case cases[] = {
      {"03E6", true, "03E6", ""},
      {"3e6", true, "03E6", ""},
      {"12345", true, std::nullopt, "\"12345\" is not an address of 1 to 4 hexadecimal digits"},
      {"", true, std::nullopt, "\"\" is not an address of 1 to 4 hexadecimal digits"},
      {"72 4F 5D 00", false, "72 4F 5D 00", ""},
      {" 4F", false, "4F", ""},
      {"7", false, "07", ""},
      {"7 a\tbc  0", false, "07 0A BC 00", ""},
      {"724F", false, std::nullopt, "\"724F\" is not a byte of 1 or 2 hexadecimal digits"},
      {"   ", false, std::nullopt, "\"   \" holds 0 bytes, not 1 to 16"},
      {"0 1 2 3 4 5 6 7 8 9 A B C D E F 10", false, std::nullopt,
       "\"0 1 2 3 4 5 6 7 8 9 A B C D E F 10\" holds 17 bytes, not 1 to 16"},
  };
  for (const Case& c : cases) {
    std::string why;
    const auto text = c.address ? EditAddressText(c.argument, why) : EditDataText(c.argument, why);
    EXPECT_EQ(text, c.text) << c.argument;
    EXPECT_EQ(why, c.why) << c.argument;
    if (text && !c.address) {
      EXPECT_EQ(ParseEditData(*text, 48).verdict, Verdict::Ok) << "the dialog takes what the command line gives";
    }
  }
}

void Press(SimSession& rig, ByteEditButton button, std::string address, std::string data = "") {
  rig.op.byteEditPresses.push_back([=](ByteEditDialog& d) {
    d.addressText = address;
    d.newDataText = data;
    return button;
  });
}

TEST(OnEditBlock0, OneSectorEditKeepsTheRestOfTheSector) {
  SimSession rig(kKT420);
  ASSERT_TRUE(rig.Ready());
  const Bytes before = Pattern(128, 41);
  rig.SetFlash(0, 0x0380, before);
  Press(rig, ByteEditButton::DisplayData, "03E6");
  Press(rig, ByteEditButton::ReplaceData, "03E6", "72 4F 5D 00");
  rig.op.answers = {true};
  const CommandOutcome outcome = OnEditBlock0(rig.Shell());
  EXPECT_TRUE(outcome.Ok());
  EXPECT_TRUE(rig.op.messages.empty());
  EXPECT_EQ(rig.op.questions, Messages{"Data in block 0 will be modified.\nProceed to modify?"});
  Bytes after = before;
  std::copy_n(Bytes{0x72, 0x4F, 0x5D, 0x00}.begin(), 4, after.begin() + 0x66);
  EXPECT_EQ(rig.Flash(0, 0x0380, 128), after);
  EXPECT_EQ(rig.op.shownDisplayTexts.at(1), FormatEditBytes(std::span(before.data() + 0x66, 16)));
  EXPECT_EQ(rig.Window().Snapshot().progress.label, "Writing");
  EXPECT_TRUE(rig.WireHas({0x0B, 0x03, 0x80, 0x01}));
  EXPECT_FALSE(rig.WireHas({0x0B, 0x04, 0x00, 0x01}));
}

TEST(OnEditBlock0, TwoSectorEditEndsOnDoneAndShowsTheNewBytes) {
  SimSession rig(kKT540);
  ASSERT_TRUE(rig.Ready());
  const Bytes before = Pattern(256, 42);
  rig.SetFlash(0, 0x0380, before);
  Press(rig, ByteEditButton::ReplaceData, "03FC", "01 02 03 04 05 06 07 08");
  rig.op.answers = {true};
  EXPECT_TRUE(OnEditBlock0(rig.Shell()).Ok());
  EXPECT_EQ(rig.Flash(0, 0x03FC, 8), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(rig.Flash(0, 0x0404, 4), Bytes(before.begin() + 0x84, before.begin() + 0x88));
  EXPECT_EQ(rig.Window().Snapshot().progress.label, "Done");
  EXPECT_EQ(rig.op.shownDisplayTexts.back().substr(0, 24), "01 02 03 04 05 06 07 08 ");
  EXPECT_EQ(Bytes(rig.Wire().begin(), rig.Wire().begin() + 2), (Bytes{0x68, 0x68})) << "block 0 selected first";
}

TEST(OnEditBlock0, NoAndRefusedInputsLeaveTheChipAlone) {
  SimSession rig(kKT410);
  ASSERT_TRUE(rig.Ready());
  Press(rig, ByteEditButton::ReplaceData, "4000", "00 00");
  Press(rig, ByteEditButton::ReplaceData, "3FF8", "00 11 22 33 44 55 66 77 88");
  Press(rig, ByteEditButton::ReplaceData, "0000", "00 00");  // answered No
  EXPECT_EQ(OnEditBlock0(rig.Shell()).kind, OutcomeKind::Declined);
  EXPECT_EQ(rig.op.messages, (Messages{"Memory address is invalid!", kOversize}));
  EXPECT_FALSE(rig.WireHas({0x0B}));
  EXPECT_EQ(rig.Flash(0, 0, 2), (Bytes{0xFF, 0xFF}));
}

// The sector's bytes go to a recovery file before its erase: when the chip
// stops answering right after the erase, they are there, and the next
// detection of the chip puts them back.
TEST(OnEditBlock0, ASectorLostAfterTheEraseIsInItsRecoveryFile) {
  SimSession rig(ChipConfig(kKT420));
  ASSERT_TRUE(rig.Ready());
  const Bytes before = Pattern(128, 43);
  rig.SetFlash(0, 0x0000, before);
  rig.SetFlash(0, 0x0100, Pattern(128, 44));  // what the file knows the chip by
  rig.onProgress = [&](const ProgressPane& pane) {
    if (pane.label == "Erasing") rig.target->Faults().stopAfterHostBytes = rig.target->HostBytesSinceReset() + 4;
  };
  Press(rig, ByteEditButton::ReplaceData, "0010", "AA BB");
  rig.op.answers = {true};
  const CommandOutcome outcome = OnEditBlock0(rig.Shell());
  rig.onProgress = nullptr;
  EXPECT_EQ(outcome.kind, OutcomeKind::Failed);
  EXPECT_EQ(outcome.step, "verify");
  const auto files = rig.RecoveryFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(test::ReadFile(files[0]), std::string(before.begin(), before.end()));
  ASSERT_EQ(rig.op.messages.size(), 2u);
  EXPECT_EQ(rig.op.messages[0], "Sector 0000h does not hold the edited data after the write!");
  EXPECT_EQ(rig.op.messages[1], "The bytes of 0000h-007Fh from before the edit are in the file\n" + files[0] +
                                    "\nThe next detection of this chip offers to put them back.");
  EXPECT_NE(rig.Flash(0, 0, 128), before);

  rig.target->Faults().stopAfterHostBytes = -1;
  rig.Shell().ResetTarget();
  rig.op.answers = {true};
  ASSERT_TRUE(rig.Detect());
  EXPECT_EQ(rig.Flash(0, 0, 128), before);
  EXPECT_TRUE(rig.RecoveryFiles().empty());
}

}  // namespace
}  // namespace brisko
