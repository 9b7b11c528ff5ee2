#include "PPDX/PPDObjects/Controls/JobNoteCharacterRule.h"

namespace {

bool is_digit(char32_t c) { return c >= U'0' && c <= U'9'; }
bool is_letter(char32_t c) { return (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z'); }
bool has(JobNoteFlag flags, JobNoteFlag flag) { return (flags & flag) != 0; }

}  // namespace

bool JobNoteAcceptsCharacter(JobNoteFlag flags, char32_t c) {
  if (has(flags, kJobNoteLCD)) {
    return is_digit(c) || is_letter(c) || c == U',' || c == U'-' || c == U'.' || c == U'_';
  }
  if (JobNoteFlagsAllowAnyText(flags)) return true;

  const bool decimal = has(flags, kJobNoteDecimal);
  // Separators are accepted on their own only outside decimal notes, where "," is the decimal
  // comma and a blank would split the number; there the decimal rule below decides.
  if (c == U',' && has(flags, kJobNoteMultiComma) && !decimal) return true;
  if (c == U' ' && has(flags, kJobNoteMultiSpace) && !decimal) return true;
  if (c == U'-' && has(flags, kJobNoteHyphen)) return true;

  if (is_digit(c) && has(flags, kJobNoteNumeric)) return true;
  if (is_letter(c) && has(flags, kJobNoteAlpha)) return true;
  if (c == U'-' && has(flags, kJobNoteNegative)) return true;
  if (c == U' ' && has(flags, kJobNoteSpace)) return true;

  return decimal && (is_digit(c) || c == U'.' || c == U',');
}
