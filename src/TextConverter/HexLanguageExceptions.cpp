#include "TextConverter/HexLanguageExceptions.h"

HexLanguageExceptions::HexLanguageExceptions()
    : languages_{"Japanese",   "ChineseTrad", "ChineseSimp", "Chinese", "Korean",    "Czech",
                 "Russian",    "Bulg",        "Estonian",    "Greek",   "Hungarian", "Latvian",
                 "Lithuanian", "Polish",      "Romanian",    "Slovak",  "Slovenian"} {}

HexLanguageExceptions::~HexLanguageExceptions() = default;

bool HexLanguageExceptions::IsException(std::string language) const {
  return languages_.count(language) != 0;
}
