// The parser over real PPD files that nobody here wrote: every PPD of the HP PostScript driver
// package (read out of its archive with the driver's own `list` and `cat`) and every PPD that
// cups-filters ships. These are standard PPDs without the vendor's flags lines, so their option
// trees stay mostly empty; what counts is that each parse ends without a crash, a leak (under the
// sanitizers) or a fatal error that the file's content does not explain, and that the header
// values the parser reads are the ones libcups reads from the same file.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDXErrorObj.h"
#include "PPDX/PPDXErrors.h"
#include "RealPPDFiles.h"
#include "foundation/ProcessGlobals.h"
#include "support/TempDir.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/ppd.h>
#pragma GCC diagnostic pop

namespace {

namespace fs = std::filesystem;
using realppd::Collected;

constexpr char kHPDriver[] = "/usr/lib/cups/driver/postscript-hp";
constexpr char kCupsFiltersFolder[] = "/usr/share/ppd/cupsfilters";
constexpr char kInstallHint[] = " (scripts/install-deps.sh installs it)";

// The header values as libcups reads them.
struct CupsHeader {
  bool opened = false;
  ppd_status_t status = PPD_OK;  // why libcups refused the file
  int errorLine = 0;             // and at which line
  std::optional<std::string> modelName, pcFileName, languageVersion, languageEncoding;
  std::optional<std::string> languageEncodingAsWritten;  // the "LanguageEncoding" attribute
};

std::optional<std::string> Text(const char* value) {
  return value ? std::optional<std::string>(value) : std::nullopt;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
CupsHeader ReadWithLibcups(const fs::path& path) {
  CupsHeader header;
  ppd_file_t* ppd = ppdOpenFile(path.c_str());
  if (ppd == nullptr) {
    header.status = ppdLastError(&header.errorLine);
    return header;
  }
  header.opened = true;
  header.modelName = Text(ppd->modelname);
  header.pcFileName = Text(ppd->pcfilename);
  header.languageVersion = Text(ppd->lang_version);
  header.languageEncoding = Text(ppd->lang_encoding);
  if (ppd_attr_t* attr = ppdFindAttr(ppd, "LanguageEncoding", nullptr)) {
    header.languageEncodingAsWritten = Text(attr->value);
  }
  ppdClose(ppd);
  return header;
}

std::string CupsError(const CupsHeader& header) {
  return std::string(ppdErrorString(header.status)) + " at line " +
         std::to_string(header.errorLine);
}
#pragma GCC diagnostic pop

// Line `number` (from 1) of the text, without its line end; nullopt past the end.
std::optional<std::string> LineOf(const std::string& text, int number) {
  size_t at = 0;
  for (int n = 1; n < number; ++n) {
    at = text.find('\n', at);
    if (at == std::string::npos) return std::nullopt;
    ++at;
  }
  if (at >= text.size()) return std::nullopt;
  return text.substr(at, text.find_first_of("\r\n", at) - at);
}

std::string Show(const std::optional<std::string>& value) {
  return value ? "\"" + *value + "\"" : "(none)";
}

// Whether the file's first line is the header the parser accepts. A file that is not a 4.3 PPD
// is the one content that explains a fatal error here.
bool HasVersion43Header(const fs::path& path) {
  const std::string text = realppd::ReadFile(path);
  const std::string first = text.substr(0, text.find_first_of("\r\n"));
  return first.starts_with("*PPD-Adobe:") && first.find("\"4.3\"") != std::string::npos;
}

// libcups refuses a whole file for one line that does not begin with an asterisk (the HP
// driver's hp-color_laserjet_mfp_e78635-ps.ppd carries stray "@PJL SET HOLDTYPE" lines in the
// middle); the parser skips such a line as one without a main keyword. When that is why libcups
// refused the file, and that line really is such a line, the header values are taken from
// libcups' reading of the lines before it.
CupsHeader ReadWithLibcupsUpToStrayLine(const fs::path& path, const fs::path& scratch) {
  CupsHeader cups = ReadWithLibcups(path);
  if (cups.opened || cups.status != PPD_MISSING_ASTERISK || cups.errorLine < 2) return cups;
  const std::string text = realppd::ReadFile(path);
  const std::optional<std::string> stray = LineOf(text, cups.errorLine);
  if (!stray || stray->empty() || (*stray)[0] == '*') return cups;
  size_t end = 0;
  for (int n = 1; n < cups.errorLine; ++n) end = text.find('\n', end) + 1;
  const fs::path cut = scratch / "lines-before-stray-line.ppd";
  std::ofstream(cut, std::ios::binary).write(text.data(), static_cast<std::streamsize>(end));
  return ReadWithLibcups(cut);
}

// Parses one file with the parser and with libcups and adds a failure, naming the file, for
// every difference that its content does not explain.
void CheckFile(const fs::path& path, const std::string& source, const fs::path& scratch) {
  SCOPED_TRACE(source + ": " + path.filename().string());
  ResetProcessGlobals();
  Globals().endOfPPDLatch = false;  // each file is a new panel instance
  auto* ppd = new KRTPPD(path.string(), kParseOrphans | kParseHidden);
  ppd->Retain();

  bool fatal_seen = false;
  PPDXErrors* errors = ppd->GetErrors();
  for (size_t i = 0; i < errors->Count(); ++i) {
    PPDXErrorObj* error = errors->At(i);
    if (!error->IsFatal()) continue;
    fatal_seen = true;
    const char* name = PPDErrName(error->Code());
    EXPECT_TRUE(error->Code() == PPDErr_NotPPDFile && !HasVersion43Header(path))
        << "fatal " << (name ? name : std::to_string(error->Code())) << " at "
        << (error->Keyword() ? error->Keyword() : "(no keyword)");
  }

  const CupsHeader cups = ReadWithLibcupsUpToStrayLine(path, scratch);
  EXPECT_TRUE(cups.opened) << "libcups refuses the file: " << CupsError(cups);
  if (cups.opened && !fatal_seen) {
    EXPECT_EQ(Show(Text(ppd->ModelName())), Show(cups.modelName)) << "*ModelName";
    EXPECT_EQ(Show(Text(ppd->PCFileName())), Show(cups.pcFileName)) << "*PCFileName";
    EXPECT_EQ(Show(Text(ppd->LanguageVersion())), Show(cups.languageVersion)) << "*LanguageVersion";
    // libcups converts every text of a PPD to UTF-8 and so reports "UTF-8" as the encoding of
    // any file that names one; the name as written stays in its "LanguageEncoding" attribute.
    EXPECT_EQ(Show(Text(ppd->LanguageEncoding())), Show(cups.languageEncodingAsWritten))
        << "*LanguageEncoding";
    if (ppd->LanguageEncoding() != nullptr) {
      EXPECT_EQ(Show(cups.languageEncoding), "\"UTF-8\"") << "libcups' *LanguageEncoding";
    }
  }
  ppd->Release();
  ResetProcessGlobals();
}

void CheckAll(const Collected& collected, const std::string& source) {
  ASSERT_TRUE(collected.problem.empty()) << collected.problem;
  ASSERT_FALSE(collected.files.empty()) << source << ": no PPD found";
  quill::testing::TempDir scratch;
  for (const auto& file : collected.files) CheckFile(file, source, scratch.path());
  std::printf("%s: %zu PPDs parsed\n", source.c_str(), collected.files.size());
}

TEST(RealPPD, HPDriverPPDsParseLikeLibcups) {
  ASSERT_TRUE(fs::exists(kHPDriver)) << kHPDriver << " is missing: printer-driver-postscript-hp "
                                     << "is not installed" << kInstallHint;
  quill::testing::TempDir dir;
  // The driver program unpacks its whole archive for each `cat`; run as many as there are cores.
  const Collected collected =
      realppd::ExtractDriverPPDs(kHPDriver, dir.path(), std::thread::hardware_concurrency());
  CheckAll(collected, "printer-driver-postscript-hp");
}

TEST(RealPPD, CupsFiltersPPDsParseLikeLibcups) {
  ASSERT_TRUE(fs::is_directory(kCupsFiltersFolder))
      << kCupsFiltersFolder << " is missing: cups-filters is not installed" << kInstallHint;
  quill::testing::TempDir dir;
  CheckAll(realppd::CollectFolderPPDs(kCupsFiltersFolder, dir.path()), "cups-filters");
}

}  // namespace
