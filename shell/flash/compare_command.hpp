#pragma once
#include "shell/session/command_outcome.hpp"

namespace brisko {

class Session;

// "Compare": a file against flash from a chosen sector; the outcome goes to
// the status line (the first difference with both bytes, or OK / failed).
CommandOutcome OnCompare(Session& session);
CommandOutcome CompareWithFlash(Session& session);
CommandOutcome CompareWithExternalBank(Session& session);

}  // namespace brisko
