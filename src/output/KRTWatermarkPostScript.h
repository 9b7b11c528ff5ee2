// KRTWatermarkPostScript: the PostScript resource that prints the selected watermark across the
// page. It defines the watermark procedure, counts pages and wraps showpage so that the mark goes
// on the first page or on every page. The text reaches PostScript only as a hexadecimal string;
// the font name only when the record accepted it as a PostScript name; numbers are written with a
// decimal point whatever the locale.
//
// Three templates: the Latin one (a font re-encoded to ISO Latin-1 with the euro sign at 128, or,
// for a Japanese CMap font, the font as it is), the composite-font one for Chinese, and the
// composite one with an extended Latin font for Russian, Turkish, Polish and Czech.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class KRTWatermark;

class KRTWatermarkPostScript {
 public:
  // A watermark resource of this many bytes or more is left out of the job.
  static constexpr std::size_t kMaxResource = 5120;

  // The resource for `watermark` on a page of `orientation` (1 portrait, 2 landscape, 3 reverse
  // portrait, 4 reverse landscape) in a PPD of `language` ("*LanguageVersion"; null reads as
  // empty). Fills the record's hexadecimal text on first use (GetWMTextInHex). nullopt, with the
  // reason in *why (when given), for a refused record or a resource of kMaxResource bytes or more.
  [[nodiscard]] static std::optional<std::string> Build(KRTWatermark& watermark,
                                                        const char* language,
                                                        uint32_t orientation,
                                                        std::string* why = nullptr);

  // Which template a language and font name select.
  enum class Form { kLatinCMap, kLatinReencoded, kChinese, kExtendedLatin };
  [[nodiscard]] static Form FormFor(std::string_view language, std::string_view fontName);
};
