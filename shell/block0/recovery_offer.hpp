#pragma once
#include <optional>
#include <string>
#include <vector>

#include "link/agreed_read.hpp"
#include "shell/block0/recovery_file.hpp"

namespace brisko {

class Session;

// How a recovery file relates to the chip that is connected.
enum class RecoveryFit {
  Belongs,        // same model, the fingerprint matches
  BelongsWeakly,  // the same, but the fingerprint is blank: it cannot tell two chips apart
  Unknown,        // an earlier version's file: no record of its chip
  Foreign,        // another model, or another chip's fingerprint
};
RecoveryFit FitOf(const RecoveryRecord& record, int model, const RangeReader& read);

// Whether the chip's areas of the record hold the record's bytes; none when
// they could not be read.
std::optional<bool> AreasHoldRecord(const RangeReader& read, const RecoveryRecord& record);

// After a detection in internal memory mode. Each recovery file that belongs
// to this chip and whose bytes are not in it is offered back (an earlier
// version's file only when the chip looks displaced there); a file whose
// bytes are back already is removed; the files of other chips are listed and
// kept. A file is applied on a question its fingerprint lets a front end's
// "--yes" answer only when the fingerprint tells this chip from others.
void OfferRecoveryFiles(Session& session);

// Before a flow displaces `areas`: the recovery files in `dataDir` of this
// chip (a `model`, read through `read`), newest first, that overlap them and
// whose bytes are not back. A flow must not keep what such an interruption
// left there as the user's bytes.
struct UnrestoredRecovery {
  RecoveryRecord record;
  RecoveryFit fit;
};
std::vector<UnrestoredRecovery> UnrestoredRecoveriesFor(const std::string& dataDir, int model, const RangeReader& read,
                                                        const std::vector<RecoveryArea>& areas);
// The operator's text for that refusal.
std::string UnrestoredRecoveryText(const RecoveryRecord& record);

// Erases and programs the record's areas and checks them; true when the chip
// holds the record's bytes afterwards. The file stays; the caller removes it.
bool PutRecordBack(Session& session, const RecoveryRecord& record);

}  // namespace brisko
