#pragma once
#include <string>

#include "link/read_routines.hpp"

namespace brisko {

class MainWindow;

// A host that ended while a helper program (the external-flash helper or the
// parked block-1 programmer) occupied block 0 left the user's displaced bytes
// in a recovery file. After a detection in internal memory mode, when block 0
// still holds such a helper at 2000h and a recovery file exists, the operator
// is offered to put the newest file's bytes back; the file goes once they are.
void OfferBlock0Recovery(MainWindow& w);

// The newest block0-recovery-*.bin in `directory`, "" if none.
std::string NewestBlock0RecoveryFile(const std::string& directory);
// The 512 bytes of a recovery file into `saved`; false unless it has exactly that size.
bool ReadBlock0RecoveryFile(const std::string& path, SavedAreas& saved);

}  // namespace brisko
