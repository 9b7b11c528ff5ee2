// Generator of large vendor PPDs for the parse benchmark: a valid 4.3 PPD with the vendor's
// page hierarchy (property pages, one scroll pane each, roll-downs), pop-ups, booleans, ranges
// and job notes, each with its flags and group lines, and many constraint lines, a third of them
// with an open option. Every line stays under 255 bytes so that libcups opens the file too.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <random>
#include <string>

namespace ppdbench {

struct VendorPPDShape {
  int popups = 0;
  int optionsPerPopup = 10;
  int booleans = 0;
  int ranges = 0;
  int jobNotes = 0;
  int constraints = 0;

  [[nodiscard]] int Controls() const { return popups + booleans + ranges + jobNotes; }
  // What libcups sees as options: the *OpenUI groups (the vendor's ranges and job notes are
  // comment lines to it).
  [[nodiscard]] int UIOptions() const { return popups + booleans; }
};

namespace internal {

constexpr int kPages = 5;
constexpr int kControlsPerRollDown = 25;

// printf into a std::string; lines are short, so one 256-byte buffer holds each.
__attribute__((format(printf, 2, 3))) inline void Append(std::string& out, const char* format,
                                                         ...) {
  char line[256];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n > 0) out.append(line, static_cast<size_t>(n < 256 ? n : 255));
}

}  // namespace internal

// The PPD text of the given shape. Keywords: *KRPopup0000.., *KRBool0000.., *KRRange0000..,
// *KRNote0000..; pop-up options "None", "Opt1".. The same shape gives the same text.
inline std::string MakeVendorPPD(const VendorPPDShape& shape) {
  using internal::Append;
  using internal::kControlsPerRollDown;
  using internal::kPages;
  std::string out;
  out.reserve(static_cast<size_t>(shape.popups) * 900 +
              static_cast<size_t>(shape.constraints) * 60 + 65536);
  out +=
      "*PPD-Adobe: \"4.3\"\n"
      "*% Generated vendor PPD for the parse benchmark.\n"
      "*FormatVersion: \"4.3\"\n"
      "*FileVersion: \"1.0\"\n"
      "*LanguageVersion: English\n"
      "*LanguageEncoding: ISOLatin1\n"
      "*PCFileName: \"QUILLBIG.PPD\"\n"
      "*Manufacturer: \"Quill\"\n"
      "*Product: \"(Quill Bench Press)\"\n"
      "*ModelName: \"Quill Bench Press\"\n"
      "*ShortNickName: \"Quill Bench Press\"\n"
      "*NickName: \"Quill Bench Press PS\"\n"
      "*PSVersion: \"(3017.102) 0\"\n"
      "*LanguageLevel: \"3\"\n"
      "*ColorDevice: True\n"
      "*DefaultColorSpace: CMYK\n"
      "*%KRFileVersion: 4.1.0\n"
      "*%KRVersionMac: 4.1.7\n"
      "*%KRTSpecialOption: *KRUTF8_Version: 7\n\n";

  // Pages, one scroll pane per page, the roll-downs spread over the panes.
  const int roll_downs = (shape.Controls() + kControlsPerRollDown - 1) / kControlsPerRollDown;
  for (int p = 0; p < kPages; ++p) Append(out, "*%%KRTPropPage: KRPPPage%d/Page %d: True\n", p, p);
  for (int p = 0; p < kPages; ++p) Append(out, "*%%KRTGroupName: QPPane%d/Pane %d: True\n", p, p);
  for (int r = 0; r < roll_downs; ++r) {
    Append(out, "*%%KRTGroupName: QPRoll%03d/Settings %d: True\n", r, r);
  }
  for (int p = 0; p < kPages; ++p) {
    Append(out, "*%%KRTParent: QPPane%d/KRPPPage%d: True|Scrollpane\n", p, p);
  }
  for (int r = 0; r < roll_downs; ++r) {
    Append(out, "*%%KRTParent: QPRoll%03d/QPPane%d: True|Rolldown\n", r, r % kPages);
  }
  out += "\n";

  int placed = 0;  // controls so far: the next one's roll-down is placed / kControlsPerRollDown
  auto head = [&](const char* keyword, const char* flags) {
    const int roll = placed++ / kControlsPerRollDown;
    Append(out, "*%%KRTFlags: *%s %s\n*%%KRTGroup: *%s QPRoll%03d\n", keyword, flags, keyword,
           roll);
  };
  char key[32];
  for (int i = 0; i < shape.popups; ++i) {
    std::snprintf(key, sizeof key, "KRPopup%04d", i);
    head(key, "Spooler");
    Append(out, "*OpenUI *%s/Pop-up %d: PickOne\n*OrderDependency: %d AnySetup *%s\n", key, i,
           100 + i, key);
    Append(out, "*Default%s: None\n*%s None/Off: \"\"\n", key, key);
    for (int o = 1; o < shape.optionsPerPopup; ++o) {
      Append(out, "*%s Opt%d/Choice %d: \"<</%s %d>> setpagedevice\"\n", key, o, o, key, o);
    }
    Append(out, "*CloseUI: *%s\n", key);
  }
  for (int i = 0; i < shape.booleans; ++i) {
    std::snprintf(key, sizeof key, "KRBool%04d", i);
    head(key, "Spooler");
    Append(out, "*OpenUI *%s/Switch %d: Boolean\n*OrderDependency: %d AnySetup *%s\n", key, i,
           5000 + i, key);
    Append(out, "*Default%s: False\n", key);
    Append(out, "*%s True/On: \"<</%s true>> setpagedevice\"\n", key, key);
    Append(out, "*%s False/Off: \"<</%s false>> setpagedevice\"\n", key, key);
    Append(out, "*CloseUI: *%s\n", key);
  }
  for (int i = 0; i < shape.ranges; ++i) {
    std::snprintf(key, sizeof key, "KRRange%04d", i);
    head(key, "Spooler");
    Append(out, "*%%KRTRange: *%s/Amount %d: (1;9999;1;1) \"<</%s <*%s>>> setpagedevice\"\n", key,
           i, key, key);
  }
  for (int i = 0; i < shape.jobNotes; ++i) {
    std::snprintf(key, sizeof key, "KRNote%04d", i);
    head(key, "Spooler|Command");
    Append(out, "*%%KRTJobNote: *%s/Note %d: 32|Alpha|Numeric|Space|Remembered\n", key, i);
    Append(out, "*%%Default%s: \"\"\n*%%%s: \"%%%%%s: (<*%s>)\"\n", key, key, key, key);
  }
  out += "\n";

  // Constraint lines between pop-ups and booleans; every third one leaves one option open (the
  // first and the second in turn).
  std::mt19937 rng(20240601);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  auto side = [&](std::string& text, bool open) {
    const int choice = pick(shape.popups + shape.booleans);
    if (choice < shape.popups) {
      Append(text, " *KRPopup%04d", choice);
      if (!open) Append(text, " Opt%d", 1 + pick(shape.optionsPerPopup - 1));
    } else {
      Append(text, " *KRBool%04d", choice - shape.popups);
      if (!open) text += pick(2) ? " True" : " False";
    }
  };
  for (int line = 0; line < shape.constraints; ++line) {
    const int open = line % 3 == 0 ? (line / 3) % 2 : -1;  // 0 first, 1 second, -1 none
    std::string text = "*UIConstraints:";
    side(text, open == 0);
    side(text, open == 1);
    out += text + "\n";
  }
  out += "\n*% End of PPD file\n";
  return out;
}

}  // namespace ppdbench
