#pragma once
#include "shell/session/command_outcome.hpp"

namespace brisko {

class Session;

// Menu "&Detect Target MCU for Firmware Version Unknown (EA#=1)": the 1.1F
// detection in internal memory mode with a shorter synchronisation limit;
// when no 1.1F loader answers in it, the 1.1E detection and upgrade.
CommandOutcome OnDetectUnknownVersion(Session& session);

}  // namespace brisko
