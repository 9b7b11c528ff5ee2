// The rule of which characters a job note accepts as the user types them, decided by the note's
// flags alone. The quick-access pane applies it to every character typed into a note's field.
#pragma once

#include "PPDX/PPDObjects/Controls/PPDXJobNoteFlags.h"

// True when a note with `flags` accepts the character `c`. Digits are "0" to "9", letters the
// ASCII letters A-Z and a-z, a blank is the space character; every other character (accented
// letters, other scripts) counts as neither. In order:
//   - "LCD": digits, letters, ",", "-", "." and "_" only.
//   - no character flag at all (JobNoteFlagsAllowAnyText): anything.
//   - "," with "MultiComma", or a blank with "MultiSpace": accepted unless "Decimal" is set.
//   - "-" with "Hyphen": accepted.
//   - a digit with "Numeric", a letter with "Alpha", "-" with "Negative", a blank with "Space".
//   - "Decimal": digits, "." and ","; everything else is refused.
[[nodiscard]] bool JobNoteAcceptsCharacter(JobNoteFlag flags, char32_t c);
