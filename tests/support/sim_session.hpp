#pragma once
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/user_paths.hpp"
#include "shell/session/command_runner.hpp"
#include "shell/detection/detect_command.hpp"
#include "shell/session/session.hpp"
#include "sim/sim_device.hpp"
#include "support/fast_timing.hpp"
#include "support/scripted_operator.hpp"
#include "support/sim_chip.hpp"

namespace brisko::test {

// A main window wired to an in-process simulated chip, with scaled-down
// timing and the user's directories in a temporary folder. Detect() runs the
// detection the way the menu command's last step does; Ready() detects and
// then forgets what the detection sent, told and showed, so a command's test
// sees only the command. Captions are recorded as they change.
class SimSession : public SimChip, public WindowObserver {
 public:
  explicit SimSession(const sim::SimConfig& config = {}, LinkTiming timing = FastTiming())
      : SimChip(BusyFor(config, timing)),
        window(std::make_unique<Session>(op, sim::SimOpener(target), timing, dirs.Places())) {
    Record().SetChipModel(static_cast<ChipModel>(config.model));
    Record().SetMemoryMode(static_cast<MemoryMode>(config.memoryMode));
    Record().applyGeometry();
    window->Window().SetObserver(this);
    runner = std::make_unique<CommandRunner>(*window);
  }
  SimSession(int model, int memoryMode = kInternalMemory) : SimSession(ChipConfig(model, memoryMode)) {}
  ~SimSession() override {
    runner.reset();
    window->Window().SetObserver(nullptr);
  }

  // The chip's erase time follows the host's pauses.
  static sim::SimConfig BusyFor(sim::SimConfig config, const LinkTiming& timing) {
    config.chipEraseBusy = sim::SimConfig::ChipEraseBusyFor(timing);
    return config;
  }

  // Runs a command the way every front end does: on the runner's thread.
  CommandOutcome Run(CommandOutcome (*command)(Session&)) { return runner->Run(command); }

  // True when the link came up with the loader's expected version.
  bool Detect() {
    Run(DetectTarget);
    return Record().Port().IsLinkUp() && window->Window().StatusText() == "Detect target MCU is successful!";
  }
  bool Ready() {
    if (!Detect()) return false;
    ClearWire();
    op.messages.clear();
    op.questions.clear();
    captions.clear();
    return true;
  }

  Session& Shell() { return *window; }
  WindowModel& Window() { return window->Window(); }
  SessionRecord& Record() { return *window->Record(); }
  SessionState& State() { return window->State(); }

  // The operator's choices in the next dialogs.
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
  // The dialog entry of a block-1 sector: block 0's sectors come first.
  int Block1Entry(int sector) { return static_cast<int>(Record().SectorCount(0)) + sector; }

  std::vector<std::string> RecoveryFiles() const {
    std::vector<std::string> files;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(dirs.Places().dataDir, ignored))
      if (entry.path().filename().string().rfind("block0-recovery-", 0) == 0 && entry.path().extension() == ".bin")
        files.push_back(entry.path().string());
    return files;
  }

  void WindowChanged(WindowAspect aspect, const WindowState& state) override {
    if (aspect == WindowAspect::Caption) captions.push_back(state.caption);
    if (aspect == WindowAspect::Progress && onProgress) onProgress(state.progress);
  }

  ScriptedOperator op;
  std::unique_ptr<Session> window;
  std::unique_ptr<CommandRunner> runner;
  std::vector<std::string> captions;
  // Called on the command thread at every change of the progress pane.
  std::function<void(const ProgressPane&)> onProgress;
};

// The block-0 areas that the parked block-1 programmer displaces (sector 0 and
// 2000h-217Fh), filled with a pattern so that their put-back can be checked.
struct DisplacedAreas {
  explicit DisplacedAreas(SimChip& chip) {
    chip.SetFlash(0, 0x0000, sector0);
    chip.SetFlash(0, 0x2000, area2000);
  }
  bool PutBack(const SimChip& chip) const {
    return chip.Flash(0, 0x0000, 128) == sector0 && chip.Flash(0, 0x2000, 384) == area2000;
  }
  // As the recovery file holds them.
  std::string Saved() const { return std::string(sector0.begin(), sector0.end()) + std::string(area2000.begin(), area2000.end()); }

  Bytes sector0 = Pattern(128, 21);
  Bytes area2000 = Pattern(384, 22);
};

}  // namespace brisko::test
