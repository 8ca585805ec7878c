#include "shell/setup/baud_calculator.hpp"

#include <cmath>

namespace brisko {
namespace {

// Timer 2 counts up from the reload value to 65536; one bit takes 32 counts.
constexpr double kTimerTop = 65536.0;
constexpr double kClocksPerBit = 32.0;
constexpr double kWithinPercent = 3.0;
// Below this crystal 38400 bit/s is never offered, whatever the arithmetic says.
constexpr double kLowest38400CrystalMHz = 2.005;
constexpr std::uint32_t kNoReload = 0xFFFF;

// Cuts towards zero and keeps the result inside what int64 holds; a value that
// is not a number counts as the top of the timer, which no rate can use.
std::int64_t TruncToInt(double value) {
  if (std::isnan(value)) return static_cast<std::int64_t>(kTimerTop);
  constexpr double kLimit = 9.0e18;
  if (value > kLimit) return static_cast<std::int64_t>(kLimit);
  if (value < -kLimit) return static_cast<std::int64_t>(-kLimit);
  return static_cast<std::int64_t>(std::trunc(value));
}

struct Candidate {
  std::uint32_t reload;
  double errorPercent;
};

// The better of r and r + 1 for the rate; none when r + 1 would reach the top
// of the timer (the crystal is too slow for this rate) or r is below zero (far
// too fast: the 16-bit register cannot hold it).
std::optional<Candidate> BestReload(double crystalMHz, unsigned bitRate) {
  const std::int64_t r = ReloadForRate(crystalMHz, bitRate);
  if (r + 1 >= static_cast<std::int64_t>(kTimerTop) || r < 0) return std::nullopt;
  const double e0 = RateErrorPercent(RateForReload(crystalMHz, r), bitRate);
  const double e1 = RateErrorPercent(RateForReload(crystalMHz, r + 1), bitRate);
  if (e0 < e1) return Candidate{static_cast<std::uint32_t>(r), e0};
  return Candidate{static_cast<std::uint32_t>(r + 1), e1};
}

// Walks the table from the highest rate down, taking only rates below
// `ceiling`, and stops at the first rate within 3 %. The last rate looked at is
// the recommendation even when none came close enough.
BaudRecommendation Search(double crystalMHz, unsigned ceiling) {
  BaudRecommendation result{kRateTable.back(), kNoReload};
  for (std::size_t i = 0; i < kRateTable.size(); ++i) {
    if (i == 0 && crystalMHz < kLowest38400CrystalMHz) continue;
    const unsigned rate = kRateTable[i];
    if (rate >= ceiling) continue;
    result.bitRate = rate;
    const std::optional<Candidate> best = BestReload(crystalMHz, rate);
    if (!best) continue;
    result.reload = best->reload;
    if (best->errorPercent <= kWithinPercent) break;
  }
  return result;
}

}  // namespace

std::int64_t ReloadForRate(double crystalMHz, unsigned bitRate) {
  return TruncToInt(kTimerTop - crystalMHz * 1000000.0 / (static_cast<double>(bitRate) * kClocksPerBit));
}

std::int64_t RateForReload(double crystalMHz, std::int64_t reload) {
  return TruncToInt(crystalMHz * 1000000.0 / ((kTimerTop - static_cast<double>(reload)) * kClocksPerBit));
}

double RateErrorPercent(std::int64_t actualRate, unsigned wantedRate) {
  const double wanted = static_cast<double>(wantedRate);
  return std::fabs(static_cast<double>(actualRate) - wanted) / wanted * 100.0;
}

BaudRecommendation ComputeBaud(double crystalMHz) {
  // No rate of the table reaches this ceiling, so every rate is looked at.
  return Search(crystalMHz, kRateTable.front() + 1);
}

std::optional<BaudRecommendation> NextBaud(double crystalMHz, unsigned current) {
  if (kRateTable.back() >= current) return std::nullopt;
  return Search(crystalMHz, current);
}

int RateIndex(unsigned bitRate) {
  for (std::size_t i = 0; i < kRateTable.size(); ++i)
    if (kRateTable[i] == bitRate) return static_cast<int>(i);
  return 0;
}

}  // namespace brisko
