#include <unistd.h>

// Measures a full 64 KB block-0 download with read-back verify on a KT540,
// through the in-process simulated chip: with no line time, with a modelled
// UART at 38400 bit/s 8-N-1 (every byte 260 us on the line, both
// directions), and with the same UART behind a modelled USB adapter (1 ms
// frames; its latency timer shortened by the port's low-latency request, or
// left at 16 ms by a driver that refuses it); then a re-flash with
// --skip-unchanged of the same file onto a chip that differs in one sector,
// against the full download's bound. Prints the protocol's line-time
// bound, the measured time, their ratio, and host CPU time per byte. Goals:
// the UART at most 1.05 times its bound, the adapter with low latency at most
// 1.15, the one-sector re-flash at most 0.55. Last, three boards downloading
// at once over their own UARTs, as `brisko-cli --port A --port B --port C`
// runs them (one session per board on its own thread), against one board
// alone: at most 1.5 times, the line and not the host being the limit. Run by
// hand:
//   build/download_bench [bytes]
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "image/file_routines.hpp"
#include "link/result_codes.hpp"
#include "link/user_paths.hpp"
#include "shell/detection/detect_command.hpp"
#include "shell/session/session.hpp"
#include "shell/session/operator.hpp"
#include "sim/sim_device.hpp"
#include "sim/sim_target.hpp"

namespace {

using namespace brisko;

class QuietOperator final : public Operator {
 public:
  // The detection's reset prompt needs nobody here; anything else is shown.
  void Tell(const std::string& text) override {
    if (text.rfind("Click on OK then Reset MCU", 0) != 0) std::fprintf(stderr, "  message: %s\n", text.c_str());
  }
  bool Ask(const std::string&) override { return true; }
  bool SelectChip(ChipSelection&) override { return true; }
  bool CommSetup(CommSetupDialog&) override { return true; }
  bool ChooseFileAndSector(FileSectorDialog&) override { return false; }
  bool ChooseRange(RangeDialog&) override { return false; }
  bool ChooseSave(SaveDialog&) override { return false; }
  bool PrintListing(const std::string&, std::string&) override { return true; }
};

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Bytes on the line for one 128-byte sector: erase frame + C0h, program frame
// + data, read frame + data.
constexpr double kLineBytesPerSector = (4 + 1) + (4 + 128) + (4 + 128);

// With `reflash`, the chip already holds the file but for one sector, and
// only the sectors that differ are written.
double Run(const char* name, const sim::SimLine& line, const std::string& file, std::size_t bytes,
           bool reflash = false, bool quiet = false) {
  const std::chrono::microseconds lineTime = line.lineTimePerByte;
  sim::SimConfig config;
  config.model = kKT540;
  auto chip = std::make_shared<sim::SimTarget>(config);
  QuietOperator op;
  Session session(op, sim::SimOpener(chip, line));
  session.Record()->SetChipModel(kKT540);
  session.Record()->Port().SetBaudRate(38400);
  DetectTarget(session);
  if (!session.Record()->Port().IsLinkUp()) {
    std::fprintf(stderr, "%s: detection failed\n", name);
    return 0;
  }
  FlashEngine engine = session.Engine();
  FileRoutineContext ctx{*session.Record(), session.State(), engine, op};

  ImageFile image;
  if (image.Open(file, op) != Result::Ok) return 0;

  std::size_t skipped = 0;
  if (reflash) {
    std::vector<std::uint8_t> onChip(bytes);
    if (!image.Read(0, onChip.data(), bytes)) return 0;
    onChip[bytes / 2] ^= 0x5A;
    std::copy(onChip.begin(), onChip.end(), chip->Flash(0).Data());
  }
  const double cpuBefore = CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  const Result result = reflash ? DownloadChangedSectorsToRange(ctx, image, 0, 0x0000, skipped)
                                : DownloadFileToRange(ctx, image, 0, 0x0000);
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = CpuSeconds() - cpuBefore;
  if (quiet) return result == Result::Ok ? elapsed : 0;

  const double sectors = static_cast<double>(bytes) / 128.0;
  const double bound = sectors * kLineBytesPerSector * static_cast<double>(lineTime.count()) / 1e6;
  std::printf("%-30s result %d  measured %8.3f s", name, Code(result), elapsed);
  if (bound > 0) std::printf("  line-time bound %8.3f s  ratio %.3f", bound, elapsed / bound);
  std::printf("  host CPU %.2f us/byte", cpu * 1e6 / static_cast<double>(bytes));
  if (reflash) std::printf("  (%zu sectors skipped; goal: ratio <= 0.55 of the full download's bound)", skipped);
  std::printf("\n");
  return elapsed;
}

// `boards` downloads at once, each on its own simulated chip and line; the
// time until the last has ended.
double Gang(int boards, const sim::SimLine& line, const std::string& file, std::size_t bytes) {
  std::vector<double> times(static_cast<std::size_t>(boards), 0);
  std::vector<std::thread> threads;
  for (int i = 0; i < boards; ++i)
    threads.emplace_back([&, i] { times[static_cast<std::size_t>(i)] = Run("board", line, file, bytes, false, true); });
  for (std::thread& t : threads) t.join();
  if (std::count(times.begin(), times.end(), 0.0) > 0) return 0;
  return *std::max_element(times.begin(), times.end());
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t bytes = argc > 1 ? std::strtoul(argv[1], nullptr, 0) : 65536;
  std::vector<char> data(bytes);
  std::mt19937 random(51);
  for (char& c : data) c = static_cast<char>(random() % 0xFF);  // never FFh: no chunk is skipped
  char folder[] = "/tmp/brisko-bench-XXXXXX";
  if (!::mkdtemp(folder)) return 1;
  const std::string file = std::string(folder) + "/download_bench.bin";
  std::ofstream(file, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));

  std::printf("KT540 block 0, %zu bytes, erase + program + read-back verify\n", bytes);
  using brisko::sim::SimLine;
  using brisko::sim::UsbAdapter;
  const auto uart = brisko::sim::LineTimeFor(38400);
  UsbAdapter refusing;
  refusing.honoursLowLatency = false;
  Run("no line time", SimLine{}, file, bytes);
  Run("UART 38400 bit/s 8-N-1", SimLine{uart, std::nullopt}, file, bytes);
  Run("USB adapter, low latency", SimLine{uart, UsbAdapter{}}, file, bytes);
  Run("USB adapter, 16 ms timer kept", SimLine{uart, refusing}, file, bytes);
  Run("one sector changed", SimLine{uart, std::nullopt}, file, bytes, true);
  const double one = Gang(1, SimLine{uart, std::nullopt}, file, bytes);
  const double three = Gang(3, SimLine{uart, std::nullopt}, file, bytes);
  std::printf("%-30s one board %8.3f s  three boards %8.3f s  ratio %.3f  (goal: <= 1.5)\n", "three boards at once", one,
              three, one > 0 && three > 0 ? three / one : 0.0);
  std::remove(file.c_str());
  ::rmdir(folder);
  return 0;
}
