// quill server-data QUEUE|FILE [--section NAME] [--json]
// quill blocks QUEUE|PPD [--name NAME] [--json]
// quill address QUEUE [--set ADDRESS] [--two-way on|off] [--json]
//
// What the panel exchanges with the spooler-side filter, for administrators and scripts: the
// sections of a queue's two-way data file (fetched fresh, as the panel does), the data blocks
// stored in a queue's PPD, and the queue's record of the printer preference list.
// Exit status: 0; 1 when there is no such data; 2 (one line on standard error) for bad arguments,
// an unknown queue or an unreachable spooler.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "Commands.h"
#include "connection/KRTMeridiaPrinterPList.h"
#include "foundation/UTF8.h"
#include "panel/SpoolerChannel.h"
#include "platform/PrintSession.h"
#include "platform/Printer.h"
#include "ppddata/PPDDataBlock.h"
#include "server/CFileHdlr.h"
#include "server/SpoolerCommands.h"

namespace quill::cli {
namespace {

constexpr int kExitNoData = 1;

bool IsFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int Fail(int status, const std::string& message) {
  std::fprintf(stderr, "quill: %s\n", message.c_str());
  return status;
}

// A queue the spooler knows, or the exit status and message when it does not.
std::optional<Printer> KnownQueue(const std::string& name, int* status) {
  Printer printer(name);
  if (printer.Exists()) return printer;
  *status = Fail(kExitUsageError,
                 "no queue named " + name + " (or the spooler cannot be reached)");
  return std::nullopt;
}

// A fetched copy of a queue's PPD, removed when it goes away.
class PPDCopy {
 public:
  explicit PPDCopy(const Printer& printer) { path_ = printer.CopyPPD(&error_); }
  ~PPDCopy() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  PPDCopy(const PPDCopy&) = delete;
  PPDCopy& operator=(const PPDCopy&) = delete;
  [[nodiscard]] const std::string& path() const { return path_; }
  [[nodiscard]] const std::string& error() const { return error_; }

 private:
  std::string path_;
  std::string error_;
};

// Data shown as text: 32-bit wide text (the form of the two-way sections and of some blocks) is
// turned into UTF-8; anything else is shown as it is.
bool LooksWide(const std::string& bytes) {
  if (bytes.empty() || bytes.size() % 4 != 0) return false;
  for (std::size_t at = 0; at < bytes.size(); at += 4) {
    if (bytes[at + 3] != '\0' || bytes[at + 2] > '\x10' || bytes[at + 2] < '\0') return false;
  }
  return true;
}

std::string AsText(const std::string& bytes) {
  if (!LooksWide(bytes)) return bytes;
  std::string out;
  for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4) {
    char32_t c = static_cast<unsigned char>(bytes[at]) |
                 static_cast<char32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
                 static_cast<char32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16;
    AppendUTF8(out, c);
  }
  return out;
}

std::string Dump(const nlohmann::ordered_json& json) {
  return json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

struct Entry {
  std::string name;
  std::size_t size = 0;
  std::string text;
};

void PrintEntries(const std::vector<Entry>& entries, bool json, const char* what) {
  if (json) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const Entry& e : entries) {
      out.push_back({{"name", e.name}, {"size", e.size}, {"text", e.text}});
    }
    std::printf("%s\n", Dump(out).c_str());
    return;
  }
  for (const Entry& e : entries) {
    std::printf("%s %s (%zu bytes)\n", what, e.name.c_str(), e.size);
    std::fwrite(e.text.data(), 1, e.text.size(), stdout);
    if (!e.text.empty() && e.text.back() != '\n') std::fputc('\n', stdout);
  }
}

// ---- server-data -------------------------------------------------------------------------

// Names of the sections in two-way data text: the names of the records numbered 0000.
std::vector<std::string> SectionNames(const std::string& text) {
  std::vector<std::string> names;
  std::istringstream in(text);
  for (std::string line; !CFileHdlr::safeGetline_(in, line).eof();) {
    std::size_t colon = line.find(": ");
    if (colon == std::string::npos || colon <= 4 || line.compare(colon - 4, 4, "0000") != 0) {
      continue;
    }
    std::string name = line.substr(0, colon - 4);
    bool known = false;
    for (const std::string& n : names) known = known || n == name;
    if (!known) names.push_back(name);
  }
  return names;
}

struct ServerDataOptions {
  std::string target;
  std::string section;
  bool json = false;
};

int RunServerData(const ServerDataOptions& options) {
  std::string text;
  std::string source = options.target;
  if (IsFile(options.target)) {
    std::ifstream in(options.target, std::ios::binary);
    for (std::string line; !CFileHdlr::safeGetline_(in, line).eof();) text += line + "\n";
  } else {
    int status = 0;
    std::optional<Printer> printer = KnownQueue(options.target, &status);
    if (!printer) return status;
    PrintSession::Current().SetCurrentPrinter(*printer);
    PPDCopy ppd(*printer);
    if (ppd.path().empty()) return Fail(kExitUsageError, "cannot fetch the PPD: " + ppd.error());
    SpoolerChannel channel;
    channel.SetQueueName(printer->Name());
    channel.SetSessionPPDPath(ppd.path());
    KRTMeridiaPrinterPList preferences;
    if (preferences.getIPEnabled(printer->Name())) {
      channel.SetPrinterAddress(preferences.Find(printer->Name()));
    }
    channel.fillPDEInstallPath(ppd.path());
    channel.fillBidiFilePaths();
    source = channel.BidiDataFilePath();
    std::string error;
    switch (channel.RefreshBidiData(&error)) {
      case SpoolerChannel::Refresh::kLoaded:
        break;
      case SpoolerChannel::Refresh::kSendFailed:
        return Fail(kExitUsageError, "cannot send the update command: " + error);
      case SpoolerChannel::Refresh::kTimedOut:
        if (!printer->Exists()) return Fail(kExitUsageError, "the spooler went away: " + error);
        return Fail(kExitNoData, error);
      case SpoolerChannel::Refresh::kConnectionError:
      case SpoolerChannel::Refresh::kNotLoaded:
        return Fail(kExitNoData, error);
    }
    text = channel.getBidiDataCopy();
  }

  std::vector<Entry> entries;
  for (const std::string& name : SectionNames(text)) {
    if (!options.section.empty() && name != options.section) continue;
    unsigned long length = 0;
    std::unique_ptr<char, decltype(&std::free)> payload(
        CFileHdlr::stringReadData(text, name.c_str(), &length), &std::free);
    if (payload == nullptr) continue;
    std::string bytes(payload.get(), length);
    entries.push_back({name, bytes.size(), AsText(bytes)});
  }
  if (entries.empty()) {
    return Fail(kExitNoData, options.section.empty()
                                 ? "no two-way data sections in " + source
                                 : "no section " + options.section + " in " + source);
  }
  PrintEntries(entries, options.json, "section");
  return kExitOk;
}

// ---- blocks ------------------------------------------------------------------------------

// Names of the data blocks in PPD text: main keywords numbered 0000.
std::vector<std::string> BlockNames(const std::string& text) {
  std::vector<std::string> names;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.size() < 7 || line[0] != '*' || line[1] == '%') continue;
    std::size_t end = line.find_first_of(": \t/");
    if (end == std::string::npos || end <= 5 || line.compare(end - 4, 4, "0000") != 0) continue;
    std::string name = line.substr(1, end - 5);
    bool known = false;
    for (const std::string& n : names) known = known || n == name;
    if (!known) names.push_back(name);
  }
  return names;
}

struct BlocksOptions {
  std::string target;
  std::string name;
  bool json = false;
};

int RunBlocks(const BlocksOptions& options) {
  std::unique_ptr<PPDCopy> copy;
  std::string path = options.target;
  if (!IsFile(options.target)) {
    int status = 0;
    std::optional<Printer> printer = KnownQueue(options.target, &status);
    if (!printer) return status;
    copy = std::make_unique<PPDCopy>(*printer);
    if (copy->path().empty()) return Fail(kExitUsageError, "cannot fetch the PPD: " + copy->error());
    path = copy->path();
  }
  std::vector<Entry> entries;
  for (const std::string& name : BlockNames(ReadWhole(path))) {
    if (!options.name.empty() && name != options.name &&
        name != std::string(kDataBlockKeyPrefix) + options.name) {
      continue;
    }
    std::string bytes = ReadPPDDataBlock(path, name);
    entries.push_back({name, bytes.size(), AsText(bytes)});
  }
  if (entries.empty()) {
    return Fail(kExitNoData, options.name.empty() ? "no data blocks in " + options.target
                                                  : "no block " + options.name + " in " + options.target);
  }
  if (options.name.empty() && !options.json) {
    for (const Entry& e : entries) std::printf("%-32s %zu bytes\n", e.name.c_str(), e.size);
    return kExitOk;
  }
  PrintEntries(entries, options.json, "block");
  return kExitOk;
}

// ---- address -----------------------------------------------------------------------------

struct AddressOptions {
  std::string queue;
  std::optional<std::string> address;
  std::optional<std::string> twoWay;
  bool json = false;
};

// The panel's rule for an address used for two-way communication (ASCII letters, digits, '-'
// and '.'), with ':' for a port, which the filter accepts in a bare host address.
bool ValidAddress(const std::string& address) {
  if (address.empty()) return false;
  for (char c : address) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '-' || c == '.' || c == ':';
    if (!ok) return false;
  }
  return true;
}

int RunAddress(const AddressOptions& options) {
  int status = 0;
  std::optional<Printer> printer = KnownQueue(options.queue, &status);
  if (!printer) return status;
  PrintSession::Current().SetCurrentPrinter(*printer);
  KRTMeridiaPrinterPList list;
  if (!list.SourceReadable()) return Fail(kExitNoData, list.ErrorText());
  const std::string& queue = printer->Name();
  bool found = false;
  (void)list.Exists(queue, found);

  if (options.address || options.twoWay) {
    bool on = options.twoWay ? *options.twoWay == "on" : (found ? list.getIPEnabled(queue) : true);
    std::string address = options.address ? *options.address : list.Find(queue);
    if (on && !ValidAddress(address)) {
      return Fail(kExitUsageError,
                  address.empty() ? "two-way communication needs an address (--set ADDRESS)"
                                  : "invalid address " + address +
                                        " (letters, digits, '-', '.' and ':' only)");
    }
    list.Add(queue, address, on);
    if (!list.Save()) return Fail(kExitUsageError, "cannot save: " + list.ErrorText());
    if (list.LastJobId() > 0 && PropertyListFile::IsOSVersionMac1015orAbove()) {
      // The panel does not wait here; a script expects the next read to see the change.
      std::string title = kCommandKRTPrefs;
      if (!isJobComple(*printer, list.LastJobId(), title.c_str())) {
        return Fail(kExitUsageError, "the spooler did not complete the save");
      }
    }
    found = true;
  } else if (!found) {
    return Fail(kExitNoData, "no address stored for " + queue);
  }

  const std::string address = list.Find(queue);
  const bool on = list.getIPEnabled(queue);
  if (options.json) {
    nlohmann::ordered_json out{{"queue", queue}, {"address", address}, {"two_way", on}};
    std::printf("%s\n", Dump(out).c_str());
  } else {
    std::printf("Queue:   %s\nAddress: %s\nTwo-way: %s\n", queue.c_str(), address.c_str(),
                on ? "on" : "off");
  }
  return kExitOk;
}

}  // namespace

void AddSpoolerCommands(CLI::App& app, int& status) {
  auto server = std::make_shared<ServerDataOptions>();
  CLI::App* data = app.add_subcommand("server-data", "Show the two-way data of a queue or file");
  data->add_option("QUEUE|FILE", server->target, "Queue name, or a two-way data file")->required();
  data->add_option("--section", server->section, "Show only this section");
  data->add_flag("--json", server->json, "Print JSON");
  data->callback([server, &status] { status = RunServerData(*server); });

  auto blocks = std::make_shared<BlocksOptions>();
  CLI::App* list = app.add_subcommand("blocks", "List or show the data blocks stored in a PPD");
  list->add_option("QUEUE|PPD", blocks->target, "Queue name, or a PPD file")->required();
  list->add_option("--name", blocks->name, "Show this block (with or without the KR prefix)");
  list->add_flag("--json", blocks->json, "Print JSON");
  list->callback([blocks, &status] { status = RunBlocks(*blocks); });

  auto address = std::make_shared<AddressOptions>();
  CLI::App* addr = app.add_subcommand("address", "Show or change a queue's printer address");
  addr->add_option("QUEUE", address->queue, "Queue name")->required();
  addr->add_option("--set", address->address, "Store this printer address");
  addr->add_option("--two-way", address->twoWay, "Switch two-way communication on or off")
      ->check(CLI::IsMember({"on", "off"}));
  addr->add_flag("--json", address->json, "Print JSON");
  addr->callback([address, &status] { status = RunAddress(*address); });
}

}  // namespace quill::cli
