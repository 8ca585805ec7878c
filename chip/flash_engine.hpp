#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "link/message_sink.hpp"
#include "link/queue_ops.hpp"
#include "link/result_codes.hpp"
#include "link/serial_port.hpp"
#include "chip/progress_sink.hpp"
#include "chip/session_state.hpp"

namespace brisko {

// The flash operations every chip command is built from. Each is one fixed
// dialogue with the loader: it drives the progress pane, returns its Result
// and reports failures to `messages`. A cancel request in the session state
// stops erase, program, compare and read between two sectors or chunks,
// never inside a frame, and the operation returns Result::Cancelled.
//
// The target is the chip's own flash, or the external bank when the session
// state says one is selected (then the external command set applies).
// Addresses are 16-bit on the wire; start + length may reach 10000h.
class FlashEngine {
 public:
  FlashEngine(SerialPort& port, SessionState& state, ProgressSink& progress, MessageSink& messages);

  // Ok, Failed or Cancelled.
  Result EraseSectors(std::uint32_t start, std::uint32_t sectorSize, std::uint32_t count);
  Result ProgramRange(std::uint32_t start, std::uint32_t chunk, const std::uint8_t* data, std::size_t length);
  Result ProgramBlock1Range(std::uint32_t start, std::uint32_t chunk, const std::uint8_t* data,
                            std::size_t length);
  // Failed covers a difference and a read that came short; mismatchAddress
  // and mismatchPair (chip byte * 256 + data byte) are written only when a
  // difference is found.
  Result CompareRange(std::uint32_t start, std::uint32_t chunk, const std::uint8_t* data, std::size_t length,
                      long& mismatchAddress, int& mismatchPair);
  // Ok when all `length` bytes came, NoReply when the read came short,
  // Cancelled. `bytesRead`, when given, receives how many bytes came.
  Result ReadRange(std::uint8_t* destination, std::uint32_t start, std::size_t length, std::uint32_t chunk,
                   std::size_t* bytesRead = nullptr);
  Result ReadBlock1Range(std::uint8_t* destination, std::uint32_t start, std::size_t length, std::uint32_t chunk,
                         std::size_t* bytesRead = nullptr);
  // Ok, FrameNotSent, NoReply, or WrongReply (the reply was not C0h).
  Result SendStartCommand(std::uint16_t address, std::uint8_t value);
  // Ok when the frame went out (the loader does not answer), else Failed.
  Result ChipErase();
  // Ok when the reply is C0h, else Failed.
  Result ChipEraseExternal();
  [[nodiscard]] bool SelectBlock0();
  [[nodiscard]] bool SelectBlock1();

  // A copy that ignores cancel requests: for the steps that put back what a
  // command displaced, and for parking, which must not stop half way.
  FlashEngine Uncancellable() const;

  // Over the legacy worker's queues (internal flash only): Ok or Failed;
  // the program also stops on a cancel request between two chunks.
  Result EraseSectorsQueued(LegacyQueues& queues, std::uint32_t start, std::uint32_t sectorSize,
                            std::uint32_t count);
  Result ProgramRangeQueued(LegacyQueues& queues, std::uint32_t start, std::uint32_t chunk,
                            const std::uint8_t* data, std::size_t length);

 private:
  bool ExternalBank() const { return state_.ExternalBankSelected(); }
  const LinkTiming& Timing() const { return port_.Timing(); }

  // Range, reset, and the label when there is one.
  void BeginProgress(std::size_t steps, const char* label);
  // Reset, then "Done" and Ok, or "Abort" and Failed.
  Result Finish(bool ok);

  bool ReadOnce(std::uint8_t& byte);
  // A byte that did not come is waited for again, at most timing.readRetries
  // more times.
  bool ReadPatiently(std::uint8_t& byte);
  bool ReadAck();
  bool ReadAllOnce(std::span<std::uint8_t> out);
  bool ReadAllPatiently(std::span<std::uint8_t> out);
  bool WriteAll(std::span<const std::uint8_t> bytes);

  bool EraseOneSector(std::uint32_t address);
  // Programs `length` bytes chunk by chunk with `programChunk` (program and
  // verify one non-blank chunk), skipping blank chunks, with the progress;
  // `relabel`, when given, is shown again after each programmed chunk.
  using ChunkProgrammer =
      std::function<bool(std::uint32_t address, std::span<const std::uint8_t> working, std::span<std::uint8_t> readBack)>;
  Result ProgramChunks(std::uint32_t start, std::uint32_t chunk, const std::uint8_t* data, std::size_t length,
                       const char* label, const char* relabel, const ChunkProgrammer& programChunk);
  // Reads `length` bytes chunk by chunk with `readChunk`, with the progress;
  // `done` receives how many bytes came.
  using ChunkReader = std::function<bool(std::uint32_t address, std::span<std::uint8_t> out)>;
  Result ReadChunks(std::uint8_t* destination, std::uint32_t start, std::size_t length, std::uint32_t chunk,
                    const char* label, const ChunkReader& readChunk, std::size_t& done);
  // True (and "Abort" shown) when a cancel request is to be honoured now.
  bool CancelNow();
  bool ProgramAndVerifyChunk(std::uint32_t address, std::span<const std::uint8_t> working,
                             std::span<std::uint8_t> readBack);
  bool ProgramAndVerifyBlock1Chunk(std::uint32_t address, std::span<const std::uint8_t> working,
                                   const char* workLabel);
  bool VerifyBlock1Chunk(std::span<const std::uint8_t> working);

  // Queued transport: a reply byte as TakeQueuedReply takes it.
  bool TakeReply(LegacyQueues& queues, std::uint8_t& byte);
  bool TakeReplies(LegacyQueues& queues, std::span<std::uint8_t> out);
  bool QueueData(LegacyQueues& queues, std::span<const std::uint8_t> bytes);
  bool QueueProgramAndVerifyChunk(LegacyQueues& queues, std::uint32_t address,
                                  std::span<const std::uint8_t> working, std::span<std::uint8_t> readBack);

  SerialPort& port_;
  SessionState& state_;
  ProgressSink& progress_;
  MessageSink& messages_;
  bool cancellable_ = true;
};

}  // namespace brisko
