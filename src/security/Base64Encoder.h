// Base64Encoder: bytes to Base64 text (standard alphabet, "=" padding), as one line or in lines.
#pragma once

class Base64Encoder {
 public:
  // Characters in a line when line breaks are asked for.
  static constexpr int kLineLength = 76;

  // The Base64 characters needed for n bytes, without line breaks.
  static constexpr unsigned long EncodedLength(unsigned long n) { return (n + 2) / 3 * 4; }

  // Writes the Base64 form of n bytes to out and returns the number of characters written; no
  // terminator. Every 3 bytes give 4 characters; a final 1 or 2 bytes give 2 or 3 characters and
  // "==" or "=". With lineBreaks not 0 a "\n" follows every full line of 76 characters except at
  // the very end. out must hold EncodedLength(n) characters (plus one per line break). Returns 0
  // for a null pointer.
  int Encode(unsigned char const* data, unsigned int n, char* out, int lineBreaks) const;
};
