#include "TicketInjector.h"

#include <algorithm>
#include <cstring>

#include "output/PostScriptInjectionSite.h"

namespace quill::cqf {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

std::string_view TrimEnd(std::string_view text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool HasControl(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
  });
}

// A piece as lines: a piece that does not end its last line gets a line feed, so that the job's
// next line never runs on behind it.
void AppendLines(std::string& out, std::string_view piece) {
  if (piece.empty()) return;
  out += piece;
  if (piece.back() != '\n' && piece.back() != '\r') out += '\n';
}

constexpr std::string_view kFeatureBegin = "%%BeginFeature:";

// The keyword of a "%%BeginFeature:" line, without its asterisk.
std::string_view FeatureKeyword(std::string_view text) {
  text.remove_prefix(kFeatureBegin.size());
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  if (!text.empty() && text.front() == '*') text.remove_prefix(1);
  const size_t end = text.find_first_of(" \t");
  return text.substr(0, end);
}

// Lines after which the document setup can no longer be: the pages, the trailer, the end.
bool PastSetup(std::string_view text) {
  return StartsWith(text, "%%Page:") || StartsWith(text, "%%BeginPageSetup") ||
         StartsWith(text, "%%Trailer") || StartsWith(text, "%%EOF");
}

// A header comment: "%" and a printable character, but none of the comments that begin the body.
bool HeaderComment(std::string_view text) {
  if (text.size() < 2 || text[0] != '%') return false;
  const auto second = static_cast<unsigned char>(text[1]);
  if (second <= ' ' || second == 0x7f) return false;
  return !StartsWith(text, "%%Begin") && !StartsWith(text, "%%End") && !PastSetup(text);
}

}  // namespace

std::optional<TicketInjector> TicketInjector::Create(const std::vector<KRTJobTicket::Piece>& pieces,
                                                     Sink sink, std::string* error) {
  TicketInjector injector;
  injector.sink_ = std::move(sink);
  for (const KRTJobTicket::Piece& piece : pieces) {
    switch (piece.site) {
      case kSiteHeader:
        AppendLines(injector.header_, piece.data);
        break;
      case kSiteLayoutHeader:
        AppendLines(injector.headerTail_, piece.data);
        break;
      case kSiteMailbox:
        // One comment line: a line end in the path would let the rest out of the comment.
        if (HasControl(piece.data)) {
          *error = "the mailbox path of the job ticket holds a line end or control character";
          return std::nullopt;
        }
        if (!piece.data.empty()) injector.headerTail_ += "%%KRMailboxPath: " + piece.data + "\n";
        break;
      case kSitePageSize:
        AppendLines(injector.pageSize_, piece.data);
        break;
      case kSiteJobNote:
      case kSiteFeature:
        AppendLines(injector.setup_, piece.data);
        break;
      case kSitePreParseEnd:
        AppendLines(injector.marker_, piece.data);
        break;
      case kSiteBareKeyword: {
        std::string_view keyword = piece.data;
        if (!keyword.empty() && keyword.front() == '*') keyword.remove_prefix(1);
        if (keyword.empty() || HasControl(keyword) || keyword.find(' ') != std::string_view::npos) {
          *error = "the job ticket suppresses an empty or malformed keyword";
          return std::nullopt;
        }
        injector.suppressed_.emplace(keyword);
        break;
      }
      default:
        *error = "the job ticket has a piece for site " + std::to_string(piece.site) +
                 ", which this filter does not place";
        return std::nullopt;
    }
  }
  return injector;
}

void TicketInjector::FlushSpan() {
  if (spanStart_ == spanEnd_) return;
  const std::string_view span(spanStart_, static_cast<size_t>(spanEnd_ - spanStart_));
  spanStart_ = spanEnd_ = nullptr;
  if (failed_) return;
  lastByte_ = span.back();
  if (!sink_(span)) failed_ = true;
}

void TicketInjector::Emit(std::string_view text) {
  if (text.empty()) return;
  FlushSpan();
  if (failed_) return;
  lastByte_ = text.back();
  if (!sink_(text)) failed_ = true;
}

void TicketInjector::Pass(const char* from, const char* to) {
  if (from == to) return;
  if (spanEnd_ != from) {
    FlushSpan();
    spanStart_ = from;
  }
  spanEnd_ = to;
}

void TicketInjector::EmitHeaderTail() {
  if (!headerDone_) Emit(header_);
  headerDone_ = true;
  Emit(headerTail_);
  headerTailDone_ = true;
}

void TicketInjector::EmitSetupContent() {
  if (!pageSizeDone_) Emit(pageSize_);
  pageSizeDone_ = true;
  Emit(setup_);
  Emit(marker_);
  setupDone_ = true;
}

bool TicketInjector::Suppressed(std::string_view text) const {
  return !suppressed_.empty() && suppressed_.find(FeatureKeyword(text)) != suppressed_.end();
}

void TicketInjector::AfterLine() {
  if (!afterFirstLine_) return;
  afterFirstLine_ = false;
  Emit(header_);
  headerDone_ = true;
}

TicketInjector::Disposition TicketInjector::OnLine(std::string_view text, std::string_view whole,
                                                   bool complete) {
  for (;;) {
    switch (phase_) {
      case Phase::kFirstLine:
        phase_ = Phase::kHeader;
        if (StartsWith(text, "%!") || StartsWith(text, "\x04%!")) {
          afterFirstLine_ = true;
          return Disposition::kPass;
        }
        Emit(header_);
        headerDone_ = true;
        continue;
      case Phase::kHeader:
        if (StartsWith(text, "%%EndComments")) {
          EmitHeaderTail();
          phase_ = Phase::kBeforeSetup;
          return Disposition::kPass;
        }
        if (HeaderComment(text)) return Disposition::kPass;
        EmitHeaderTail();
        phase_ = Phase::kBeforeSetup;
        continue;
      case Phase::kBeforeSetup:
        // Blank lines and plain comments may stand between the header, the prolog and the setup.
        if (TrimEnd(text).empty() || (text[0] == '%' && !StartsWith(text, "%%"))) {
          return Disposition::kPass;
        }
        if (StartsWith(text, "%%BeginProlog")) {
          phase_ = Phase::kProlog;
          return Disposition::kPass;
        }
        if (StartsWith(text, "%%BeginSetup")) {
          phase_ = Phase::kSetup;
          return Disposition::kPass;
        }
        // Anything else is where the job's own work begins: the setup goes before it.
        Emit("%%BeginSetup\n");
        EmitSetupContent();
        Emit("%%EndSetup\n");
        phase_ = Phase::kBody;
        continue;
      case Phase::kProlog:
      case Phase::kSetup:
      case Phase::kBody:
        break;
    }
    break;
  }

  if (dropping_) {
    if (StartsWith(text, "%%EndFeature")) {
      dropping_ = false;
      closeNext_ = wrapperDropped_;
      return Disposition::kDrop;
    }
    // A block that never ends leaves out nothing beyond the next structure comment.
    const bool ends = StartsWith(text, kFeatureBegin) || StartsWith(text, "%%EndSetup") ||
                      StartsWith(text, "%%EndProlog") || StartsWith(text, "%%EndPageSetup") ||
                      PastSetup(text);
    if (!ends) return Disposition::kDrop;
    dropping_ = false;
  }
  if (closeNext_) {
    closeNext_ = false;
    if (TrimEnd(text) == "} stopped cleartomark") return Disposition::kDrop;
  }
  if (holding_) {
    holding_ = false;
    if (StartsWith(text, kFeatureBegin) && Suppressed(text)) {
      held_.clear();
      dropping_ = true;
      wrapperDropped_ = true;
      return Disposition::kDrop;
    }
    Emit(held_);
    held_.clear();
  }
  if (complete && TrimEnd(text) == "[{") {
    held_.assign(whole);
    holding_ = true;
    return Disposition::kDrop;
  }
  if (StartsWith(text, kFeatureBegin)) {
    if (Suppressed(text)) {
      dropping_ = true;
      wrapperDropped_ = false;
      return Disposition::kDrop;
    }
    if (phase_ == Phase::kSetup && !pageSizeDone_ && !pageSize_.empty() &&
        FeatureKeyword(text) == "PageSize") {
      Emit(pageSize_);
      pageSizeDone_ = true;
      dropping_ = true;
      wrapperDropped_ = false;
      return Disposition::kDrop;
    }
    return Disposition::kPass;
  }

  switch (phase_) {
    case Phase::kProlog:
      if (StartsWith(text, "%%EndProlog")) {
        phase_ = Phase::kBeforeSetup;
      } else if (StartsWith(text, "%%BeginSetup")) {
        phase_ = Phase::kSetup;
      } else if (PastSetup(text)) {
        Emit("%%BeginSetup\n");
        EmitSetupContent();
        Emit("%%EndSetup\n");
        phase_ = Phase::kBody;
      }
      break;
    case Phase::kSetup:
      if (StartsWith(text, "%%EndSetup")) {
        EmitSetupContent();
        phase_ = Phase::kBody;
      } else if (PastSetup(text)) {
        EmitSetupContent();
        Emit("%%EndSetup\n");
        phase_ = Phase::kBody;
      }
      break;
    default:
      break;
  }
  return Disposition::kPass;
}

bool TicketInjector::Feed(std::string_view data) {
  if (failed_) return false;
  const char* p = data.data();
  const char* const end = p + data.size();
  // The next LF and CR at or after the current place (end when there is none): each is searched
  // for once per stretch of data, however many lines it holds.
  const char* lf = nullptr;
  const char* cr = nullptr;
  auto lineEnd = [&](const char* from) {
    if (lf == nullptr || lf < from) {
      lf = static_cast<const char*>(std::memchr(from, '\n', static_cast<size_t>(end - from)));
      if (lf == nullptr) lf = end;
    }
    if (cr == nullptr || cr < from) {
      cr = static_cast<const char*>(std::memchr(from, '\r', static_cast<size_t>(end - from)));
      if (cr == nullptr) cr = end;
    }
    return std::min(lf, cr);
  };
  // The next "%" or "[" at or after `from` (end when there is none) that begins a line; `from`
  // itself is no such character.
  const char* percent = nullptr;
  const char* bracket = nullptr;
  auto nextMarked = [&](const char* from) {
    for (;;) {
      if (percent == nullptr || percent < from) {
        percent = static_cast<const char*>(std::memchr(from, '%', static_cast<size_t>(end - from)));
        if (percent == nullptr) percent = end;
      }
      if (bracket == nullptr || bracket < from) {
        bracket = static_cast<const char*>(std::memchr(from, '[', static_cast<size_t>(end - from)));
        if (bracket == nullptr) bracket = end;
      }
      const char* q = std::min(percent, bracket);
      if (q == end || q[-1] == '\n' || q[-1] == '\r') return q;
      from = q + 1;
    }
  };
  // Just past the line end at `t` (LF, CR LF or CR).
  auto past = [&](const char* t) { return t + ((*t == '\r' && t + 1 < end && t[1] == '\n') ? 2 : 1); };

  if (tailCR_ && p < end) {
    // The over-long line ended in a CR at the end of the last data: an LF here belongs to it.
    tailCR_ = false;
    if (*p == '\n') {
      if (tail_ == Disposition::kPass) Pass(p, p + 1);
      ++p;
    }
    AfterLine();
  }

  while (p < end && !failed_) {
    if (inTail_) {
      const char* t = lineEnd(p);
      if (t == end) {
        if (tail_ == Disposition::kPass) Pass(p, end);
        p = end;
        break;
      }
      const char* after = past(t);
      if (tail_ == Disposition::kPass) Pass(p, after);
      p = after;
      inTail_ = false;
      if (*t == '\r' && after == end) {
        tailCR_ = true;  // an LF may follow in the next data
        break;
      }
      AfterLine();
      continue;
    }

    if (!carry_.empty()) {
      if (carry_.back() == '\r') {
        // The carried line ended in a CR at the end of the last data.
        if (*p == '\n') {
          carry_ += '\n';
          ++p;
        }
        FinishCarried();
        continue;
      }
      const char* t = lineEnd(p);
      const auto text = static_cast<size_t>(t - p);
      if (carry_.size() + text > kMaxLineHead) {
        const size_t take = kMaxLineHead - carry_.size();
        carry_.append(p, take);
        p += take;
        StartTail();
        continue;
      }
      if (t == end || (*t == '\r' && t + 1 == end)) {
        carry_.append(p, end);
        p = end;
        break;
      }
      const char* after = past(t);
      carry_.append(p, after);
      p = after;
      FinishCarried();
      continue;
    }

    // In the pages, with nothing pending, only a line that begins with "%" or "[" needs a look:
    // everything before the next such line passes in one piece.
    if (phase_ == Phase::kBody && !dropping_ && !holding_ && !closeNext_ && *p != '%' &&
        *p != '[') {
      const char* q = nextMarked(p);
      if (q == end) {
        Pass(p, end);
        // The last line goes on in the next data unless it ended here.
        inTail_ = end[-1] != '\n' && end[-1] != '\r';
        tail_ = Disposition::kPass;
        p = end;
        break;
      }
      Pass(p, q);
      p = q;
    }

    const char* t = lineEnd(p);
    const auto text = static_cast<size_t>(t - p);
    if (t == end || (*t == '\r' && t + 1 == end)) {
      // The line goes on in the next data (or its CR may be followed by an LF there).
      if (text > kMaxLineHead) {
        carry_.assign(p, kMaxLineHead);
        p += kMaxLineHead;
        StartTail();
        continue;
      }
      carry_.assign(p, end);
      p = end;
      break;
    }
    const char* after = past(t);
    if (OnLine(std::string_view(p, std::min(text, kMaxLineHead)),
                        std::string_view(p, static_cast<size_t>(after - p)),
                        text <= kMaxLineHead) == Disposition::kPass) {
      Pass(p, after);
    }
    p = after;
    if (afterFirstLine_) AfterLine();
  }
  // The span points into `data`, which the caller may reuse.
  FlushSpan();
  return !failed_;
}

void TicketInjector::FinishCarried() {
  std::string_view text = carry_;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  if (OnLine(text, carry_, true) == Disposition::kPass) Emit(carry_);
  carry_.clear();
  AfterLine();
}

void TicketInjector::StartTail() {
  tail_ = OnLine(carry_, carry_, false);
  if (tail_ == Disposition::kPass) Emit(carry_);
  carry_.clear();
  inTail_ = true;
}

bool TicketInjector::Finish() {
  if (tailCR_) {
    tailCR_ = false;
    AfterLine();
  }
  if (inTail_) {
    inTail_ = false;
    AfterLine();
  }
  if (!carry_.empty()) FinishCarried();
  if (holding_) {
    holding_ = false;
    Emit(held_);
    held_.clear();
  }
  // Whatever has not found its place goes at the end, on lines of its own.
  const bool rest = !headerDone_ || !headerTailDone_ || !setupDone_;
  if (rest && lastByte_ != '\0' && lastByte_ != '\n' && lastByte_ != '\r') Emit("\n");
  if (!headerDone_) Emit(header_);
  headerDone_ = true;
  if (!headerTailDone_) EmitHeaderTail();
  if (!setupDone_) {
    if (phase_ != Phase::kSetup) Emit("%%BeginSetup\n");
    EmitSetupContent();
    Emit("%%EndSetup\n");
  }
  FlushSpan();
  return !failed_;
}

}  // namespace quill::cqf
