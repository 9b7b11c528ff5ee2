// HexLanguageExceptions: the PPD languages ("*LanguageVersion" values) whose declared
// "*LanguageEncoding" is always trusted.
//
// Many PPDs of Western languages declare ISOLatin1 but carry Mac Roman bytes; the text converter
// reads 8-bit text of such PPDs as Mac Roman. For the languages named here the declared encoding
// is the only sensible reading, so it is kept.
#pragma once

#include <set>
#include <string>

class HexLanguageExceptions {
 public:
  // Fills the set with the trusted languages.
  HexLanguageExceptions();
  virtual ~HexLanguageExceptions();

  // True when `language` is one of the trusted languages (exact, case-sensitive match).
  [[nodiscard]] bool IsException(std::string language) const;

 private:
  std::set<std::string> languages_;
};
