// KRPDEData: the pop-up job-note preferences record of the current user.
//
// The queue's PPD holds the data block "PopupJnData": an old-style property-list dictionary whose
// keys are login names and whose values are the users' records. A record is three flag bytes
// (enabled "1"/"0", account setting "1"/"2", show last "1"/"0") and then ten lines, each ended by a
// line feed: note keyword 1, saved text 1, ..., note keyword 5, saved text 5 (UTF-8).
#pragma once

// Size of the buffer a caller hands to KRPDEDataRead. It holds the largest record a writer makes
// (three flags, five keywords of up to 40 bytes and five texts of up to 255 Mac Roman characters,
// which take up to 765 bytes in UTF-8, each with its line feed) and the NUL.
inline constexpr int kKRPDERecordBufferSize = 4096;

// Reads the current user's record from the "PopupJnData" block of the current PPD
// (Globals().currentPPDPath). `out` must hold kKRPDERecordBufferSize bytes; `name` is not used.
// Answers:
//  0: the record was copied into `out` (NUL-terminated; *outLen is its length), or the block is
//     missing or empty (out empty, *outLen 0);
//  1: there is no current PPD path, or the block's text (up to its first NUL) is not a property
//     list, or it holds no string under the user's login name (out empty, *outLen 0);
// -1: `out` or `outLen` is null.
// A record longer than the buffer is cut at a UTF-8 character boundary to fit.
int KRPDEDataRead(char const* name, char* out, int* outLen);

// Stores the current user's record `text` (see PopupJnRecord.h for how it is built): reads the
// "PopupJnData" block of the current PPD, sets the user's entry (keeping every other user's) and
// sends the dictionary's old-style text to the current printer as "command_PopupJnData", whose
// filter stores the block. It does not wait for the filter. `name` is not used. Answers:
//  0: sent;
//  1: there is no current PPD path (nothing read or sent);
//  2: the PPD does not open, or the stored block is not a dictionary (nothing sent, so no other
//     user's record is lost);
//  3: there is no current printer, or the send failed;
// -1: `text` is null.
int KRPDEDataWrite(char const* name, char const* text);
