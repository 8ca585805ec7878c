#pragma once

// The failure texts that several layers report in the same words: the link,
// the engine and the file routines tell them directly, the window offers them
// as its message helpers. One place, so the wording cannot drift apart.
namespace brisko::text {

inline constexpr const char* kWriteRefused = "2:Fail to write ORVEX_CMD_READ CMD byte!!!";
inline constexpr const char* kWriteTimedOut = "3:Fail to write ORVEX_CMD_READ CMD byte!!!";
inline constexpr const char* kReadCommandNotSent = "Fail to write ORVEX_CMD_READ to MCU!!!";
inline constexpr const char* kSendReadCommandFailed = "Failed to Send Read Command!";
inline constexpr const char* kDataByteMissing = "Failed to Read data byte from the chip!";
inline constexpr const char* kQueueWaitFailed = "Error in calling WaitForSingleObject().";
inline constexpr const char* kQueueFull = "Error! Queue is Full.";
inline constexpr const char* kQueueWriteFailed = "Error! Queue is not full but unable to write.";
inline constexpr const char* kQueueReadFailed = "Error! Queue is not empty but unable to read.";
inline constexpr const char* kCannotOpenFile = "Can't open the selected file!!!";
inline constexpr const char* kFileOverSize = "The selected file is over size!!!";
inline constexpr const char* kSectorEraseFailed = "Sector erase failed!!!";
inline constexpr const char* kDownloadFailed = "Failed to Download Data!!!";
inline constexpr const char* kReadFailed = "Failed to Read Data!!!";
inline constexpr const char* kPortDisconnected = "the port was disconnected";
inline constexpr const char* kOutputNotDrained = "the bytes written did not leave the output queue in time";
inline constexpr const char* kVerifyFailed = "Failed to Verify Data!!!";

}  // namespace brisko::text
