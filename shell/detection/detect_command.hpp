#pragma once
#include <cstdint>

#include "shell/session/command_outcome.hpp"

namespace brisko {

class MainWindow;

// Finds the loader of a freshly reset chip, locks it onto the bit rate, reads
// its status byte and version, fills the Chip Information panel and sets the
// link up. Does nothing while the link is up.
CommandOutcome DetectTarget(MainWindow& window);

// Security bits of a status byte into the session and the security bar; a
// level-4 state is told to the operator. It cannot fail.
void DecodeSecurityStatus(MainWindow& window, std::uint8_t status);

// The chip selection dialog; true when closed with OK.
bool SelectChip(MainWindow& window);

// Menu "&Detect Target MCU for Firmware1.1F and RS232 Config.": chip
// selection, communication set-up, detection.
CommandOutcome OnDetectMenu(MainWindow& window);

}  // namespace brisko
