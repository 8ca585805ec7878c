#pragma once
#include <string>

namespace brisko {

// The progress pane that the flash operations drive.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void ProgressSetRange(int max) = 0;  // range 0..max, step 1
  virtual void ProgressReset() = 0;            // position 0
  virtual void ProgressAdvance() = 0;          // one step
  virtual void ProgressSetText(const std::string& label) = 0;
};

class NullProgress final : public ProgressSink {
 public:
  void ProgressSetRange(int) override {}
  void ProgressReset() override {}
  void ProgressAdvance() override {}
  void ProgressSetText(const std::string&) override {}
};

}  // namespace brisko
