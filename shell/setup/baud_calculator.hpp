#pragma once
#include <array>
#include <cstdint>
#include <optional>

namespace brisko {

// The bit rates the calculator and the "Baud Rate" list offer, in list order.
inline constexpr std::array<unsigned, 7> kRateTable{38400, 19200, 9600, 4800, 2400, 1200, 600};

// Timer-2 arithmetic of the target (baud-rate generator mode, 32 clocks per bit).
std::int64_t ReloadForRate(double crystalMHz, unsigned bitRate);
std::int64_t RateForReload(double crystalMHz, std::int64_t reload);
double RateErrorPercent(std::int64_t actualRate, unsigned wantedRate);

struct BaudRecommendation {
  unsigned bitRate = 38400;
  std::uint32_t reload = 0xFFF7;
};

// The highest rate of the table whose best reload comes within 3 %.
BaudRecommendation ComputeBaud(double crystalMHz);
// The next lower usable rate below `current`; none when 600 is not below it.
std::optional<BaudRecommendation> NextBaud(double crystalMHz, unsigned current);

// Index of a rate in kRateTable; 0 for a rate not in it.
int RateIndex(unsigned bitRate);

}  // namespace brisko
