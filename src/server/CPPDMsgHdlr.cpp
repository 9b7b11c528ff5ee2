#include "server/CPPDMsgHdlr.h"

#include <cstring>

#include "ppddata/PPDDataBlock.h"

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

int CPPDMsgHdlr::Discard() {
  if (data_.empty()) return -1;
  int dropped = static_cast<int>(data_.size());
  data_.clear();
  return dropped;
}
