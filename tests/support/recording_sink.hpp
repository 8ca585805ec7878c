#pragma once
#include <string>
#include <vector>

#include "link/message_sink.hpp"

namespace brisko::test {

// Collects every message it is told.
class RecordingSink final : public MessageSink {
 public:
  void Tell(const std::string& text) override { messages.push_back(text); }
  bool Saw(const std::string& text) const {
    for (const auto& m : messages)
      if (m == text) return true;
    return false;
  }
  std::vector<std::string> messages;
};

}  // namespace brisko::test
