// Base64Decoder: Base64 text to bytes, for a text that may arrive in several pieces.
//
// Characters outside the alphabet are skipped; the first "=" ends the text. The bits of an
// unfinished group carry over to the next call.
#pragma once

class Base64Decoder {
 public:
  Base64Decoder() = default;

  // Decodes n characters of text into out and returns the number of bytes written: 3 for every 4
  // alphabet characters, counting those left over from earlier calls. At "=" the bytes completed
  // so far are written and decoding ends: this and every later call return no more. out must
  // hold 3 * (n + 3) / 4 bytes. Returns 0 for a null pointer.
  int Decode(char const* text, unsigned int n, unsigned char* out);

 private:
  unsigned long accumulator_ = 0;  // bits of the characters gathered, 6 per character
  int gathered_ = 0;               // characters in the accumulator (0 to 3 between calls)
  int done_ = 0;                   // an "=" has been met
};
