#include "ppddata/PPDDataBlockUpdate.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

// The PPD functions of libcups are marked deprecated; they are the reader the panel uses.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/ppd.h>

#include "ppddata/LockedPPDFile.h"
#include "ppddata/PPDDataBlock.h"
#include "ppddata/PPDDataBlockWriter.h"

namespace {

// The block's data as libcups reads the locked file (through a second descriptor of the same open
// file, so the lock stays held when libcups closes it).
std::string CurrentData(int fd, const char* name) {
  int copy = ::dup(fd);
  if (copy < 0) return {};
  ppd_file_t* ppd = ppdOpenFd(copy);  // closes `copy`
  if (ppd == nullptr) return {};
  std::size_t size = 0;
  std::unique_ptr<char, decltype(&std::free)> data(ppdxReadData(ppd, name, &size), &std::free);
  ppdClose(ppd);
  if (data == nullptr) return {};
  return std::string(data.get(), size);
}

}  // namespace

int ppdxUpdateData(const char* ppdPath, const char* name,
                   const std::function<std::optional<std::string>(std::string_view current)>& update) {
  if (ppdPath == nullptr || *ppdPath == '\0' || name == nullptr || !update ||
      !quill::IsValidDataBlockName(name)) {
    errno = EINVAL;
    return -1;
  }
  quill::LockedPPDFile file(ppdPath);
  if (!file.ok()) return -2;
  std::optional<std::string> data = update(CurrentData(file.fd(), name));
  if (!data) return 0;
  if (data->size() > quill::kMaxDataBlockSize) {
    errno = EFBIG;
    return -1;
  }
  std::optional<std::string> block = quill::BuildDataBlockLines(name, data->data(), data->size());
  if (!block) {
    errno = EINVAL;
    return -1;
  }
  std::string text;
  if (!file.Read(text)) return -2;
  if (!file.Replace(quill::ReplaceDataBlockLines(text, name, *block))) return -2;
  return 0;
}

#pragma GCC diagnostic pop
