#include <gtest/gtest.h>

#include "shell/flash/print_command.hpp"
#include "support/sim_session.hpp"

namespace brisko {
namespace {

using test::Bytes;
using test::Lines;
using test::Pattern;
using test::SimSession;
using Messages = std::vector<std::string>;

constexpr const char* kDone = "Print data has completed";
constexpr const char* kFailed = "Print data failed";

TEST(OnPrint, WholeKT410Block0IsPrintedAs1024ListingLines) {
  SimSession rig(kKT410);
  ASSERT_TRUE(rig.Ready());
  Bytes chip(0x4000, 0xFF);
  chip[0x100] = 0x02;
  chip[0x102] = 0x30;
  rig.SetFlash(0, 0, chip);
  std::size_t offered = 0;
  bool flagDuringDialog = false;
  rig.op.onRange = [&](RangeDialog& d) {
    offered = d.starts.size();
    flagDuringDialog = rig.State().rangeIncludesBlock1;
    return true;  // preset: first sector, "All Sectors"
  };
  rig.State().operationFailed = true;  // an earlier command's failure does not silence this one
  const CommandOutcome outcome = OnPrint(rig.Shell());
  EXPECT_TRUE(outcome.Ok());
  EXPECT_EQ(outcome.bytes, 0x4000u);
  EXPECT_EQ(offered, 128u + 64u);
  EXPECT_TRUE(flagDuringDialog);
  EXPECT_FALSE(rig.State().rangeIncludesBlock1);
  EXPECT_EQ(rig.op.messages, Messages{kDone});
  ASSERT_EQ(rig.op.printed.size(), 1u);
  const auto lines = Lines(rig.op.printed[0]);
  ASSERT_EQ(lines.size(), 1024u);
  EXPECT_EQ(lines[0].substr(0, 13), "0000 - 000F  ");
  EXPECT_EQ(lines[16], "0100 - 010F  02 FF 30 FF FF FF FF FF - FF FF FF FF FF FF FF FF\n");
  EXPECT_EQ(lines.back().substr(0, 13), "3FF0 - 3FFF  ");
}

TEST(OnPrint, Block1SelectsTheBlockWhereTheModelNeedsIt) {
  SimSession kt410(kKT410);
  ASSERT_TRUE(kt410.Ready());
  kt410.PickRange(kt410.Block1Entry(0), 1);
  EXPECT_TRUE(OnPrint(kt410.Shell()).Ok());
  ASSERT_EQ(kt410.op.printed.size(), 1u);
  EXPECT_EQ(kt410.op.printed[0].substr(0, 13), "F000 - F00F  ");
  EXPECT_EQ(Lines(kt410.op.printed[0]).size(), 4u);
  EXPECT_EQ(kt410.Record().GetCurrentBlock(), 1);
  EXPECT_EQ(kt410.Window().Snapshot().selectedTab, 1);
  EXPECT_EQ(kt410.Wire().front(), 0x0C);  // no block selection

  SimSession kt540(kKT540);
  ASSERT_TRUE(kt540.Ready());
  kt540.SetFlash(1, 0, Pattern(128, 7));
  kt540.PickRange(kt540.Block1Entry(0), 1);
  EXPECT_TRUE(OnPrint(kt540.Shell()).Ok());
  EXPECT_EQ(kt540.Wire(), (Bytes{0x69, 0x69, 0x0C, 0x00, 0x00, 0x80}));
  EXPECT_EQ(kt540.op.printed.at(0).substr(0, 13), "0000 - 000F  ");
}

TEST(OnPrint, FailedStepsAreReportedAndNothingIsPrinted) {
  struct Case {
    const char* name;
    int model;
    std::uint8_t faultCommand;
    bool block1;
    Messages told;
    std::string step;
  } cases[] = {
      {"block 0 not selected", kKT530, 0x68, false, {"Printing Block0 of KT530/540 failed!"}, "select block 0"},
      {"block 1 not selected", kKT560, 0x69, true, {"Printing Block1 failed!"}, "select block 1"},
  };
  for (const Case& c : cases) {
    sim::SimConfig config = test::ChipConfig(c.model, kInternalMemory);
    config.faults.replyFaults.push_back({sim::ReplyFault::Kind::Drop, c.faultCommand, 1, 0});
    SimSession rig(config);
    ASSERT_TRUE(rig.Ready()) << c.name;
    rig.PickRange(c.block1 ? rig.Block1Entry(0) : 0, 1);
    const CommandOutcome outcome = OnPrint(rig.Shell());
    EXPECT_EQ(outcome.kind, OutcomeKind::Failed) << c.name;
    EXPECT_EQ(outcome.step, c.step) << c.name;
    EXPECT_EQ(rig.op.messages, c.told) << c.name;
    EXPECT_TRUE(rig.op.printed.empty()) << c.name;
  }

  // A short read prints nothing; the engine's report stands.
  sim::SimConfig config = test::ChipConfig(kKT420, kInternalMemory);
  config.faults.replyFaults.push_back({sim::ReplyFault::Kind::Drop, 0x0C, 1, 3});
  SimSession shortRead(config);
  ASSERT_TRUE(shortRead.Ready());
  shortRead.PickRange(0, 2);
  const CommandOutcome outcome = OnPrint(shortRead.Shell());
  EXPECT_EQ(outcome.kind, OutcomeKind::Failed);
  EXPECT_EQ(outcome.code, 6);
  EXPECT_TRUE(shortRead.op.printed.empty());
  EXPECT_FALSE(shortRead.op.Saw(kDone));

  // A printer that fails is a failure, not a completed print.
  SimSession jammed(kKT420);
  ASSERT_TRUE(jammed.Ready());
  jammed.op.printerWorks = false;
  jammed.PickRange(0, 1);
  const CommandOutcome jam = OnPrint(jammed.Shell());
  EXPECT_EQ(jam.kind, OutcomeKind::Failed);
  EXPECT_EQ(jam.step, "print");
  EXPECT_EQ(jammed.op.messages, Messages{kFailed});
  // A printer that says why: the reason goes with the failure.
  jammed.op.messages.clear();
  jammed.op.printerTrouble = "No printer is set up on this computer.";
  jammed.PickRange(0, 1);
  EXPECT_EQ(OnPrint(jammed.Shell()).kind, OutcomeKind::Failed);
  EXPECT_EQ(jammed.op.messages, Messages{std::string(kFailed) + "\nNo printer is set up on this computer."});
}

TEST(PrintExternalBank, OffersTheBankSectorsAndReadsTheBankInBankChunks) {
  SimSession rig(kKT540);
  ASSERT_TRUE(rig.Ready());
  rig.State().externalHighBankSelected = true;
  rig.Record().SetCurrentBlock(1);
  RangeDialog seen;
  rig.op.onRange = [&](RangeDialog& d) {
    seen = d;
    d.start = 15;
    d.range = 2;  // cut at the bank's last sector
    return true;
  };
  // The simulated chip has no bank entered, so the read comes back short.
  const CommandOutcome outcome = OnPrint(rig.Shell());
  EXPECT_EQ(seen.starts.size(), 16u);
  EXPECT_EQ(seen.starts.front().label, "Sector 016    Addr=10000");
  EXPECT_EQ(seen.ranges.size(), 16u);
  EXPECT_EQ(rig.Window().Snapshot().selectedTab, 0);
  EXPECT_EQ(rig.Wire(), (Bytes{0x03, 0xF0, 0x00, 0x80}));
  EXPECT_EQ(outcome.kind, OutcomeKind::Failed);
  EXPECT_EQ(outcome.code, 6);
  EXPECT_TRUE(rig.op.printed.empty());

  rig.op.onRange = nullptr;
  EXPECT_EQ(OnPrint(rig.Shell()).kind, OutcomeKind::Declined);
}

}  // namespace
}  // namespace brisko
