// Feeds arbitrary bytes, as a service browser would receive them from the network, to the checks
// the Avahi browser applies before a name or an address reaches the panel: an accepted name is
// within its bound and holds no control character or broken UTF-8 (checked here with an
// independent decoder), and an address gets a zone only when it is a link-local IPv6 address,
// after which it still passes the panel's address rule.
#include <net/if.h>

#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <string_view>

#include "connection/AvahiServiceBrowser.h"
#include "connection/BonjourModuleController.h"

namespace {

// Decodes `text` as UTF-8 with mbrtowc (C.UTF-8); false on a broken or overlong sequence, a
// surrogate or a control character.
bool independent_check(std::string_view text) {
  std::mbstate_t state{};
  std::size_t i = 0;
  while (i < text.size()) {
    wchar_t c = 0;
    const std::size_t n = std::mbrtowc(&c, text.data() + i, text.size() - i, &state);
    if (n == 0) return false;  // NUL
    if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2)) return false;
    if (c < 0x20 || (c >= 0x7f && c <= 0x9f) || c > 0x10FFFF) return false;
    if (c >= 0xD800 && c <= 0xDFFF) return false;
    i += n;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::setlocale(LC_ALL, "C.UTF-8");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const bool accepted =
      quill::AvahiServiceBrowser::IsAcceptableText(text, quill::AvahiServiceBrowser::kMaxLabelBytes);
  if (accepted) {
    if (text.empty() || text.size() > quill::AvahiServiceBrowser::kMaxLabelBytes) std::abort();
    if (!independent_check(text)) std::abort();
  } else if (!text.empty() && text.size() <= quill::AvahiServiceBrowser::kMaxLabelBytes &&
             independent_check(text)) {
    std::abort();  // refused a name that is sound
  }

  static const int loopback = static_cast<int>(if_nametoindex("lo"));
  const std::string address(text);
  for (const int interface : {0, loopback}) {
    const std::string shown = quill::AvahiServiceBrowser::AddressWithZone(address, interface);
    if (shown == address || shown.empty()) continue;
    if (shown != address + "%lo") std::abort();
    if (quill::BonjourModuleController::CheckAddress(shown) !=
        quill::BonjourModuleController::AddressCheck::kAccepted) {
      std::abort();
    }
  }
  return 0;
}
