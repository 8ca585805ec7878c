#pragma once
#include <QString>
#include <QStringList>
#include <optional>

#include "chip/chip_catalogue.hpp"
#include "sim/sim_target.hpp"

namespace brisko::gui {

// The options of the `brisko` program.
struct AppOptions {
  std::optional<ChipModel> simulateModel;  // --simulate MODEL: the built-in simulated chip
  MemoryMode memoryMode = kInternalMemory;  // --mode internal|external (the simulated chip's EA#)
  bool legacyLoader = false;        // --loader 1.1E: the simulated chip runs the older loader
  bool saveSettings = false;        // --save-settings: a simulated run keeps the settings as a real one does
  QString screenshot;                // --screenshot FILE: save the window as a picture and end
  bool demoRead = false;             // --demo-read: detect and read the simulated chip first
  QString instanceName;              // --instance NAME: the single-copy name (default per user)
  QString error;                     // a usage error, or empty
  bool exitNow = false;              // --help or --version was answered
};

// Parses the program's arguments (argv[0] first). Help and version texts go
// to stdout through the parser.
AppOptions ParseAppOptions(const QStringList& arguments);

// The simulated chip the options ask for (with --simulate).
sim::SimConfig SimulatedChipConfig(const AppOptions& options);

}  // namespace brisko::gui
