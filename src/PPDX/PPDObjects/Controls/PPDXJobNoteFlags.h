// JobNoteFlag: the flag set of a job note, one bit per flag word of the PPD's "*%KRTJobNote"
// definition, and `jnFlags`, the table the PPD parser maps those words to bits with.
#pragma once

#include <cstddef>
#include <cstdint>

// A job note's flags; bit n is set when the PPD gave the word of table row n.
using JobNoteFlag = uint32_t;

inline constexpr JobNoteFlag kJobNoteAlpha = 1u << 0;    // letters accepted
inline constexpr JobNoteFlag kJobNoteNumeric = 1u << 1;  // digits accepted
inline constexpr JobNoteFlag kJobNoteDecimal = 1u << 2;  // digits, "." and "," accepted
inline constexpr JobNoteFlag kJobNoteRequired = 1u << 3;
inline constexpr JobNoteFlag kJobNoteRemembered = 1u << 4;
inline constexpr JobNoteFlag kJobNotePassword = 1u << 5;  // shown as a password field
inline constexpr JobNoteFlag kJobNoteAlwaysDisplay = 1u << 6;
inline constexpr JobNoteFlag kJobNoteResume = 1u << 7;  // "%%PersPassword: " comment
inline constexpr JobNoteFlag kJobNoteMember = 1u << 8;  // "%%DeptPassword: " comment
inline constexpr JobNoteFlag kJobNoteOnOffSwitch = 1u << 9;
inline constexpr JobNoteFlag kJobNoteLengthReq = 1u << 10;
inline constexpr JobNoteFlag kJobNoteSecPrint = 1u << 11;
inline constexpr JobNoteFlag kJobNoteCommand = 1u << 12;
inline constexpr JobNoteFlag kJobNoteSpace = 1u << 13;       // a blank accepted
inline constexpr JobNoteFlag kJobNoteNegative = 1u << 14;    // "-" accepted
inline constexpr JobNoteFlag kJobNoteEncrypt = 1u << 15;     // enciphered on output
inline constexpr JobNoteFlag kJobNoteMultiSpace = 1u << 16;  // blanks as separators
inline constexpr JobNoteFlag kJobNoteMultiComma = 1u << 17;  // commas as separators
inline constexpr JobNoteFlag kJobNoteLCD = 1u << 18;         // digits, letters, ",-._" only
inline constexpr JobNoteFlag kJobNoteHyphen = 1u << 19;      // "-" accepted
inline constexpr JobNoteFlag kJobNoteTwoCharField = 1u << 20;
inline constexpr JobNoteFlag kJobNoteNoComma = 1u << 21;
inline constexpr JobNoteFlag kJobNoteMinLength = 1u << 22;  // the word carries the minimum
inline constexpr JobNoteFlag kJobNoteUTF8 = 1u << 23;
inline constexpr JobNoteFlag kJobNoteAESEncrypt = 1u << 24;  // enciphered with AES on output
inline constexpr JobNoteFlag kJobNotePopupJN = 1u << 25;     // a pop-up (accounting) note

// The flags that restrict which characters a note accepts; a note with none of them takes any.
inline constexpr JobNoteFlag kJobNoteCharacterFlags =
    kJobNoteAlpha | kJobNoteNumeric | kJobNoteDecimal | kJobNoteSpace | kJobNoteNegative |
    kJobNoteMultiSpace | kJobNoteMultiComma;

// True when `flags` put no restriction on the characters of the note.
constexpr bool JobNoteFlagsAllowAnyText(JobNoteFlag flags) {
  return (flags & kJobNoteCharacterFlags) == 0;
}

// One row of the flag table: the flag word as the PPD writes it and its bit number (the flag
// value is 1 shifted left by the bit number).
struct JobNoteFlagName {
  char const* name;
  int bit;
};

inline constexpr size_t kJobNoteFlagCount = 26;

// The flag words in table order. Extension support allows a prefix of this table: the first 9
// rows (to "Member"), 12 (to "SecPrint"), 15 (to "Negative") or all of them.
inline constexpr JobNoteFlagName jnFlags[kJobNoteFlagCount] = {
    {"Alpha", 0},         {"Numeric", 1},     {"Decimal", 2},       {"Required", 3},
    {"Remembered", 4},    {"Password", 5},    {"AlwaysDisplay", 6}, {"Resume", 7},
    {"Member", 8},        {"OnOfSwitch", 9},  {"LengthReq", 10},    {"SecPrint", 11},
    {"Command", 12},      {"Space", 13},      {"Negative", 14},     {"Encrypt", 15},
    {"MultiSpace", 16},   {"MultiComma", 17}, {"LCD", 18},          {"Hyphen", 19},
    {"TwoCharField", 20}, {"NoComma", 21},    {"MinLength", 22},    {"UTF8", 23},
    {"AESEncrypt", 24},   {"PopupJN", 25},
};
