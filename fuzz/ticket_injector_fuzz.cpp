// The filter's print half under arbitrary jobs and small tickets.
//
// Input: a byte with the number of pieces (at most 7) and the size of the reads, then per piece a
// site byte (chooses among the sites the filter places) and a length byte followed by that many
// bytes, then the job. The job is run through the injector once whole and once in reads of the
// chosen size; the two outputs must be equal, and every piece that the injector accepted must be
// in the output.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "TicketInjector.h"
#include "output/PostScriptInjectionSite.h"

namespace {

constexpr PostScriptInjectionSite kSites[] = {kSiteBareKeyword, kSiteJobNote,  kSitePageSize,
                                              kSitePreParseEnd, kSiteFeature,  kSiteHeader,
                                              kSiteLayoutHeader, kSiteMailbox, 12};

bool Run(const std::vector<KRTJobTicket::Piece>& pieces, std::string_view job, size_t step,
         std::string* out) {
  std::string error;
  auto injector = quill::cqf::TicketInjector::Create(
      pieces,
      [out](std::string_view data) {
        out->append(data);
        return true;
      },
      &error);
  if (!injector) return false;
  for (size_t at = 0; at < job.size(); at += step) {
    if (!injector->Feed(job.substr(at, step))) std::abort();
  }
  if (!injector->Finish()) std::abort();
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  if (in.empty()) return 0;
  const auto head = static_cast<unsigned char>(in[0]);
  in.remove_prefix(1);
  const size_t count = head & 7;
  const size_t step = (head >> 3) + 1;
  std::vector<KRTJobTicket::Piece> pieces;
  for (size_t i = 0; i < count && in.size() >= 2; ++i) {
    const PostScriptInjectionSite site =
        kSites[static_cast<unsigned char>(in[0]) % (sizeof kSites / sizeof kSites[0])];
    const size_t length = std::min<size_t>(static_cast<unsigned char>(in[1]), in.size() - 2);
    pieces.push_back({site, std::string(in.substr(2, length))});
    in.remove_prefix(2 + length);
  }
  std::string whole;
  std::string pieced;
  const bool made = Run(pieces, in, in.size() + 1, &whole);
  if (made != Run(pieces, in, step, &pieced)) std::abort();
  if (!made) return 0;
  if (whole != pieced) std::abort();
  for (const auto& piece : pieces) {
    if (piece.site == kSiteBareKeyword || piece.site == kSiteMailbox) continue;
    if (whole.find(piece.data) == std::string::npos) std::abort();
  }
  return 0;
}
