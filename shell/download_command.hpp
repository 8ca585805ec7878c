#pragma once

namespace brisko {

class MainWindow;

// "Download": entry checks, then into the selected external bank or the
// chip's flash. The result of the one that ran, -1 when a check refused.
int OnDownload(MainWindow& w);
// "Dnload/Run UserCode": OnDownload, and Execute User Code when it returned
// 10. Returns OnDownload's result.
int OnDownloadAndRun(MainWindow& w);

// A file into block 0 or block 1, guarding the loader in block 1. 10 success
// (also when the operator declines to erase), -1 failure or refusal, 13
// cancelled during a loader update. Also run by the loader update.
int DownloadToFlash(MainWindow& w);
// A file into the selected external bank. 10 / -1.
int DownloadToExternalBank(MainWindow& w);

}  // namespace brisko
