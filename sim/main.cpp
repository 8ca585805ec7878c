// brisko-sim: one simulated chip on a pseudo-terminal.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

#include "sim/pty_server.hpp"
#include "sim/sim_options.hpp"

namespace {

std::atomic<bool> stopRequested{false};

void RequestStop(int) { stopRequested.store(true); }

void InstallStopHandlers() {
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// What the chip holds and has heard, for whoever checks it after a host
// has gone: "state phase=UserCode security=00 remap=0 double-clock=0
// bank=none heard=1234 received=80E0F8FE..." (the last bytes heard).
std::string StateLine(const brisko::sim::SimTarget& target) {
  char head[128];
  std::snprintf(head, sizeof head, "state phase=%s security=%02X remap=%u double-clock=%d bank=%s heard=%llu received=",
                brisko::sim::PhaseName(target.CurrentPhase()), unsigned(target.SecurityBits()),
                unsigned(target.RemapBits()), target.DoubleClock() ? 1 : 0,
                target.ExternalBankEntered() ? "entered" : "none",
                static_cast<unsigned long long>(target.HostBytesHeard()));
  std::string line = head;
  for (std::uint8_t byte : target.HostBytesCopy()) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", unsigned(byte));
    line += hex;
  }
  return line;
}

// The operator's hand on the board: "a16 0" / "a16 1" on standard input
// flips the external flash's A16 switch while the chip runs; "state" prints
// the chip's state line.
void WatchOperatorLines(std::shared_ptr<brisko::sim::SimTarget> target, bool verbose) {
  std::thread([target, verbose] {
    std::string line;
    while (std::getline(std::cin, line)) {
      if (line == "a16 0" || line == "a16 1") {
        target->SetA16(line.back() == '1');
        if (verbose) std::cerr << "brisko-sim: A16 = " << line.back() << std::endl;
      } else if (line == "state") {
        std::cout << StateLine(*target) << std::endl;
      } else if (!line.empty() && verbose) {
        std::cerr << "brisko-sim: unknown input \"" << line << "\" (a16 0 | a16 1 | state)" << std::endl;
      }
    }
  }).detach();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace brisko::sim;
  SimOptions options;
  const std::string error = ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc), options);
  if (!error.empty()) {
    std::cerr << "brisko-sim: " << error << "\n(see brisko-sim --help)\n";
    return 2;
  }
  if (options.help) {
    std::cout << SimUsage();
    return 0;
  }
  if (options.version) {
    std::cout << SimVersion() << "\n";
    return 0;
  }

  static_assert(std::atomic<bool>::is_always_lock_free);
  InstallStopHandlers();
  auto target = std::make_shared<SimTarget>(options.config);
  PtyServer server(target, options.pty);
  std::string whyNot;
  if (!server.Start(options.linkPath, whyNot)) {
    std::cerr << "brisko-sim: " << whyNot << "\n";
    return 1;
  }
  if (options.verbose) {
    server.SetLog([](const std::string& line) { std::cerr << "brisko-sim: " << line << std::endl; });
    std::cerr << "brisko-sim: " << brisko::DescribeChip(options.config.model).chipTypeText << ", "
              << brisko::MemoryModeText(options.config.memoryMode) << " memory, status "
              << std::hex << unsigned(target->StatusByte()) << std::dec << "h, on "
              << server.SlavePath() << std::endl;
  }
  std::cout << server.SlavePath() << std::endl;
  WatchOperatorLines(target, options.verbose);
  server.Run(stopRequested);
  return 0;
}
