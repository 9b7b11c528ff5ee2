// PPDStream: a byte stream over a range of memory that the PPD is read from, line by line (the
// whole file, a chunk of it) or token by token (one line). The stream never owns its bytes.
#pragma once

#include <string_view>

// Receives the text of every line that PPDStream::ReadLine delivers, in pieces: `piece` is bytes
// of one line without its line end, `lineEnded` says whether the line ends after it.
class PPDLineSink {
 public:
  virtual ~PPDLineSink() = default;
  virtual void Take(std::string_view piece, bool lineEnded) = 0;
};

class PPDStream {
 public:
  enum Status { kGood = 0, kBad = 1, kEndOfFile = 2 };

  PPDStream();
  // A null buffer or a length below 1 makes the stream bad.
  PPDStream(char const* buffer, long length);
  PPDStream(const PPDStream&) = default;
  PPDStream& operator=(const PPDStream&) = default;
  virtual ~PPDStream();

  // Re-aims the stream at a new range and rewinds it.
  void Setup(char const* buffer, long length);

  // Stores the next byte and advances. At the end of the data: stores 0xFF, sets the end-of-file
  // status and returns false.
  bool GetChar(char& c) {
    if (current_ == nullptr || current_ >= end_) return AtEnd(c);
    c = static_cast<char>(*current_++);
    status_ = kGood;
    return true;
  }
  // The next byte (0 to 255) without moving, or -1 at the end.
  [[nodiscard]] int PeekChar() const {
    return current_ == nullptr || current_ >= end_ ? -1 : *current_;
  }
  void SkipWhiteSpace();

  // Reads one line into `out` (which holds 256 bytes) without its line end; a line ends at a
  // carriage return or a line feed. Returns false, with what was read terminated in `out`, at the
  // end of the data, at a byte 0xFF (taken as the end of the file), after 255 bytes without a
  // line end (the rest comes with the next call) and at the end marker "*% End of PPD file",
  // which also sets the process-wide end-marker latch; while the latch is set nothing is read.
  virtual bool GetLine(char* out);

  // The next line as a reader of the file sees it: as GetLine, except that a carriage return and
  // line feed pair ends one line (GetLine ends a line at each of the two bytes and gives an empty
  // line between them, which this passes over). Every piece read is handed to the line sink.
  bool ReadLine(char* out);

  // The number (from 1) of the line that GetLine read last; a carriage return and line feed pair
  // counts as one line end. 0 before the first line.
  [[nodiscard]] long LineNumber() const { return lineNumber_; }

  // The sink that ReadLine hands every line to; null for none. Not owned.
  void SetLineSink(PPDLineSink* sink) { sink_ = sink; }

  // Direct access for scanners that read many bytes at once: the unread bytes are
  // [Current(), End()); Advance moves the cursor as that many GetChar calls would, `reachedEnd`
  // telling whether one more GetChar was made and found the end.
  [[nodiscard]] const unsigned char* Current() const { return current_; }
  [[nodiscard]] const unsigned char* End() const { return end_; }
  void Advance(const unsigned char* to, bool reachedEnd) {
    if (to != current_) status_ = kGood;
    current_ = to;
    if (reachedEnd) {
      char ignored;
      AtEnd(ignored);
    }
  }

  // True when the last GetLine stopped after 255 bytes without meeting the line end.
  [[nodiscard]] bool LineWasCut() const { return lineCut_; }

  [[nodiscard]] bool EndOfFile() const { return status_ == kEndOfFile; }
  [[nodiscard]] bool Good() const { return status_ == kGood; }
  [[nodiscard]] bool Bad() const { return status_ == kBad; }
  [[nodiscard]] int Status() const { return status_; }

 protected:
  void SetStatus(int status) { status_ = status; }

 private:
  // GetChar at the end of the data: stores 0xFF and marks the end (a bad stream stays bad).
  bool AtEnd(char& c);

  const unsigned char* start_ = nullptr;
  const unsigned char* end_ = nullptr;
  const unsigned char* current_ = nullptr;
  int status_ = kBad;
  bool lineCut_ = false;
  long lineEnds_ = 0;     // line ends that GetLine consumed
  long lineNumber_ = 0;   // line that GetLine read last
  char lastLineEnd_ = 0;  // the byte that ended the last line: '\r', '\n', or 0 for none
  PPDLineSink* sink_ = nullptr;
};
