#include "shell/bank_helper.hpp"

#include <ctime>

#include "firmware/firmware.hpp"
#include "link/result_codes.hpp"
#include "shell/block1_programmer.hpp"
#include "shell/main_window.hpp"
#include "shell/recovery_file.hpp"

namespace brisko {
namespace {

constexpr int kAttempts = 12;

bool SaveAreas(SerialPort& port, SavedAreas& saved) {
  for (int attempt = 0; attempt < kAttempts; ++attempt)
    if (SaveSector0(port, saved) == Result::Ok && SaveArea2000(port, saved) == Result::Ok) return true;
  return false;
}

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

Result InstallBankHelper(MainWindow& w) {
  SessionState& state = w.State();
  if (state.ExternalBankSelected()) return Result::Ok;
  SessionRecord& record = *w.Record();
  state.operationFailed = false;
  // An earlier entry that failed after its saves left the helper in block 0:
  // saving now would keep the helper instead of the user's bytes.
  if (state.bankRecoveryFile.empty()) {
    if (!SaveAreas(record.Port(), state.saved)) {
      state.operationFailed = true;
      return Result::Failed;
    }
    // Until a return puts them back, these bytes exist nowhere else.
    std::string whyNot;
    state.bankRecoveryFile = WriteBlock0RecoveryFile(w.Places().dataDir, state.saved, std::time(nullptr), whyNot);
    if (state.bankRecoveryFile.empty()) {
      w.Op().Tell(RecoveryFileFailedText(whyNot));
      state.operationFailed = true;
      return Result::Failed;
    }
  }
  FlashEngine engine = w.Engine();
  const bool ok = WriteHelper(engine, record.SectorSize(0));
  state.operationFailed = !ok;
  if (!ok) return Result::Failed;
  w.ProgressSetText("Done");
  return Result::Ok;
}

}  // namespace brisko
