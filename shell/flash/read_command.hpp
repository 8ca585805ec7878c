#pragma once
#include "shell/session/command_outcome.hpp"

namespace brisko {

class Session;

// "Read": a range of sectors of one block into that block's image (the rest
// of the image FFh) and into the memory views, the first sector read shown
// in the dump. With an external bank selected, ReadExternalBank instead.
CommandOutcome OnRead(Session& session);
CommandOutcome ReadExternalBank(Session& session);

}  // namespace brisko
