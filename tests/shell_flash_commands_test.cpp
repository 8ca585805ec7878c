// The flash commands on a simulated chip, one row per case: the chip and what
// the operator does, then how the command ended, what it told, what went on
// the wire and what the chip, the files and the window hold afterwards.
#include <gtest/gtest.h>

#include <deque>
#include <optional>

#include "firmware/firmware.hpp"
#include "shell/configuration/double_clock_command.hpp"
#include "shell/configuration/lock_command.hpp"
#include "shell/detection/cable_test_command.hpp"
#include "shell/flash/byte_edit_command.hpp"
#include "shell/flash/compare_command.hpp"
#include "shell/flash/download_command.hpp"
#include "shell/flash/erase_commands.hpp"
#include "shell/flash/external_bank_commands.hpp"
#include "shell/flash/print_command.hpp"
#include "shell/flash/read_command.hpp"
#include "shell/flash/run_user_code.hpp"
#include "shell/flash/save_command.hpp"
#include "shell/loader/debug_monitor.hpp"
#include "shell/loader/loader_update.hpp"
#include "shell/loader/unknown_version_detect.hpp"
#include "support/sim_session.hpp"

namespace brisko {
namespace {

using test::Bytes;
using test::Lines;
using test::Pattern;
using test::SimSession;
using Messages = std::vector<std::string>;
using Phase = sim::SimTarget::Phase;
using Kind = sim::ReplyFault::Kind;

constexpr const char* kDetected = "Detect target MCU is successful!";
constexpr const char* kNoTarget = "No target board has been located!!!";
constexpr const char* kSaved = "Save data has completed";
constexpr const char* kPrinted = "Print data has completed";
constexpr const char* kPrintFailed = "Print data failed";
constexpr const char* kErased = "Sectors erase completed!!!";
constexpr const char* kEraseQuestion = "Data in corresponding sectors will be erased.\nProceed to download?";
constexpr const char* kBslQuestion = "Downloading to BSL address. BSL will be erased.\nProceed to download?";
constexpr const char* kKT410LoaderRefusal = "You can not erase BSL which resides in the first 16 sectors of Block1!";
constexpr const char* kRemoveMcu = "Please remove MCU from the target board,\nthen connect TXD and RXD pin and power on!";

Bytes ImageBytes(SimSession& s, int block, std::size_t offset, std::size_t n) {
  const FlashImage& image = s.Record().BlockImage(block);
  return Bytes(image.Data() + offset, image.Data() + offset + n);
}
void SelectKT540(SimSession& s) {
  s.op.onSelectChip = [](ChipSelection& c) {
    c.model = kKT540;
    c.memoryMode = kInternalMemory;
    return true;
  };
}
void NothingPrinted(SimSession& s, const CommandOutcome&) { EXPECT_TRUE(s.op.printed.empty()); }
// 0100h holds 02h FFh 30h, the rest of KT410's block 0 is blank.
void FewBytesAt100(SimSession& s) {
  Bytes chip(0x4000, 0xFF);
  chip[0x100] = 0x02;
  chip[0x102] = 0x30;
  s.SetFlash(0, 0, chip);
}
// A whole KT410 block 0 listing.
void IsWholeKT410Listing(const std::string& text) {
  const auto lines = Lines(text);
  ASSERT_EQ(lines.size(), 1024u);
  EXPECT_EQ(lines[0].substr(0, 13), "0000 - 000F  ");
  EXPECT_EQ(lines[16], "0100 - 010F  02 FF 30 FF FF FF FF FF - FF FF FF FF FF FF FF FF\n");
  EXPECT_EQ(lines.back().substr(0, 13), "3FF0 - 3FFF  ");
}
// The range dialog offers both blocks, and the flag that says so is up only
// while it is shown.
void OffersBothKT410Blocks(SimSession& s, int start, int range) {
  s.op.onRange = [&s, start, range](RangeDialog& d) {
    EXPECT_EQ(d.starts.size(), 128u + 64u);
    EXPECT_TRUE(s.State().rangeIncludesBlock1);
    if (start >= 0) d.start = start, d.range = range;
    return true;
  };
}

// A dialog entry in block 1, whatever the model's block 0 holds.
constexpr int B1(int sector) { return 100000 + sector; }
constexpr int kNoChoice = -100;

struct Row {
  const char* name;
  CommandOutcome (*command)(Session&);
  int model = kKT540;
  int mode = kInternalMemory;
  std::vector<sim::ReplyFault> faults = {};
  std::uint8_t security = 0;
  bool loopback = false;
  bool detected = true;
  int start = kNoChoice, range = 0;  // the range dialog's choice
  std::size_t fileSize = 0;          // app.bin of Pattern(fileSize, 1), chosen at entry `start`
  std::deque<bool> answers = {};
  void (*prepare)(SimSession&) = nullptr;  // after the detection
  OutcomeKind kind = OutcomeKind::Succeeded;
  std::optional<Refusal> refusal = std::nullopt;
  const char* step = nullptr;
  std::optional<Messages> told = std::nullopt;
  std::optional<Bytes> sent = std::nullopt;       // everything the command sent
  std::optional<Bytes> sentFirst = std::nullopt;  // what it sent first
  void (*check)(SimSession&, const CommandOutcome&) = nullptr;
};

const Row kRows[] = {
    {.name = "read: KT530's range is clipped at the block end, the rest of the image is blank", .command = OnRead,
     .model = kKT530, .start = 250, .range = 10,
     .prepare = [](SimSession& s) {
       s.SetFlash(0, 0, Pattern(0x8000, 1));
       s.Record().BlockImage(0).Fill(0, 16, 0x00);  // left over from an earlier read
     },
     .told = Messages{},
     .check = [](SimSession& s, const CommandOutcome&) {
       EXPECT_EQ(ImageBytes(s, 0, 0x7D00, 0x300), s.Flash(0, 0x7D00, 0x300));
       EXPECT_EQ(ImageBytes(s, 0, 0, 0x7D00), Bytes(0x7D00, 0xFF));
       Bytes expected{0x68, 0x68};  // block 0 selected, then one read frame per sector from 7D00h
       for (unsigned at = 250 * 128; at < 0x8000; at += 128)
         expected.insert(expected.end(), {0x0C, static_cast<std::uint8_t>(at >> 8), static_cast<std::uint8_t>(at), 0x80});
       EXPECT_EQ(s.Wire(), expected);
       const WindowState w = s.Window().Snapshot();
       EXPECT_EQ(w.hotSectorRow, 250);
       EXPECT_EQ(w.sectorTable.at(249).cells[4] + "|" + w.sectorTable.at(255).cells[4], "Blank|Not Blank");
       EXPECT_EQ(w.dumpHeader, "SECTOR 250");
       EXPECT_FALSE(s.State().operationFailed);
     }},
    {.name = "read: KT410's block 1 needs no block selection", .command = OnRead, .model = kKT410,
     .prepare = [](SimSession& s) { OffersBothKT410Blocks(s, 128 + 2, 3); },
     .sent = Bytes{0x0C, 0xF0, 0x80, 0x40, 0x0C, 0xF0, 0xC0, 0x40, 0x0C, 0xF1, 0x00, 0x40},
     .check = [](SimSession& s, const CommandOutcome&) {
       EXPECT_EQ(ImageBytes(s, 1, 128, 192), s.Flash(1, 128, 192));
       EXPECT_EQ(s.Record().GetCurrentBlock(), 1);
       EXPECT_EQ(s.Window().Snapshot().selectedTab, 1);
       EXPECT_EQ(s.Window().Snapshot().dumpHeader, "SECTOR 002");
     }},
    {.name = "read: KT540's block 1 is selected first", .command = OnRead, .start = B1(0), .range = 1,
     .sent = Bytes{0x69, 0x69, 0x0C, 0x00, 0x00, 0x80},
     .check = [](SimSession& s, const CommandOutcome&) { EXPECT_EQ(ImageBytes(s, 1, 0, 128), s.Flash(1, 0, 128)); }},
    {.name = "read: a short reply latches the failure", .command = OnRead, .model = kKT420,
     .faults = {{Kind::Drop, 0x0C, 0, 3}}, .start = 0, .range = 2, .kind = OutcomeKind::Failed,
     .check = [](SimSession& s, const CommandOutcome&) { EXPECT_TRUE(s.State().operationFailed); }},
    {.name = "read: no chip detected", .command = OnRead, .model = kKT530, .detected = false,
     .kind = OutcomeKind::Refused, .refusal = Refusal::NoTarget, .told = Messages{kNoTarget}, .sent = Bytes{}},
    {.name = "read: an illegal block", .command = OnRead, .prepare = [](SimSession& s) { s.Record().SetCurrentBlock(5); },
     .kind = OutcomeKind::Refused, .refusal = Refusal::IllegalBlock, .told = Messages{"Illegal Block Number Detected!!!"},
     .sent = Bytes{}},
    {.name = "save: KT410's whole block 0 as text after an earlier failure", .command = OnSave, .model = kKT410,
     .prepare = [](SimSession& s) {
       FewBytesAt100(s);
       s.PickSave(0, 0, s.Path("block0.txt"), true);
       s.State().operationFailed = true;  // an earlier command's failure does not silence this one
     },
     .told = Messages{kSaved},
     .check = [](SimSession& s, const CommandOutcome&) {
       IsWholeKT410Listing(test::ReadFile(s.Path("block0.txt")));
       EXPECT_EQ(s.Window().Snapshot().selectedTab, 0);
     }},
    {.name = "save: KT410's block 1 listing starts at F000h", .command = OnSave, .model = kKT410,
     .prepare = [](SimSession& s) { s.PickSave(s.Block1Entry(0), 1, s.Path("b1.txt"), true); },
     .sentFirst = Bytes{0x0C},
     .check = [](SimSession& s, const CommandOutcome&) {
       const std::string text = test::ReadFile(s.Path("b1.txt"));
       EXPECT_EQ(text.substr(0, 13), "F000 - F00F  ");
       EXPECT_EQ(Lines(text).size(), 4u);
       EXPECT_EQ(s.Record().GetCurrentBlock(), 1);
     }},
    {.name = "save: refused on a locked chip in external mode", .command = OnSave, .model = kKT530,
     .mode = kExternalMemory, .security = 0x20, .prepare = [](SimSession& s) { s.PickSave(0, 1, s.Path("x.bin"), false); },
     .kind = OutcomeKind::Refused, .told = Messages{"File Save doesn't work if chip is locked!\n"}, .sent = Bytes{}},
    {.name = "save: a hardlocked chip in internal mode is noticed", .command = OnSave, .model = kKT530,
     .security = 0xA0, .prepare = [](SimSession& s) { s.PickSave(0, 1, s.Path("x.bin"), false); },
     .told = Messages{"You can only save files in Block1, since chip is hardlocked.\n", kSaved}},
    {.name = "save: no file chosen", .command = OnSave, .kind = OutcomeKind::Declined, .sent = Bytes{}},
    {.name = "compare: the first difference with both bytes and the file's base name", .command = OnCompare,
     .prepare = [](SimSession& s) {
       Bytes file = Pattern(0x200, 31);
       file[0x123] = 0xA5;
       s.SetFlash(0, 0, file);
       s.SetFlash(0, 0x123, {0x5A});
       s.PickFile(s.Write("cmp.bin", file), 0);
     },
     .kind = OutcomeKind::Failed, .step = "compare: the chip differs from the file",
     .told = Messages{"Failed to Verify Data!!!"}, .sentFirst = Bytes{0x68},
     .check = [](SimSession& s, const CommandOutcome&) {
       EXPECT_EQ(s.Window().StatusText(), "Unmatched data at memory address 0123h: 5Ah(MCU) vs. A5h in File cmp.bin");
       EXPECT_EQ(s.captions.at(0), "Comparing \"cmp.bin\" with memory starting address 0000h...");
       EXPECT_FALSE(s.State().operationFailed);
     }},
    {.name = "compare: a hardlocked KT410 is noticed and block 1 compared", .command = OnCompare, .model = kKT410,
     .security = 0x80,
     .prepare = [](SimSession& s) {
       s.SetFlash(1, 0x500, Pattern(100, 32));
       s.PickFile(s.Write("b1.bin", Pattern(100, 32)), s.Block1Entry(20));  // F500h
     },
     .told = Messages{"You can only compare files in Block1, since chip is hardlocked.\n"},
     .check = [](SimSession& s, const CommandOutcome&) {
       EXPECT_EQ(s.Window().StatusText(), "File b1.bin Compare OK!");
       EXPECT_EQ(s.captions.at(0), "Comparing \"b1.bin\" with memory starting address F500h...");
       EXPECT_EQ(s.Record().GetCurrentBlock(), 1);
     }},
    {.name = "compare: refused on a locked chip in external mode", .command = OnCompare,
     .model = kKT530, .mode = kExternalMemory, .security = 0x40, .start = 0, .fileSize = 16,
     .kind = OutcomeKind::Refused, .told = Messages{"File Compare doesn't work if chip is locked!\n"}, .sent = Bytes{}},
    {.name = "compare: a file that cannot be opened latches the failure", .command = OnCompare, .model = kKT410,
     .prepare = [](SimSession& s) { s.PickFile(s.Path("missing.bin"), 0); },
     .kind = OutcomeKind::Refused, .told = Messages{"Can't open the selected file!!!"},
     .check = [](SimSession& s, const CommandOutcome&) {
       EXPECT_EQ(s.Window().StatusText(), "File missing.bin Compare failed!");
       EXPECT_TRUE(s.State().operationFailed);
     }},
    {.name = "compare: an over-size file fails without latching", .command = OnCompare, .model = kKT410, .start = 0,
     .fileSize = 0x5000, .kind = OutcomeKind::Refused, .told = Messages{"The selected file is over size!!!"},
     .check = [](SimSession& s, const CommandOutcome&) {
       EXPECT_EQ(s.Window().StatusText(), "File app.bin Compare failed!");
       EXPECT_FALSE(s.State().operationFailed);
     }},
    {.name = "print: KT410's whole block 0 after an earlier failure", .command = OnPrint, .model = kKT410,
     .prepare = [](SimSession& s) {
       FewBytesAt100(s);
       OffersBothKT410Blocks(s, -1, 0);  // preset: first sector, "All Sectors"
       s.State().operationFailed = true;
     },
     .told = Messages{kPrinted},
     .check = [](SimSession& s, const CommandOutcome& outcome) {
       EXPECT_EQ(outcome.bytes, 0x4000u);
       ASSERT_EQ(s.op.printed.size(), 1u);
       IsWholeKT410Listing(s.op.printed[0]);
     }},
    {.name = "print: KT410's block 1 needs no block selection", .command = OnPrint, .model = kKT410, .start = B1(0),
     .range = 1, .told = Messages{kPrinted}, .sentFirst = Bytes{0x0C},
     .check = [](SimSession& s, const CommandOutcome&) {
       ASSERT_EQ(s.op.printed.size(), 1u);
       EXPECT_EQ(s.op.printed[0].substr(0, 13), "F000 - F00F  ");
       EXPECT_EQ(Lines(s.op.printed[0]).size(), 4u);
       EXPECT_EQ(s.Window().Snapshot().selectedTab, 1);
     }},
    {.name = "print: block 0 not selected", .command = OnPrint, .model = kKT530, .faults = {{Kind::Drop, 0x68, 1, 0}},
     .start = 0, .range = 1, .kind = OutcomeKind::Failed, .step = "select block 0",
     .told = Messages{"Printing Block0 of KT530/540 failed!"}, .check = NothingPrinted},
    {.name = "print: block 1 not selected", .command = OnPrint, .model = kKT560, .faults = {{Kind::Drop, 0x69, 1, 0}},
     .start = B1(0), .range = 1, .kind = OutcomeKind::Failed, .step = "select block 1",
     .told = Messages{"Printing Block1 failed!"}, .check = NothingPrinted},
    {.name = "print: a short read prints nothing and the engine's report stands", .command = OnPrint,
     .model = kKT420, .faults = {{Kind::Drop, 0x0C, 1, 3}}, .start = 0, .range = 2, .kind = OutcomeKind::Failed,
     .check = [](SimSession& s, const CommandOutcome& outcome) {
       EXPECT_EQ(outcome.code, 6);
       NothingPrinted(s, outcome);
       EXPECT_FALSE(s.op.Saw(kPrinted));
     }},
    {.name = "print: a printer that fails says why", .command = OnPrint, .model = kKT420, .start = 0, .range = 1,
     .prepare = [](SimSession& s) {
       s.op.printerWorks = false;
       s.op.printerTrouble = "No printer is set up on this computer.";
     },
     .kind = OutcomeKind::Failed, .step = "print",
     .told = Messages{std::string(kPrintFailed) + "\nNo printer is set up on this computer."}},
    // The simulated chip has no bank entered, so the read comes back short.
    {.name = "print: the high bank's sectors, read in bank chunks", .command = OnPrint,
     .prepare = [](SimSession& s) {
       s.State().externalHighBankSelected = true;
       s.Record().SetCurrentBlock(1);
       s.op.onRange = [](RangeDialog& d) {
         EXPECT_EQ(d.starts.size(), 16u);
         EXPECT_EQ(d.starts.front().label, "Sector 016    Addr=10000");
         EXPECT_EQ(d.ranges.size(), 16u);
         d.start = 15;
         d.range = 2;  // cut at the bank's last sector
         return true;
       };
     },
     .kind = OutcomeKind::Failed, .sent = Bytes{0x03, 0xF0, 0x00, 0x80},
     .check = [](SimSession& s, const CommandOutcome& outcome) {
       EXPECT_EQ(outcome.code, 6);
       NothingPrinted(s, outcome);
       EXPECT_EQ(s.Window().Snapshot().selectedTab, 0);
     }},
    {.name = "erase: KT410's loader sectors in block 1", .command = OnSectorErase, .model = kKT410,
     .start = B1(0x3C0 / 64), .range = 2, .kind = OutcomeKind::Refused, .refusal = Refusal::LoaderArea,
     .told = Messages{"You can not erase the first 16 block1\nsectors which are used to store BSL!"}, .sent = Bytes{}},
    {.name = "erase: block 1 in external mode directly, loader sectors too", .command = OnSectorErase,
     .model = kKT530, .mode = kExternalMemory, .start = B1(0), .range = 1, .told = Messages{kErased},
     .sent = Bytes{0x0B, 0xE0, 0x00, 0x01}},
    {.name = "erase: from sector 2 to the block's end", .command = OnSectorErase, .start = 2, .range = 0,
     .prepare = [](SimSession& s) { s.SetFlash(0, 0x100, Pattern(256, 25)); },
     .told = Messages{kErased},
     .check = [](SimSession& s, const CommandOutcome&) {
       EXPECT_EQ(s.Flash(0, 0x100, 256), Bytes(256, 0xFF));
       EXPECT_EQ(s.Wire().size(), 2u + 510u * 4u);
     }},
    {.name = "erase: block 0 not selected", .command = OnSectorErase, .faults = {{Kind::Drop, 0x68, 1, 0}}, .start = 0,
     .range = 1, .kind = OutcomeKind::Failed, .told = Messages{"Block0 sector erase failed!"}, .sent = Bytes{0x68, 0x68}},
    {.name = "chip erase: no chip detected", .command = OnChipErase, .model = kKT420, .detected = false,
     .kind = OutcomeKind::Refused, .refusal = Refusal::NoTarget, .told = Messages{kNoTarget},
     .check = [](SimSession& s, const CommandOutcome&) { EXPECT_TRUE(s.op.questions.empty()); }},
    {.name = "chip erase: Yes erases, resets and detects again", .command = OnChipErase, .model = kKT420,
     .answers = {true}, .prepare = [](SimSession& s) { s.SetFlash(0, 0, Pattern(1024, 26)); },
     .check = [](SimSession& s, const CommandOutcome&) {
       EXPECT_EQ(s.op.questions, Messages{"Do you really want to proceed?"});
       EXPECT_TRUE(s.op.Saw("Chip Erase Completed!\nChip will be automatically redetected!"));
       EXPECT_EQ(s.Flash(0, 0, 1024), Bytes(1024, 0xFF));
       EXPECT_TRUE(s.WireHas({0x01, 0x00, 0x00, 0x01}) && s.WireHas({'B', 'S', 'L'}));
       EXPECT_TRUE(s.Record().Port().IsLinkUp());
     }},
    {.name = "chip erase: No still ends with the detection", .command = OnChipErase,
     .prepare = [](SimSession& s) {
       s.SetFlash(0, 0, Pattern(128, 27));
       s.op.onAsk = [&s] {  // the board is reset while the question is open
         s.Shell().ResetTarget();
         s.ClearWire();
       };
     },
     .kind = OutcomeKind::Declined,
     .check = [](SimSession& s, const CommandOutcome&) {
       EXPECT_EQ(s.Flash(0, 0, 128), Pattern(128, 27));
       EXPECT_FALSE(s.WireHas({0x01, 0x00, 0x00, 0x01}));
       EXPECT_TRUE(s.WireHas({'B', 'S', 'L'}));
       EXPECT_TRUE(s.Record().Port().IsLinkUp());
     }},

    // Download into block 0, and the refusals before anything is erased.
    {.name = "download-run: KT540's block 0 under the caption's warning, then the program runs",
     .command = OnDownloadAndRun, .start = 4, .fileSize = 300, .answers = {true},
     .sentFirst = Bytes{0x68, 0x68, 0x0B, 0x02, 0x00, 0x01},
     .check = [](SimSession& s, const CommandOutcome&) {
       EXPECT_EQ(s.Flash(0, 4 * 128, 384), test::Concat(Pattern(300, 1), Bytes(84, 0xFF)));
       EXPECT_EQ(s.op.questions, Messages{kEraseQuestion});
       ASSERT_EQ(s.captions.size(), 3u);
       EXPECT_EQ(s.captions[0], "WARNING! DATA IN BLOCK 0 WILL BE ERASED. PLEASE BACK THEM UP FIRST.");
       EXPECT_EQ(s.captions[1], "Downloading \"app.bin\"");
       EXPECT_EQ(s.Wire().back(), 0x62);
       EXPECT_EQ(s.target->CurrentPhase(), Phase::UserCode);
     }},
    {.name = "download: No erases nothing", .command = OnDownload, .start = 4, .fileSize = 300, .answers = {false},
     .kind = OutcomeKind::Declined,
     .check = [](SimSession& s, const CommandOutcome&) {
       EXPECT_FALSE(s.WireHas({0x0B}));
       EXPECT_EQ(s.Flash(0, 4 * 128, 384), Bytes(384, 0xFF));
     }},
    {.name = "download-run: No starts nothing", .command = OnDownloadAndRun, .start = 2, .fileSize = 300,
     .answers = {false}, .kind = OutcomeKind::Declined, .sent = Bytes{0x68, 0x68},
     .check = [](SimSession& s, const CommandOutcome&) { EXPECT_FALSE(s.State().userCodeStarted); }},
    {.name = "download: a file that cannot be opened", .command = OnDownload,
     .prepare = [](SimSession& s) { s.PickFile(s.Path("none.bin"), 0); },
     .kind = OutcomeKind::Refused, .refusal = Refusal::BadInput, .sent = Bytes{}},
    {.name = "download: the program's read-back lost", .command = OnDownload, .model = kKT530,
     .faults = {{Kind::Drop, 0x0C, 1, 5}}, .start = 2, .fileSize = 300, .answers = {true},
     .kind = OutcomeKind::Failed, .step = "program and verify"},
    {.name = "download: block 1 in external mode directly, without the loader question", .command = OnDownload,
     .model = kKT530, .mode = kExternalMemory, .start = B1(0), .fileSize = 200, .answers = {true},  // E000h
     .check = [](SimSession& s, const CommandOutcome&) {
       EXPECT_EQ(s.op.questions, Messages{kEraseQuestion});
       EXPECT_EQ(s.Flash(1, 0, 200), Pattern(200, 1));
       EXPECT_FALSE(s.WireHas({0x03, 0x20, 0x27, 0x10})) << "nothing parked";
       EXPECT_EQ(s.captions.at(0), "WARNING! DATA IN BLOCK 0/1 WILL BE ERASED. PLEASE BACK THEM UP FIRST.");
     }},
    {.name = "download: the high bank's sectors under the bank's warning", .command = OnDownload,
     .prepare = [](SimSession& s) {
       s.State().externalHighBankSelected = true;
       s.op.onFileAndSector = [&s](FileSectorDialog& d) {
         EXPECT_EQ(d.title, "Download Hex or Binary File into Flash Memory");
         EXPECT_EQ(d.entries.size(), 16u);
         EXPECT_EQ(s.Window().Caption(),
                   "WARNING! DATA IN EXTERNAL HIGH 64KB MEMORY WILL BE ERASED. PLEASE BACK THEM UP FIRST.");
         return false;
       };
     },
     .kind = OutcomeKind::Declined, .sent = Bytes{}},
    {.name = "download: KT410's loader address asks first, then is refused", .command = OnDownload,
     .model = kKT410, .start = B1(0x2C0 / 64), .fileSize = 64, .answers = {true, true}, .kind = OutcomeKind::Refused,
     .told = Messages{kKT410LoaderRefusal}, .sent = Bytes{},
     .check = [](SimSession& s, const CommandOutcome&) {
       EXPECT_EQ(s.op.questions, (Messages{kBslQuestion, kEraseQuestion}));
       EXPECT_TRUE(s.target->LoaderIntact());
       EXPECT_FALSE(s.Window().CloseRequested());
     }},
    {.name = "download: KT410's F300h asks only the erase question", .command = OnDownload, .model = kKT410,
     .start = B1(0x300 / 64), .fileSize = 64, .answers = {true}, .kind = OutcomeKind::Refused,
     .told = Messages{kKT410LoaderRefusal}, .sent = Bytes{},
     .check = [](SimSession& s, const CommandOutcome&) { EXPECT_EQ(s.op.questions, Messages{kEraseQuestion}); }},
    {.name = "download: No to the loader question", .command = OnDownload, .model = kKT410, .start = B1(0),
     .fileSize = 64, .answers = {false}, .kind = OutcomeKind::Declined, .sent = Bytes{}},
    {.name = "download: KT540's 0400h is the loader's", .command = OnDownload, .start = B1(8), .fileSize = 128,
     .answers = {true}, .kind = OutcomeKind::Refused,
     .told = Messages{"You can not erase BSL which resides in the first 9 sectors of Block1!"},
     .sent = Bytes{0x69, 0x69},
     .check = [](SimSession& s, const CommandOutcome&) {
       EXPECT_EQ(s.op.questions, Messages{kEraseQuestion});
       EXPECT_TRUE(s.target->LoaderIntact());
     }},
    // KT580's block 0 ends at 1FFFh: no room for the programmer at 2000h.
    {.name = "download: KT580's block 1 in internal mode", .command = OnDownload, .model = kKT580, .start = B1(20),
     .fileSize = 256, .answers = {true}, .kind = OutcomeKind::Failed,
     .check = [](SimSession& s, const CommandOutcome&) {
       EXPECT_TRUE(s.op.Saw("KT580 doesn't support update block 1 in internal memory mode!"));
       EXPECT_FALSE(s.WireHas({0x0B}));
       EXPECT_EQ(s.target->CurrentPhase(), Phase::Loader);
     }},

    // Replacing the loader: refusals, and the debug monitor in its place.
    {.name = "update loader: a KT500 whose block 0 is hardlocked goes on to the file dialog",
     .command = OnUpdateInternalLoader, .model = kKT550, .security = 0x80, .kind = OutcomeKind::Declined,
     .check = [](SimSession& s, const CommandOutcome&) {
       EXPECT_EQ(s.target->CurrentPhase(), Phase::Loader) << "nothing is parked before the file is chosen";
       EXPECT_FALSE(s.WireHas({0x0B}));
       EXPECT_FALSE(s.State().loaderUpdateInProgress);
     }},
    {.name = "update loader: a hardlocked KT410", .command = OnUpdateInternalLoader, .model = kKT410, .security = 0x80,
     .kind = OutcomeKind::Refused, .told = Messages{"Update BSL doesn't work if Block0 or Block1 is hardlocked!"},
     .sent = Bytes{}},
    {.name = "update loader: KT580", .command = OnUpdateInternalLoader, .model = kKT580, .kind = OutcomeKind::Refused,
     .told = Messages{"KT580 doesn't support update block 1 in internal memory mode!"}, .sent = Bytes{}},
    {.name = "update loader: with the low bank entered", .command = OnUpdateInternalLoader,
     .prepare = [](SimSession& s) { s.State().externalLowBankSelected = true; }, .kind = OutcomeKind::Refused,
     .told = Messages{"This command is to Update block 1 in internal memory mode!"}, .sent = Bytes{}},
    {.name = "update external loader: only from the low bank", .command = OnUpdateExternalLoader, .model = kKT420,
     .prepare = [](SimSession& s) { s.State().externalHighBankSelected = true; }, .kind = OutcomeKind::Refused,
     .told = Messages{"Please enter into Low64K in internal memory mode for upgrade BSL!"}, .sent = Bytes{}},
    {.name = "debug monitor: No writes nothing", .command = OnDownloadDebugMonitor, .model = kKT560,
     .kind = OutcomeKind::Declined, .sent = Bytes{},
     .check = [](SimSession& s, const CommandOutcome&) {
       EXPECT_EQ(s.op.questions, Messages{"Do you really want to download Probex?\nBSL in Block1 and code in Block0 "
                                          "will be erased.\nProceed to download?"});
       EXPECT_FALSE(s.Window().CloseRequested());
     }},
    {.name = "debug monitor: replaces KT560's loader, touching block 0 only where the programmer goes",
     .command = OnDownloadDebugMonitor, .model = kKT560, .answers = {true},
     .prepare = [](SimSession& s) { s.SetFlash(0, 0, Pattern(s.Record().BlockSize(0), 50)); },
     .told = Messages{"BSL is replaced by Probex!"},
     .check = [](SimSession& s, const CommandOutcome&) {
       EXPECT_TRUE(s.Window().CloseRequested());
       const Bytes probex(firmware::ProbexKT530.begin(), firmware::ProbexKT530.end());
       EXPECT_EQ(s.Flash(1, 0, probex.size()), probex) << "4096 bytes at E000h";
       const Bytes block0 = Pattern(s.Record().BlockSize(0), 50);
       EXPECT_EQ(s.Flash(0, 0x0080, 0x2000 - 0x80), Bytes(block0.begin() + 0x80, block0.begin() + 0x2000));
       EXPECT_EQ(s.Flash(0, 0x2180, block0.size() - 0x2180), Bytes(block0.begin() + 0x2180, block0.end()));
       s.target->Reset();
       EXPECT_EQ(s.target->CurrentPhase(), Phase::Halted) << "the debug monitor does not answer the loader's sync";
     }},
    {.name = "debug monitor: a failed block-1 write still ends the program", .command = OnDownloadDebugMonitor,
     .model = kKT420, .faults = {{Kind::Corrupt, 0x0A, 0, 0, 0x01}}, .answers = {true}, .kind = OutcomeKind::Failed,
     .check = [](SimSession& s, const CommandOutcome&) {
       ASSERT_FALSE(s.op.messages.empty());
       EXPECT_EQ(s.op.messages.back().rfind("Failed to write Probex into Block1!", 0), 0u);
       EXPECT_FALSE(s.op.Saw("BSL is replaced by Probex!"));
       EXPECT_TRUE(s.Window().CloseRequested());
     }},
    {.name = "low bank: only from internal memory mode", .command = OnEnterLowBank, .model = kKT560,
     .mode = kExternalMemory, .kind = OutcomeKind::Refused,
     .told = Messages{"Entering Low 64KB of external flash only works in internal memory mode!"}, .sent = Bytes{}},
    {.name = "high bank: only from internal memory mode", .command = OnEnterHighBank, .model = kKT560,
     .mode = kExternalMemory, .kind = OutcomeKind::Refused,
     .told = Messages{"Entering High 64KB of external flash only works in internal memory mode!"}, .sent = Bytes{}},
    {.name = "low bank: not with KT410's block 0 hardlocked", .command = OnEnterLowBank, .model = kKT410,
     .security = 0x80, .kind = OutcomeKind::Refused,
     .told = Messages{"External Flash can't be accessed if Block0 hard locked!"}, .sent = Bytes{}},
    {.name = "low bank: SB1 only stops the KT400 family", .command = OnEnterLowBank, .model = kKT560,
     .security = 0x80},
    {.name = "return to the MCU's flash: refused when there", .command = OnReturnToMcuFlash, .model = kKT560,
     .answers = {true}, .kind = OutcomeKind::Refused, .told = Messages{"You are in Internal Memory mode already!"},
     .sent = Bytes{}},

    // The detection menu: the chip selection and the set-up come first.
    {.name = "detect menu: the chip selection cancelled", .command = OnDetectMenu, .detected = false,
     .kind = OutcomeKind::Declined, .sent = Bytes{}},
    {.name = "detect menu: no memory mode chosen", .command = OnDetectMenu, .detected = false,
     .prepare = [](SimSession& s) { s.op.onSelectChip = [](ChipSelection& c) { return c.memoryMode = kNoMemoryMode, true; }; },
     .kind = OutcomeKind::Refused, .told = Messages{"Chip Info is not completed!!!"}, .sent = Bytes{}},
    {.name = "detect menu: selected, set up and detected", .command = OnDetectMenu, .detected = false,
     .prepare = SelectKT540,
     .check = [](SimSession& s, const CommandOutcome&) { EXPECT_EQ(s.Window().StatusText(), kDetected); }},
    {.name = "detect menu: with the link up the set-up dialog refuses", .command = OnDetectMenu, .prepare = SelectKT540,
     .kind = OutcomeKind::Declined,
     .check = [](SimSession& s, const CommandOutcome&) { EXPECT_TRUE(s.op.Saw("ChipType had been detected earlier.")); }},

    {.name = "unknown version: a 1.1F chip is detected", .command = OnDetectUnknownVersion, .detected = false,
     .prepare = SelectKT540,
     .check = [](SimSession& s, const CommandOutcome&) {
       EXPECT_EQ(s.Window().StatusText(), kDetected);
       EXPECT_EQ(s.Window().Snapshot().progress.label + " " + s.Window().ChipInfo().fwVersion, "Done v1.1F");
     }},

    // Byte edit, lock and double clock: the refusals and choices that leave the chip alone.
    {.name = "edit: refused on a hardlocked block 0", .command = OnEditBlock0, .model = kKT410, .security = 0x80,
     .kind = OutcomeKind::Refused, .told = Messages{"Byte Edit doesn't work if Block0 is hardlocked!"}, .sent = Bytes{}},
    {.name = "edit: only in internal memory mode", .command = OnEditBlock0, .model = kKT560, .mode = kExternalMemory,
     .kind = OutcomeKind::Refused, .told = Messages{"Byte Edit only works in Internal Memory Mode!"}, .sent = Bytes{}},
    // The link stays up: the detection after the close returns at once.
    {.name = "lock: OK without a choice sends only the close and fails", .command = OnLockChip, .model = kKT560,
     .answers = {true},
     .prepare = [](SimSession& s) { s.op.onLockMenu = [](LockMenu& menu) { return menu.title == "Dialog"; }; },
     .kind = OutcomeKind::Failed, .told = Messages{"Set Lock Failed!"}, .sent = Bytes{0x6B, 0x6B}},
    {.name = "lock: the menu cancelled", .command = OnLockChip, .model = kKT560, .answers = {true},
     .kind = OutcomeKind::Declined, .sent = Bytes{}},
    {.name = "double clock: not on the KT400 family", .command = OnDoubleClock, .model = kKT410,
     .kind = OutcomeKind::Refused, .told = Messages{"KT410/420 doesn't support double clock mode."}, .sent = Bytes{}},
    {.name = "run: starts the program and forgets the chip", .command = ExecuteUserCode, .model = kKT550,
     .told = Messages{}, .sent = Bytes{0x62, 0x62},
     .check = [](SimSession& s, const CommandOutcome&) {
       EXPECT_EQ(s.target->CurrentPhase(), Phase::UserCode);
       EXPECT_TRUE(s.State().userCodeStarted);
       EXPECT_FALSE(s.Record().Port().IsLinkUp());
       EXPECT_EQ(s.Window().Snapshot().securityText, "SECURITY : UNKNOWN");
       s.Run(ExecuteUserCode);
       EXPECT_EQ(s.op.messages, Messages{"No flash chip has been selected/detected!!!"});
       EXPECT_EQ(s.Wire().size(), 2u);
     }},
    {.name = "run: refused in external mode", .command = ExecuteUserCode, .model = kKT530, .mode = kExternalMemory,
     .kind = OutcomeKind::Refused, .told = Messages{"Run User Code only works in internal memory mode!"},
     .sent = Bytes{},
     .check = [](SimSession& s, const CommandOutcome&) { EXPECT_FALSE(s.State().userCodeStarted); }},
    // 62h 62h that never left the host started nothing.
    {.name = "run: the port closed under it", .command = ExecuteUserCode, .model = kKT550,
     .prepare = [](SimSession& s) { s.Record().Port().Close(); }, .kind = OutcomeKind::Failed,
     .step = "start the user's program",
     .check = [](SimSession& s, const CommandOutcome&) { EXPECT_NE(s.target->CurrentPhase(), Phase::UserCode); }},
    {.name = "cable test: a loop-back passes", .command = OnCableTest, .model = kKT420, .loopback = true,
     .detected = false, .answers = {true}, .told = Messages{kRemoveMcu, "Serial connection is correct!"},
     .check = [](SimSession& s, const CommandOutcome&) {
       EXPECT_EQ(s.op.questions,
                 Messages{"This will test if serial cable is connected correctly.\nDo you want to proceed?"});
       EXPECT_TRUE(s.Record().Port().IsOpen());
       EXPECT_FALSE(s.Record().Port().IsLinkUp());
     }},
    {.name = "cable test: the chip echoes nothing", .command = OnCableTest, .model = kKT420, .detected = false,
     .answers = {true}, .kind = OutcomeKind::Failed, .told = Messages{kRemoveMcu, "Serial connection is incorrect!!!"},
     .check = [](SimSession& s, const CommandOutcome&) {
       EXPECT_TRUE(s.WireHas({0x80, 0xE0, 0xF8, 0x80, 0xE0, 0xF8})) << "rounds until the limit";
     }},
    {.name = "cable test: refused with the link up", .command = OnCableTest, .model = kKT420,
     .kind = OutcomeKind::Refused, .told = Messages{"Serial connection has be set up already!"}},
};

TEST(FlashCommands, OutcomesTextsWireAndWhatIsLeft) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    sim::SimConfig config = test::ChipConfig(row.model, row.mode);
    config.faults.replyFaults = row.faults;
    config.securityBits = row.security;
    config.loopback = row.loopback;
    SimSession s(config);
    if (row.detected) {
      ASSERT_TRUE(s.Ready());
    }
    const int entry = row.start >= B1(0) ? s.Block1Entry(row.start - B1(0)) : row.start;
    if (row.fileSize > 0) {
      s.PickFile(s.Write("app.bin", Pattern(row.fileSize, 1)), entry);
    } else if (row.start != kNoChoice) {
      s.PickRange(entry, row.range);
    }
    s.op.answers = row.answers;
    if (row.prepare) row.prepare(s);
    const std::string caption = s.Window().Caption();
    const CommandOutcome outcome = s.Run(row.command);

    EXPECT_EQ(OutcomeKindName(outcome.kind), std::string(OutcomeKindName(row.kind))) << outcome.step;
    if (row.refusal) {
      EXPECT_EQ(RefusalText(outcome.refusal), std::string(RefusalText(*row.refusal)));
    }
    if (row.step) {
      EXPECT_EQ(outcome.step, row.step);
    }
    if (row.told) {
      EXPECT_EQ(s.op.messages, *row.told);
    }
    if (row.sent) {
      EXPECT_EQ(s.Wire(), *row.sent);
    }
    if (row.sentFirst) {
      ASSERT_GE(s.Wire().size(), row.sentFirst->size());
      EXPECT_EQ(Bytes(s.Wire().begin(), s.Wire().begin() + static_cast<long>(row.sentFirst->size())), *row.sentFirst);
    }
    // Every command gives the caption back, and the link free unless the
    // application is to end.
    EXPECT_EQ(s.Window().Caption(), caption);
    EXPECT_FALSE(s.State().rangeIncludesBlock1);
    EXPECT_EQ(s.State().linkBusy, s.Window().CloseRequested());
    if (row.check) row.check(s, outcome);
  }
}

}  // namespace
}  // namespace brisko
