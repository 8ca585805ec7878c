#pragma once

namespace brisko {

class MainWindow;

// "Save": a range of sectors read from the chip again and written to a file,
// raw or as the text listing. With an external bank selected, SaveExternalBank.
void OnSave(MainWindow& w);
void SaveExternalBank(MainWindow& w);

}  // namespace brisko
