// brisko-cli with the link's limits scaled down: the shipped program's
// argument handling, signals and exit status, without its six-second waits,
// for the tests that interrupt whole runs against brisko-sim.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/run_cli.hpp"

int main(int argc, char** argv) {
  using brisko::LinkTiming;
  LinkTiming timing = LinkTiming::Scaled(0.1);
  const LinkTiming real;
  // Real limits are kept for what a byte may take to come (they cost nothing
  // while the chip answers, and a loaded machine must not turn a slow answer
  // into a missing one), for the waits that only end when nothing answers
  // (the tests interrupt them), and where brisko-sim keeps the real chip's
  // pace: it erases itself for most of the real pause, its 1.1E loader
  // prompts again only after a second, and the worker thread's replies come
  // from a real thread.
  for (auto kept : {&LinkTiming::inputWait, &LinkTiming::readCompletion, &LinkTiming::writeCompletion,
                    &LinkTiming::writeBytesCompletion, &LinkTiming::drainWait, &LinkTiming::unknownVersionSync,
                    &LinkTiming::legacyWait, &LinkTiming::chipErasePause, &LinkTiming::legacyPromptWait,
                    &LinkTiming::legacyLateByte, &LinkTiming::queueReplyWait})
    timing.*kept = real.*kept;
  return brisko::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc), stdin, stdout, stderr, timing);
}
