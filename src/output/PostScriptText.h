// PostScriptText: how values reach the text of a print job. Values that come from users, PPDs,
// the host or settings files go into PostScript strings or DSC comment lines, and must never end
// either early: a line end would start a new comment or code line, and an unescaped parenthesis
// would end a string and let the rest of the value run as code. Numbers are written the same way
// whatever the process's locale (a decimal point, never a comma).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace quill {

// The value as the inside of a PostScript string "( ... )": backslashes doubled, parentheses
// written as "\050" and "\051", control characters (below 0x20, and DEL) as three-digit octal
// escapes. The string the interpreter reads back is the value, byte for byte.
[[nodiscard]] std::string PSStringText(std::string_view value);

// The value as part of a comment line: control characters (below 0x20, and DEL) become
// three-digit octal escapes ("\012" for a line feed), so the value stays on its line. Everything
// else is kept as it is.
[[nodiscard]] std::string PSCommentText(std::string_view value);

// True when the value holds a byte below 0x20 or DEL.
[[nodiscard]] bool HasPSControlCharacter(std::string_view value);

// A fixed-point number for FormatPS: `value` with `precision` digits after the point.
struct PSFixed {
  double value;
  int precision;
};
using PSArg = std::variant<std::string_view, long long, PSFixed>;

// printf-style formatting that does not depend on the locale. Conversions: "%s" (a string
// argument, copied as it is), "%d" (an integer), "%f" with an optional width and precision such
// as "%.1f", "%1.2f" or "%.2f" (a PSFixed or an integer; the format's precision wins), and "%%".
// A conversion without a matching argument writes nothing; arguments past the last conversion are
// ignored.
[[nodiscard]] std::string FormatPS(std::string_view format, std::initializer_list<PSArg> args);

// `value` with `precision` digits after the decimal point, rounded to nearest, "C" style.
[[nodiscard]] std::string FixedText(double value, int precision);

}  // namespace quill
