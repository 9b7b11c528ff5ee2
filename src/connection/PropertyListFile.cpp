#include "connection/PropertyListFile.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "foundation/UTF8.h"
#include "platform/Paths.h"
#include "platform/PrintSession.h"
#include "platform/Printer.h"
#include "platform/SystemInfo.h"
#include "server/CPPDMsgHdlr.h"
#include "server/SpoolerCommands.h"

namespace quill {
namespace {

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

// The block's text as UTF-8. The filter stores the list as wide text (32-bit characters); a block
// that already starts as 8-bit XML is taken as it is.
std::string BlockText(const std::string& bytes) {
  bool wide = bytes.size() >= 4 && bytes.size() % 4 == 0 && bytes[1] == '\0' &&
              bytes[2] == '\0' && bytes[3] == '\0';
  if (!wide) return bytes;
  std::string out;
  out.reserve(bytes.size() / 4);
  for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4) {
    char32_t c = static_cast<unsigned char>(bytes[at]) |
                 static_cast<char32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
                 static_cast<char32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
                 static_cast<char32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
    if (c == 0) break;
    AppendUTF8(out, c);
  }
  return out;
}

}  // namespace

PropertyListFile::PropertyListFile(std::string path, bool flag, int option)
    : path_(std::move(path)), flag_(flag), option_(option) {
  cacheFilePresent_ = Exists(Paths::Resolve(kCacheFile));
  if (SystemInfo::Version().AtLeast(10, 7)) {
    cacheFilePresent_ = false;
    LoadFromPrinterPPD();
  } else {
    const char* home = std::getenv("HOME");
    LoadFromFile(std::string(home != nullptr ? home : "") + path_);
  }
  valid_ = true;
}

PropertyListFile::PropertyListFile(const std::string& directory, const std::string& fileName)
    : path_((std::filesystem::path(directory) / fileName).string()) {
  list_ = CreatePropertyListFromFile(path_, 0);
  loaded_ = list_ != nullptr;
  valid_ = true;
}

PropertyListFile::PropertyListFile(FromText, std::string_view text) {
  list_ = CreatePropertyListFromText(text);
  loaded_ = list_ != nullptr;
  sourceReadable_ = text.empty() || loaded_;
  valid_ = true;
}

PropertyListFile::~PropertyListFile() = default;

void PropertyListFile::LoadFromPrinterPPD() {
  const Printer* printer = PrintSession::Current().CurrentPrinter();
  if (printer == nullptr) return;  // nothing to load, and Save will have no printer either
  std::string error;
  std::string ppd = printer->CopyPPD(&error);
  if (ppd.empty()) {
    sourceReadable_ = false;
    errorText_ = "cannot fetch the PPD of " + printer->Name() + ": " + error;
    return;
  }
  std::string bytes = CPPDMsgHdlr(kBlockName, ppd).GetCStringData();
  std::error_code ignored;
  std::filesystem::remove(ppd, ignored);
  if (bytes.empty()) return;
  loaded_ = true;
  list_ = CreatePropertyListFromText(BlockText(bytes));
  if (list_ == nullptr) {
    sourceReadable_ = false;
    errorText_ = "the stored printer preference list is not a property list";
    return;
  }
  cacheFilePresent_ = true;
}

void PropertyListFile::LoadFromFile(const std::string& path) {
  if (!Exists(path)) return;
  list_ = CreatePropertyListFromFile(path, option_);
  loaded_ = list_ != nullptr;
  if (!loaded_) {
    sourceReadable_ = false;
    errorText_ = path + " is not a property list";
  }
}

PlistPtr PropertyListFile::CreatePropertyListFromFile(const std::string& path, int /*option*/) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return nullptr;
  std::ostringstream data;
  data << in.rdbuf();
  std::string bytes = data.str();
  if (bytes.empty() || bytes.size() > UINT32_MAX) return nullptr;
  // libplist mishandles a NUL byte inside XML text (its string lengths then run past it).
  if (!plist_is_binary(bytes.data(), static_cast<uint32_t>(bytes.size())) &&
      bytes.find('\0') != std::string::npos) {
    return nullptr;
  }
  plist_t node = nullptr;
  plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &node);
  return PlistPtr(node);
}

PlistPtr PropertyListFile::CreatePropertyListFromText(std::string_view text) {
  if (text.empty() || text.size() > UINT32_MAX || text.find('\0') != std::string_view::npos) {
    return nullptr;
  }
  plist_t node = nullptr;
  plist_from_xml(text.data(), static_cast<uint32_t>(text.size()), &node);
  return PlistPtr(node);
}

bool PropertyListFile::Save(plist_t array) {
  error_ = 0;
  if (!sourceReadable_ || (!loaded_ && cacheFilePresent_)) {
    errorText_ = "the stored list could not be read; not overwriting it";
    return false;
  }
  char* xml = nullptr;
  uint32_t length = 0;
  if (array != nullptr) plist_to_xml(array, &xml, &length);
  if (xml == nullptr) {
    error_ = kSerialiseError;
    errorText_ = "the list cannot be serialised";
    return false;
  }
  std::string text(xml, length);
  plist_to_xml_free(xml);

  if (!SystemInfo::Version().AtLeast(10, 7)) {
    const char* home = std::getenv("HOME");
    std::string path = std::string(home != nullptr ? home : "") + path_;
    std::string temporary = path + ".tmp";
    {
      std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
      out << text;
      if (!out.flush()) {
        errorText_ = "cannot write " + temporary;
        return false;
      }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
      errorText_ = "cannot write " + path;
      std::remove(temporary.c_str());
      return false;
    }
    return true;
  }

  const Printer* printer = PrintSession::Current().CurrentPrinter();
  if (printer == nullptr) {
    errorText_ = "no printer chosen";
    return false;
  }
  std::string title = std::string(kCommandKRTPrefs) + NewCommandIdentifier();
  Printer::SendResult sent = printer->SendCommand(text, title);
  if (!sent) {
    errorText_ = sent.error;
    return false;
  }
  lastJobId_ = sent.jobId;
  if (!IsOSVersionMac1015orAbove()) (void)isJobComple(*printer, sent.jobId, title.c_str());
  return true;
}

bool PropertyListFile::IsOSVersionMac1015orAbove() { return SystemInfo::Version().AtLeast(10, 15); }

}  // namespace quill
