#include "panel/SpoolerChannel.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "panel/UI_Panel.h"
#include "platform/Alert.h"
#include "platform/Paths.h"
#include "platform/PrintSession.h"
#include "platform/Printer.h"
#include "ppddata/CupsPPD.h"
#include "server/CFileHdlr.h"
#include "server/SpoolerCommands.h"

namespace quill {
namespace {

// Limits of the waits: sleeps in milliseconds and numbers of checks.
constexpr double kAnswerSleepMs = 300;
constexpr double kAnswerLimitSeconds = 35;
constexpr double kBusySleepMs = 100;
constexpr int kBusyChecks = 180;
constexpr double kBidiSleepMs = 50;
constexpr int kDataFileChecks = 501;
constexpr int kMarkerChecks = 61;
constexpr int kOpenAttempts = 41;
constexpr int kAccessChecks = 101;
constexpr std::size_t kPathLimit = 255;

bool Exists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

// True when `path` opens for reading; the file is closed again at once.
bool Readable(const std::string& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  return file != nullptr;
}

std::string& request_identifier() {
  static std::string identifier;
  return identifier;
}

std::string& previous_address() {
  static std::string address;
  return address;
}

void SetError(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
}

bool Sendable(std::string_view field) {
  return field.find(kCommandDelimiter) == std::string_view::npos &&
         field.find_first_of("\r\n") == std::string_view::npos;
}

// Identity of a file, to see that the filter replaced it.
struct FileStamp {
  bool exists = false;
  ino_t inode = 0;
  timespec modified{};
  off_t size = 0;
  friend bool operator==(const FileStamp& a, const FileStamp& b) {
    return a.exists == b.exists && a.inode == b.inode && a.size == b.size &&
           a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec;
  }
};

FileStamp StampOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  return {true, info.st_ino, info.st_mtim, info.st_size};
}

}  // namespace

bool SpoolerChannel::getQueuePPDName(std::string_view ppdPath, std::string& name) {
  std::size_t slash = ppdPath.rfind('/');
  name = std::string(slash == std::string_view::npos ? ppdPath : ppdPath.substr(slash + 1));
  bool found = false;
  for (std::size_t at; (at = name.find(".ppd")) != std::string::npos;) {
    name.erase(at, 4);
    found = true;
  }
  if (name.size() > 255) name.resize(255);
  return found;
}

const std::string& SpoolerChannel::RequestIdentifier() {
  if (request_identifier().empty()) NewRequestIdentifier();
  return request_identifier();
}

void SpoolerChannel::NewRequestIdentifier() { request_identifier() = NewCommandIdentifier(); }

bool SpoolerChannel::sendUpdateCommandToCQFWithCommand(std::string_view command,
                                                       std::string_view info, std::string* error) {
  const Printer* printer = PrintSession::Current().CurrentPrinter();
  if (printer == nullptr) {
    SetError(error, "no printer chosen");
    return false;
  }
  if (!Sendable(printerAddress_) || !Sendable(sessionPPDPath_)) {
    SetError(error, "the printer address or PPD path holds a field separator or line break");
    return false;
  }
  std::string text = RequestIdentifier();
  text += kCommandDelimiter;
  text += printerAddress_;
  text += kCommandDelimiter;
  text += sessionPPDPath_;
  text += info;
  Printer::SendResult sent = printer->SendCommand(text, command);
  if (!sent) {
    SetError(error, sent.error);
    return false;
  }
  return true;
}

bool SpoolerChannel::deleteFileCommandToCQF(std::string_view text, std::string* error) {
  // Check every name before anything is sent.
  std::string_view rest = text;
  while (!rest.empty()) {
    std::size_t cut = rest.find(kCommandDelimiter);
    std::size_t line = rest.find('\n');
    std::size_t skip = std::char_traits<char>::length(kCommandDelimiter);
    if (line < cut) {
      cut = line;
      skip = 1;
    }
    std::string_view name = rest.substr(0, cut);
    if (!name.empty() && name.back() == '\r') name.remove_suffix(1);
    if (!name.empty() && !ConfinedCachePath(name)) {
      SetError(error, "refused update file name outside the cache folder: " +
                          std::string(name.substr(0, name.find('\0'))));
      return false;
    }
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + skip);
  }
  const Printer* printer = PrintSession::Current().CurrentPrinter();
  if (printer == nullptr) {
    SetError(error, "no printer chosen");
    return false;
  }
  Printer::SendResult sent = printer->SendCommand(text, kCommandDeleteUpdateFiles);
  if (!sent) SetError(error, sent.error);
  return static_cast<bool>(sent);
}

int SpoolerChannel::WaitForFileToBeCreated(std::string_view identifier, std::string_view path) {
  std::optional<std::string> error_file = ConnectionErrorFilePath(identifier);
  if (!error_file) return kNoFile;
  const std::string expected(path);
  const std::string override_file = CacheFolder() + kTimeoutOverrideFile;
  double elapsed = 0;
  bool opened = false;
  bool timed_out = false;
  int result = kNoFile;
  for (;;) {
    bool error_seen = Exists(*error_file);
    if (opened || error_seen) {
      result = error_seen ? kNoFile : kFileCreated;
      break;
    }
    opened = Readable(expected);
    if (opened) continue;  // answered at the top of the loop, without a further sleep
    bool no_limit = Exists(override_file);
    SpoolerWaits::Sleep(kAnswerSleepMs);
    if (!no_limit) elapsed += kAnswerSleepMs / 1000.0;
    if (elapsed > kAnswerLimitSeconds) {
      timed_out = true;
      break;
    }
  }
  if (timed_out && !Exists(override_file)) showBiDiError();
  return result;
}

void SpoolerChannel::showBiDiError() {
  AlertText text{
      "Two-Way Communication with the Quill controller cannot be established",
      "Select Continue to access Quill options without Two-Way Communication. Select Cancel to "
      "exit and try your connection again later.",
      "Continue", "Cancel"};
  AlertButton answer = CurrentAlertPresenter().Show(text);
  choice_ = answer == AlertButton::kDefault ? kChoiceContinueWithoutBidi : kChoiceCancel;
}

int SpoolerChannel::isPrinterBusyWithPrinting() {
  const Printer* printer = PrintSession::Current().CurrentPrinter();
  if (printer == nullptr) return 1;
  int state = printer->State();
  if (state == Printer::kStateIdle) return 0;
  if (state != Printer::kStateProcessing) return 1;
  if (printer->StateMessage().empty()) {
    for (int check = 0; check < kBusyChecks; ++check) {
      SpoolerWaits::Sleep(kBusySleepMs);
      state = printer->State();
      if (state == Printer::kStateIdle) return 0;
      if (state != Printer::kStateProcessing) break;
    }
  }
  choice_ = kChoicePrinterBusy;
  showBiDiError();
  return 1;
}

void SpoolerChannel::fillPDEInstallPath(const std::string& ppdPath) {
  sessionPDEPath_.clear();
  CupsPPD ppd(ppdPath);
  if (!ppd) return;
  const char* bundle = CupsPPD::FindAttrValue(ppd.get(), "APDialogExtension");
  if (bundle == nullptr || *bundle == '\0') return;
  std::string folder = std::filesystem::path(bundle).parent_path().string();
  if (folder.empty()) return;
  folder = Paths::Resolve(folder);
  if (folder.size() > kPathLimit) folder.resize(kPathLimit);
  std::error_code ignored;
  if (!std::filesystem::is_directory(folder, ignored)) return;
  sessionPDEPath_ = folder + "/";
}

void SpoolerChannel::fillBidiFilePaths() {
  const std::string base = sessionPDEPath_ + queueName_;
  bididataFilePath_ = base + ".bididata";
  bididataFileOPath_ = base + ".open";
  bonjourIPFilePath_ = base + ".bonjour";
}

bool SpoolerChannel::readBidiData() {
  if (bididataFilePath_.empty()) return false;
  int checks = 0;
  while (!Exists(bididataFilePath_)) {
    if (++checks >= kDataFileChecks) return false;
    SpoolerWaits::Sleep(kBidiSleepMs);
  }
  for (int marker = 0; marker < kMarkerChecks && Exists(bididataFileOPath_); ++marker) {
    SpoolerWaits::Sleep(kBidiSleepMs);
  }
  std::ifstream in;
  for (int attempt = 0;; ++attempt) {
    in.open(bididataFilePath_, std::ios::binary);
    if (in.is_open()) break;
    if (attempt + 1 >= kOpenAttempts) return false;
    SpoolerWaits::Sleep(kBidiSleepMs);
  }
  std::string text;
  for (std::string line; !CFileHdlr::safeGetline_(in, line).eof();) {
    text += line;
    text += '\n';
  }
  fdata_ = std::move(text);
  return true;
}

SpoolerChannel::Refresh SpoolerChannel::RefreshBidiData(std::string* error) {
  if (bididataFilePath_.empty()) fillBidiFilePaths();
  NewRequestIdentifier();
  const std::string identifier = RequestIdentifier();
  const FileStamp before = StampOf(bididataFilePath_);
  if (!sendUpdateCommandToCQFWithCommand(kCommandUpdateCommands, "", error)) {
    return Refresh::kSendFailed;
  }
  std::optional<std::string> error_file = ConnectionErrorFilePath(identifier);
  const std::string override_file = CacheFolder() + kTimeoutOverrideFile;
  double elapsed = 0;
  for (;;) {
    if (error_file && Exists(*error_file)) {
      std::error_code ignored;
      std::filesystem::remove(*error_file, ignored);
      SetError(error, "the print server cannot be reached");
      return Refresh::kConnectionError;
    }
    FileStamp now = StampOf(bididataFilePath_);
    if (now.exists && !(now == before)) break;
    bool no_limit = Exists(override_file);
    SpoolerWaits::Sleep(kAnswerSleepMs);
    if (!no_limit) elapsed += kAnswerSleepMs / 1000.0;
    if (elapsed > kAnswerLimitSeconds) {
      SetError(error, "no answer from the spooler-side filter in 35 s");
      return Refresh::kTimedOut;
    }
  }
  if (!readBidiData()) {
    SetError(error, "the two-way data file could not be read");
    return Refresh::kNotLoaded;
  }
  return Refresh::kLoaded;
}

SpoolerChannel::LaunchResult SpoolerChannel::launchFullProperties() {
  fillPDEInstallPath(sessionPPDPath_);
  fillBidiFilePaths();
  LaunchResult result;
  if (!readBidiData() || fdata_.empty()) {
    result.action = kActionInvalidAddress;
    result.message = "no two-way data; the job-properties module is not available";
  } else {
    serverPresetKeysReset_ = false;
    if (bidiEnabled_) {
      NewRequestIdentifier();
      if (printerAddress_ != previous_address()) serverPresetKeysReset_ = true;
      previous_address() = printerAddress_;
    }
    result.action = kActionOpen;
    result.message = "the job-properties module is not available";
  }
  if (bridge_ != nullptr) {
    bridge_->SetTwoWay(bidiEnabled_, printerAddress_);
    bridge_->SetSpoolerChannel(this);
    bridge_->SetBidiData(fdata_);
    const UI_Panel::LaunchOutcome outcome = bridge_->LaunchJobProperties(result.action);
    result.handedOver = outcome.ran;
    result.message = outcome.message;
  }
  return result;
}

const std::string& SpoolerChannel::PreviousLaunchAddress() { return previous_address(); }

}  // namespace quill

bool canBiDiDataFileBeAccessed(const std::string& markerPath) {
  for (int check = 0; check < quill::kAccessChecks; ++check) {
    if (!quill::Exists(markerPath)) return true;
    quill::SpoolerWaits::Sleep(quill::kBidiSleepMs);
  }
  return false;
}
