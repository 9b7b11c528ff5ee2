// The single-key DES functions of the enciphered job notes: one process-wide key schedule, set by
// deskey and used by des for one 8-byte block per call (electronic code book).
//
// The block cipher is libgcrypt's. The 32-word schedule that cpkey and usekey move out and in is
// this program's own saved form of the key and its direction; it is meant only for usekey.
// Panel thread only: a deskey and the des calls that use it must not interleave with another user.
#pragma once

// Directions of deskey.
inline constexpr short EN0 = 0;  // encipher
inline constexpr short DE1 = 1;  // decipher

// Number of words of a saved schedule (cpkey, usekey).
inline constexpr int kDESScheduleWords = 32;

// Makes the 8 bytes at key (parity bits ignored) the process-wide key, for deciphering when
// direction is DE1 and for enciphering otherwise. A null key clears the schedule.
void deskey(unsigned char* key, short direction);

// One 8-byte block from in to out through the current schedule; in and out may be the same
// buffer. Does nothing for a null pointer or when no key is set.
void des(unsigned char* in, unsigned char* out);

// Copies the current schedule out into 32 words; nothing for a null pointer.
void cpkey(unsigned long* into);

// Makes 32 words saved by cpkey the current schedule; words that cpkey did not write clear the
// schedule. Nothing for a null pointer.
void usekey(unsigned long* from);
