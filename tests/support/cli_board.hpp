#pragma once
// brisko-cli run as the operator runs it, and brisko-sim serving a board on
// a pseudo-terminal of the test's, whose flash is kept between the runs.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/process.hpp"
#include "support/temp_dir.hpp"

namespace brisko::test {

using namespace std::chrono_literals;
using Args = std::vector<std::string>;

inline ProcessResult Cli(Args args) {
  args.insert(args.begin(), BRISKO_CLI_PATH);
  return RunProcess(args, 60s);
}

inline ::testing::AssertionResult Has(const std::string& text, const std::string& part) {
  if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "\"" << part << "\" not in:\n" << text;
}

// The user's folders (settings, port map) are the test's own.
class CliBoard : public ::testing::Test {
 protected:
  void Start(const std::string& model, Args extra = {}) {
    model_ = model;
    sim.reset();  // the board before goes first
    Args args{BRISKO_SIM_PATH, "--model", model, "--link", link, "--quiet"};
    args.insert(args.end(), extra.begin(), extra.end());
    sim = std::make_unique<BackgroundProcess>(args);
    ASSERT_FALSE(sim->ReadLine(10s).empty());
  }
  // The simulator's state line once the chip has taken every byte that is
  // still on its way (two looks 20 ms apart agree).
  std::string SettledState() {
    std::string before;
    for (int look = 0; look < 100; ++look) {
      if (!sim->WriteInput("state\n")) return "";
      std::string now = sim->ReadLine(5s);
      if (now == before) return now;
      before = std::move(now);
      std::this_thread::sleep_for(20ms);
    }
    return before;
  }
  // brisko-cli on the board; without --yes questions are answered No (there
  // is no terminal).
  ProcessResult OnPty(Args args, bool yes = true) {
    if (yes) args.insert(args.begin(), "--yes");
    args.insert(args.begin(), {"--port", link, "--model", model_});
    return Cli(args);
  }

  TestFiles files;
  std::string link = files.Path("tty");
  std::string model_;
  std::unique_ptr<BackgroundProcess> sim;
};

}  // namespace brisko::test
