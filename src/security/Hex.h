// toHex: bytes as upper-case hexadecimal text, the form enciphered job notes are sent in.
#pragma once

// Writes 2n characters to out, each byte as two digits of "0123456789ABCDEF", high half first.
// No terminator is written. Does nothing when a pointer is null or n is below 1.
void toHex(const unsigned char* bytes, int n, char* out);
void toHex(const char* bytes, int n, char* out);
