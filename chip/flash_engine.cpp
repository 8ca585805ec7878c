#include "chip/flash_engine.hpp"

#include <algorithm>
#include <thread>
#include <vector>

#include "link/command_primitives.hpp"
#include "link/report_texts.hpp"
#include "link/result_codes.hpp"
#include "chip/engine_commands.hpp"
#include "chip/engine_labels.hpp"

namespace brisko {

namespace {

constexpr const char* kEraseBlock1Failed = "Erase block 1 failed";
constexpr const char* kEraseStatusMissing = "Failed to Read the Erase Status byte!";
constexpr const char* kChipEraseNotConfirmed = "Chip-erase confirmation failed";

bool Usable(std::uint32_t chunk, const void* buffer, std::size_t length) {
  return chunk > 0 && (length == 0 || buffer != nullptr);
}

}  // namespace

FlashEngine::FlashEngine(SerialPort& port, SessionState& state, ProgressSink& progress, MessageSink& messages)
    : port_(port), state_(state), progress_(progress), messages_(messages) {}

// ---- progress and byte transfers ----

void FlashEngine::BeginProgress(std::size_t steps, const char* label) {
  progress_.ProgressSetRange(static_cast<int>(steps));
  progress_.ProgressReset();
  if (label != nullptr) progress_.ProgressSetText(label);
}

bool FlashEngine::CancelNow() {
  if (!cancellable_ || !state_.cancelRequested) return false;
  progress_.ProgressSetText(label::kAbort);
  return true;
}

FlashEngine FlashEngine::Uncancellable() const {
  FlashEngine engine = *this;
  engine.cancellable_ = false;
  return engine;
}

Result FlashEngine::Finish(bool ok) {
  progress_.ProgressReset();
  progress_.ProgressSetText(ok ? label::kDone : label::kAbort);
  return ok ? Result::Ok : Result::Failed;
}

bool FlashEngine::ReadOnce(std::uint8_t& byte) { return port_.ReadByte(byte); }

bool FlashEngine::ReadPatiently(std::uint8_t& byte) {
  for (int wait = 0; wait <= Timing().readRetries; ++wait)
    if (ReadOnce(byte)) return true;
  return false;
}

bool FlashEngine::ReadAck() {
  std::uint8_t reply = 0;
  return ReadOnce(reply) && reply == kAck;
}

bool FlashEngine::ReadAllOnce(std::span<std::uint8_t> out) {
  return std::all_of(out.begin(), out.end(), [this](std::uint8_t& b) { return ReadOnce(b); });
}

bool FlashEngine::ReadAllPatiently(std::span<std::uint8_t> out) {
  return std::all_of(out.begin(), out.end(), [this](std::uint8_t& b) { return ReadPatiently(b); });
}

bool FlashEngine::WriteAll(std::span<const std::uint8_t> bytes) {
  return port_.WriteBytes(bytes.data(), bytes.size());
}

// ---- erase ----

bool FlashEngine::EraseOneSector(std::uint32_t address) {
  const EngineCommands& commands = CommandsFor(ExternalBank());
  if (!SendFrame(port_, commands.eraseSector, WireAddress(address), 0x01)) return false;
  if (commands.pauseAfterErase) std::this_thread::sleep_for(Timing().externalErasePause);
  return ReadAck();
}

Result FlashEngine::EraseSectors(std::uint32_t start, std::uint32_t sectorSize, std::uint32_t count) {
  BeginProgress(count, label::kErasing);
  std::uint32_t address = start;
  for (std::uint32_t i = 0; i < count; ++i, address += sectorSize) {
    if (CancelNow()) return Result::Cancelled;
    if (!EraseOneSector(address)) {
      // The bar stays where the erase stopped, so the operator sees how far it got.
      progress_.ProgressSetText(label::kAbort);
      return Result::Failed;
    }
    progress_.ProgressAdvance();
  }
  return Finish(true);
}

Result FlashEngine::ChipErase() {
  // The loader does not answer a chip erase; it needs this long to finish it,
  // counted from the frame's last byte on the line.
  const bool sent = SendFrame(port_, cmd::kChipErase, 0x0000, 0x01) && port_.DrainOutput();
  std::this_thread::sleep_for(Timing().chipErasePause);
  return sent ? Result::Ok : Result::Failed;
}

Result FlashEngine::ChipEraseExternal() {
  static constexpr std::uint8_t kEraseExternal[] = {0x02, 0x02};
  if (!port_.WriteBytes(kEraseExternal, sizeof kEraseExternal)) return Result::Failed;
  std::this_thread::sleep_for(Timing().externalChipErasePause);
  std::uint8_t reply = 0;
  if (!ReadOnce(reply)) return Result::Failed;
  if (reply == kAck) return Result::Ok;
  port_.TraceNote(kChipEraseNotConfirmed);
  return Result::Failed;
}

// ---- program ----

bool FlashEngine::ProgramAndVerifyChunk(std::uint32_t address, std::span<const std::uint8_t> working,
                                        std::span<std::uint8_t> readBack) {
  const EngineCommands& commands = CommandsFor(ExternalBank());
  const std::uint8_t count = CountByte(working.size());
  return SendFrameWithData(port_, commands.programChunk, WireAddress(address), working) &&
         SendFrame(port_, commands.readChunk, WireAddress(address), count) && ReadAllOnce(readBack) &&
         std::equal(readBack.begin(), readBack.end(), working.begin());
}

Result FlashEngine::ProgramChunks(std::uint32_t start, std::uint32_t chunk, const std::uint8_t* data,
                                  std::size_t length, const char* label, const char* relabel,
                                  const ChunkProgrammer& programChunk) {
  if (!Usable(chunk, data, length)) return Finish(false);
  BeginProgress(ChunkCount(length, chunk), label);
  std::vector<std::uint8_t> working(chunk);
  std::vector<std::uint8_t> readBack(chunk);
  std::uint32_t address = start;
  for (std::size_t done = 0; done < length; done += chunk, address += chunk) {
    if (CancelNow()) return Result::Cancelled;
    FillChunk(working, data + done, length - done);
    // Erased flash already holds FFh: blank chunks are neither programmed nor verified.
    const bool programmed = !IsBlank(working);
    if (programmed && !programChunk(address, working, readBack)) return Finish(false);
    progress_.ProgressAdvance();
    if (programmed && relabel != nullptr) progress_.ProgressSetText(relabel);
  }
  return Finish(true);
}

Result FlashEngine::ProgramRange(std::uint32_t start, std::uint32_t chunk, const std::uint8_t* data,
                                 std::size_t length) {
  return ProgramChunks(start, chunk, data, length, label::kWriting, nullptr, [this](std::uint32_t address, auto working, auto readBack) {
    return ProgramAndVerifyChunk(address, working, readBack);
  });
}

bool FlashEngine::VerifyBlock1Chunk(std::span<const std::uint8_t> working) {
  for (std::uint8_t expected : working) {
    std::uint8_t got = 0;
    if (!ReadPatiently(got) || got != expected) return false;
  }
  return true;
}

bool FlashEngine::ProgramAndVerifyBlock1Chunk(std::uint32_t address, std::span<const std::uint8_t> working,
                                              const char* workLabel) {
  const std::uint8_t count = CountByte(working.size());
  if (!SendFrame(port_, cmd::kProgramBlock1, WireAddress(address), count)) {
    progress_.ProgressSetText(label::kBlock1WriteFailed);
    return false;
  }
  const bool written = WriteAll(working);
  progress_.ProgressSetText(label::kWritingCompleted);
  if (!written) return false;
  if (!SendFrame(port_, cmd::kReadBlock1, WireAddress(address), count)) {
    progress_.ProgressSetText(label::kFailed);
    return false;
  }
  if (!VerifyBlock1Chunk(working)) return false;
  progress_.ProgressSetText(label::kInProcess);
  progress_.ProgressSetText(workLabel);
  return true;
}

Result FlashEngine::ProgramBlock1Range(std::uint32_t start, std::uint32_t chunk, const std::uint8_t* data,
                                       std::size_t length) {
  if (!Usable(chunk, data, length)) return Finish(false);
  const std::size_t chunks = ChunkCount(length, chunk);
  // Block 1 is erased with one multi-sector frame before anything is written.
  if (!SendFrame(port_, cmd::kErase, WireAddress(start), CountByte(chunks))) {
    messages_.Tell(kEraseBlock1Failed);
    return Result::Failed;
  }
  if (!ReadAck()) {
    messages_.Tell(kEraseStatusMissing);
    return Result::Failed;
  }
  const char* workLabel = state_.loaderUpdateInProgress ? label::kInProcess : label::kWriting;
  return ProgramChunks(start, chunk, data, length, workLabel, workLabel,
                       [this, workLabel](std::uint32_t address, auto working, auto) {
                         return ProgramAndVerifyBlock1Chunk(address, working, workLabel);
                       });
}

// ---- compare and read ----

Result FlashEngine::CompareRange(std::uint32_t start, std::uint32_t chunk, const std::uint8_t* data,
                                 std::size_t length, long& mismatchAddress, int& mismatchPair) {
  if (!Usable(chunk, data, length)) return Finish(false);
  const std::uint8_t readCommand = CommandsFor(ExternalBank()).readChunk;
  BeginProgress(ChunkCount(length, chunk), label::kComparing);
  std::vector<std::uint8_t> readBack(chunk);
  std::uint32_t address = start;
  for (std::size_t done = 0; done < length; done += chunk, address += chunk) {
    if (CancelNow()) return Result::Cancelled;
    if (!SendFrame(port_, readCommand, WireAddress(address), CountByte(chunk))) {
      messages_.Tell(text::kReadCommandNotSent);
      return Finish(false);
    }
    // A byte that did not come has no value to compare; it must never pass as equal.
    if (!ReadAllOnce(readBack)) {
      messages_.Tell(text::kDataByteMissing);
      return Finish(false);
    }
    const std::size_t n = std::min<std::size_t>(length - done, chunk);
    const auto [chip, expected] = std::mismatch(readBack.begin(), readBack.begin() + static_cast<std::ptrdiff_t>(n),
                                                data + done);
    if (chip != readBack.begin() + static_cast<std::ptrdiff_t>(n)) {
      mismatchAddress = static_cast<long>(address) + (chip - readBack.begin());
      mismatchPair = *chip * 256 + *expected;
      messages_.Tell(text::kVerifyFailed);
      return Finish(false);
    }
    progress_.ProgressAdvance();
  }
  return Finish(true);
}

Result FlashEngine::ReadChunks(std::uint8_t* destination, std::uint32_t start, std::size_t length,
                               std::uint32_t chunk, const char* label, const ChunkReader& readChunk,
                               std::size_t& done) {
  done = 0;
  // A read that ends short is told as such, not as a failed erase or program.
  auto finish = [this](bool ok) { return Finish(ok) == Result::Ok ? Result::Ok : Result::NoReply; };
  if (!Usable(chunk, destination, length)) return finish(false);
  BeginProgress(ChunkCount(length, chunk), label);
  std::uint32_t address = start;
  bool ok = true;
  while (done < length) {
    if (CancelNow()) return Result::Cancelled;
    const std::size_t n = std::min<std::size_t>(chunk, length - done);
    ok = readChunk(address, {destination + done, n});
    if (!ok) break;
    done += n;
    address += static_cast<std::uint32_t>(n);
    progress_.ProgressAdvance();
  }
  return finish(ok);
}

namespace {

Result Counted(Result result, std::size_t done, std::size_t* bytesRead) {
  if (bytesRead != nullptr) *bytesRead = done;
  return result;
}

}  // namespace

Result FlashEngine::ReadRange(std::uint8_t* destination, std::uint32_t start, std::size_t length,
                              std::uint32_t chunk, std::size_t* bytesRead) {
  const std::uint8_t readCommand = CommandsFor(ExternalBank()).readChunk;
  std::size_t done = 0;
  const Result result = ReadChunks(destination, start, length, chunk, label::kReading,
                                   [this, readCommand](std::uint32_t address, std::span<std::uint8_t> out) {
                                     return SendFrame(port_, readCommand, WireAddress(address),
                                                           CountByte(out.size())) &&
                                            ReadAllPatiently(out);
                                   },
                                   done);
  return Counted(result, done, bytesRead);
}

Result FlashEngine::ReadBlock1Range(std::uint8_t* destination, std::uint32_t start, std::size_t length,
                                    std::uint32_t chunk, std::size_t* bytesRead) {
  std::size_t done = 0;
  const Result result = ReadChunks(
      destination, start, length, chunk, nullptr,
      [this](std::uint32_t address, std::span<std::uint8_t> out) {
        if (!SendFrame(port_, cmd::kReadBlock1, WireAddress(address), CountByte(out.size()))) {
          progress_.ProgressSetText(label::kError);
          return false;
        }
        // Each byte is read once; a missing one ends the read short, so the
        // caller sees a failure rather than a hole in its buffer.
        return ReadAllOnce(out);
      },
      done);
  // Bytes of a chunk that was given up must not reach the next command.
  port_.PurgeInput();
  return Counted(result, done, bytesRead);
}

// ---- control exchanges ----

Result FlashEngine::SendStartCommand(std::uint16_t address, std::uint8_t value) {
  progress_.ProgressReset();
  progress_.ProgressSetText(label::kStart);
  if (!SendFrame(port_, cmd::kStartOrExternalRead, address, value)) return Result::FrameNotSent;
  std::uint8_t reply = 0;
  if (!ReadOnce(reply)) return Result::NoReply;
  if (reply != kAck) return Result::WrongReply;
  progress_.ProgressAdvance();
  progress_.ProgressReset();
  return Result::Ok;
}

namespace {

bool SelectBlock(SerialPort& port, std::uint8_t selectByte) {
  if (!port.WriteByte(selectByte) || !port.WriteByte(selectByte)) return false;
  std::uint8_t reply = 0;
  return port.ReadByte(reply) && reply == kAck;
}

}  // namespace

bool FlashEngine::SelectBlock0() { return SelectBlock(port_, cmd::kSelectBlock0); }
bool FlashEngine::SelectBlock1() { return SelectBlock(port_, cmd::kSelectBlock1); }

}  // namespace brisko
