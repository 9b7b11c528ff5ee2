#include "output/KRTWatermarkPostScript.h"

#include <string>

#include "output/KRTWatermark.h"
#include "output/PostScriptText.h"

namespace {

using quill::FormatPS;
using quill::PSFixed;

constexpr std::string_view kLatinTemplate =
    "%%%%KRT Begin Watermark resource \n globaldict /landscapeDoc %s put \n globaldict /invLandscapeDoc %s put \n 20 dict begin \n /%s findfont /Encoding get StandardEncoding ne \n { /WatermarkFontName /%s def } \n { \n currentglobal true setglobal ISOLatin1Encoding dup length array copy \n /ISOLatin1EncodingCopy exch def setglobal \n ISOLatin1EncodingCopy 128 /Euro put \n /%s findfont dup length dict begin \n {1 index /FID ne {def} {pop pop} ifelse} forall \n                                                    end                                   \n /WatermarkFontName /%s           def \n } ifelse \n userdict /KRTWaterMark \n { \n 20 dict begin \n /Font WatermarkFontName def \n /Watermark <%s> def \n /FontSize %d def \n /WaterMarkColor { true setoverprint [ /Separation (Clear) /DeviceCMYK {0.0 0.0 0.0 0.0} ] setcolorspace 1.0 setcolor } bind def \n /landscapeDoc %s def \n /invLandscapeDoc %s def \n /Angle %.1f def \n landscapeDoc { /Angle Angle 90 add def } if \n invLandscapeDoc { /Angle Angle -90 add def } if \n /XOffset %d def \n /YOffset %d def \n gsave \n userdict /QuillVTdict known \n { \n globaldict /AdobeInitMatrix get exec \n QuillVTdict /GetPgNum get exec QuillVTdict /QuillBeginPage get exec \n userdict /origSizeW get 2 div XOffset add userdict /origSizeH get 2 div YOffset add translate \n } \n { \n initmatrix clippath pathbbox \n /MaxY exch def /MaxX exch def /MinY exch def /MinX exch def \n MaxX 2 div MinX 2 div add XOffset add \n MaxY 2 div MinY 2 div add YOffset add translate } ifelse \n Angle rotate Font findfont FontSize scalefont setfont WaterMarkColor \n Watermark stringwidth pop 2 div neg FontSize 3 div neg moveto \n Watermark show \n grestore \n end \n } bind put \n globaldict /pageCount 0 put \n globaldict /waterMarkAllPages %s put \n userdict /KRTDRVRMACOriginalshowpage /showpage load put \n userdict /showpage \n { \n globaldict /pageCount globaldict /pageCount get 1 add put \n globaldict /pageCount get 1 eq \n globaldict /waterMarkAllPages get or \n { \n userdict /KRTWaterMark get exec \n } if \n userdict /KRTDRVRMACOriginalshowpage get exec \n } bind put \n %%%%KRT End Watermark resource \n";

constexpr std::string_view kCompositeTemplate =
    "%%%%KRT Begin Watermark resource \n globaldict /landscapeDoc %s put \n globaldict /invLandscapeDoc %s put \n userdict /KRTWaterMark \n { \n 20 dict begin \n { \n (Resource/AcroCIDFont/%s) run \n /Font /GB-EUC-H [/%s] composefont pop \n } stopped { \n pop  \n /Font /Helvetica def \n } if \n /Watermark <%s> def /FontSize %d def  \n /WaterMarkColor {%1.2f %1.2f %1.2f setrgbcolor} bind def \n /landscapeDoc %s def \n  /invLandscapeDoc %s def \n /Angle %.1f def \n landscapeDoc { /Angle Angle 90 add def } if \n invLandscapeDoc { /Angle Angle -90 add def } if \n /XOffset %d def /YOffset %d def gsave \n userdict /QuillVTdict known \n { \n globaldict /AdobeInitMatrix get exec \n QuillVTdict /GetPgNum get exec QuillVTdict /QuillBeginPage get exec \n userdict /origSizeW get 2 div XOffset add \n userdict /origSizeH get 2 div YOffset add translate \n } \n { \n initmatrix \n clippath pathbbox /MaxY exch def /MaxX exch def /MinY exch def /MinX exch def \n MaxX 2 div MinX 2 div add XOffset add MaxY 2 div MinY 2 div add YOffset add translate } ifelse \n Angle rotate \n /Font findfont FontSize scalefont setfont WaterMarkColor \n Watermark stringwidth pop 2 div neg FontSize 3 div neg moveto Watermark show \n grestore end \n } bind put \n globaldict /pageCount 0 put \n globaldict /waterMarkAllPages %s put \n userdict /KRTDRVRMACOriginalshowpage /showpage load put \n userdict /showpage \n { \n globaldict /pageCount globaldict /pageCount get 1 add put \n globaldict /pageCount get 1 eq \n globaldict /waterMarkAllPages get or \n { \n userdict /KRTWaterMark get exec \n } if \n userdict /KRTDRVRMACOriginalshowpage get exec \n } bind put \n %%%%KRT End Watermark resource \n";

// Lines of the Latin template that its other forms replace.
constexpr std::string_view kClearColourLine =
    " /WaterMarkColor { true setoverprint [ /Separation (Clear) /DeviceCMYK {0.0 0.0 0.0 0.0} ] "
    "setcolorspace 1.0 setcolor } bind def ";
constexpr std::string_view kRGBColourLine =
    " /WaterMarkColor {%1.2f %1.2f %1.2f setrgbcolor} bind def ";
constexpr std::string_view kFontDictEndLines =
    "                                                    end                                   \n"
    " /WatermarkFontName /%s           def ";
constexpr std::string_view kReencodeLines =
    " /Encoding ISOLatin1EncodingCopy def currentdict \n"
    " end /%s-ISOLatin1 exch definefont pop \n"
    " /WatermarkFontName /%s-ISOLatin1 def ";
// Lines of the composite template that the extended-Latin form replaces.
constexpr std::string_view kCIDResourceLine = " (Resource/AcroCIDFont/%s) run ";
constexpr std::string_view kCIDComposeLine = " /Font /GB-EUC-H [/%s] composefont pop ";
constexpr std::string_view kKRTResourceLine = " (Resource/KRTFont/%s) run ";
constexpr std::string_view kKRTComposeLine =
    " /Font /KRTMyriad-Latin-Extended-A-UTF8 [/%s] composefont pop ";

std::string ReplaceOnce(std::string_view text, std::string_view what, std::string_view with) {
  std::string result(text);
  const size_t at = result.find(what);
  if (at != std::string::npos) result.replace(at, what.size(), with);
  return result;
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The template texts, made once.
struct Templates {
  std::string latinCMapClear{kLatinTemplate};
  std::string latinCMapRGB = ReplaceOnce(kLatinTemplate, kClearColourLine, kRGBColourLine);
  std::string reencodedClear = ReplaceOnce(kLatinTemplate, kFontDictEndLines, kReencodeLines);
  std::string reencodedRGB = ReplaceOnce(reencodedClear, kClearColourLine, kRGBColourLine);
  std::string chinese{kCompositeTemplate};
  std::string extendedLatin = ReplaceOnce(
      ReplaceOnce(kCompositeTemplate, kCIDResourceLine, kKRTResourceLine), kCIDComposeLine,
      kKRTComposeLine);
};

const Templates& TemplateTexts() {
  static const Templates templates;
  return templates;
}

}  // namespace

KRTWatermarkPostScript::Form KRTWatermarkPostScript::FormFor(std::string_view language,
                                                             std::string_view fontName) {
  const bool cmap_font = EndsWith(fontName, "-H") || EndsWith(fontName, "-V");
  if (language == "Japanese" && cmap_font) return Form::kLatinCMap;
  if (language == "Chinese") return Form::kChinese;
  if (language == "Russian" || language == "Turkish" || language == "Polish" ||
      language == "Czech") {
    return Form::kExtendedLatin;
  }
  return Form::kLatinReencoded;
}

std::optional<std::string> KRTWatermarkPostScript::Build(KRTWatermark& watermark,
                                                         const char* language,
                                                         uint32_t orientation, std::string* why) {
  if (!watermark.IsValid() || watermark.FontName().empty()) {
    if (why != nullptr) {
      *why = watermark.IsValid() ? "the watermark has no font name" : watermark.Problem();
    }
    return std::nullopt;
  }
  const std::string_view lang = language != nullptr ? language : "";
  const std::string& font = watermark.FontName();
  const std::string hex = watermark.GetWMTextInHex(language, font.c_str());

  std::string_view landscape = "false";
  std::string_view inverse_landscape = "false";
  long long x = watermark.XOffset();
  long long y = watermark.YOffset();
  if (orientation == 2) {
    landscape = "true";
    const long long old_x = x;
    x = -y;
    y = old_x;
  } else if (orientation == 4) {
    inverse_landscape = "true";
    const long long old_x = x;
    x = y;
    y = -old_x;
  }
  const std::string_view all_pages = watermark.FirstPageOnly() ? "false" : "true";
  const PSFixed angle{watermark.Angle() / 10.0, 1};
  const PSFixed red{watermark.Red() / 255.0, 2};
  const PSFixed green{watermark.Green() / 255.0, 2};
  const PSFixed blue{watermark.Blue() / 255.0, 2};
  const long long size = watermark.FontSize();
  const Templates& templates = TemplateTexts();

  std::string resource;
  switch (FormFor(lang, font)) {
    case Form::kLatinCMap:
      if (watermark.ClearInk()) {
        resource = FormatPS(templates.latinCMapClear,
                            {landscape, inverse_landscape, font, font, font, font, hex, size,
                             landscape, inverse_landscape, angle, x, y, all_pages});
      } else {
        resource = FormatPS(templates.latinCMapRGB,
                            {landscape, inverse_landscape, font, font, font, font, hex, size, red,
                             green, blue, landscape, inverse_landscape, angle, x, y, all_pages});
      }
      break;
    case Form::kLatinReencoded:
      if (watermark.ClearInk()) {
        resource = FormatPS(templates.reencodedClear,
                            {landscape, inverse_landscape, font, font, font, font, font, hex,
                             size, landscape, inverse_landscape, angle, x, y, all_pages});
      } else {
        resource = FormatPS(templates.reencodedRGB,
                            {landscape, inverse_landscape, font, font, font, font, font, hex,
                             size, red, green, blue, landscape, inverse_landscape, angle, x, y,
                             all_pages});
      }
      break;
    case Form::kChinese:
    case Form::kExtendedLatin: {
      std::string_view cid_font = font;
      const bool chinese = FormFor(lang, font) == Form::kChinese;
      if (!chinese) {
        cid_font = "MyriadPro-Regular";
      } else if (font.find("AdobeHeitiStd-Regular") != std::string::npos) {
        cid_font = "AdobeHeitiStd-Regular";
      } else if (font.find("AdobeSongStd-Light") != std::string::npos) {
        cid_font = "AdobeSongStd-Light";
      }
      resource = FormatPS(chinese ? templates.chinese : templates.extendedLatin,
                          {landscape, inverse_landscape, cid_font, cid_font, hex, size, red, green,
                           blue, landscape, inverse_landscape, angle, x, y, all_pages});
      break;
    }
  }
  if (resource.size() >= kMaxResource) {
    if (why != nullptr) *why = "the watermark resource is too long";
    return std::nullopt;
  }
  return resource;
}
