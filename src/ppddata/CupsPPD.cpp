#include "ppddata/CupsPPD.h"

#include <utility>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/ppd.h>

namespace quill {

CupsPPD::CupsPPD(const std::string& path) {
  if (!path.empty()) ppd_ = ppdOpenFile(path.c_str());
}

CupsPPD::~CupsPPD() {
  if (ppd_ != nullptr) ppdClose(ppd_);
}

CupsPPD::CupsPPD(CupsPPD&& other) noexcept : ppd_(std::exchange(other.ppd_, nullptr)) {}

CupsPPD& CupsPPD::operator=(CupsPPD&& other) noexcept {
  if (this != &other) {
    if (ppd_ != nullptr) ppdClose(ppd_);
    ppd_ = std::exchange(other.ppd_, nullptr);
  }
  return *this;
}

const char* CupsPPD::FindAttrValue(ppd_file_t* ppd, const char* name) {
  if (ppd == nullptr || name == nullptr) return nullptr;
  ppd_attr_t* attr = ppdFindAttr(ppd, name, nullptr);
  if (attr == nullptr) return nullptr;
  return attr->value != nullptr ? attr->value : "";
}

}  // namespace quill

#pragma GCC diagnostic pop
