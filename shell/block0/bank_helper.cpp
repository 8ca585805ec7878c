#include "shell/block0/bank_helper.hpp"

#include "firmware/firmware.hpp"
#include "link/result_codes.hpp"
#include "shell/block0/displaced_section.hpp"
#include "shell/block0/image_at_2000.hpp"
#include "shell/session/session.hpp"
#include "shell/block0/recovery_file.hpp"
#include "shell/block0/recovery_record.hpp"

namespace brisko {
namespace {

constexpr int kAttempts = 12;

bool WriteHelper(FlashEngine& engine, std::uint32_t sectorSize) {
  const auto& image = firmware::BankHelper;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const bool ok = engine.EraseSectors(0x0000, sectorSize, 1) == Result::Ok &&
                    engine.EraseSectors(0x2000, sectorSize, 3) == Result::Ok &&
                    engine.ProgramRange(0x2000, sectorSize, image.data(), image.size()) == Result::Ok;
    if (ok) return true;
  }
  return false;
}

}  // namespace

std::string BankHelperNotice(const std::string& recoveryPath) {
  return DisplacedText("block 0 at 0000h-007Fh, 2000h-217Fh held the external flash helper", recoveryPath);
}

Result InstallBankHelper(Session& session) {
  SessionState& state = session.State();
  if (state.ExternalBankSelected()) return Result::Ok;
  SessionRecord& record = *session.Record();
  state.operationFailed = false;
  // An earlier entry that failed after its saves left the helper in block 0:
  // saving now would keep the helper instead of the user's bytes.
  if (state.bankRecoveryFile.empty()) {
    RecoveryRecord recovery;
    if (!SaveParkingArea(session, "external flash access", LoaderReader(session.Record()->Port()), recovery)) {
      state.operationFailed = true;
      return Result::Failed;
    }
    state.bankRecoveryFile = recovery.path;
  }
  bool ok = false;
  {
    const DisplacedSection section(session, BankHelperNotice(state.bankRecoveryFile));
    if (!section.Entered()) {
      RemoveRecoveryFile(state.bankRecoveryFile);
      state.bankRecoveryFile.clear();
      return Result::Cancelled;
    }
    FlashEngine engine = section.Engine();
    ok = WriteHelper(engine, record.SectorSize(0));
  }
  // Until a return puts them back, the user's bytes are displaced: between
  // commands as much as during one.
  session.Notice().Set(BankHelperNotice(state.bankRecoveryFile));
  state.operationFailed = !ok;
  if (!ok) return Result::Failed;
  session.Window().ProgressSetText("Done");
  return Result::Ok;
}

}  // namespace brisko
