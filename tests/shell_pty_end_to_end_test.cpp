// The commands against brisko-sim on a pseudo-terminal, through the termios
// backend: no modem lines, the chip restarts on the baud-detect pattern.
#include <gtest/gtest.h>

#include <thread>

#include "link/posix_serial_device.hpp"
#include "shell/flash/byte_edit_command.hpp"
#include "shell/detection/detect_command.hpp"
#include "shell/flash/download_command.hpp"
#include "shell/flash/external_bank_commands.hpp"
#include "shell/configuration/lock_command.hpp"
#include "shell/session/session.hpp"
#include "support/process.hpp"
#include "support/result_print.hpp"
#include "support/scripted_operator.hpp"
#include "support/sim_chip.hpp"
#include "support/temp_dir.hpp"

namespace brisko::test {
namespace {

using namespace std::chrono_literals;

class PtyBoard : public TestFiles {
 public:
  explicit PtyBoard(ChipModel model, std::vector<std::string> extra = {})
      : sim_(Args(model, std::move(extra))), path_(sim_.ReadLine(5000ms)) {
    window = std::make_unique<Session>(
        op, [path = path_](const std::string&, std::string& why) { return OpenPosixSerialDevice(path, why); },
        LinkTiming::Scaled(0.25), dirs.Places());
    window->Record()->SetChipModel(model);
    window->Record()->SetMemoryMode(kInternalMemory);
    window->Record()->applyGeometry();
  }
  bool Started() const { return !path_.empty(); }
  bool Detect() {
    DetectTarget(*window);
    return window->Record()->Port().IsLinkUp();
  }
  void FlipA16(bool high) { ASSERT_TRUE(sim_.WriteInput(high ? "a16 1\n" : "a16 0\n")); }

  // Block-0 (or bank) bytes through the loader.
  Bytes Read(std::uint32_t address, std::size_t n) {
    Bytes out(n);
    EXPECT_EQ(window->Engine().ReadRange(out.data(), address, n, 128), Result::Ok);
    return out;
  }
  void Write(std::uint32_t address, const Bytes& bytes) {
    FlashEngine engine = window->Engine();
    ASSERT_EQ(engine.EraseSectors(address, 128, static_cast<std::uint32_t>((bytes.size() + 127) / 128)),
              Result::Ok);
    ASSERT_EQ(engine.ProgramRange(address, 128, bytes.data(), bytes.size()), Result::Ok);
  }

  ScriptedOperator op;
  std::unique_ptr<Session> window;

 private:
  static std::vector<std::string> Args(ChipModel model, std::vector<std::string> extra) {
    std::vector<std::string> args{BRISKO_SIM_PATH, "--model", DescribeChip(model).chipTypeText, "--quiet"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }
  BackgroundProcess sim_;
  std::string path_;
};

TEST(PtyEndToEnd, LockThenRedetect) {
  PtyBoard board(kKT560);
  ASSERT_TRUE(board.Started());
  ASSERT_TRUE(board.Detect());
  board.op.onLockMenu = [](LockMenu& menu) {
    menu.lockOption = 4;  // SB2
    return true;
  };
  board.op.answers = {true};
  EXPECT_TRUE(OnLockChip(*board.window).Ok());
  EXPECT_TRUE(board.window->Record()->Port().IsLinkUp()) << "found again after the reset";
  EXPECT_EQ(board.window->State().securityBits, 0x40);
  EXPECT_NE(board.window->Window().Snapshot().securityText.find("010"), std::string::npos) << "shown as read back";
}

TEST(PtyEndToEnd, DownloadIntoTheHighBankAndBack) {
  PtyBoard board(kKT420, {"--a16", "1"});
  ASSERT_TRUE(board.Started());
  ASSERT_TRUE(board.Detect());
  const Bytes sector0 = Pattern(128, 61), area2000 = Pattern(384, 62);
  board.Write(0x0000, sector0);
  board.Write(0x2000, area2000);

  ASSERT_TRUE(OnEnterHighBank(*board.window).Ok());
  const Bytes app = Pattern(300, 63);
  board.op.onFileAndSector = [&](FileSectorDialog& d) {
    d.fileName = board.TestFiles::Write("bank.bin", app);
    d.chosen = 1;  // 1000h
    return true;
  };
  board.op.answers = {true, true};
  EXPECT_TRUE(OnDownload(*board.window).Ok());
  EXPECT_EQ(board.Read(0x1000, 300), app);
  board.FlipA16(false);
  // The switch line reaches the simulator on its own channel, at some point
  // of a read: look until a whole read comes from the low half.
  Bytes low;
  for (int look = 0; look < 200 && (low = board.Read(0x1000, 300)) != Bytes(300, 0xFF); ++look)
    std::this_thread::sleep_for(10ms);
  EXPECT_EQ(low, Bytes(300, 0xFF)) << "the low half does not hold it";

  board.op.answers = {true};
  EXPECT_TRUE(OnReturnToMcuFlash(*board.window).Ok());
  EXPECT_EQ(board.Read(0x0000, 128), sector0);
  EXPECT_EQ(board.Read(0x2000, 384), area2000);
}

TEST(PtyEndToEnd, TwoSectorByteEdit) {
  PtyBoard board(kKT540);
  ASSERT_TRUE(board.Started());
  ASSERT_TRUE(board.Detect());
  const Bytes before = Pattern(256, 64);
  board.Write(0x0380, before);
  board.op.byteEditPresses.push_back([](ByteEditDialog& d) {
    d.addressText = "03FC";
    d.newDataText = "A1 A2 A3 A4 A5 A6 A7 A8";
    return ByteEditButton::ReplaceData;
  });
  board.op.answers = {true};
  EXPECT_TRUE(OnEditBlock0(*board.window).Ok());
  Bytes after = before;
  for (int i = 0; i < 8; ++i) after[0x7C + i] = static_cast<std::uint8_t>(0xA1 + i);
  EXPECT_EQ(board.Read(0x0380, 256), after);
  EXPECT_EQ(board.window->Window().Snapshot().progress.label, "Done");
}

}  // namespace
}  // namespace brisko::test
