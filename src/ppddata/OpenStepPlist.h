// OpenStepPlist: a reader for old-style (OpenStep) property-list text, the form in which the
// pop-up job-note preferences dictionary is stored:
//
//   { alice = "1101\nNoteName\nsaved text\n..."; "bob smith" = 0; }
//
// It knows strings (quoted with " or ', or unquoted runs of letters, digits and _$/:.-),
// arrays "( a, b )" and dictionaries "{ key = value; }", the escapes \a \b \f \n \r \t \v \" \'
// \\, \U followed by up to four hex digits (UTF-16, surrogate pairs joined) and \ followed by up
// to three octal digits (a character code, Latin-1 above 127), and comments /* */ and //.
// Strings are kept as UTF-8. Data values (<hex>) are not supported.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quill {

class OpenStepPlist {
 public:
  enum class Type { kString, kArray, kDictionary };

  // Deepest nesting of arrays and dictionaries accepted.
  static constexpr int kMaxDepth = 128;

  // Parses `text` as one value with nothing after it but white space and comments. Answers
  // nothing on malformed text (stray or missing punctuation, an unterminated string or comment,
  // a non-string key, nesting deeper than kMaxDepth, junk after the value, empty text) and then
  // puts a message with the line number into *error when `error` is not null. Never reads
  // outside `text`.
  static std::optional<OpenStepPlist> Parse(std::string_view text, std::string* error = nullptr);

  // A string value.
  explicit OpenStepPlist(std::string string = {})
      : type_(Type::kString), string_(std::move(string)) {}

  [[nodiscard]] Type type() const { return type_; }
  [[nodiscard]] bool IsString() const { return type_ == Type::kString; }
  [[nodiscard]] bool IsArray() const { return type_ == Type::kArray; }
  [[nodiscard]] bool IsDictionary() const { return type_ == Type::kDictionary; }

  // The text of a string value; "" for the other types.
  [[nodiscard]] const std::string& String() const { return string_; }
  // The elements of an array value, in order; empty for the other types.
  [[nodiscard]] const std::vector<OpenStepPlist>& Items() const;
  // The keys of a dictionary value in the order they first appear (a key given twice keeps its
  // first place and its last value); empty for the other types.
  [[nodiscard]] const std::vector<std::string>& Keys() const { return keys_; }
  // The value under `key` in a dictionary; null when absent or when this is not a dictionary.
  [[nodiscard]] const OpenStepPlist* Find(std::string_view key) const;

  // Building and writing values (OpenStepPlistWriter.cpp).
  // An empty array or dictionary.
  static OpenStepPlist MakeArray();
  static OpenStepPlist MakeDictionary();
  // Puts `value` under `key` in a dictionary (a present key keeps its place); false, with nothing
  // changed, when this is not a dictionary.
  bool Set(std::string key, OpenStepPlist value);
  // Appends `value` to an array; false, with nothing changed, when this is not an array.
  bool Append(OpenStepPlist value);
  // The old-style text of the value, which Parse reads back as an equal value: strings unquoted
  // when they are made only of the unquoted characters (and no '/'), else quoted with the
  // escapes \\ \" \n \t \r \a \b \f \v and three octal digits for other control characters; other
  // bytes, UTF-8 or not, are written as they are. Nested values are indented by four spaces.
  [[nodiscard]] std::string ToText() const;

  // Same type, same text, same keys and values in the same order.
  friend bool operator==(const OpenStepPlist& a, const OpenStepPlist& b);

 private:
  class Parser;
  explicit OpenStepPlist(Type type) : type_(type) {}

  Type type_;
  std::string string_;
  std::vector<std::string> keys_;      // dictionary keys, parallel to values_
  std::vector<OpenStepPlist> values_;  // array elements or dictionary values
};

}  // namespace quill
