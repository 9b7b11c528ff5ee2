// PrintJob: the print half of the filter. A PostScript job that names a job ticket in its options
// gets the ticket's pieces put in (TicketInjector) as it streams from input to output; a job that
// names none passes unchanged. A ticket that cannot be used stops the job before anything is
// written: it is never printed without the pieces it asked for.
#pragma once

#include <string>
#include <vector>

#include "FilterJob.h"
#include "TicketInjector.h"

namespace quill::cqf {

// Bytes read from the job at a time.
inline constexpr size_t kPrintReadSize = 128 * 1024;

// Prints `job` to standard output. 0 on success; 1 after an "ERROR:" line when the ticket is
// refused, the input cannot be read or the output cannot be written.
int RunPrintJob(const FilterJob& job);

// Streams `in` to `out` with the ticket's `pieces` put in (unchanged when `pieces` is null). False,
// with the reason in *error, when the pieces cannot be placed (nothing is written then), or
// reading or writing fails.
bool StreamJob(int in, int out, const std::vector<KRTJobTicket::Piece>* pieces, std::string* error);

}  // namespace quill::cqf
