#pragma once
#include "shell/session/command_outcome.hpp"

namespace brisko {

class Session;

// The "&ExternalFlash" menu: the operator sets the board's A16 switch for the
// half, the loader is told to serve its external flash, and Read, Download,
// Sector Erase and Save work on the bank until the return.
CommandOutcome OnEnterLowBank(Session& session);
CommandOutcome OnEnterHighBank(Session& session);
// "&Back to MCU Flash", after a question.
CommandOutcome OnReturnToMcuFlash(Session& session);
// The same without the question: for a front end that entered the bank for
// one command and must leave it whatever the command did.
CommandOutcome ReturnToMcuFlashUnasked(Session& session);
CommandOutcome ReturnToMcuFlash(Session& session, bool ask);

// The switch settings the operator is asked to make for a half.
const char* BankSwitchText(bool high);

}  // namespace brisko
