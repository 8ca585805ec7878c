#include "chip/session_record.hpp"

namespace brisko {

SessionRecord::SessionRecord(MessageSink& owner, DeviceOpener opener, LinkTiming timing)
    : port_(owner, std::move(opener), timing) {
  applyGeometry();
}

void SessionRecord::applyGeometry() {
  const ChipDescription& chip = DescribeChip(chipModel_);
  blocks_[0] = chip.blocks[0];
  blocks_[1] = chip.blocks[1];
}

void SessionRecord::AllocateImages() {
  for (int b = 0; b < 2; ++b) {
    blockImages_[b] = BlockSize(b) > 0 ? FlashImage(BlockSize(b) + 16) : FlashImage();
  }
  externalBankImage_ = FlashImage(kExternalBankImageSize);
}

}  // namespace brisko
