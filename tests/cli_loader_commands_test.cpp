#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/process.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

using namespace std::chrono_literals;
using Args = std::vector<std::string>;

::testing::AssertionResult Has(const std::string& text, const std::string& part) {
  if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "\"" << part << "\" not in:\n" << text;
}

// The loader commands on the built-in simulated chip: exit status and the
// message that says how it ended.
TEST(CliLoaderCommands, ExitZeroOnlyWhenTheLoaderWasReplaced) {
  test::TestFiles files;
  const std::string loader = files.Write("bsl.bin", std::string(256, '\x11'));
  const struct {
    Args args;
    int exit;
    const char* err;
  } rows[] = {
      {{"--simulate", "KT560", "--model", "KT560", "--yes", "probex"}, 0, "BSL is replaced by Probex!"},
      {{"--simulate", "KT560", "--model", "KT560", "--sim-fault", "corrupt:0A:0:0", "--yes", "probex"}, 1,
       "Failed to write Probex into Block1!"},
      {{"--simulate", "KT580", "--model", "KT580", "--yes", "probex"}, 1, "KT580 doesn't have Probex support!"},
      {{"--simulate", "KT410", "--model", "KT410", "--sim-security", "80", "update-loader", loader, "--sector", "0"},
       1, "Update BSL doesn't work if Block0 or Block1 is hardlocked!"},
      {{"--simulate", "KT420", "--model", "KT420", "update-external-loader"}, 1,
       "Please enter into Low64K in internal memory mode for upgrade BSL!"},
      {{"--simulate", "KT420", "--model", "KT420", "--yes", "update-external-loader", "--bank", "low"}, 0,
       "Upgrade External BSL Succeed!"},
      {{"--simulate", "KT420", "--model", "KT420", "--yes", "upgrade-loader"}, 1,
       "This chip's loader is 1.1F already: it needs no upgrade."},
      {{"--simulate", "KT540", "--model", "KT540", "detect", "--unknown-version"}, 0,
       "(We will detect MCU:FW 1.1F first.)"},
  };
  for (const auto& row : rows) {
    Args args = row.args;
    args.insert(args.begin(), BRISKO_CLI_PATH);
    const test::ProcessResult r = test::RunProcess(args, 60s);
    EXPECT_EQ(r.exitCode, row.exit) << testing::PrintToString(row.args) << r.err;
    EXPECT_TRUE(Has(r.err, row.err));
  }
}

}  // namespace
}  // namespace brisko
