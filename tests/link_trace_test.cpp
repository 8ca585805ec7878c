#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "link/wire_trace.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

TEST(WireTraceTest, OneLinePerByteWithDirectionMillisecondsAndHex) {
  test::TempDir dir;
  std::string path = dir.File("trace.txt");
  WireTrace trace(path);
  ASSERT_TRUE(trace.IsOpen());
  trace.Note("open COM1 38400 bit/s 8-N-1");
  const std::uint8_t sent[2] = {0x0C, 0xA5};
  const std::uint8_t got[1] = {0x0F};
  trace.Sent(sent, 2);
  trace.Received(got, 1);

  // Read while the trace is still open: every line must already be on disk.
  std::string text = test::ReadFile(path);
  std::regex expected(
      R"(-- \d+\.\d{3} open COM1 38400 bit/s 8-N-1
TX \d+\.\d{3} 0C
TX \d+\.\d{3} A5
RX \d+\.\d{3} 0F
)");
  EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

TEST(WireTraceTest, RestartCountsFromTheNewOpen) {
  test::TempDir dir;
  std::string path = dir.File("trace.txt");
  WireTrace trace(path);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  trace.Note("before");
  trace.Restart();
  trace.Note("after");
  std::string text = test::ReadFile(path);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(text, m, std::regex(R"(-- (\d+\.\d{3}) before\n-- (\d+\.\d{3}) after)")));
  EXPECT_GE(std::stod(m[1].str()), 200.0);
  EXPECT_LT(std::stod(m[2].str()), std::stod(m[1].str()));
}

TEST(WireTraceTest, AnUnwritablePlaceIsReportedAndHarmless) {
  WireTrace trace("/nonexistent-dir/trace.txt");
  EXPECT_FALSE(trace.IsOpen());
  const std::uint8_t b = 0x63;
  trace.Sent(&b, 1);
  trace.Note("ignored");
}

}  // namespace
}  // namespace brisko
