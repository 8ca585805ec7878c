// brisko-cli with the link's limits scaled down: the shipped program's
// argument handling, signals and exit status, without its six-second waits,
// for the tests that interrupt whole runs against brisko-sim.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/run_cli.hpp"

int main(int argc, char** argv) {
  brisko::LinkTiming timing = brisko::LinkTiming::Scaled(0.1);
  const brisko::LinkTiming real;
  // What a byte may take to come keeps the real limits: they cost nothing
  // while the chip answers, and a loaded machine must not turn a slow answer
  // into a missing one.
  timing.inputWait = real.inputWait;
  timing.readCompletion = real.readCompletion;
  timing.writeCompletion = real.writeCompletion;
  timing.writeBytesCompletion = real.writeBytesCompletion;
  timing.drainWait = real.drainWait;
  // Waits that only end when nothing answers, which the tests interrupt.
  timing.unknownVersionSync = real.unknownVersionSync;
  timing.legacyWait = real.legacyWait;
  // brisko-sim keeps the real chip's pace where the host's limits must not
  // be shorter: it erases itself for most of the real pause, its 1.1E loader
  // prompts again only after a second, and the worker thread's replies come
  // from a real thread.
  timing.chipErasePause = real.chipErasePause;
  timing.legacyPromptWait = real.legacyPromptWait;
  timing.legacyLateByte = real.legacyLateByte;
  timing.queueReplyWait = real.queueReplyWait;
  return brisko::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc), stdin, stdout, stderr, timing);
}
