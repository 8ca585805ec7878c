#pragma once
#include "shell/session/command_outcome.hpp"

namespace brisko {

class MainWindow;

// "Print": a range of sectors read from the chip again and printed as the
// text listing. With an external bank selected, PrintExternalBank.
CommandOutcome OnPrint(MainWindow& w);
CommandOutcome PrintExternalBank(MainWindow& w);

}  // namespace brisko
