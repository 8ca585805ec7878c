#pragma once

namespace brisko {

class MainWindow;

// "Compare": a file against flash from a chosen sector; the outcome goes to
// the status line (the first difference with both bytes, or OK / failed).
void OnCompare(MainWindow& w);
void CompareWithFlash(MainWindow& w);
void CompareWithExternalBank(MainWindow& w);

}  // namespace brisko
