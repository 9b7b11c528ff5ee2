#include "output/KRTJobTicket.h"

#include <fcntl.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "platform/Paths.h"
#include "platform/PrintSettings.h"
#include "platform/Printer.h"
#include "platform/SystemInfo.h"
#include "server/SpoolerCommands.h"

namespace {

constexpr char kTicketKeyPrefix[] = "KRT.PSData.";
constexpr char kPageSizeKeyword[] = "*PageSize";

struct PlistFree {
  void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistNode = std::unique_ptr<void, PlistFree>;

bool write_whole(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t put = write(fd, data.data() + done, data.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

// Writes a new ticket file readable by the filter (which runs as another user) but writable only
// by its owner: the pieces go into a job as they are, so nobody else may change them. The name
// is new (a fresh UUID); an existing file or link in its place is refused, never followed.
bool write_ticket_file(const std::string& path, const std::string& data, std::string* error) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (error) *error = "cannot create the ticket file " + path + ": " + std::strerror(errno);
    return false;
  }
  bool ok = fchmod(fd, 0644) == 0 && write_whole(fd, data);
  const int saved = errno;
  if (close(fd) != 0) ok = false;
  if (!ok) {
    if (error) *error = "cannot write the ticket file " + path + ": " + std::strerror(saved);
    unlink(path.c_str());
  }
  return ok;
}

}  // namespace

std::string CreatePostscriptDataFileKey() { return std::string(kTicketKeyPrefix) + kQuillPanelKind; }

KRTJobTicket::KRTJobTicket(PrintSettingsTicket* settingsTicket, quill::PrintSettings* settings,
                           std::string key)
    : JobTicket(nullptr, settings),
      settingsTicket_(settingsTicket),
      key_(std::move(key)),
      list_(std::in_place) {}

KRTJobTicket::~KRTJobTicket() = default;

void KRTJobTicket::Create() { list_.emplace(); }

void KRTJobTicket::Discard() { list_.reset(); }

bool KRTJobTicket::Add(PostScriptInjectionSite site, PPDXControl* control) {
  if (control == nullptr || !list_) return false;
  const long length = control->PostScript(nullptr);
  if (length <= 0 || length >= kMaxControlPostScript) return false;
  std::string block(static_cast<size_t>(length), '\0');
  const long written = control->PostScript(reinterpret_cast<unsigned char*>(block.data()));
  if (written != length) return false;
  const char* keyword = control->Keyword();
  if (keyword != nullptr && std::strcmp(keyword, kPageSizeKeyword) == 0) site = kSitePageSize;
  list_->push_back({site, std::move(block)});
  return true;
}

void KRTJobTicket::Add(PostScriptInjectionSite site, const char* bytes, size_t length) {
  if (!list_) return;
  list_->push_back({site, bytes != nullptr ? std::string(bytes, length) : std::string()});
}

void KRTJobTicket::Truncate(size_t count) {
  if (list_ && count < list_->size()) list_->resize(count);
}

void KRTJobTicket::SavePPDForAllKeys(KRTPPD* ppd, const std::string& /*key*/) {
  if (ppd == nullptr || settingsTicket_ == nullptr) return;
  settingsTicket_->Set({}, {}, ppd->CopyAllValues());
}

std::optional<std::string> KRTJobTicket::Serialise(const std::vector<Piece>& pieces) {
  std::string text;
  if (!SerialiseInto(pieces, text)) return std::nullopt;
  return text;
}

bool KRTJobTicket::SerialiseInto(const std::vector<Piece>& pieces, std::string& out) {
  PlistNode root(plist_new_array());
  if (!root) return false;
  for (const Piece& piece : pieces) {
    // libplist keeps every integer as 64 bits and writes it signed, so negative sites survive.
    plist_t site = plist_new_uint(static_cast<uint64_t>(static_cast<int64_t>(piece.site)));
    plist_t data = plist_new_data(piece.data.data(), piece.data.size());
    if (site == nullptr || data == nullptr) {
      plist_free(site);
      plist_free(data);
      return false;
    }
    plist_array_append_item(root.get(), site);
    plist_array_append_item(root.get(), data);
  }
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(root.get(), &xml, &length);
  if (xml == nullptr) return false;
  // Into the caller's buffer, so that a ticket saved again reuses its memory.
  try {
    out.assign(xml, length);
  } catch (...) {
    plist_to_xml_free(xml);
    throw;
  }
  plist_to_xml_free(xml);
  return true;
}

std::optional<std::vector<KRTJobTicket::Piece>> KRTJobTicket::Parse(std::string_view xml) {
  if (xml.empty() || xml.size() > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  plist_t parsed = nullptr;
  plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), &parsed);
  PlistNode root(parsed);
  if (!root || plist_get_node_type(root.get()) != PLIST_ARRAY) return std::nullopt;
  const uint32_t size = plist_array_get_size(root.get());
  if (size % 2 != 0) return std::nullopt;
  std::vector<Piece> pieces;
  pieces.reserve(size / 2);
  for (uint32_t i = 0; i < size; i += 2) {
    plist_t site = plist_array_get_item(root.get(), i);
    plist_t data = plist_array_get_item(root.get(), i + 1);
    if (plist_get_node_type(site) != PLIST_UINT || plist_get_node_type(data) != PLIST_DATA) {
      return std::nullopt;
    }
    uint64_t raw = 0;
    plist_get_uint_val(site, &raw);
    const auto number = static_cast<int64_t>(raw);
    if (number < std::numeric_limits<int32_t>::min() ||
        number > std::numeric_limits<int32_t>::max()) {
      return std::nullopt;
    }
    char* bytes = nullptr;
    uint64_t length = 0;
    plist_get_data_val(data, &bytes, &length);
    Piece piece{static_cast<PostScriptInjectionSite>(number),
                bytes != nullptr ? std::string(bytes, length) : std::string()};
    std::free(bytes);
    pieces.push_back(std::move(piece));
  }
  return pieces;
}

const std::string* KRTJobTicket::Save(std::string* error) {
  if (!list_) {
    if (error) *error = "the ticket has no injection list";
    return nullptr;
  }
  const bool modern = quill::SystemInfo::Version().AtLeast(10, 7);
  if (!xml_) xml_.emplace();
  bool serialised = false;
  try {
    serialised = SerialiseInto(*list_, *xml_);
  } catch (const std::bad_alloc&) {
    serialised = false;
  }
  if (!serialised) {
    xml_.reset();
    if (error) *error = "cannot serialise the job ticket";
    return nullptr;
  }

  std::string name = CreateRandomFileName(modern ? kTicketPrefix : kOldTicketPrefix, nullptr);
  if (!modern && !write_ticket_file(quill::Paths::Resolve(name), *xml_, error)) {
    xml_.reset();
    return nullptr;
  }
  fileName_ = std::move(name);
  InjectTempFileToPSStream(key_, fileName_);
  return &*xml_;
}

bool KRTJobTicket::HandToFilter(const quill::Printer* printer, std::string* error) {
  std::string why;
  if (Save(&why) == nullptr) {
    if (error) *error = "cannot save the job ticket: " + why;
    return false;
  }
  if (!quill::SystemInfo::Version().AtLeast(10, 7)) return true;
  if (printer == nullptr) {
    if (error) *error = "cannot hand the job ticket to the filter: no printer";
    return false;
  }
  const auto name_sent = printer->SendCommand(fileName_, quill::kCommandPSTempFileName);
  if (!name_sent) {
    if (error) {
      *error = std::string("cannot hand the job ticket to the filter: ") +
               quill::kCommandPSTempFileName + ": " + name_sent.error;
    }
    return false;
  }
  // The XML is plain ASCII (the pieces are Base64 inside it), so it travels as it is.
  const auto ticket_sent = printer->SendCommand(*xml_, quill::kCommandWritePSTemp);
  if (!ticket_sent) {
    if (error) {
      *error = std::string("cannot hand the job ticket to the filter: ") +
               quill::kCommandWritePSTemp + ": " + ticket_sent.error;
    }
    return false;
  }
  return true;
}

std::string KRTJobTicket::CreateRandomFileName(const char* prefix, char* out) {
  std::string name = prefix != nullptr ? prefix : "";
  name += quill::NewCommandIdentifier();
  if (out != nullptr) {
    const size_t length = std::min(name.size(), kMaxPath);
    std::memcpy(out, name.data(), length);
    out[length] = '\0';
  }
  return name;
}

void KRTJobTicket::InjectTempFileToPSStream(const std::string& key, const std::string& value) {
  if (quill::PrintSettings* settings = Settings()) settings->SetString(key, value);
}
