#pragma once
#include "shell/session/command_outcome.hpp"

namespace brisko {

class MainWindow;

// "Compare": a file against flash from a chosen sector; the outcome goes to
// the status line (the first difference with both bytes, or OK / failed).
CommandOutcome OnCompare(MainWindow& w);
CommandOutcome CompareWithFlash(MainWindow& w);
CommandOutcome CompareWithExternalBank(MainWindow& w);

}  // namespace brisko
