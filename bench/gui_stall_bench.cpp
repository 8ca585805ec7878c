// How long the window's event loop is ever kept from running while a 64 KB
// download with read-back verify (and then a read of the whole block into the
// views) goes through the simulated chip at 38400 bit/s 8-N-1. A 1 ms timer
// on the UI thread notes the longest gap between two of its ticks. Prints
// `longest UI stall: N ms` and the download's ratio to the line-time bound.
// Run by hand on the offscreen platform:
//   QT_QPA_PLATFORM=offscreen build/bench/gui_stall_bench [bytes]
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

#include "gui/brisko_window.hpp"
#include "shell/detection/detect_command.hpp"
#include "shell/flash/download_command.hpp"
#include "shell/flash/read_command.hpp"
#include "sim/sim_device.hpp"
#include "sim/sim_target.hpp"

namespace {

using namespace brisko;

class BenchAnswers final : public Operator {
 public:
  explicit BenchAnswers(std::string file) : file_(std::move(file)) {}
  void Tell(const std::string& text) override {
    if (text.rfind("Click on OK then Reset MCU", 0) != 0) std::fprintf(stderr, "  message: %s\n", text.c_str());
  }
  bool Ask(const std::string&) override { return true; }
  bool SelectChip(ChipSelection& s) override {
    s.model = kKT540;
    s.memoryMode = kInternalMemory;
    return true;
  }
  bool CommSetup(CommSetupDialog&) override { return true; }
  bool ChooseFileAndSector(FileSectorDialog& d) override {
    d.fileName = file_;
    d.chosen = 0;
    return true;
  }
  bool ChooseRange(RangeDialog& d) override {
    d.start = 0;
    d.range = 0;  // all sectors
    return true;
  }
  bool ChooseSave(SaveDialog&) override { return false; }
  bool PrintListing(const std::string&, std::string&) override { return true; }

 private:
  std::string file_;
};

// Runs one command to its end while the UI loop keeps going.
double RunCommand(gui::BriskoWindow& window, CommandRunner::Command command) {
  QEventLoop loop;
  QObject::connect(&window, &gui::BriskoWindow::CommandEnded, &loop, &QEventLoop::quit);
  const auto start = std::chrono::steady_clock::now();
  if (!window.StartCommand(std::move(command))) return -1;
  loop.exec();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const std::size_t bytes = argc > 1 ? std::strtoul(argv[1], nullptr, 0) : 65536;
  std::vector<char> data(bytes);
  std::mt19937 random(51);
  for (char& c : data) c = static_cast<char>(random() % 0xFF);  // never FFh: no chunk is skipped
  char folder[] = "/tmp/brisko-bench-XXXXXX";
  if (!::mkdtemp(folder)) return 1;
  const std::string file = std::string(folder) + "/gui_stall_bench.bin";
  std::ofstream(file, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));

  sim::SimConfig config;
  config.model = kKT540;
  const auto lineTime = sim::LineTimeFor(38400);
  auto chip = std::make_shared<sim::SimTarget>(config);
  gui::BriskoWindow window(sim::SimOpener(chip, lineTime));
  BenchAnswers answers(file);
  window.Op().SetAnswers(&answers);
  window.Shell().Record()->SetChipModel(kKT540);
  window.show();

  RunCommand(window, OnDetectMenu);
  if (!window.Shell().Record()->Port().IsLinkUp()) {
    std::fprintf(stderr, "detection failed\n");
    return 1;
  }

  // The stall watch: the longest time between two ticks of a 1 ms timer.
  QElapsedTimer clock;
  qint64 last = 0;
  qint64 longest = 0;
  QTimer watch;
  watch.setTimerType(Qt::PreciseTimer);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    longest = std::max(longest, now - last);
    last = now;
  });
  clock.start();
  watch.start(1);

  const double download = RunCommand(window, OnDownload);
  const double read = RunCommand(window, OnRead);
  watch.stop();

  constexpr double kLineBytesPerSector = (4 + 1) + (4 + 128) + (4 + 128);
  const double bound = static_cast<double>(bytes) / 128.0 * kLineBytesPerSector * lineTime.count() / 1e6;
  std::printf("KT540 block 0, %zu bytes at 38400 bit/s through the window\n", bytes);
  std::printf("download + verify %.3f s  line-time bound %.3f s  ratio %.3f  (%s)\n", download, bound,
              download / bound, window.Shell().Window().StatusText().c_str());
  std::printf("read into the views %.3f s, %d sector rows\n", read, window.SectorModel().rowCount());
  std::printf("longest UI stall: %lld ms\n", static_cast<long long>(longest));
  std::remove(file.c_str());
  ::rmdir(folder);
  return 0;
}
