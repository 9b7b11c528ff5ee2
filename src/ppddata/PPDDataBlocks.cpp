#include "ppddata/PPDDataBlocks.h"

#include <sys/stat.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace quill {
namespace {

// Longest attribute name that a PPD keyword may carry (libcups' limit, NUL excluded).
constexpr std::size_t kMaxNameLength = 40;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// "*KR" in any case: the only lines that can hold a block attribute.
bool MayStartBlockLine(std::string_view text) {
  return text.size() >= 3 && text[0] == '*' && Lower(text[1]) == 'k' && Lower(text[2]) == 'r';
}

// The start of a line that holds a block attribute: "*KR<name><4 hex digits>", blanks, a colon.
// Block attributes carry no option word: a line that does ("*KRPopup0001 Opt1/Choice 1: ...") is
// an option line of a UI group, however its keyword ends.
bool StartsBlockLine(std::string_view text) {
  if (!MayStartBlockLine(text)) return false;
  std::size_t end = 1;
  while (end < text.size() && !IsBlank(text[end]) && text[end] != ':') ++end;
  const std::string_view name = text.substr(1, end - 1);
  if (name.size() < 6 || name.size() > kMaxNameLength ||
      !std::all_of(name.end() - 4, name.end(), IsHexDigit)) {
    return false;
  }
  while (end < text.size() && IsBlank(text[end])) ++end;
  return end < text.size() && text[end] == ':';
}

// Block attribute names: "KR", the block's name, and four hexadecimal digits.
bool IsBlockName(std::string_view name) {
  if (name.size() < 6 || name.size() > kMaxNameLength) return false;
  return std::all_of(name.end() - 4, name.end(), IsHexDigit);
}

// Stores registered for their files. Few at a time (one per parsed PPD that is alive).
std::mutex registry_mutex;
std::vector<const PPDDataBlocks*>& Registry() {
  static std::vector<const PPDDataBlocks*> registry;
  return registry;
}

std::optional<FileIdentity> IdentityOf(const struct stat& info) {
  FileIdentity identity;
  identity.device = info.st_dev;
  identity.inode = info.st_ino;
  identity.size = info.st_size;
  identity.modifiedNs = static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL +
                        info.st_mtim.tv_nsec;
  return identity;
}

}  // namespace

std::optional<FileIdentity> FileIdentity::OfDescriptor(int fd) {
  struct stat info {};
  if (fd < 0 || fstat(fd, &info) != 0) return std::nullopt;
  return IdentityOf(info);
}

std::optional<FileIdentity> FileIdentity::OfPath(const std::string& path) {
  struct stat info {};
  if (path.empty() || stat(path.c_str(), &info) != 0) return std::nullopt;
  return IdentityOf(info);
}

PPDDataBlocks::~PPDDataBlocks() {
  if (!identity_) return;
  std::lock_guard lock(registry_mutex);
  auto& registry = Registry();
  registry.erase(std::remove(registry.begin(), registry.end(), this), registry.end());
}

void PPDDataBlocks::Take(std::string_view piece, bool lineEnded) {
  switch (state_) {
    case State::kSkipping:
      break;
    case State::kLineStart:
      // A piece too short to tell is kept (only the last bytes of a file come that short without
      // their line end); Commit looks at it again.
      if (lineEnded || piece.size() >= kMaxNameLength + 2
              ? !StartsBlockLine(piece)
              : !MayStartBlockLine(piece) && piece.size() >= 3) {
        state_ = State::kSkipping;
        break;
      }
      state_ = State::kCollecting;
      line_.clear();
      openQuote_ = false;
      [[fallthrough]];
    case State::kCollecting:
      line_.append(piece);
      openQuote_ ^= (std::count(piece.begin(), piece.end(), '"') & 1) != 0;
      break;
  }
  if (!lineEnded) return;
  if (state_ == State::kCollecting) {
    if (openQuote_) {
      line_.push_back('\n');  // the quoted value goes on over the next line
      return;
    }
    Commit();
  }
  state_ = State::kLineStart;
}

void PPDDataBlocks::Finish() {
  if (state_ == State::kCollecting) Commit();
  state_ = State::kLineStart;
}

void PPDDataBlocks::Commit() {
  std::string_view text(line_);
  if (!MayStartBlockLine(text)) return;
  text.remove_prefix(1);
  const std::size_t name_end = text.find_first_of(" \t:");
  if (name_end == std::string_view::npos) return;  // no value
  const std::string_view name = text.substr(0, name_end);
  if (!IsBlockName(name)) return;

  // "*Name: value"; blanks may stand before the colon, an option word may not.
  std::string_view rest = text.substr(name_end);
  while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
  if (rest.empty() || rest.front() != ':') return;
  std::string_view value = rest.substr(1);
  while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
  while (!value.empty() && (IsBlank(value.back()) || value.back() == '\n' || value.back() == '\r')) {
    value.remove_suffix(1);
  }
  // A value that ends with a quote loses its first and last characters (its quotes).
  if (!value.empty() && value.back() == '"') {
    value = value.size() >= 2 ? value.substr(1, value.size() - 2) : std::string_view();
  }

  std::string key(name);
  for (char& c : key) c = Lower(c);
  values_.try_emplace(std::move(key), value);  // the first attribute of a name wins
}

const std::string* PPDDataBlocks::Find(std::string_view name) const {
  std::string key(name);
  for (char& c : key) c = Lower(c);
  auto found = values_.find(key);
  return found == values_.end() ? nullptr : &found->second;
}

void PPDDataBlocks::Register(const FileIdentity& identity) {
  std::lock_guard lock(registry_mutex);
  auto& registry = Registry();
  registry.erase(std::remove(registry.begin(), registry.end(), this), registry.end());
  identity_ = identity;
  registry.push_back(this);
}

const PPDDataBlocks* PPDDataBlocks::ForFile(const std::string& path) {
  {
    std::lock_guard lock(registry_mutex);
    if (Registry().empty()) return nullptr;
  }
  const std::optional<FileIdentity> identity = FileIdentity::OfPath(path);
  if (!identity) return nullptr;
  std::lock_guard lock(registry_mutex);
  const auto& registry = Registry();
  // The latest registration for the file wins.
  for (auto it = registry.rbegin(); it != registry.rend(); ++it) {
    if ((*it)->identity_ == identity) return *it;
  }
  return nullptr;
}

}  // namespace quill
