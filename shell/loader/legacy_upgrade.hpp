#pragma once
#include "shell/session/command_outcome.hpp"
#include "shell/loader/legacy_detection.hpp"

namespace brisko {

class Session;

// Replaces a detected 1.1E loader by 1.1F: keeps the user's first 10 sectors
// of block 0 (host memory and a recovery file), writes the installer there
// through the legacy worker, starts it, finds the new 1.1F loader and puts the
// user's sectors back. Stops before anything is erased when the user's
// sectors cannot be read or kept. `fallback` gives the texts of the
// unknown-version detection. Ends the program after a failed installer write.
CommandOutcome UpgradeLegacyLoader(Session& session, bool fallback, const LegacyChip& chip);

// Operator texts of the safeguards around the upgrade.
std::string UserCodeNotSavedText();
std::string UserCodeRecoveryFailedText(const std::string& whyNot);
std::string UserCodeNotRestoredText(const std::string& recoveryPath);

}  // namespace brisko
