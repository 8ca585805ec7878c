#pragma once
#include "shell/session/command_outcome.hpp"

namespace brisko {

class Session;

// "Execute User Code": the chip leaves its loader and runs the user's program
// (62h 62h), or, with an external bank selected, the board is restarted into
// external memory. Until the next detection the chip commands refuse.
CommandOutcome ExecuteUserCode(Session& session);
// The same restart into external memory after the bank was left: a program
// downloaded into a bank, started once the chip's own flash is back.
CommandOutcome ExecuteUserCodeInExternalFlash(Session& session);

}  // namespace brisko
