#pragma once
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <optional>
#include <string>
#include <vector>

#include "chip/flash_image.hpp"
#include "link/link_timing.hpp"
#include "sim/fault_plan.hpp"
#include "chip/chip_catalogue.hpp"

namespace brisko::sim {

using SimClock = std::chrono::steady_clock;

// How the simulated chip starts.
struct SimConfig {
  int model = kKT420;
  int memoryMode = kInternalMemory;
  std::uint8_t versionByte = 0x11;
  char versionLetter = 'F';   // 'F' for loader 1.1F
  std::uint8_t securityBits = 0x00;  // bits 7..5 of the status byte
  std::uint8_t remapBits = 0;        // bits 1..0
  bool doubleClock = false;
  bool a16 = false;        // the board's A16 switch: the high half of the KF010
  // A cable with TXD joined to RXD and no chip: every byte comes back.
  bool loopback = false;
  FaultPlan faults;
  // The baud-detect group arriving between two commands once the handshake
  // is past "RDY" resets the chip and starts its synchronisation: the
  // stand-in for the reset button where there are no modem lines (a pty).
  // 80h, E0h, F8h and FEh start no command, so no dialogue can be mistaken
  // for it.
  bool restartOnPattern = false;

  // How many of the last host bytes the chip keeps for HostBytes(): enough
  // for a test's whole dialogue in-process, a bound in a long-running
  // brisko-sim, where memory would otherwise grow with every download.
  std::size_t keptHostBytes = 1 << 20;

  // What block 0 holds from 0000h on when the chip starts (the rest is FFh):
  // a chip that already carries a user's program.
  std::vector<std::uint8_t> block0;

  // Loader 1.1E (KT410, KT420 only): no baud detection; it prompts with F7h
  // whenever it waits for a command (see legacy_loader.hpp).
  bool legacyLoader = false;
  Millis legacyIdlePrompt{20};       // from boot or 61h to the next prompt
  Millis legacyCommandTimeout{1000}; // an unanswered prompt or unfinished command: prompt again
  // The first command byte of this value after a reset is lost on the wire
  // (00h: none); the loader keeps waiting and prompts again later.
  std::uint8_t legacyLoseCommand = 0;
  // How long the chip erases itself after the chip-erase frame, ignoring
  // every byte meanwhile as a busy chip does. Four fifths of the pause the
  // host keeps after that frame, so that a host that keeps the pause is never
  // ignored and one that does not is; ChipEraseBusyFor() derives it from the
  // host's timing.
  std::chrono::microseconds chipEraseBusy = ChipEraseBusyFor(LinkTiming{});

  static std::chrono::microseconds ChipEraseBusyFor(const LinkTiming& timing) {
    return std::chrono::duration_cast<std::chrono::microseconds>(timing.chipErasePause) * 4 / 5;
  }
};

// A reply byte and how long after the byte that caused it it leaves the chip.
struct SimReply {
  std::uint8_t byte;
  Millis delay{0};
};

// A Talon51 chip with its boot-strap loader, byte by byte. Strict: a byte the
// loader would not understand in its current state gets no answer.
//
// Every call is serialised by an internal mutex, so a test may look at the
// chip while another thread drives it; references returned by Flash(),
// HostBytes(), Config() and Faults() are only safe while no byte arrives.
class SimTarget {
 public:
  enum class Phase {
    AwaitPattern,   // after reset: waiting for the baud-detect pattern
    AwaitReady,     // "OK" sent, waiting for "BSL"
    AwaitMode,      // "RDY" sent, waiting for 05h and the mode byte
    Loader,         // answering commands
    Programmer,     // the parked block-1 programmer runs from 2027h
    UserCode,       // the user's program runs (62h 62h); silent until reset
    Halted,         // the chip runs code that is not a loader; silent
    LegacyLoader,   // loader 1.1E: prompts with F7h, answers its commands
  };

  explicit SimTarget(SimConfig config);

  // One byte from the host, arriving at `now`. Reply bytes are appended to
  // `replies` in the order they leave the chip.
  void Receive(std::uint8_t byte, SimClock::time_point now, std::vector<SimReply>& replies);
  // Power-on or reset: the loader starts again; flash and configuration stay.
  void Reset();

  // Bytes the chip sends unasked (the 1.1E loader's prompts) that are due at
  // `now`, and when the next such byte will be due (none: never by itself).
  void SendUnasked(SimClock::time_point now, std::vector<SimReply>& replies);
  std::optional<SimClock::time_point> NextUnasked() const;

  Phase CurrentPhase() const;
  const SimConfig& Config() const;
  FaultPlan& Faults();
  void SetRestartOnPattern(bool on);

  // The chip's flash, by block, offset 0 = the block's base address.
  FlashImage& Flash(int block);
  const FlashImage& Flash(int block) const;
  // The block-1 bytes that hold the loader (the BSL sectors).
  std::size_t LoaderSize() const;
  bool LoaderIntact() const;

  // Non-volatile configuration, as the next status byte will show it.
  std::uint8_t StatusByte() const;
  std::uint8_t SecurityBits() const;
  std::uint8_t RemapBits() const;
  bool DoubleClock() const;
  int SelectedBlock() const;

  // The board's external flash (KF010, 128 KB) and its A16 switch, which
  // the operator may flip at any time.
  void SetA16(bool high);
  bool A16() const;
  bool ExternalBankEntered() const;
  std::vector<std::uint8_t> ExternalFlashBytes() const;
  void SetExternalFlashBytes(std::uint32_t offset, std::span<const std::uint8_t> bytes);

  // The host bytes since construction or ClearHostBytes(), for tests that
  // check the wire: at least the last Config().keptHostBytes of them (up to
  // twice as many, so that dropping old bytes costs little per byte).
  const std::vector<std::uint8_t>& HostBytes() const;
  // A copy of exactly the last keptHostBytes at most, safe while another
  // thread drives the chip.
  std::vector<std::uint8_t> HostBytesCopy() const;
  // How many host bytes the chip has heard since construction or
  // ClearHostBytes(), kept or not.
  std::uint64_t HostBytesHeard() const;
  void ClearHostBytes();
  // Host bytes since the last reset (what the stop-after fault counts).
  long HostBytesSinceReset() const;

  ~SimTarget();
  SimTarget(const SimTarget&) = delete;
  SimTarget& operator=(const SimTarget&) = delete;

 private:
  struct State;
  std::unique_ptr<State> s_;
};

// "AwaitPattern", "Loader", ... for logs and test output.
const char* PhaseName(SimTarget::Phase phase);

}  // namespace brisko::sim
