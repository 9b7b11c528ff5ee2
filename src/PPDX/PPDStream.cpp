#include "PPDX/PPDStream.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "PPDX/ByteScan.h"
#include "PPDX/PPDX.h"
#include "foundation/ProcessGlobals.h"
#include "platform/Log.h"

namespace {
constexpr char kEndMarker[] = "*% End of PPD file";
constexpr size_t kEndMarkerLength = sizeof kEndMarker - 1;  // 18 bytes

// The bytes that end what GetLine reads: the line ends and the 0xFF end-of-file byte.
constexpr ByteSet kEndsLine(std::string_view("\n\r\xFF"));
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

bool PPDStream::AtEnd(char& c) {
  c = static_cast<char>(0xFF);
  // A stream that never had data stays bad; one that ran out is at its end.
  if (status_ != kBad) status_ = kEndOfFile;
  return false;
}

void PPDStream::SkipWhiteSpace() {
  while (current_ != nullptr && current_ < end_ && (*current_ == ' ' || *current_ == '\t')) {
    ++current_;
  }
}

bool PPDStream::GetLine(char* out) {
  lineCut_ = false;
  if (Globals().endOfPPDLatch) {
    quill::PanelLog("FIT208051");
    out[0] = '\0';
    return false;
  }
  if (current_ == nullptr || current_ >= end_) {
    char ignored;
    AtEnd(ignored);
    out[0] = '\0';
    return false;
  }
  status_ = kGood;
  lineNumber_ = lineEnds_ + 1;
  // Scan at most 255 bytes for the line end (CR or LF) or a 0xFF byte.
  const size_t room = kLineSizeLimit - 1;
  const size_t available = static_cast<size_t>(end_ - current_);
  const unsigned char* stop = current_ + std::min(room, available);
  const unsigned char* p = kEndsLine.Find(current_, stop);
  const size_t n = static_cast<size_t>(p - current_);
  std::memcpy(out, current_, n);
  out[n] = '\0';
  current_ = p;

  if (p == stop) {
    // No line end within reach: the data ended, or 255 bytes were stored.
    if (n > 0) lastLineEnd_ = 0;
    lineCut_ = n == room;
    if (!lineCut_) status_ = kEndOfFile;
    return false;
  }
  ++current_;  // the line end or the 0xFF byte is consumed, never stored
  // The line feed of a carriage return and line feed pair ends no further line.
  if (*p != 0xFF && !(*p == '\n' && n == 0 && lastLineEnd_ == '\r')) ++lineEnds_;
  lastLineEnd_ = *p == 0xFF ? 0 : static_cast<char>(*p);
  if (*p == 0xFF) {
    quill::PanelLog("PPDStream::GetLine theChar == EOF, i %d \n", static_cast<int>(n));
    return false;
  }
  if (n >= kEndMarkerLength && std::memcmp(out, kEndMarker, kEndMarkerLength) == 0) {
    quill::PanelLog("*%% End of PPD file");
    Globals().endOfPPDLatch = true;
    out[0] = '\0';
    return false;
  }
  return true;
}

bool PPDStream::ReadLine(char* out) {
  const bool after_carriage_return = lastLineEnd_ == '\r';
  bool complete = GetLine(out);
  if (after_carriage_return && complete && out[0] == '\0' && lastLineEnd_ == '\n') {
    complete = GetLine(out);  // the line feed that completes the pair
  }
  if (sink_ != nullptr) {
    // A line cut at 255 bytes goes on with the next call; any other false ends it.
    sink_->Take(std::string_view(out), complete || !lineCut_);
  }
  return complete;
}
