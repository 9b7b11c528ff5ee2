// TicketFile: finds the job ticket that a print job names in its options, reads it and deletes it.
//
// The job's options carry the ticket key (CreatePostscriptDataFileKey) with the ticket's path,
// which the filter's command half wrote on "Command_PSTempFileName" / "Command_WritePSTemp". The
// path must lie inside the cache folder (and outside the filter's own state folder there); the
// file is deleted once it has been opened, also when what it holds is then refused, so that no
// ticket outlives its job.
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

// The largest ticket file read; a ticket holds a few kilobytes of text.
inline constexpr size_t kMaxTicketFile = 4u << 20;

// Looks up the ticket key in `options` (the job's option text, as cupsd passes it) and loads the
// ticket it names. Refused when the path is empty or outside the cache folder, the file is
// missing, not a regular file, unreadable, larger than kMaxTicketFile, or not a ticket property
// list (a truncated or damaged file included).
[[nodiscard]] TicketLookup LoadJobTicket(std::string_view options);

}  // namespace quill::cqf
