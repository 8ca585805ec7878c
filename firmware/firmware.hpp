#pragma once
// The 8051 images that the host writes into the chip, embedded at build time
// from the .bin files of this folder (see README.md here).
#include <cstdint>
#include <span>

namespace brisko::firmware {

extern const std::span<const std::uint8_t> LegacyInstallerImage;
extern const std::span<const std::uint8_t> Block1ProgrammerKT400;
extern const std::span<const std::uint8_t> Block1ProgrammerKT500;
extern const std::span<const std::uint8_t> BankHelper;
extern const std::span<const std::uint8_t> ExternalLoaderImage;
extern const std::span<const std::uint8_t> ProbexKT410Block0;
extern const std::span<const std::uint8_t> ProbexKT410Block1;
extern const std::span<const std::uint8_t> ProbexKT420Block0;
extern const std::span<const std::uint8_t> ProbexKT420Block1;
extern const std::span<const std::uint8_t> ProbexKT540;
extern const std::span<const std::uint8_t> ProbexKT530;
extern const std::span<const std::uint8_t> ProbexKT570;

}  // namespace brisko::firmware
