// TicketInjector: puts the pieces of a job ticket into a PostScript job while the job streams
// through it, and takes out the feature code of the keywords that the ticket suppresses.
//
// The job is read in pieces of any size and judged line by line (a line ends at LF, CR LF or CR);
// only the first kMaxLineHead bytes of a line are looked at, so memory stays the same whatever the
// job's size or its longest line. Where each site goes (see also the README):
//   501  header comments, right after the first line when it is the "%!" line, else at the top;
//   504, 900  header comments at the end of the header: before "%%EndComments", or before the
//        first line that ends the header without it; 900 as "%%KRMailboxPath: <path>";
//   70   page-size code: in place of the "*PageSize" feature block of the document setup, else
//        first in the setup's tail;
//   30, 81  in the document setup, in ticket order, just before "%%EndSetup" (after the feature
//        code CUPS put there, so that the ticket's choices win);
//   71   after them, the last thing of the setup;
//   -9   every "%%BeginFeature: *Keyword" ... "%%EndFeature" block of a listed keyword is left
//        out, with the "[{" ... "} stopped cleartomark" lines around it.
// A job without a setup section gets one ("%%BeginSetup" ... "%%EndSetup") after its header and
// prolog, before the first line that is neither; a job without any structure gets it right after
// its header comments.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "output/KRTJobTicket.h"

namespace quill::cqf {

class TicketInjector {
 public:
  // Receives the output; answers false when it cannot be written (the injector then stops).
  using Sink = std::function<bool(std::string_view)>;

  // Bytes of a line that are looked at; the rest of a longer line goes where its head went.
  static constexpr size_t kMaxLineHead = 4096;

  // An injector for `pieces`, writing to `sink`. Refused (nullopt, the reason in *error) when a
  // piece cannot be placed safely: a site this filter does not know, a mailbox path or suppressed
  // keyword with a line end or another control character, an empty suppressed keyword.
  static std::optional<TicketInjector> Create(const std::vector<KRTJobTicket::Piece>& pieces,
                                              Sink sink, std::string* error);

  // Takes the next bytes of the job. False once the sink has failed.
  bool Feed(std::string_view data);
  // Ends the job: a last line without a line end is judged, and every piece not yet placed is put
  // at the end (an empty or cut-off job still carries the whole ticket). False when the sink failed.
  bool Finish();

 private:
  enum class Phase { kFirstLine, kHeader, kBeforeSetup, kProlog, kSetup, kBody };
  enum class Disposition { kPass, kDrop };

  TicketInjector() = default;

  // Judges one line: `text` without its line end, `whole` with it. `complete` is false for the
  // head of an over-long line, whose rest follows the returned disposition.
  Disposition OnLine(std::string_view text, std::string_view whole, bool complete);
  // Runs what must come right after the line just finished.
  void AfterLine();
  // Processes the line gathered in carry_ (complete, with its line end).
  void FinishCarried();
  // Judges the head gathered in carry_ of a line too long to gather; its rest follows.
  void StartTail();
  // Output: inserted text, and bytes of the current data passed on (gathered into one span).
  void Emit(std::string_view text);
  void Pass(const char* from, const char* to);
  void FlushSpan();
  void EmitHeaderTail();
  void EmitSetupContent();
  [[nodiscard]] bool Suppressed(std::string_view text) const;

  Sink sink_;
  bool failed_ = false;
  char lastByte_ = '\0';  // the last byte written, '\0' before the first

  // The ticket's pieces by place.
  std::string header_;      // 501
  std::string headerTail_;  // 504 and 900
  std::string pageSize_;    // 70
  std::string setup_;       // 30 and 81, in order
  std::string marker_;      // 71
  std::set<std::string, std::less<>> suppressed_;  // -9, without the asterisk

  Phase phase_ = Phase::kFirstLine;
  bool headerDone_ = false;      // 501 placed
  bool headerTailDone_ = false;  // 504 and 900 placed
  bool pageSizeDone_ = false;
  bool setupDone_ = false;
  bool afterFirstLine_ = false;  // 501 goes right after the line now ending

  bool dropping_ = false;        // inside a feature block being left out
  bool wrapperDropped_ = false;  // its "[{" line was left out too
  bool closeNext_ = false;       // the next line may be the "} stopped cleartomark" to leave out
  std::string held_;             // a "[{" line waiting for the line after it
  bool holding_ = false;

  // Lines that span calls of Feed, and the rest of an over-long line.
  std::string carry_;
  bool inTail_ = false;
  Disposition tail_ = Disposition::kPass;
  bool tailCR_ = false;  // the over-long line ended in a CR at the end of the last data

  // Bytes of the current data passed on unchanged, written out in one piece.
  const char* spanStart_ = nullptr;
  const char* spanEnd_ = nullptr;
};

}  // namespace quill::cqf
