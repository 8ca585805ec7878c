#include "shell/block0/block1_programmer.hpp"

#include <atomic>

#include "firmware/firmware.hpp"
#include "link/quiet_line.hpp"
#include "link/result_codes.hpp"
#include "shell/block0/displaced_section.hpp"
#include "shell/block0/image_at_2000.hpp"
#include "shell/session/session.hpp"
#include "shell/block0/recovery_offer.hpp"
#include "shell/block0/recovery_record.hpp"

namespace brisko {
namespace {

constexpr std::uint32_t kSectorSize = 128;
constexpr std::uint32_t kArea2000 = 0x2000;
constexpr std::uint32_t kArea2000Sectors = 3;
constexpr std::uint32_t kProgrammerAreaEnd = kArea2000 + kArea2000Sectors * kSectorSize;
constexpr std::uint16_t kProgrammerEntry = 0x2027;
constexpr std::uint8_t kProgrammerStartValue = 0x10;
constexpr std::uint8_t kReentryValue = 0x01;

// The loader update retries a start that failed after an earlier failure.
constexpr int kUpdateStartRetries = 11;

// The parking itself. Its erase and program steps are not checked one by
// one: a failure shows in the engine's "Abort" label and makes the work fail,
// and the put-back afterwards is checked.
Result ParkProgrammer(FlashEngine& engine, int model, bool update, const std::atomic<bool>& operationFailed) {
  const auto image = IsKT400(model) ? firmware::Block1ProgrammerKT400 : firmware::Block1ProgrammerKT500;
  static_cast<void>(InstallImageAt2000(engine, image));
  Result started = engine.SendStartCommand(kProgrammerEntry, kProgrammerStartValue);
  for (int retry = 0; update && started != Result::Ok && operationFailed.load() && retry < kUpdateStartRetries; ++retry)
    started = engine.SendStartCommand(kProgrammerEntry, kProgrammerStartValue);
  return started;
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
         recoveryPath + "\n(128 bytes for 0000h-007Fh, then 384 bytes for 2000h-217Fh).\n"
         "The next detection of this chip offers to put them back.";
}

ParkedRun RunWithBlock1ProgrammerParked(Session& session, FlashEngine& engine, const Block1Parking& how,
                                        const std::function<Result()>& work) {
  ParkedRun run;
  SessionRecord& record = *session.Record();
  SessionState& state = session.State();
  SerialPort& port = record.Port();

  // The programmer runs from 2000h-216Fh of block 0. KT580's block 0 ends at
  // 1FFFh, so there is nowhere to park it (nor a loader re-entry point): the
  // chip would be left running erased flash.
  if (record.BlockSize(0) < kProgrammerAreaEnd) {
    session.Op().Tell("KT580 doesn't support update block 1 in internal memory mode!");
    return run;
  }
  if (how.selectBlock0 && !engine.SelectBlock0()) {
    session.Op().Tell(how.selectFailedText);
    return run;
  }
  const RangeReader read = LoaderReader(session.Record()->Port());
  RecoveryRecord recovery;
  if (!SaveParkingArea(session, how.staysParked ? "loader update" : "block-1 operation", read, recovery)) return run;
  run.recoveryPath = recovery.path;

  const std::string what = how.staysParked ? "the new loader was being written into block 1 (block 0 at " +
                                                  recovery.AreaText() + " holds the block-1 programmer)"
                                            : "block 0 at " + recovery.AreaText() + " held the block-1 programmer";
  DisplacedSection section(session, DisplacedText(what, recovery.path));
  if (!section.Entered()) {
    RemoveRecoveryFile(recovery.path);
    run.cancelledBefore = true;
    return run;
  }
  // Parking and put-back run to their end whatever a cancel request says:
  // only the work between them stops early.
  FlashEngine fixed = section.Engine();
  const Result started = ParkProgrammer(fixed, record.GetChipModel(), how.staysParked, state.operationFailed);
  run.parked = true;
  if (how.staysParked && started != Result::Ok) {
    // The loader still runs: block 0 goes back through it.
    run.startFailed = true;
    state.operationFailed = true;
    session.Op().Tell(how.startFailedText);
    run.block0Restored = PutRecordBack(session, recovery);
    if (run.block0Restored)
      RemoveRecoveryFile(recovery.path);
    else
      session.Op().Tell(Block0NotRestoredText(recovery.path));
    session.Window().ProgressReset();
    return run;
  }
  // The programmer owns the link: no keep-alive byte may cut into its dialogue.
  state.linkBusy = true;
  run.workResult = work();
  state.linkBusy = false;
  // Whatever the programmer still sends belongs to a finished dialogue: a
  // verify that stopped at a wrong byte leaves the rest of its reply coming.
  WaitForQuietLine(port, run.workResult != Result::Ok);
  port.PurgeOutput();
  if (how.staysParked) return run;

  // The select and put-back that follow show whether the loader came back.
  if (how.reentryAddress) static_cast<void>(fixed.SendStartCommand(*how.reentryAddress, kReentryValue));
  if (how.selectBlock0 && !fixed.SelectBlock0()) {
    session.Op().Tell(how.reselectFailedText);
    session.Op().Tell(Block0NotRestoredText(recovery.path));
    return run;
  }
  run.block0Restored =
      (PutBlock0Back(fixed, state.saved) && AreasHoldRecord(read, recovery) == true) || PutRecordBack(session, recovery);
  if (run.block0Restored)
    RemoveRecoveryFile(recovery.path);
  else
    session.Op().Tell(Block0NotRestoredText(recovery.path));
  return run;
}

}  // namespace brisko
