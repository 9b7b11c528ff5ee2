// KRTWatermark: one watermark the user can put across the page, kept as the one-line record text
// that the job-properties module edits and the session stores, and read into its fields.
//
// The record text is comma-separated: clear-ink flag, horizontal and vertical offset from the page
// centre, red, green, blue (0 to 255), unused, first-page-only flag ("1"), unused, angle in tenths
// of a degree, two unused fields, font size, PostScript font name, and then the watermark text,
// which is everything after the fourteenth comma, commas included. Every comma separates: an empty
// field stays in its place and reads as 0 (or an empty name).
//
// A record is refused (IsValid() false, no font name, no text, no hexadecimal text) when its text
// holds a control character, which would break the one-line stored form, or when the font name
// holds a character that would end a PostScript name (white space, "()<>[]{}/%") or one outside
// printable ASCII. The watermark text itself reaches PostScript only as hexadecimal digits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class KRTWatermark {
 public:
  static constexpr std::size_t kMaxRecordText = 5119;  // characters of the whole record kept
  static constexpr std::size_t kMaxFontName = 63;      // bytes of the font name kept
  static constexpr std::size_t kMaxText = 255;         // bytes of UTF-8 watermark text kept
  static constexpr std::size_t kMaxHexText = 510;      // two digits for each byte of the text

  // Parses `recordText` (null reads as empty). Over-long parts are cut (the text and the record
  // never in the middle of a UTF-8 character); the hexadecimal text starts empty.
  explicit KRTWatermark(const char* recordText);

  // Whether `recordText` would make a valid record; the reason in *why otherwise.
  [[nodiscard]] static bool CheckRecordText(std::string_view recordText, std::string* why = nullptr);

  [[nodiscard]] bool IsValid() const { return problem_.empty(); }
  // Why the record was refused; empty for a valid one.
  [[nodiscard]] const std::string& Problem() const { return problem_; }

  // Sets the first-page-only flag to whether `value` is "True" (null: false).
  void SetFirstPageOnly(const wchar_t* value);
  void SetFirstPageOnly(bool value) { firstPageOnly_ = value; }

  // The watermark text converted for `language` and the font, as two upper-case hexadecimal
  // digits per byte. The first call fixes the result: later calls return it whatever their
  // arguments. Conversions:
  //   "Chinese": GBK; "Russian", "Turkish", "Polish", "Czech": the UTF-8 text unchanged;
  //   "Japanese" with a CMap font (name ending "-H" or "-V"): Shift-JIS; otherwise ISO Latin-9.
  // In the GBK and Latin-9 forms a euro sign (byte A4 in Latin-9) becomes byte 80, where the
  // watermark's re-encoded font keeps it; bytes inside GBK double-byte characters are left alone.
  // A character the target encoding lacks becomes "?". Empty for a refused record. Null language
  // or font name read as empty.
  [[nodiscard]] const char* GetWMTextInHex(const char* language, const char* fontName);

  [[nodiscard]] bool ClearInk() const { return clearInk_; }
  [[nodiscard]] int32_t XOffset() const { return xOffset_; }
  [[nodiscard]] int32_t YOffset() const { return yOffset_; }
  [[nodiscard]] int32_t Angle() const { return angle_; }  // tenths of a degree
  [[nodiscard]] int32_t FontSize() const { return fontSize_; }
  [[nodiscard]] bool FirstPageOnly() const { return firstPageOnly_; }
  [[nodiscard]] int32_t Red() const { return red_; }
  [[nodiscard]] int32_t Green() const { return green_; }
  [[nodiscard]] int32_t Blue() const { return blue_; }
  // The record text as given (cut to kMaxRecordText), also for a refused record.
  [[nodiscard]] const std::string& RecordText() const { return recordText_; }
  [[nodiscard]] const std::string& FontName() const { return fontName_; }
  // The watermark text, UTF-8.
  [[nodiscard]] const std::string& Text() const { return text_; }

 private:
  bool clearInk_ = false;
  int32_t xOffset_ = 0;
  int32_t yOffset_ = 0;
  int32_t angle_ = 0;
  int32_t fontSize_ = 0;
  bool firstPageOnly_ = false;
  int32_t red_ = 0;
  int32_t green_ = 0;
  int32_t blue_ = 0;
  std::string recordText_;
  std::string fontName_;
  std::string text_;
  std::string hexText_;
  bool hexDone_ = false;
  std::string problem_;
};
