#pragma once
#include <string>

namespace brisko {

// Where the link and the engine report a failure to the operator: one modal
// message with an OK button, exact text, returning once it has been read.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void Tell(const std::string& text) = 0;
};

// A sink that drops everything; for callers that have nobody to tell.
class SilentSink final : public MessageSink {
 public:
  void Tell(const std::string&) override {}
};

}  // namespace brisko
