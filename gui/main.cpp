// brisko: the desktop window. On a real port by default; with --simulate on
// the built-in simulated chip.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "gui/app_options.hpp"
#include "gui/brisko_window.hpp"
#include "gui/demo_read.hpp"
#include "gui/single_instance.hpp"
#include "gui/version_text.hpp"
#include "gui/window_fit.hpp"
#include "link/posix_serial_device.hpp"
#include "shell/setup/user_places.hpp"
#include "sim/sim_device.hpp"
#include "sim/sim_target.hpp"

using namespace brisko;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("brisko"));
  QApplication::setApplicationVersion(gui::BriskoVersion());
  QApplication::setDesktopFileName(QStringLiteral("brisko"));
  const gui::AppOptions options = gui::ParseAppOptions(QApplication::arguments());
  if (options.exitNow) return 0;
  if (!options.error.isEmpty()) {
    std::fprintf(stderr, "brisko: %s\n(see brisko --help)\n", qPrintable(options.error));
    return 2;
  }

  // A picture of the window is no second copy.
  gui::SingleInstance single(options.instanceName);
  if (options.screenshot.isEmpty() && !single.BecomePrimary()) {
    std::fprintf(stderr, "brisko: already running; brought the open window to the front\n");
    return 0;
  }

  // The same places and port resolution as brisko-cli; a simulated chip
  // leaves the saved port, rate and crystal alone unless asked.
  SessionPlaces places = UserPlaces();
  places.keepSettings = !options.simulateModel || options.saveSettings;
  std::shared_ptr<sim::SimTarget> chip;
  DeviceOpener opener = PosixOpener(places.PortMapFile());
  if (options.simulateModel) {
    chip = std::make_shared<sim::SimTarget>(gui::SimulatedChipConfig(options));
    opener = sim::SimOpener(chip);
  }
  gui::BriskoWindow window(opener, LinkTiming{}, places);
  if (chip) {
    window.Shell().Record()->SetChipModel(*options.simulateModel);
    window.Shell().Record()->SetMemoryMode(options.memoryMode);
  }
  QObject::connect(&single, &gui::SingleInstance::Activated, &window, [&window] { gui::BringToFront(&window); });
  window.show();

  gui::DemoOperator demo(options.simulateModel.value_or(kNoModel), options.memoryMode);
  if (options.demoRead) {
    gui::LoadDemoFirmware(*chip);
    window.Op().SetAnswers(&demo);
  }
  if (!options.screenshot.isEmpty()) {
    // A picture shows the window at its own size, whatever screen draws it.
    window.resize(gui::kPreferredWindowSize);
    auto shoot = [&window, &options] {
      const bool saved = gui::SaveWindowPicture(window, options.screenshot);
      if (!saved) std::fprintf(stderr, "brisko: cannot write %s\n", qPrintable(options.screenshot));
      QApplication::exit(saved ? 0 : 1);
    };
    if (options.demoRead)
      QTimer::singleShot(0, &window, [&window, shoot] { gui::RunDemoRead(window, shoot); });
    else
      QTimer::singleShot(0, &window, shoot);
  } else if (options.demoRead) {
    QTimer::singleShot(0, &window, [&window] { gui::RunDemoRead(window, [&window] { window.Op().SetAnswers(nullptr); }); });
  }
  return QApplication::exec();
}
