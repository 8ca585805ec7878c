#pragma once
#include "shell/session/command_outcome.hpp"

namespace brisko {

class MainWindow;

// "Read": a range of sectors of one block into that block's image (the rest
// of the image FFh) and into the memory views, the first sector read shown
// in the dump. With an external bank selected, ReadExternalBank instead.
CommandOutcome OnRead(MainWindow& w);
CommandOutcome ReadExternalBank(MainWindow& w);

}  // namespace brisko
