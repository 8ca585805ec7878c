#include "shell/block1_programmer.hpp"

#include <algorithm>
#include <array>
#include <ctime>

#include "firmware/firmware.hpp"
#include "link/read_routines.hpp"
#include "link/result_codes.hpp"
#include "shell/main_window.hpp"
#include "shell/recovery_file.hpp"

namespace brisko {
namespace {

constexpr std::uint32_t kSectorSize = 128;
constexpr std::uint32_t kArea2000 = 0x2000;
constexpr std::uint32_t kArea2000Sectors = 3;
constexpr std::uint32_t kProgrammerAreaEnd = kArea2000 + kArea2000Sectors * kSectorSize;
constexpr std::uint16_t kProgrammerEntry = 0x2027;
constexpr std::uint8_t kProgrammerStartValue = 0x10;
constexpr std::uint8_t kReentryValue = 0x01;

// The programmer padded with FFh to whole 128-byte sectors, as erased flash
// holds it anyway.
std::array<std::uint8_t, kSectorSize * kArea2000Sectors> PaddedProgrammer(int model) {
  const auto image = IsKT400(model) ? firmware::Block1ProgrammerKT400 : firmware::Block1ProgrammerKT500;
  std::array<std::uint8_t, kSectorSize * kArea2000Sectors> padded;
  padded.fill(0xFF);
  std::copy_n(image.begin(), std::min(image.size(), padded.size()), padded.begin());
  return padded;
}

// The parking itself. Its steps are not checked one by one: a failure shows
// in the engine's "Abort" label and makes the work fail, and the put-back
// afterwards is checked.
void ParkProgrammer(FlashEngine& engine, int model) {
  const auto programmer = PaddedProgrammer(model);
  static_cast<void>(engine.EraseSectors(0x0000, kSectorSize, 1));
  static_cast<void>(engine.EraseSectors(kArea2000, kSectorSize, kArea2000Sectors));
  static_cast<void>(engine.ProgramRange(kArea2000, kSectorSize, programmer.data(), programmer.size()));
  static_cast<void>(engine.SendStartCommand(kProgrammerEntry, kProgrammerStartValue));
}

bool PutBlock0Back(FlashEngine& engine, const SavedAreas& saved) {
  const bool sector0 =
      engine.ProgramRange(0x0000, kSectorSize, saved.savedSector0.data(), saved.savedSector0.size()) == Result::Ok;
  const bool erased = engine.EraseSectors(kArea2000, kSectorSize, kArea2000Sectors) == Result::Ok;
  const bool area2000 = erased && engine.ProgramRange(kArea2000, kSectorSize, saved.savedArea2000.data(),
                                                      saved.savedArea2000.size()) == Result::Ok;
  return sector0 && area2000;
}

}  // namespace

std::string Block0BackupFailedText() {
  return "Failed to save block 0 data (0000h-007Fh, 2000h-217Fh)\nbefore parking the block-1 programmer.\n"
         "Nothing has been erased.";
}

std::string RecoveryFileFailedText(const std::string& whyNot) {
  return "Failed to write the block 0 recovery file\n(" + whyNot + ").\nNothing has been erased.";
}

std::string Block0NotRestoredText(const std::string& recoveryPath) {
  return "Block 0 could not be restored after the block-1 operation!\nIts saved data are in the file\n" +
         recoveryPath + "\n(128 bytes for 0000h-007Fh, then 384 bytes for 2000h-217Fh).";
}

ParkedRun RunWithBlock1ProgrammerParked(MainWindow& w, FlashEngine& engine, const Block1Parking& how,
                                        const std::function<Result()>& work) {
  ParkedRun run;
  SessionRecord& record = *w.Record();
  SessionState& state = w.State();
  SerialPort& port = record.Port();

  // The programmer runs from 2000h-216Fh of block 0. KT580's block 0 ends at
  // 1FFFh, so there is nowhere to park it (nor a loader re-entry point): the
  // chip would be left running erased flash.
  if (record.BlockSize(0) < kProgrammerAreaEnd) {
    w.Op().Tell("KT580 doesn't support update block 1 in internal memory mode!");
    return run;
  }
  if (how.selectBlock0 && !engine.SelectBlock0()) {
    w.Op().Tell(how.selectFailedText);
    return run;
  }
  if (SaveSector0(port, state.saved) != Result::Ok || SaveArea2000(port, state.saved) != Result::Ok) {
    w.Op().Tell(Block0BackupFailedText());
    return run;
  }
  std::string whyNot;
  const std::string recoveryPath = WriteBlock0RecoveryFile(w.Places().dataDir, state.saved, std::time(nullptr), whyNot);
  if (recoveryPath.empty()) {
    w.Op().Tell(RecoveryFileFailedText(whyNot));
    return run;
  }

  // Parking and put-back run to their end whatever a cancel request says:
  // only the work between them stops early.
  FlashEngine fixed = engine.Uncancellable();
  ParkProgrammer(fixed, record.GetChipModel());
  run.parked = true;
  // The programmer owns the link: no keep-alive byte may cut into its dialogue.
  state.linkBusy = true;
  run.workResult = work();
  state.linkBusy = false;
  // Whatever the programmer left unread or unsent belongs to a finished
  // dialogue.
  port.PurgeInput();
  port.PurgeOutput();

  // The select and put-back that follow show whether the loader came back.
  if (how.reentryAddress) static_cast<void>(fixed.SendStartCommand(*how.reentryAddress, kReentryValue));
  if (how.selectBlock0 && !fixed.SelectBlock0()) {
    w.Op().Tell(how.reselectFailedText);
    w.Op().Tell(Block0NotRestoredText(recoveryPath));
    return run;
  }
  run.block0Restored = PutBlock0Back(fixed, state.saved);
  if (run.block0Restored)
    RemoveBlock0RecoveryFile(recoveryPath);
  else
    w.Op().Tell(Block0NotRestoredText(recoveryPath));
  return run;
}

}  // namespace brisko
