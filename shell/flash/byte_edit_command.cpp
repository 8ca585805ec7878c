#include "shell/flash/byte_edit_command.hpp"

#include <array>
#include <cstdio>
#include <vector>

#include "link/command_primitives.hpp"
#include "link/result_codes.hpp"
#include "shell/flash/byte_edit_parsing.hpp"
#include "shell/block0/displaced_section.hpp"
#include "shell/session/session.hpp"
#include "shell/block0/recovery_offer.hpp"
#include "shell/block0/recovery_record.hpp"

namespace brisko {
namespace {

constexpr const char* kReadFailed = "Failed to Read data byte from the chip!";
constexpr std::uint8_t kAck = 0xC0;

// Reads `count` bytes from block 0 with one 0Ch frame.
bool ReadBytes(SerialPort& port, std::uint32_t address, std::uint32_t count, std::uint8_t* out) {
  if (SendFrame(port, cmd::kRead, static_cast<std::uint16_t>(address), static_cast<std::uint8_t>(count)) != 1)
    return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!port.ReadByte(out[i])) {
      // Late bytes of this answer must not pass for the next one.
      port.PurgeInput();
      return false;
    }
  }
  return true;
}

// The texts of one sector's erase and program, first or second sector.
struct SectorTexts {
  const char* eraseNotSent;
  const char* noStatus;
  const char* programNotSent;
};
constexpr SectorTexts kFirstSector{"Failed to send Sector Erase command to the chip!", "Failed to Read the Status byte!",
                                   "Failed to send Byte Program command to the chip!"};
constexpr SectorTexts kSecondSector{"Failed to send 2nd Sector Erase command to the chip!",
                                    "Failed to Read 2nd Status byte!",
                                    "Failed to send 2nd Byte Program command to the chip!"};

// The message of a failed program; "" when the bytes went out.
std::string ProgramSector(SerialPort& port, std::uint32_t sector, const std::uint8_t* data, const SectorTexts& texts) {
  if (SendFrame(port, cmd::kProgram, static_cast<std::uint16_t>(sector), kEditSectorSize & 0xFF) != 1)
    return texts.programNotSent;
  for (std::uint32_t i = 0; i < kEditSectorSize; ++i)
    if (!port.WriteByte(data[i])) return "Failed to edit byte to the chip!";
  return "";
}

class ByteEditSession {
 public:
  explicit ByteEditSession(Session& session)
      : session_(session),
        port_(session.Record()->Port()),
        model_(session.Record()->GetChipModel()),
        read_(LoaderReader(session.Record()->Port())) {}

  CommandOutcome Run() {
    CommandOutcome last = CommandOutcome::Declined();
    for (;;) {
      switch (session_.Op().EditBytes(dialog_)) {
        case ByteEditButton::ReturnToMainMenu: return last;
        case ByteEditButton::DisplayData: last = Display(); break;
        case ByteEditButton::ReplaceData: last = Replace(); break;
      }
    }
  }

 private:
  CommandOutcome Refuse(const std::string& text) {
    session_.Op().Tell(text);
    return CommandOutcome::Refused(Refusal::BadInput);
  }
  CommandOutcome Fail(const std::string& text, const char* step) {
    session_.Op().Tell(text);
    return CommandOutcome::Failed(step, Result::Failed);
  }

  CommandOutcome Display() {
    const EditAddress at = ParseEditAddress(dialog_.addressText, model_);
    if (!at.refusal.empty()) return Refuse(at.refusal);
    std::array<std::uint8_t, kEditMaxBytes> bytes{};
    if (!ReadBytes(port_, at.address, at.count, bytes.data())) return Fail(kReadFailed, "read");
    address_ = at.address;
    dialog_.displayText = FormatEditBytes(std::span(bytes.data(), at.count));
    CommandOutcome shown = CommandOutcome::Success("displayed");
    shown.address = at.address;
    shown.bytes = at.count;
    shown.block = 0;
    return shown;
  }

  CommandOutcome Replace() {
    CommandOutcome shown = Display();
    if (!shown.Ok()) return shown;
    const EditData data = ParseEditData(dialog_.newDataText, dialog_.displayText.size());
    if (data.verdict == EditData::Verdict::ClearField) {
      dialog_.newDataText.clear();
      return CommandOutcome::Refused(Refusal::BadInput);
    }
    if (data.verdict == EditData::Verdict::Refused) return Refuse(data.refusal);

    const EditSpan span = SpanOfEdit(address_, data.bytes.size());
    const std::uint32_t length = span.twoSectors ? 2 * kEditSectorSize : kEditSectorSize;
    // The sectors are erased and written back: read until two reads agree,
    // so that a byte corrupted on the line is neither written back nor taken
    // as the check's reference.
    std::vector<RecoveryArea> before{{span.firstSector, std::vector<std::uint8_t>(length)}};
    if (!ReadAreasAgreed(read_, before)) return Fail(kReadFailed, "read sectors");
    work_.fill(0xFF);
    std::copy(before[0].bytes.begin(), before[0].bytes.end(), work_.begin());
    std::copy(data.bytes.begin(), data.bytes.end(), work_.begin() + span.offset);
    if (!session_.Op().Ask("Data in block 0 will be modified.\nProceed to modify?")) return CommandOutcome::Declined();

    if (const auto waiting =
            UnrestoredRecoveriesFor(session_.Places().dataDir, session_.Record()->GetChipModel(), read_, before);
        !waiting.empty()) {
      session_.Op().Tell(UnrestoredRecoveryText(waiting.front().record));
      return CommandOutcome::Refused(Refusal::BadInput);
    }
    std::string whyNot;
    if (!KeepForRecovery(*session_.Record(), session_.Places().dataDir, "byte edit", before, read_, recovery_, whyNot))
      return Fail("Failed to write the block 0 recovery file\n(" + whyNot + ").\nNothing has been erased.",
                  "write the recovery file");
    CommandOutcome result;
    {
      const DisplacedSection section(
          session_, DisplacedText("a byte edit had block 0 at " + recovery_.AreaText() + " erased", recovery_.path));
      if (!section.Entered()) {
        RemoveRecoveryFile(recovery_.path);
        return CommandOutcome::Cancelled("edit", "nothing on the chip was changed");
      }
      result = RewriteSector(span.firstSector, work_.data(), kFirstSector);
      if (result.Ok() && span.twoSectors)
        result = RewriteSector(span.firstSector + kEditSectorSize, work_.data() + kEditSectorSize, kSecondSector);
    }
    if (!result.Ok()) return result;
    RemoveRecoveryFile(recovery_.path);
    if (span.twoSectors) {
      session_.Window().ProgressSetText("Done");
      Display();
    }
    if (session_.State().cancelRequested) return CommandOutcome::Cancelled("edit", "the new bytes are written and checked");
    return Edited(result, span, data.bytes.size());
  }

  CommandOutcome Edited(CommandOutcome result, const EditSpan& span, std::size_t count) {
    if (!result.Ok()) return result;
    result.action = "edited";
    result.address = span.firstSector + span.offset;
    result.bytes = count;
    result.block = 0;
    result.verified = true;
    return result;
  }

  // Erase, program (once more if that fails: the sector is blank by now and
  // its bytes are only in the host) and read back one sector.
  CommandOutcome RewriteSector(std::uint32_t sector, const std::uint8_t* data, const SectorTexts& texts) {
    session_.Window().ProgressSetText("Erasing");
    if (SendFrame(port_, cmd::kErase, static_cast<std::uint16_t>(sector), 0x01) != 1)
      return Fail(texts.eraseNotSent, "erase");
    std::uint8_t status = 0;
    if (!port_.ReadByte(status) || status != kAck) return Lost(sector, data, texts.noStatus, "erase");
    session_.Window().ProgressSetText("Writing");
    std::string failure = ProgramSector(port_, sector, data, texts);
    if (!failure.empty()) {
      port_.PurgeInput();
      if (!ProgramSector(port_, sector, data, texts).empty()) return Lost(sector, data, failure, "program");
    }
    std::array<std::uint8_t, kEditSectorSize> readBack{};
    if (!ReadBytes(port_, sector, kEditSectorSize, readBack.data()) ||
        !std::equal(readBack.begin(), readBack.end(), data)) {
      char text[128];
      std::snprintf(text, sizeof text, "Sector %04Xh does not hold the edited data after the write!",
                    static_cast<unsigned>(sector));
      return Lost(sector, data, text, "verify");
    }
    return CommandOutcome::Success();
  }

  // The sector on the chip is erased or half written: its bytes from before
  // the edit wait in the recovery file written before the erase.
  CommandOutcome Lost(std::uint32_t, const std::uint8_t*, const std::string& text, const char* step) {
    session_.Op().Tell(text);
    session_.Op().Tell("The bytes of " + recovery_.AreaText() + " from before the edit are in the file\n" +
                 recovery_.path + "\nThe next detection of this chip offers to put them back.");
    return CommandOutcome::Failed(step, Result::Failed);
  }

  Session& session_;
  SerialPort& port_;
  int model_;
  ByteEditDialog dialog_;
  std::uint32_t address_ = 0;
  std::array<std::uint8_t, 2 * kEditSectorSize> work_{};
  RangeReader read_;
  RecoveryRecord recovery_;
};

bool EditAllowed(int model, std::uint8_t securityBits) {
  if (IsKT400(model)) return securityBits == 0x00 || securityBits == 0x20 || securityBits == 0x40;
  return securityBits == 0x00 || securityBits == 0x20 || securityBits == 0x40 || securityBits == 0x80 ||
         securityBits == 0xC0;
}

}  // namespace

CommandOutcome OnEditBlock0(Session& session) {
  if (auto refused = session.RefuseOnEntry(true, false)) return *refused;
  SessionRecord* record = session.Record();
  const SessionState& state = session.State();
  if (record->GetMemoryMode() != kInternalMemory || state.ExternalBankSelected()) {
    session.Op().Tell("Byte Edit only works in Internal Memory Mode!");
    return CommandOutcome::Refused(Refusal::NotSupported);
  }
  const int model = record->GetChipModel();
  if (!EditAllowed(model, state.securityBits)) {
    session.Op().Tell("Byte Edit doesn't work if Block0 is hardlocked!");
    return CommandOutcome::Refused(Refusal::SecurityLock);
  }
  if (model >= kKT540 && model <= kKT560 && !session.Engine().SelectBlock0()) {
    session.Op().Tell("Byte Edit Failed!");
    return CommandOutcome::Failed("select block 0", Result::Failed);
  }
  return ByteEditSession(session).Run();
}

}  // namespace brisko
