#include "PPDX/PPDStream.h"

#include <cstring>

#include "PPDX/PPDX.h"
#include "foundation/ProcessGlobals.h"
#include "platform/Log.h"

namespace {
constexpr char kEndMarker[] = "*% End of PPD file";
constexpr size_t kEndMarkerLength = sizeof kEndMarker - 1;  // 18 bytes
}  // namespace

PPDStream::PPDStream() = default;

PPDStream::PPDStream(char const* buffer, long length) { Setup(buffer, length); }

PPDStream::~PPDStream() = default;

void PPDStream::Setup(char const* buffer, long length) {
  if (buffer == nullptr || length < 1) {
    start_ = end_ = current_ = nullptr;
    status_ = kBad;
    return;
  }
  start_ = reinterpret_cast<const unsigned char*>(buffer);
  end_ = start_ + length;
  current_ = start_;
  status_ = kGood;
}

bool PPDStream::GetChar(char& c) {
  if (current_ == nullptr || current_ >= end_) {
    c = static_cast<char>(0xFF);
    // A stream that never had data stays bad; one that ran out is at its end.
    if (status_ != kBad) status_ = kEndOfFile;
    return false;
  }
  c = static_cast<char>(*current_++);
  status_ = kGood;
  return true;
}

int PPDStream::PeekChar() const {
  if (current_ == nullptr || current_ >= end_) return -1;
  return *current_;
}

void PPDStream::SkipWhiteSpace() {
  while (current_ != nullptr && current_ < end_ && (*current_ == ' ' || *current_ == '\t')) {
    ++current_;
  }
}

bool PPDStream::GetLine(char* out) {
  if (Globals().endOfPPDLatch) {
    quill::PanelLog("FIT208051");
    out[0] = '\0';
    return false;
  }
  size_t n = 0;
  for (;;) {
    if (n == kLineSizeLimit - 1) {
      out[n] = '\0';
      return false;
    }
    char c;
    if (!GetChar(c)) {
      out[n] = '\0';
      return false;
    }
    if (c == '\r' || c == '\n') break;
    if (static_cast<unsigned char>(c) == 0xFF) {
      quill::PanelLog("PPDStream::GetLine theChar == EOF, i %d \n", static_cast<int>(n));
      out[n] = '\0';
      return false;
    }
    out[n++] = c;
  }
  out[n] = '\0';
  if (n >= kEndMarkerLength && std::memcmp(out, kEndMarker, kEndMarkerLength) == 0) {
    quill::PanelLog("*%% End of PPD file");
    Globals().endOfPPDLatch = true;
    out[0] = '\0';
    return false;
  }
  return true;
}
