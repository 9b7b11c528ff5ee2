// CupsPPD: the one place that calls libcups' PPD functions.
//
// libcups marks its PPD interface deprecated; every call to it stays in CupsPPD.cpp, where the
// warning is silenced, so that the rest of the code builds with -Werror. A CupsPPD owns one parsed
// PPD file and closes it when it goes away.
#pragma once

#include <string>

typedef struct ppd_file_s ppd_file_t;  // from <cups/ppd.h>

namespace quill {

class CupsPPD {
 public:
  // Opens and parses the PPD file at `path` (ppdOpenFile). When the file is missing, unreadable or
  // not a PPD, the object holds no file: get() is null and it converts to false.
  explicit CupsPPD(const std::string& path);
  ~CupsPPD();
  CupsPPD(const CupsPPD&) = delete;
  CupsPPD& operator=(const CupsPPD&) = delete;
  CupsPPD(CupsPPD&& other) noexcept;
  CupsPPD& operator=(CupsPPD&& other) noexcept;

  [[nodiscard]] ppd_file_t* get() const { return ppd_; }
  explicit operator bool() const { return ppd_ != nullptr; }

  // Value of the first attribute named `name` (ppdFindAttr with any specifier; libcups compares
  // names ignoring case). Null when `ppd` or `name` is null or no such attribute exists; an
  // attribute without a value answers "". The text belongs to `ppd`.
  [[nodiscard]] static const char* FindAttrValue(ppd_file_t* ppd, const char* name);

 private:
  ppd_file_t* ppd_ = nullptr;
};

}  // namespace quill
