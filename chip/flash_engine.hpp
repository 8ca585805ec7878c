#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "link/message_sink.hpp"
#include "link/queue_ops.hpp"
#include "link/serial_port.hpp"
#include "chip/progress_sink.hpp"
#include "chip/session_state.hpp"

namespace brisko {

// The flash operations every chip command is built from. Each is one fixed
// dialogue with the loader: it drives the progress pane, returns 10 / -1 (the
// reads return a byte count), and reports failures to `messages`. A cancel
// request in the session state stops erase, program, compare and read
// between two sectors or chunks (13, or a short read), never inside a frame.
//
// The target is the chip's own flash, or the external bank when the session
// state says one is selected (then the external command set applies).
// Addresses are 16-bit on the wire; start + length may reach 10000h.
class FlashEngine {
 public:
  FlashEngine(SerialPort& port, SessionState& state, ProgressSink& progress, MessageSink& messages);

  int EraseSectors(std::uint32_t start, std::uint32_t sectorSize, std::uint32_t count);
  int ProgramRange(std::uint32_t start, std::uint32_t chunk, const std::uint8_t* data, std::size_t length);
  int ProgramBlock1Range(std::uint32_t start, std::uint32_t chunk, const std::uint8_t* data,
                         std::size_t length);
  // mismatchAddress and mismatchPair (chip byte * 256 + data byte) are written
  // only when a difference is found.
  int CompareRange(std::uint32_t start, std::uint32_t chunk, const std::uint8_t* data, std::size_t length,
                   long& mismatchAddress, int& mismatchPair);
  std::size_t ReadRange(std::uint8_t* destination, std::uint32_t start, std::size_t length,
                        std::uint32_t chunk);
  std::size_t ReadBlock1Range(std::uint8_t* destination, std::uint32_t start, std::size_t length,
                              std::uint32_t chunk);
  // 10, 12 frame not sent, 6 no reply, 15 reply not C0h.
  int SendStartCommand(std::uint16_t address, std::uint8_t value);
  int ChipErase();
  int ChipEraseExternal();
  bool SelectBlock0();
  bool SelectBlock1();

  // A copy that ignores cancel requests: for the steps that put back what a
  // command displaced, and for parking, which must not stop half way.
  FlashEngine Uncancellable() const;

  // Over the legacy worker's queues (internal flash only).
  int EraseSectorsQueued(LegacyQueues& queues, std::uint32_t start, std::uint32_t sectorSize,
                         std::uint32_t count);
  int ProgramRangeQueued(LegacyQueues& queues, std::uint32_t start, std::uint32_t chunk,
                         const std::uint8_t* data, std::size_t length);

 private:
  bool ExternalBank() const { return state_.ExternalBankSelected(); }
  const LinkTiming& Timing() const { return port_.Timing(); }

  // Range, reset, and the label when there is one.
  void BeginProgress(std::size_t steps, const char* label);
  // Reset, then "Done" and 10, or "Abort" and -1.
  int Finish(bool ok);

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
  int ProgramChunks(std::uint32_t start, std::uint32_t chunk, const std::uint8_t* data, std::size_t length,
                    const char* label, const char* relabel, const ChunkProgrammer& programChunk);
  // Reads `length` bytes chunk by chunk with `readChunk`, with the progress;
  // returns how many bytes came.
  using ChunkReader = std::function<bool(std::uint32_t address, std::span<std::uint8_t> out)>;
  std::size_t ReadChunks(std::uint8_t* destination, std::uint32_t start, std::size_t length, std::uint32_t chunk,
                         const char* label, const ChunkReader& readChunk);
  // True (and "Abort" shown) when a cancel request is to be honoured now.
  bool CancelNow();
  bool ProgramAndVerifyChunk(std::uint32_t address, std::span<const std::uint8_t> working,
                             std::span<std::uint8_t> readBack);
  bool ProgramAndVerifyBlock1Chunk(std::uint32_t address, std::span<const std::uint8_t> working,
                                   const char* workLabel);
  bool VerifyBlock1Chunk(std::span<const std::uint8_t> working);

  // Queued transport: a reply byte is taken from replyQueue within
  // timing.queueReplyWait, and never once operationFailed is set.
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
