#include "shell/flash/block_selection.hpp"

namespace brisko {

bool SelectBlockOrTell(const SessionRecord& record, FlashEngine& engine, Operator& op, int block,
                       const char* block0Failed, const char* block1Failed) {
  if (!record.SelectsBlocks()) return true;
  if (block == 0 ? engine.SelectBlock0() : engine.SelectBlock1()) return true;
  op.Tell(block == 0 ? block0Failed : block1Failed);
  return false;
}

}  // namespace brisko
