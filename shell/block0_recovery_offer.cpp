#include "shell/block0_recovery_offer.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "firmware/firmware.hpp"
#include "link/result_codes.hpp"
#include "shell/main_window.hpp"
#include "shell/recovery_file.hpp"

namespace brisko {
namespace {

constexpr std::uint32_t kHelperBase = 0x2000;
constexpr std::uint32_t kHelperEnd = 0x2180;
constexpr int kAttempts = 12;

bool StartsWith(std::span<const std::uint8_t> area, std::span<const std::uint8_t> image) {
  return image.size() <= area.size() && std::equal(image.begin(), image.end(), area.begin());
}

bool HelperInBlock0(SerialPort& port) {
  SavedAreas now;
  if (SaveArea2000(port, now) != Result::Ok) return false;
  const std::span<const std::uint8_t> area(now.savedArea2000);
  return StartsWith(area, firmware::BankHelper) || StartsWith(area, firmware::Block1ProgrammerKT400) ||
         StartsWith(area, firmware::Block1ProgrammerKT500);
}

bool PutBack(FlashEngine& engine, const SavedAreas& saved, std::uint32_t sectorSize) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const bool ok = engine.EraseSectors(0x0000, sectorSize, 1) == Result::Ok &&
                    engine.ProgramRange(0x0000, sectorSize, saved.savedSector0.data(), saved.savedSector0.size()) ==
                        Result::Ok &&
                    engine.EraseSectors(kHelperBase, sectorSize, 3) == Result::Ok &&
                    engine.ProgramRange(kHelperBase, sectorSize, saved.savedArea2000.data(),
                                        saved.savedArea2000.size()) == Result::Ok;
    if (ok) return true;
  }
  return false;
}

}  // namespace

std::string NewestBlock0RecoveryFile(const std::string& directory) {
  std::string newest;
  std::filesystem::file_time_type newestTime{};
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(directory, ignored)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("block0-recovery-", 0) != 0 || entry.path().extension() != ".bin") continue;
    const auto time = entry.last_write_time(ignored);
    if (newest.empty() || time > newestTime) {
      newest = entry.path().string();
      newestTime = time;
    }
  }
  return newest;
}

bool ReadBlock0RecoveryFile(const std::string& path, SavedAreas& saved) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  if (!in.good() && !in.eof()) return false;
  if (bytes.size() != kRecoveryFileSize) return false;
  std::copy_n(bytes.begin(), kRecoverySector0Size, saved.savedSector0.begin());
  std::copy_n(bytes.begin() + kRecoverySector0Size, kRecoveryArea2000Size, saved.savedArea2000.begin());
  return true;
}

void OfferBlock0Recovery(MainWindow& w) {
  SessionRecord* record = w.Record();
  SessionState& state = w.State();
  if (!record || !record->Port().IsLinkUp() || record->GetMemoryMode() != kInternalMemory) return;
  if (state.ExternalBankSelected() || record->SectorSize(0) * record->SectorCount(0) < kHelperEnd) return;
  const std::string path = NewestBlock0RecoveryFile(w.Places().dataDir);
  if (path.empty() || !HelperInBlock0(record->Port())) return;
  SavedAreas saved;
  if (!ReadBlock0RecoveryFile(path, saved)) return;
  if (!w.Op().Ask("Block 0 still holds a helper program instead of your code at 0000h-007Fh and "
                  "2000h-217Fh.\nThe displaced bytes were saved in the file\n" +
                  path + "\nPut them back into block 0 now?"))
    return;
  FlashEngine engine = w.Engine();
  if (!PutBack(engine, saved, record->SectorSize(0))) {
    w.Op().Tell("Block 0 could not be restored!\nThe file\n" + path + "\nis kept.");
    return;
  }
  RemoveBlock0RecoveryFile(path);
  w.Op().Tell("Block 0 has been restored from the file\n" + path);
}

}  // namespace brisko
