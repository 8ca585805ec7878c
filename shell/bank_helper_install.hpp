#pragma once

namespace brisko {

class MainWindow;

// Before a KT400-family chip enters an external flash bank: keeps block 0's
// sector 0 and 2000h-217Fh in the session's buffers and parks the bank
// helper at 2000h. 10, or -1 with operationFailed set. Nothing is erased when
// the two areas could not be read.
int InstallBankHelper(MainWindow& w);

}  // namespace brisko
