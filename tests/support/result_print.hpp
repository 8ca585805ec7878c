#pragma once
#include <ostream>

#include "link/result_codes.hpp"

namespace brisko {

// Failed expectations show "Cancelled (13)" rather than the enum's raw bytes.
inline void PrintTo(Result result, std::ostream* os) {
  const char* name = "?";
  switch (result) {
    case Result::Ok: name = "Ok"; break;
    case Result::Failed: name = "Failed"; break;
    case Result::OverSize: name = "OverSize"; break;
    case Result::ProgramFailed: name = "ProgramFailed"; break;
    case Result::NoReply: name = "NoReply"; break;
    case Result::NoMemory: name = "NoMemory"; break;
    case Result::CommFailure: name = "CommFailure"; break;
    case Result::FrameNotSent: name = "FrameNotSent"; break;
    case Result::Cancelled: name = "Cancelled"; break;
    case Result::PortNotOpened: name = "PortNotOpened"; break;
    case Result::WrongReply: name = "WrongReply"; break;
  }
  *os << name << " (" << Code(result) << ")";
}

}  // namespace brisko
