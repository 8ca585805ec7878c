#pragma once
#include "shell/session/command_outcome.hpp"

namespace brisko {

class MainWindow;

// The "&ExternalFlash" menu: the operator sets the board's A16 switch for the
// half, the loader is told to serve its external flash, and Read, Download,
// Sector Erase and Save work on the bank until the return.
CommandOutcome OnEnterLowBank(MainWindow& w);
CommandOutcome OnEnterHighBank(MainWindow& w);
// "&Back to MCU Flash", after a question.
CommandOutcome OnReturnToMcuFlash(MainWindow& w);
// The same without the question: for a front end that entered the bank for
// one command and must leave it whatever the command did.
CommandOutcome ReturnToMcuFlashUnasked(MainWindow& w);
CommandOutcome ReturnToMcuFlash(MainWindow& w, bool ask);

// The switch settings the operator is asked to make for a half.
const char* BankSwitchText(bool high);

}  // namespace brisko
