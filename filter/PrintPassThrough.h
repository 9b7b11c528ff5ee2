// PrintPassThrough: the print half of the filter. For now it hands the PostScript on unchanged,
// as a stream; putting the job ticket's pieces into the job comes with the ticket work.
#pragma once

#include "FilterJob.h"

namespace quill::cqf {

// Copies the job (its file, or standard input) to standard output in pieces; 0 on success, 1 when
// the input cannot be read or the output cannot be written.
int RunPrintJob(const FilterJob& job);

}  // namespace quill::cqf
