#pragma once

namespace brisko::label {

// The words the flash operations write into the progress pane.
inline constexpr const char* kErasing = "Erasing";
inline constexpr const char* kWriting = "Writing";
inline constexpr const char* kComparing = "Comparing";
inline constexpr const char* kReading = "Reading";
inline constexpr const char* kStart = "Start";
inline constexpr const char* kInProcess = "In process";
inline constexpr const char* kWritingCompleted = "Writing completed";
inline constexpr const char* kFailed = "Failed";
inline constexpr const char* kError = "error";
inline constexpr const char* kBlock1WriteFailed = "Write to block 1 failed";
inline constexpr const char* kDone = "Done";
inline constexpr const char* kAbort = "Abort";

}  // namespace brisko::label
