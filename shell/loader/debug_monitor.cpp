#include "shell/loader/debug_monitor.hpp"

#include "firmware/firmware.hpp"
#include "link/result_codes.hpp"
#include "shell/block0/displaced_section.hpp"
#include "shell/block0/image_at_2000.hpp"
#include "shell/session/session.hpp"

namespace brisko {
namespace {

constexpr int kBlock0Attempts = 12;
constexpr int kBlock1Attempts = 11;
constexpr const char* kQuestion =
    "Do you really want to download Probex?\nBSL in Block1 and code in Block0 will be erased.\nProceed to download?";
constexpr const char* kReplaced = "BSL is replaced by Probex!";
constexpr const char* kNotReplaced =
    "Failed to write Probex into Block1!\nBSL is no longer complete: the chip will answer neither\nas a loader nor as "
    "Probex until Block1 is programmed again.";

Result WriteBlock0Part(FlashEngine& engine, const ProbexPart& part, std::uint32_t sector) {
  Result erased = Result::Failed;
  Result programmed = Result::Failed;
  for (int attempt = 0; attempt < kBlock0Attempts; ++attempt) {
    erased = engine.EraseSectors(part.address, sector, static_cast<std::uint32_t>(part.image.size() / sector));
    programmed = engine.ProgramRange(part.address, sector, part.image.data(), part.image.size());
    if (erased == Result::Ok && programmed == Result::Ok) break;
  }
  return erased == Result::Ok ? programmed : erased;
}

}  // namespace

std::optional<ProbexImages> ProbexImagesFor(int model) {
  switch (model) {
    case kKT410: return ProbexImages{ProbexPart{0x3000, 128, firmware::ProbexKT410Block0}, {0xF000, 64, firmware::ProbexKT410Block1}};
    case kKT420: return ProbexImages{ProbexPart{0x7000, 128, firmware::ProbexKT420Block0}, {0xF000, 64, firmware::ProbexKT420Block1}};
    case kKT540:
    case kKT550: return ProbexImages{std::nullopt, {0x0000, 128, firmware::ProbexKT540}};
    case kKT530:
    case kKT560: return ProbexImages{std::nullopt, {0xE000, 128, firmware::ProbexKT530}};
    case kKT570: return ProbexImages{std::nullopt, {0xE000, 128, firmware::ProbexKT570}};
    default: return std::nullopt;
  }
}

CommandOutcome OnDownloadDebugMonitor(Session& session) {
  if (auto refused = session.RefuseOnEntry(true, false)) return *refused;
  SessionRecord& record = *session.Record();
  SessionState& state = session.State();
  const int model = record.GetChipModel();
  const auto images = ProbexImagesFor(model);
  if (!images) {
    session.Op().Tell("KT580 doesn't have Probex support!");
    return CommandOutcome::Refused(Refusal::NotSupported);
  }
  if (!record.IsInternalMode() || state.ExternalBankSelected()) {
    session.Op().Tell("This is to download Probex in Internal Memory Mode\nPlease use DownLoad to download Probex in External "
                "Memory Mode.");
    return CommandOutcome::Refused(Refusal::NotSupported);
  }
  if (!session.Op().Ask(kQuestion)) return CommandOutcome::Declined();
  if (state.userCodeStarted) {
    session.ReportNoChip();
    return CommandOutcome::Refused(Refusal::NoChip);
  }
  if (record.GetCurrentBlock() != 0 && record.GetCurrentBlock() != 1) {
    session.ReportIllegalBlock();
    return CommandOutcome::Refused(Refusal::IllegalBlock);
  }
  if (!LoaderReplaceableUnderLock(model, state.securityBits)) {
    session.Op().Tell("Update Probex doesn't work if Block0 or Block1 is hardlocked!");
    return CommandOutcome::Refused(Refusal::SecurityLock);
  }

  // From the first erase the loader is being given up: nothing stops the
  // write half way, or the chip would answer neither as a loader nor as Probex.
  const DisplacedSection section(session, DisplacedText("Probex was being written over the loader (the chip answers "
                                                  "neither as a loader nor as Probex until Block1 is programmed "
                                                  "again)",
                                                  ""));
  if (!section.Entered()) return CommandOutcome::Cancelled("download Probex", "nothing on the chip was changed");
  FlashEngine engine = section.Engine();
  const std::uint32_t sector = record.SectorSize(0);
  // A block-0 part that did not go in shows when Probex does not answer.
  if (images->block0) static_cast<void>(WriteBlock0Part(engine, *images->block0, sector));
  // The user's code in block 0 is given up: nothing is saved first.
  static_cast<void>(InstallImageAt2000(engine, IsKT400(model) ? firmware::Block1ProgrammerKT400 : firmware::Block1ProgrammerKT500));
  const Result started = engine.SendStartCommand(0x2027, 0x10);
  if (started != Result::Ok && !state.operationFailed.load()) {
    state.operationFailed = true;
    session.Op().Tell("BSL bank switch Failed!");
    session.Window().ProgressReset();
    return CommandOutcome::Failed("start the block-1 programmer", started);
  }

  state.linkBusy = true;
  const ProbexPart& part = images->block1;
  Result written = Result::Failed;
  for (int attempt = 0; attempt < kBlock1Attempts && written != Result::Ok; ++attempt)
    written = engine.ProgramBlock1Range(part.address, part.chunk, part.image.data(), part.image.size());
  session.Op().Tell(written == Result::Ok ? kReplaced : kNotReplaced);
  session.Window().RequestClose();
  if (written != Result::Ok) return CommandOutcome::Failed("write Probex into block 1", written);
  if (section.CancelPending()) return CommandOutcome::Cancelled("download Probex", "Probex written into Block1");
  CommandOutcome outcome = CommandOutcome::Success("replaced the loader by Probex");
  outcome.bytes = part.image.size();
  outcome.address = part.address;
  outcome.block = 1;
  outcome.verified = true;
  return outcome;
}

}  // namespace brisko
