#include "CommandDispatch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "ServerProfile.h"
#include "ServerQuery.h"
#include "TwoWayData.h"
#include "ppddata/CupsPPD.h"
#include "ppddata/OpenStepPlist.h"
#include "ppddata/PPDDataBlock.h"
#include "ppddata/PPDDataBlockUpdate.h"
#include "ppddata/PPDDataBlockWriter.h"
#include "server/SpoolerFiles.h"

namespace quill::cqf {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDelimiter = "::DELIMIT::";
constexpr int kServerTimeoutMs = 10000;
constexpr const char* kStateFolder = ".quill-cqf";

using Handler = CommandStatus (*)(const FilterJob&, std::string_view, std::string*);

CommandStatus Refuse(std::string* error, std::string reason) {
  *error = std::move(reason);
  return CommandStatus::kRefused;
}

// A name made safe for a file of its own: anything but letters, digits, "-", "_" and "." is
// written as "_" (and a leading "." too).
std::string FileSafe(std::string_view name) {
  std::string out(name.empty() ? std::string_view("_") : name);
  for (char& c : out) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '_' || c == '.';
    if (!ok) c = '_';
  }
  if (out.front() == '.') out.front() = '_';
  return out;
}

// "<cache>/.quill-cqf/<queue>/<key>": what the filter remembers for a queue between jobs.
std::string StatePath(const FilterJob& job, std::string_view key) {
  return SpoolerFiles::CacheFolder() + "/" + kStateFolder + "/" + FileSafe(job.queue) + "/" +
         std::string(key);
}

bool WriteFile(const std::string& path, std::string_view text, mode_t mode, std::string* error) {
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, mode);
  if (fd < 0) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  size_t done = 0;
  bool ok = true;
  while (done < text.size()) {
    const ssize_t put = write(fd, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      ok = false;
      break;
    }
    done += static_cast<size_t>(put);
  }
  if (close(fd) != 0) ok = false;
  if (!ok) *error = "cannot write " + path + ": " + std::strerror(errno);
  return ok;
}

bool Remember(const FilterJob& job, std::string_view key, std::string_view value,
              std::string* error) {
  return WriteFile(StatePath(job, key), value, 0600, error);
}

std::string Recall(const FilterJob& job, std::string_view key) {
  const int fd = open(StatePath(job, key).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return {};
  std::string value;
  char buffer[4096];
  ssize_t got;
  while ((got = read(fd, buffer, sizeof(buffer))) > 0) value.append(buffer, static_cast<size_t>(got));
  close(fd);
  return value;
}

// Confines a name a command carries; names inside the filter's own state folder are refused too.
std::optional<std::string> CacheFile(std::string_view name, std::string* error) {
  std::string why;
  std::optional<std::string> path = SpoolerFiles::ConfineToCache(name, &why);
  if (!path) {
    *error = why;
    return std::nullopt;
  }
  const std::string state = SpoolerFiles::CacheFolder() + "/" + kStateFolder;
  if (path->compare(0, state.size(), state) == 0 &&
      (path->size() == state.size() || (*path)[state.size()] == '/')) {
    *error = "file name inside the filter's own folder";
    return std::nullopt;
  }
  return path;
}

CommandStatus StoreBlock(const FilterJob& job, const char* block, std::string_view data,
                         std::string* error) {
  if (job.ppdPath.empty()) return Refuse(error, "no PPD for the queue (PPD is not set)");
  const int rc = ppdxWriteData(job.ppdPath.c_str(), block, data.data(), data.size());
  if (rc == -1) return Refuse(error, std::string("cannot store block ") + block + ": data too large");
  if (rc != 0) {
    return Refuse(error, std::string("cannot store block ") + block + " in " + job.ppdPath + ": " +
                             std::strerror(errno));
  }
  Message("DEBUG", "Stored block %s (%zu bytes)", block, data.size());
  return CommandStatus::kDone;
}

CommandStatus LocaleCode(const FilterJob& job, std::string_view text, std::string* error) {
  std::string code(text.substr(0, 64));
  while (!code.empty() && (code.back() == '\n' || code.back() == '\r' || code.back() == ' ')) {
    code.pop_back();
  }
  if (!Remember(job, "LocaleCode", code, error)) return CommandStatus::kRefused;
  return CommandStatus::kDone;
}

// The folder of the two-way data file: beside the panel bundle that the PPD names, else the
// cache folder.
std::string TwoWayFolder(const FilterJob& job) {
  std::string folder;
  {
    CupsPPD ppd(job.ppdPath);
    const char* bundle = ppd ? CupsPPD::FindAttrValue(ppd.get(), "APDialogExtension") : nullptr;
    if (bundle != nullptr) folder = SpoolerFiles::TwoWayDataFolder(bundle);
  }
  if (folder.empty()) folder = SpoolerFiles::CacheFolder() + "/";
  std::error_code ec;
  fs::create_directories(folder, ec);
  return folder;
}

CommandStatus UpdateCommands(const FilterJob& job, std::string_view text, std::string* error) {
  const UpdateRequest request = ParseUpdateRequest(text);
  if (!IsSafeIdentifier(request.identifier)) {
    return Refuse(error, "bad request identifier in Command_UpdateCommands");
  }
  const std::string uri = PrintServerURI(request.address, job.deviceURI);
  QueryResult answer = QueryPrintServer(uri, kServerTimeoutMs);
  if (!answer.ok) {
    // The panel's wait ends on this file; the flag tells the next panel the address is bad.
    Message("WARNING", "Print server not reachable: %s", answer.error.c_str());
    const std::string path = SpoolerFiles::ConnectionErrorFilePath(request.identifier);
    if (!WriteFile(path, answer.error + "\n", 0644, error)) return CommandStatus::kRefused;
    return StoreBlock(job, "KRInvalidPrinterAddress", "yes", error);
  }

  const ServerProfile profile = ServerProfile::Load(ServerProfile::PathFor(job.queue));
  for (const std::string& problem : profile.Problems()) {
    Message("WARNING", "Server profile of %s: %s", job.queue.c_str(), problem.c_str());
  }
  std::string ppd_path = request.rest.substr(0, request.rest.find(kDelimiter));
  std::vector<ServerProfile::Section> sections = {
      {"ServerInfo", ServerInfoText(answer.state, profile)},
      {"TonerInfo", TonerInfoText(answer.state)},
      {"TrayInfo", TrayInfoText(answer.state)},
  };
  std::string bidi_body;
  for (const auto& section : profile.Sections()) {
    if (section.first == "ServerInfo" || section.first == "TonerInfo" || section.first == "TrayInfo") {
      continue;  // the server's own answer wins
    }
    if (section.first == "BidiData") {
      bidi_body = section.second;
      continue;
    }
    sections.push_back(section);
  }
  sections.push_back({"BidiData", BidiDataText(Recall(job, "LocaleCode"), ppd_path, uri, bidi_body)});

  const std::string folder = TwoWayFolder(job);
  if (!WriteTwoWayFile(folder, FileSafe(job.queue), BuildTwoWayFile(sections), error)) {
    return CommandStatus::kRefused;
  }
  Message("DEBUG", "Wrote %s%s.bididata from %s", folder.c_str(), job.queue.c_str(), uri.c_str());
  if (ReadPPDDataBlock(job.ppdPath, "KRInvalidPrinterAddress") == "yes") {
    return StoreBlock(job, "KRInvalidPrinterAddress", "no", error);
  }
  return CommandStatus::kDone;
}

// Splits a list of file names at "::DELIMIT::" and line ends.
std::vector<std::string_view> FileNames(std::string_view text) {
  std::vector<std::string_view> names;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.size();
    size_t skip = 0;
    const size_t delimiter = text.find(kDelimiter, at);
    const size_t line_end = text.find_first_of("\r\n", at);
    if (delimiter != std::string_view::npos) {
      end = delimiter;
      skip = kDelimiter.size();
    }
    if (line_end != std::string_view::npos && line_end < end) {
      end = line_end;
      skip = 1;
    }
    const std::string_view name = text.substr(at, end - at);
    if (!name.empty()) names.push_back(name);
    if (skip == 0) break;
    at = end + skip;
  }
  return names;
}

CommandStatus DeleteUpdateFiles(const FilterJob&, std::string_view text, std::string* error) {
  std::vector<std::string> paths;
  for (const std::string_view name : FileNames(text)) {
    std::string why;
    std::optional<std::string> path = CacheFile(name, &why);
    if (!path) return Refuse(error, "refused to delete \"" + std::string(name) + "\": " + why);
    paths.push_back(*path);
  }
  for (const std::string& path : paths) {
    if (unlink(path.c_str()) == 0) {
      Message("DEBUG", "Deleted %s", path.c_str());
    } else if (errno != ENOENT) {
      Message("WARNING", "Cannot delete %s: %s", path.c_str(), std::strerror(errno));
    }
  }
  return CommandStatus::kDone;
}

std::string_view TrimLine(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

CommandStatus PSTempFileName(const FilterJob& job, std::string_view text, std::string* error) {
  std::string why;
  std::optional<std::string> path = CacheFile(TrimLine(text), &why);
  if (!path) return Refuse(error, "refused ticket path: " + why);
  if (!Remember(job, "PSTempFileName." + FileSafe(job.user), *path, error)) {
    return CommandStatus::kRefused;
  }
  return CommandStatus::kDone;
}

CommandStatus WritePSTemp(const FilterJob& job, std::string_view text, std::string* error) {
  const std::string key = "PSTempFileName." + FileSafe(job.user);
  const std::string path = Recall(job, key);
  if (path.empty()) return Refuse(error, "Command_WritePSTemp without Command_PSTempFileName");
  // The name was confined when it came; check again, the state file is only a file.
  std::string why;
  if (!CacheFile(path, &why)) return Refuse(error, "refused ticket path: " + why);
  if (!WriteFile(path, text, 0600, error)) return CommandStatus::kRefused;
  unlink(StatePath(job, key).c_str());
  Message("DEBUG", "Wrote the ticket %s (%zu bytes)", path.c_str(), text.size());
  return CommandStatus::kDone;
}

CommandStatus PSKRDestination(const FilterJob& job, std::string_view text, std::string* error) {
  std::string why;
  std::optional<std::string> path = CacheFile(TrimLine(text), &why);
  if (!path) return Refuse(error, "refused mailbox folder: " + why);
  std::error_code ec;
  fs::create_directories(*path, ec);
  if (ec || !fs::is_directory(*path)) {
    return Refuse(error, "cannot create the mailbox folder " + *path + ": " + ec.message());
  }
  if (!Remember(job, "PSKRDestination." + FileSafe(job.user), *path, error)) {
    return CommandStatus::kRefused;
  }
  return CommandStatus::kDone;
}

CommandStatus LocalPresets(const FilterJob& job, std::string_view text, std::string* error) {
  return StoreBlock(job, "KRLocalJPPresets", text, error);
}
CommandStatus WritePresetData(const FilterJob& job, std::string_view text, std::string* error) {
  return StoreBlock(job, "KRlocalPreset", text, error);
}
CommandStatus DriverPreference(const FilterJob& job, std::string_view text, std::string* error) {
  // The panel reads this block as wide text.
  return StoreBlock(job, "KRDriverPreference", WideBytes(text), error);
}
// Each panel sends the whole dictionary of users' records as it read it, with its own user's entry
// changed. Two panels that read before either stored would each drop the other's entry, so the
// stored dictionary is merged under the PPD's lock: every incoming entry replaces the stored one of
// that user, and stored entries the command does not carry are kept. A text that is not a
// dictionary is stored as it came; a stored block that is not one is replaced.
CommandStatus PopupJnData(const FilterJob& job, std::string_view text, std::string* error) {
  std::optional<quill::OpenStepPlist> incoming = quill::OpenStepPlist::Parse(text);
  if (!incoming || !incoming->IsDictionary()) return StoreBlock(job, "KRPopupJnData", text, error);
  if (job.ppdPath.empty()) return Refuse(error, "no PPD for the queue (PPD is not set)");
  std::size_t stored_size = 0;
  const int rc = ppdxUpdateData(
      job.ppdPath.c_str(), "KRPopupJnData",
      [&](std::string_view current) -> std::optional<std::string> {
        // The panel reads the block as a C string.
        current = current.substr(0, current.find('\0'));
        std::optional<quill::OpenStepPlist> merged = quill::OpenStepPlist::Parse(current);
        bool keeps_stored_entries = false;
        if (merged && merged->IsDictionary()) {
          for (const std::string& user : merged->Keys()) {
            if (incoming->Find(user) == nullptr) keeps_stored_entries = true;
          }
        }
        // Nothing of the stored dictionary to keep: the text is stored as it came.
        if (!keeps_stored_entries) {
          stored_size = text.size();
          return std::string(text);
        }
        for (const std::string& user : incoming->Keys()) merged->Set(user, *incoming->Find(user));
        std::string result = merged->ToText();
        stored_size = result.size();
        return result;
      });
  if (rc == -1) return Refuse(error, "cannot store block KRPopupJnData: data too large");
  if (rc != 0) {
    return Refuse(error, "cannot store block KRPopupJnData in " + job.ppdPath + ": " +
                             std::strerror(errno));
  }
  Message("DEBUG", "Stored block KRPopupJnData (%zu bytes, %zu entries merged)", stored_size,
          incoming->Keys().size());
  return CommandStatus::kDone;
}

struct Command {
  std::string_view title;
  bool takesIdentifier;  // the title may go on with an identifier
  Handler handler;
};

constexpr Command kCommands[] = {
    {"Command_LocaleCode", false, LocaleCode},
    {"Command_UpdateCommands", false, UpdateCommands},
    {"Command_DeleteUpdateFiles", false, DeleteUpdateFiles},
    {"Command_PSTempFileName", false, PSTempFileName},
    {"Command_WritePSTemp", false, WritePSTemp},
    {"Command_PSKRDestination", false, PSKRDestination},
    {"Command_PRINTERLOCALPRESETS", false, LocalPresets},
    {"Command_WritePresetData", true, WritePresetData},
    {"Command_KRTPrefs", true, DriverPreference},
    {"command_PopupJnData", false, PopupJnData},
};

const Command* FindCommand(std::string_view title) {
  for (const Command& command : kCommands) {
    if (title == command.title) return &command;
  }
  for (const Command& command : kCommands) {
    if (command.takesIdentifier && title.substr(0, command.title.size()) == command.title) {
      return &command;
    }
  }
  return nullptr;
}

}  // namespace

UpdateRequest ParseUpdateRequest(std::string_view text) {
  UpdateRequest request;
  const size_t first = text.find(kDelimiter);
  request.identifier = std::string(text.substr(0, first));
  if (first == std::string_view::npos) return request;
  text.remove_prefix(first + kDelimiter.size());
  const size_t second = text.find(kDelimiter);
  request.address = std::string(text.substr(0, second));
  if (second != std::string_view::npos) request.rest = std::string(text.substr(second + kDelimiter.size()));
  return request;
}

bool IsSafeIdentifier(std::string_view identifier) {
  if (identifier.empty() || identifier.size() > 128) return false;
  for (const char c : identifier) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '_';
    if (!ok) return false;
  }
  return true;
}

bool ReadCommandText(const FilterJob& job, std::string* text, std::string* error) {
  int in = 0;
  if (!job.file.empty()) {
    in = open(job.file.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
      *error = "cannot open the command file: " + std::string(std::strerror(errno));
      return false;
    }
  }
  text->clear();
  char buffer[65536];
  bool ok = true;
  for (;;) {
    const ssize_t got = read(in, buffer, sizeof(buffer));
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      *error = "cannot read the command: " + std::string(std::strerror(errno));
      ok = false;
      break;
    }
    if (text->size() + static_cast<size_t>(got) > kMaxCommandText) {
      *error = "command text longer than " + std::to_string(kMaxCommandText) + " bytes";
      ok = false;
      break;
    }
    text->append(buffer, static_cast<size_t>(got));
  }
  if (in != 0) close(in);
  return ok;
}

CommandStatus HandleCommand(const FilterJob& job, std::string_view text, std::string* error) {
  const Command* command = FindCommand(job.title);
  if (command == nullptr) return Refuse(error, "unknown command \"" + job.title + "\"");
  return command->handler(job, text, error);
}

int RunCommandJob(const FilterJob& job) {
  std::string text;
  std::string error;
  if (!ReadCommandText(job, &text, &error)) {
    Message("ERROR", "%s: %s", job.title.c_str(), error.c_str());
    return 1;
  }
  // An empty command comes as one blank byte with a job option saying so (cupsd takes no job
  // without data).
  if (job.EmptyCommand()) text.clear();
  // Command files of CUPS' own (a "#CUPS-COMMAND" header) are not ours: nothing to do.
  if (text.rfind("#CUPS-COMMAND", 0) == 0) {
    Message("DEBUG", "CUPS command file ignored");
    return 0;
  }
  Message("DEBUG", "Command %s (%zu bytes) for %s", job.title.c_str(), text.size(), job.queue.c_str());
  if (HandleCommand(job, text, &error) != CommandStatus::kDone) {
    Message("ERROR", "%s: %s", job.title.c_str(), error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace quill::cqf
