#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "link/user_paths.hpp"
#include "support/sim_session.hpp"

namespace brisko::test {

// Bytes that differ from sector to sector and are never a blank chunk.
inline std::vector<std::uint8_t> Pattern(std::size_t n, unsigned seed) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + seed * 31 + i / 256) % 251);
  return bytes;
}

// A detected session with the operator's answers at hand: files in the
// temporary folder, dialog choices, captions seen, and the wire since Ready().
class CommandRig : public SimSession, public WindowObserver {
 public:
  explicit CommandRig(int model, int mode = kInternalMemory) : SimSession(model, mode) { Observe(); }
  explicit CommandRig(sim::SimConfig config) : SimSession(config) { Observe(); }
  ~CommandRig() override { window->SetObserver(nullptr); }

  // Detects, then forgets the detection's bytes, messages and captions.
  bool Ready() {
    if (!Detect()) return false;
    target->ClearHostBytes();
    op.messages.clear();
    op.questions.clear();
    op.log.clear();
    captions.clear();
    return true;
  }

  std::string WriteImage(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = dirs.Dir().File(name);
    WriteFile(path, std::string(bytes.begin(), bytes.end()));
    return path;
  }

  void PickFile(const std::string& path, int entry) {
    op.onFileAndSector = [path, entry](FileSectorDialog& d) {
      d.fileName = path;
      d.chosen = entry;
      return true;
    };
  }
  void PickRange(int start, int range) {
    op.onRange = [start, range](RangeDialog& d) {
      d.start = start;
      d.range = range;
      return true;
    };
  }
  void PickSave(int start, int range, const std::string& path, bool textMode) {
    op.onSave = [=](SaveDialog& d) {
      d.start = start;
      d.range = range;
      d.path = path;
      d.textMode = textMode;
      return true;
    };
  }
  int Block1Entry(int sector) { return static_cast<int>(Record().SectorCount(0)) + sector; }

  const std::vector<std::uint8_t>& Wire() const { return target->HostBytes(); }
  bool WireHas(const std::vector<std::uint8_t>& run) const {
    const auto& wire = Wire();
    return std::search(wire.begin(), wire.end(), run.begin(), run.end()) != wire.end();
  }
  // Flash of the simulated chip, block b, from a block offset.
  std::vector<std::uint8_t> ChipBytes(int block, std::size_t offset, std::size_t n) const {
    const FlashImage& f = target->Flash(block);
    return std::vector<std::uint8_t>(f.Data() + offset, f.Data() + offset + n);
  }
  void SetChipBytes(int block, std::size_t offset, const std::vector<std::uint8_t>& bytes) {
    FlashImage& f = target->Flash(block);
    std::copy(bytes.begin(), bytes.end(), f.Data() + offset);
  }

  std::vector<std::string> RecoveryFiles() const {
    std::vector<std::string> files;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(DataDir(), ignored))
      if (entry.path().filename().string().rfind("block0-recovery-", 0) == 0) files.push_back(entry.path().string());
    return files;
  }

  void WindowChanged(WindowAspect aspect, const WindowState& state) override {
    if (aspect == WindowAspect::Caption) captions.push_back(state.caption);
  }

  std::vector<std::string> captions;

 private:
  void Observe() { window->SetObserver(this); }
};

}  // namespace brisko::test
