#pragma once
#include <memory>

#include "shell/detect_command.hpp"
#include "shell/main_window.hpp"
#include "sim/sim_device.hpp"
#include "sim/sim_target.hpp"
#include "support/fast_timing.hpp"
#include "support/scripted_operator.hpp"
#include "support/temp_dir.hpp"

namespace brisko::test {

// A main window wired to an in-process simulated chip, with scaled-down
// timing and the user's directories in a temporary folder. Detect() runs the
// detection the way the menu command's last step does.
class SimSession {
 public:
  explicit SimSession(sim::SimConfig config = {}, LinkTiming timing = FastTiming())
      : target(std::make_shared<sim::SimTarget>(config)),
        window(std::make_unique<MainWindow>(op, sim::SimOpener(target), timing)) {
    window->Record()->SetChipModel(config.model);
    window->Record()->SetMemoryMode(config.memoryMode);
    window->Record()->applyGeometry();
  }
  SimSession(int model, int memoryMode = kInternalMemory) : SimSession(MakeConfig(model, memoryMode)) {}

  static sim::SimConfig MakeConfig(int model, int memoryMode = kInternalMemory) {
    sim::SimConfig config;
    config.model = model;
    config.memoryMode = memoryMode;
    return config;
  }

  // True when the link came up with the loader's expected version.
  bool Detect() {
    DetectTarget(*window);
    return window->Record()->Port().IsLinkUp() && window->StatusText() == "Detect target MCU is successful!";
  }

  MainWindow& Window() { return *window; }
  SessionRecord& Record() { return *window->Record(); }
  SessionState& State() { return window->State(); }

  UserDirsInTemp dirs;
  ScriptedOperator op;
  std::shared_ptr<sim::SimTarget> target;
  std::unique_ptr<MainWindow> window;
};

}  // namespace brisko::test
