#include "output/KRTWatermark.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwchar>
#include <optional>
#include <vector>

#include "foundation/UTF8.h"
#include "platform/TextEncoding.h"

namespace {

constexpr int kFieldsBeforeText = 14;
constexpr std::string_view kNameDelimiters = "()<>[]{}/%";

// The longest prefix of at most `limit` bytes that ends on a UTF-8 character boundary.
std::string_view CutUTF8(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

// The leading integer of a field as atoi reads it, clamped to 32 bits; 0 for an empty field.
int32_t ReadInt(std::string_view field) {
  std::size_t at = 0;
  while (at < field.size() && (field[at] == ' ' || (field[at] >= '\t' && field[at] <= '\r'))) ++at;
  bool negative = false;
  if (at < field.size() && (field[at] == '+' || field[at] == '-')) negative = field[at++] == '-';
  long long value = 0;
  for (; at < field.size() && field[at] >= '0' && field[at] <= '9'; ++at) {
    value = std::min<long long>(value * 10 + (field[at] - '0'), static_cast<long long>(INT_MAX) + 1);
  }
  return static_cast<int32_t>(std::clamp<long long>(negative ? -value : value, INT_MIN, INT_MAX));
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

bool IsNameCharacter(unsigned char c) {
  return c > 0x20 && c < 0x7F && kNameDelimiters.find(static_cast<char>(c)) == std::string_view::npos;
}

// Splits off the fields before the text: every comma ends a field, so empty fields keep their
// places. Returns the fields found and sets *text to what follows the last of them.
std::vector<std::string_view> SplitRecord(std::string_view record, std::string_view* text) {
  std::vector<std::string_view> fields;
  *text = {};
  while (static_cast<int>(fields.size()) < kFieldsBeforeText) {
    const auto comma = record.find(',');
    if (comma == std::string_view::npos) {
      fields.push_back(record);
      return fields;
    }
    fields.push_back(record.substr(0, comma));
    record.remove_prefix(comma + 1);
  }
  *text = record;
  return fields;
}

std::string_view Field(const std::vector<std::string_view>& fields, int position) {
  return position <= static_cast<int>(fields.size()) ? fields[position - 1] : std::string_view{};
}

// The text in `to`; a character that `to` lacks (or a byte that is no UTF-8) becomes "?".
std::string ConvertLossy(std::string_view utf8, quill::TextEncodingId to) {
  if (auto whole = quill::TextEncoding::Convert(utf8, quill::kEncodingUTF8, to)) return *whole;
  std::string out;
  for (const char32_t c : DecodeUTF8(utf8)) {
    std::string one;
    AppendUTF8(one, c);
    auto converted = quill::TextEncoding::Convert(one, quill::kEncodingUTF8, to);
    out += converted && !converted->empty() ? *converted : std::string("?");
  }
  return out;
}

// The euro sign of Latin-9 (A4) goes where the watermark's re-encoded font keeps it (80).
void MoveEuroLatin9(std::string& bytes) { std::replace(bytes.begin(), bytes.end(), '\xA4', '\x80'); }

// The same for GBK, where only a single-byte character may be replaced: a byte from 81 to FE
// starts a double-byte character whose second byte is left alone.
void MoveEuroGBK(std::string& bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b >= 0x81 && b <= 0xFE && i + 1 < bytes.size()) {
      ++i;
    } else if (b == 0xA4) {
      bytes[i] = '\x80';
    }
  }
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

KRTWatermark::KRTWatermark(const char* recordText) {
  const std::string_view whole = recordText == nullptr ? std::string_view{} : recordText;
  recordText_ = std::string(CutUTF8(whole, kMaxRecordText));
  std::string why;
  if (!CheckRecordText(recordText_, &why)) {
    problem_ = why;
    return;
  }
  std::string_view text;
  const auto fields = SplitRecord(recordText_, &text);
  clearInk_ = ReadInt(Field(fields, 1)) != 0;
  xOffset_ = ReadInt(Field(fields, 2));
  yOffset_ = ReadInt(Field(fields, 3));
  red_ = std::clamp(ReadInt(Field(fields, 4)), 0, 255);
  green_ = std::clamp(ReadInt(Field(fields, 5)), 0, 255);
  blue_ = std::clamp(ReadInt(Field(fields, 6)), 0, 255);
  firstPageOnly_ = Field(fields, 8) == "1";
  angle_ = ReadInt(Field(fields, 10));
  fontSize_ = ReadInt(Field(fields, 13));
  fontName_ = std::string(Field(fields, 14).substr(0, kMaxFontName));
  text_ = std::string(CutUTF8(text, kMaxText));
}

bool KRTWatermark::CheckRecordText(std::string_view recordText, std::string* why) {
  auto refuse = [why](const char* reason) {
    if (why != nullptr) *why = reason;
    return false;
  };
  if (std::any_of(recordText.begin(), recordText.end(),
                  [](char c) { return IsControl(static_cast<unsigned char>(c)); })) {
    return refuse("the watermark record holds a control character");
  }
  std::string_view text;
  const auto fields = SplitRecord(recordText, &text);
  const auto font = Field(fields, kFieldsBeforeText).substr(0, kMaxFontName);
  if (!std::all_of(font.begin(), font.end(),
                   [](char c) { return IsNameCharacter(static_cast<unsigned char>(c)); })) {
    return refuse("the watermark font name holds a character that PostScript names cannot hold");
  }
  return true;
}

void KRTWatermark::SetFirstPageOnly(const wchar_t* value) {
  firstPageOnly_ = value != nullptr && std::wcscmp(value, L"True") == 0;
}

const char* KRTWatermark::GetWMTextInHex(const char* language, const char* fontName) {
  if (hexDone_) return hexText_.c_str();
  hexDone_ = true;
  if (!IsValid()) return hexText_.c_str();
  const std::string_view lang = language == nullptr ? "" : language;
  const std::string_view font = fontName == nullptr ? "" : fontName;
  const bool cmap_font = EndsWith(font, "-H") || EndsWith(font, "-V");

  std::string bytes;
  if (lang == "Chinese") {
    bytes = ConvertLossy(text_, quill::kEncodingGBK);
    MoveEuroGBK(bytes);
  } else if (lang == "Russian" || lang == "Turkish" || lang == "Polish" || lang == "Czech") {
    bytes = text_;
  } else if (lang == "Japanese" && cmap_font) {
    bytes = ConvertLossy(text_, quill::kEncodingMacJapanese);
  } else {
    bytes = ConvertLossy(text_, quill::kEncodingISOLatin9);
    MoveEuroLatin9(bytes);
  }

  static constexpr char kDigits[] = "0123456789ABCDEF";
  const std::size_t kept = std::min(bytes.size(), kMaxHexText / 2);
  hexText_.reserve(kept * 2);
  for (std::size_t i = 0; i < kept; ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    hexText_ += kDigits[b >> 4];
    hexText_ += kDigits[b & 0xF];
  }
  return hexText_.c_str();
}
