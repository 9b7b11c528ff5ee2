// Feeds arbitrary text to what the spooler-side filter reads from outside: command texts (the
// update request, addresses, file names that must stay in the cache folder) and the server
// profile. A confined name that leaves the cache folder is a finding.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "CommandDispatch.h"
#include "ServerProfile.h"
#include "ServerQuery.h"
#include "TwoWayData.h"
#include "platform/Paths.h"
#include "server/SpoolerFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  quill::Paths::SetRoot("/fuzz");

  const quill::cqf::UpdateRequest request = quill::cqf::ParseUpdateRequest(text);
  (void)quill::cqf::IsSafeIdentifier(request.identifier);
  (void)quill::cqf::PrintServerURI(request.address, request.rest);

  if (const auto path = quill::SpoolerFiles::ConfineToCache(text)) {
    const std::string cache = quill::SpoolerFiles::CacheFolder() + "/";
    if (path->compare(0, cache.size(), cache) != 0 || path->find("/../") != std::string::npos ||
        path->find('\0') != std::string::npos) {
      std::abort();
    }
  }

  const quill::cqf::ServerProfile profile = quill::cqf::ServerProfile::Parse(text);
  std::vector<quill::cqf::ServerProfile::Section> sections = profile.Sections();
  sections.emplace_back("ServerInfo",
                        quill::cqf::ServerInfoText(quill::cqf::ServerState{}, profile));
  (void)quill::cqf::BuildTwoWayFile(sections);
  return 0;
}
