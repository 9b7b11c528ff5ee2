#include "server/CPPDMsgHdlr.h"

#include <cstring>

#include "ppddata/PPDDataBlock.h"
#include "ppddata/PPDDataBlockWriter.h"

static_assert(sizeof(wchar_t) == 4, "wide text is 32-bit characters");

CPPDMsgHdlr::CPPDMsgHdlr(const std::string& name, const std::string& ppdPath)
    : ppdPath_(ppdPath), key_(std::string(quill::kDataBlockKeyPrefix) + name) {}

std::wstring CPPDMsgHdlr::GetStringData() {
  std::string bytes = quill::ReadPPDDataBlock(ppdPath_, key_);
  data_.assign(bytes.size() / sizeof(wchar_t), L'\0');
  std::memcpy(data_.data(), bytes.data(), data_.size() * sizeof(wchar_t));
  return data_;
}

std::string CPPDMsgHdlr::GetCStringData() {
  cdata_ = quill::ReadPPDDataBlock(ppdPath_, key_);
  return cdata_;
}

namespace {

int Store(const std::string& ppd_path, const std::string& key, const void* data, size_t size) {
  if (size == 0 || ppd_path.empty()) return -1;
  int status = ppdxWriteData(ppd_path.c_str(), key.c_str(), data, size);
  return status == 0 ? static_cast<int>(key.size()) : status;
}

}  // namespace

int CPPDMsgHdlr::Commit(const std::wstring& text) {
  int status = Store(ppdPath_, key_, text.data(), text.size() * sizeof(wchar_t));
  if (status > 0) data_ = text;
  return status;
}

int CPPDMsgHdlr::Commit(const std::string& text) {
  int status = Store(ppdPath_, key_, text.data(), text.size());
  if (status > 0) cdata_ = text;
  return status;
}

int CPPDMsgHdlr::Discard() {
  if (data_.empty()) return -1;
  int dropped = static_cast<int>(data_.size());
  data_.clear();
  return dropped;
}
