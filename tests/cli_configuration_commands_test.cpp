// brisko-cli's lock, remap, edit, cable-test and --bank, end to end.
#include <gtest/gtest.h>

#include "support/process.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

using namespace std::chrono_literals;
using Args = std::vector<std::string>;

test::ProcessResult Cli(Args args) {
  args.insert(args.begin(), BRISKO_CLI_PATH);
  return test::RunProcess(args, 60s);
}

::testing::AssertionResult Has(const std::string& text, const std::string& part) {
  if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "\"" << part << "\" not in:\n" << text;
}

TEST(CliConfiguration, LockWithoutAnOptionListsTheMenuAndRemapRefusesADisabledRadio) {
  auto menu = Cli({"--simulate", "KT410", "lock"});
  EXPECT_EQ(menu.exitCode, 2);
  EXPECT_TRUE(Has(menu.err, "  5  L3 Soft Lock Block 0, Hard Lock Block 1 (PROG-SB3)"));
  auto sc1 = Cli({"--simulate", "KT550", "--yes", "remap", "sc1"});
  EXPECT_EQ(sc1.exitCode, 2);
  EXPECT_TRUE(Has(sc1.err, "\"PROG-SC1 (KT530, KT560/570/580, KT550)\" is not offered for this chip."));
  EXPECT_EQ(Cli({"--simulate", "KT420", "remap", "8k"}).exitCode, 2);
  auto level4 = Cli({"--simulate", "KT420", "--sim-security", "20", "--yes", "lock", "4"});
  EXPECT_EQ(level4.exitCode, 1) << "refused: nothing was programmed";
  EXPECT_TRUE(Has(level4.err, "Can not set level4 lock!"));
}

class CliOnBoard : public ::testing::Test {
 protected:
  void Start(const std::string& model, Args extra = {}) {
    model_ = model;
    Args args{BRISKO_SIM_PATH, "--model", model, "--link", link, "--quiet"};
    args.insert(args.end(), extra.begin(), extra.end());
    sim = std::make_unique<test::BackgroundProcess>(args);
    ASSERT_FALSE(sim->FirstLine(10s).empty());
  }
  test::ProcessResult OnPty(Args args) {
    args.insert(args.begin(), {"--port", link, "--model", model_, "--yes"});
    return Cli(args);
  }
  test::TestFiles files;
  std::string link = files.Path("tty");
  std::string model_;
  std::unique_ptr<test::BackgroundProcess> sim;
};

TEST_F(CliOnBoard, LockThenRedetect) {
  Start("KT530");
  auto lock = OnPty({"lock", "2"});
  EXPECT_EQ(lock.exitCode, 0) << lock.err;
  EXPECT_TRUE(Has(lock.err, "Set Lock Completed!\nChip will be automatically redetected!"));
  auto detect = OnPty({"detect"});
  EXPECT_TRUE(Has(detect.out, "(FSTAT[7:5]: 011)")) << "SB2 and SB3 read back by a new process";
}

TEST_F(CliOnBoard, DownloadIntoTheHighBankAndBack) {
  Start("KT420", {"--a16", "1"});
  std::string image(300, '\0');
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7 + 1);
  const std::string file = files.Write("bank.bin", image);
  auto download = OnPty({"download", file, "--bank", "high", "--sector", "1"});
  EXPECT_EQ(download.exitCode, 0) << download.err;
  EXPECT_TRUE(Has(download.err, "c.    A16 = 1     or  #3 = OFF"));
  EXPECT_TRUE(Has(download.err, "Return to MCU Flash Successful!"));
  EXPECT_EQ(OnPty({"--bank", "high", "compare", file, "--sector", "1"}).exitCode, 0);  // before the command too
  // The host never picks the half: with the switch on A16 = 1, "low" is
  // the same half. Flipped (on the simulator's input), it is another.
  EXPECT_EQ(OnPty({"compare", file, "--bank", "low", "--sector", "1"}).exitCode, 0);
  ASSERT_TRUE(sim->WriteInput("a16 0\n"));
  int compared = 0;
  for (int attempt = 0; attempt < 20 && compared == 0; ++attempt)
    compared = OnPty({"compare", file, "--bank", "low", "--sector", "1"}).exitCode;
  EXPECT_EQ(compared, 1) << "the low half does not hold the file";
  EXPECT_EQ(OnPty({"detect"}).exitCode, 0) << "block 0 is back and the loader answers";
}

TEST_F(CliOnBoard, TwoSectorByteEdit) {
  Start("KT540");
  auto edit = OnPty({"edit", "03FC", "1 2 03 04 05 06 07 08"});
  EXPECT_EQ(edit.exitCode, 0) << edit.err;
  auto show = OnPty({"edit", "3fc"});
  EXPECT_EQ(show.exitCode, 0);
  EXPECT_TRUE(Has(show.out, "03FC: 01 02 03 04 05 06 07 08 FF FF FF FF FF FF FF FF \n"));
}

TEST(CliCableTest, PassesOnALoopBackCable) {
  test::TestFiles files;
  const std::string link = files.Path("tty");
  test::BackgroundProcess cable({BRISKO_SIM_PATH, "--loopback", "--link", link, "--quiet"});
  ASSERT_FALSE(cable.FirstLine(10s).empty());
  auto test = Cli({"--port", link, "--yes", "cable-test"});
  EXPECT_EQ(test.exitCode, 0) << test.err;
  EXPECT_TRUE(Has(test.err, "Serial connection is correct!"));
}

}  // namespace
}  // namespace brisko
