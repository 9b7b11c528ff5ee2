// TicketFile: finds the job ticket that a print job names in its options, reads it and takes it
// away from where the panel left it.
//
// The job's options carry the ticket key (CreatePostscriptDataFileKey) with the ticket's path,
// which the filter's command half wrote on "Command_PSTempFileName" / "Command_WritePSTemp". The
// path must lie inside the cache folder (and outside the filter's own state folder there). On the
// first read the file is moved to "<cache>/.quill-cqf/jobs/<job id>-<name>" (mode kept, owner lp),
// so that a retry of the same job by CUPS finds it there; kept tickets are removed after
// kKeepTicketSeconds. A ticket whose content is refused is deleted at once.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "output/KRTJobTicket.h"

namespace quill::cqf {

struct TicketLookup {
  enum class Status {
    kNone,     // the job names no ticket: it prints unchanged
    kLoaded,   // `pieces` holds the ticket
    kRefused,  // the job names a ticket that cannot be used; `error` says why
  };
  Status status = Status::kNone;
  std::vector<KRTJobTicket::Piece> pieces;
  std::string path;   // the ticket file, once confined
  std::string error;  // one line
};

// How long a ticket is kept for retries of its job.
inline constexpr long kKeepTicketSeconds = 24 * 60 * 60;
// The largest ticket file read; a ticket holds a few kilobytes of text.
inline constexpr size_t kMaxTicketFile = 4u << 20;

// Looks up the ticket key in `options` (the job's option text, as cupsd passes it) and loads the
// ticket it names for job `jobId` (a cupsd job id; any other text keeps nothing for retries and
// deletes the ticket once read). Refused when the path is empty or outside the cache folder, the file is
// missing, not a regular file, unreadable, larger than kMaxTicketFile, or not a ticket property
// list (a truncated or damaged file included).
[[nodiscard]] TicketLookup LoadJobTicket(std::string_view options, std::string_view jobId);

}  // namespace quill::cqf
