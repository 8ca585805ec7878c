#include "shell/bank_helper_install.hpp"

#include "firmware/firmware.hpp"
#include "link/result_codes.hpp"
#include "shell/image_at_2000.hpp"
#include "shell/main_window.hpp"

namespace brisko {

int InstallBankHelper(MainWindow& w) {
  SessionState& state = w.State();
  // The helper's install erases both areas: without their bytes in hand it
  // does not start.
  if (!SaveParkingArea(w)) {
    state.operationFailed = true;
    return kResultFail;
  }
  FlashEngine engine = w.Engine();
  const InstallResults installed = InstallImageAt2000(engine, firmware::BankHelper);
  state.operationFailed = false;
  if (!installed.AllOk()) {
    state.operationFailed = true;
    return kResultFail;
  }
  w.ProgressSetText("Done");
  return kResultOk;
}

}  // namespace brisko
