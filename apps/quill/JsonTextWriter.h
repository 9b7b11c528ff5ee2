// Writes JSON text straight to a stream while the caller walks its data, laid out as
// nlohmann's dump(2) lays out a document (two-space indent, "key": value, empty containers as
// {} and []), with the same string escapes and the same replacement of invalid UTF-8. The large
// tree is written without building a document first, so its time and memory stay small.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace quill::cli {

class JsonTextWriter {
 public:
  // Writes to `out` (not owned), in blocks; Finish or the destructor writes what is left.
  explicit JsonTextWriter(std::FILE* out);
  ~JsonTextWriter();
  JsonTextWriter(const JsonTextWriter&) = delete;
  JsonTextWriter& operator=(const JsonTextWriter&) = delete;

  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  // The name of the next member of the open object; `name` is written as given (plain ASCII
  // member names only).
  void Key(std::string_view name);

  void String(std::string_view text);
  // null for a null text.
  void TextOrNull(const char* text);
  void Null();
  void Bool(bool value);
  void Integer(long long value);
  // Shortest round-trip digits as nlohmann writes doubles; null for NaN and infinities.
  void Double(double value);

  // Writes the buffered text (and a final newline when `newline`) to the stream. Returns false
  // when the stream reports a write error.
  [[nodiscard]] bool Finish(bool newline);

 private:
  struct Level {
    bool object;
    bool empty;
  };

  // Separator and indent before a value (in an array) or before a member name (in an object).
  void BeforeItem();
  void Close(char bracket);
  void Indent(size_t depth);
  void Append(std::string_view text);
  void Flush();

  std::FILE* out_;
  std::string buffer_;
  std::vector<Level> levels_;
  bool afterKey_ = false;
  bool failed_ = false;
};

}  // namespace quill::cli
