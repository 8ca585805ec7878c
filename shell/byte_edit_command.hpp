#pragma once
#include <string>

#include "shell/command_outcome.hpp"

namespace brisko {

class MainWindow;

// "&Edit data in Block 0": the entry checks, then the byte-edit dialog.
// Display Data and Replace Data run here, on the command thread, each time
// the operator presses their button; the outcome is that of the last one
// (Declined when the dialog was closed without either).
CommandOutcome OnEditBlock0(MainWindow& w);

// A block-0 sector image the host holds after an edit went wrong on the chip,
// written to the user's data directory; the path, "" if it could not be written.
std::string WriteEditRecoveryFile(const std::string& directory, std::uint32_t firstSector,
                                  const std::uint8_t* data, std::size_t length);

}  // namespace brisko
