#include "connection/AvahiServiceBrowser.h"

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/address.h>
#include <avahi-common/error.h>
#include <avahi-common/simple-watch.h>
#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <list>
#include <utility>

#include "platform/Log.h"

namespace quill {
namespace {

// What the daemon reported, waiting to be delivered on the caller's thread.
struct Event {
  enum class Kind { kFound, kResolved };
  Kind kind = Kind::kFound;
  FoundService service;
  std::string hostName;
  std::string address;
  std::uint16_t port = 0;
  std::uint64_t generation = 0;  // of browsing (kFound) or resolving (kResolved)
};

// The address as text, with its zone when it needs one.
std::string address_text(const AvahiAddress& address, AvahiIfIndex interface) {
  char buffer[AVAHI_ADDRESS_STR_MAX] = {};
  if (avahi_address_snprint(buffer, sizeof buffer, &address) == nullptr) return {};
  return AvahiServiceBrowser::AddressWithZone(buffer, interface);
}

std::string describe(const FoundService& service) {
  return service.name + "." + service.type + "." + service.domain;
}

}  // namespace

struct AvahiServiceBrowser::State {
  // One service found, with the interfaces and protocols it was announced on.
  struct Found {
    FoundService service;
    std::vector<std::pair<AvahiIfIndex, AvahiProtocol>> instances;
  };
  // One running resolver (the resolver callback's user data).
  struct Resolution {
    State* state = nullptr;
    ::AvahiServiceResolver* resolver = nullptr;
    FoundService service;
  };

  AvahiSimplePoll* poll = nullptr;
  AvahiClient* client = nullptr;
  bool clientFailed = false;
  std::string clientError;
  std::vector<::AvahiServiceBrowser*> browsers;
  std::vector<Found> found;
  std::list<Resolution> resolutions;
  std::vector<Event> events;
  std::uint64_t browseGeneration = 0;
  std::uint64_t resolveGeneration = 0;
  bool dropped = false;  // a service beyond kMaxServices was dropped (logged once)

  State() : poll(avahi_simple_poll_new()) {}
  ~State() {
    Disconnect();
    if (poll != nullptr) avahi_simple_poll_free(poll);
  }

  void FreeBrowsers() {
    for (::AvahiServiceBrowser* browser : browsers) avahi_service_browser_free(browser);
    browsers.clear();
  }
  void FreeResolutions() {
    for (Resolution& resolution : resolutions) {
      if (resolution.resolver != nullptr) avahi_service_resolver_free(resolution.resolver);
    }
    resolutions.clear();
  }
  void Disconnect() {
    FreeBrowsers();
    FreeResolutions();
    found.clear();
    if (client != nullptr) avahi_client_free(client);
    client = nullptr;
    clientFailed = false;
  }

  // Connects when not connected; false with the reason in `error`.
  bool Connect(std::string* error) {
    if (client != nullptr) return true;
    if (poll == nullptr) {
      *error = "Avahi: the poll loop could not be created";
      return false;
    }
    int code = 0;
    clientFailed = false;
    // Without AVAHI_CLIENT_NO_FAIL a missing daemon or D-Bus is answered at once.
    client = avahi_client_new(avahi_simple_poll_get(poll), static_cast<AvahiClientFlags>(0),
                              &State::ClientCallback, this, &code);
    if (client == nullptr) {
      *error = std::string("Avahi daemon not reachable: ") + avahi_strerror(code);
      return false;
    }
    return true;
  }

  static void ClientCallback(AvahiClient* client, AvahiClientState state, void* data) {
    auto* self = static_cast<State*>(data);
    if (state != AVAHI_CLIENT_FAILURE) return;
    // The client cannot be freed inside its own callback: Poll does it after the step.
    self->clientFailed = true;
    self->clientError =
        std::string("Avahi daemon connection lost: ") + avahi_strerror(avahi_client_errno(client));
  }

  static void BrowseCallback(::AvahiServiceBrowser* /*browser*/, AvahiIfIndex interface,
                             AvahiProtocol protocol, AvahiBrowserEvent event, const char* name,
                             const char* type, const char* domain,
                             AvahiLookupResultFlags /*flags*/, void* data) {
    auto* self = static_cast<State*>(data);
    if (event == AVAHI_BROWSER_FAILURE) {
      PanelLog("AvahiServiceBrowser: browsing failed: %s",
               self->client != nullptr ? avahi_strerror(avahi_client_errno(self->client)) : "");
      return;
    }
    if (event != AVAHI_BROWSER_NEW && event != AVAHI_BROWSER_REMOVE) return;
    if (name == nullptr || type == nullptr || domain == nullptr) return;
    const std::string_view name_text(name), type_text(type), domain_text(domain);
    if (!IsAcceptableText(name_text, kMaxLabelBytes) ||
        !IsAcceptableText(type_text, kMaxNameBytes) ||
        !IsAcceptableText(domain_text, kMaxNameBytes)) {
      PanelLog("AvahiServiceBrowser: a service with an unusable name, type or domain is ignored");
      return;
    }
    FoundService service{std::string(name_text), std::string(type_text), std::string(domain_text)};
    auto it = std::find_if(self->found.begin(), self->found.end(),
                           [&](const Found& entry) { return entry.service == service; });
    const std::pair<AvahiIfIndex, AvahiProtocol> instance{interface, protocol};
    if (event == AVAHI_BROWSER_REMOVE) {
      if (it != self->found.end()) std::erase(it->instances, instance);
      return;
    }
    if (it != self->found.end()) {
      if (std::find(it->instances.begin(), it->instances.end(), instance) == it->instances.end()) {
        it->instances.push_back(instance);
      }
      return;
    }
    if (self->found.size() >= kMaxServices) {
      if (!self->dropped) {
        PanelLog("AvahiServiceBrowser: more than %zu services, the rest are ignored",
                 kMaxServices);
      }
      self->dropped = true;
      return;
    }
    self->found.push_back({service, {instance}});
    self->events.push_back(
        {Event::Kind::kFound, std::move(service), {}, {}, 0, self->browseGeneration});
  }

  static void ResolveCallback(::AvahiServiceResolver* resolver, AvahiIfIndex interface,
                              AvahiProtocol /*protocol*/, AvahiResolverEvent event,
                              const char* /*name*/, const char* /*type*/, const char* /*domain*/,
                              const char* host_name, const AvahiAddress* address,
                              uint16_t port, AvahiStringList* /*txt*/,
                              AvahiLookupResultFlags /*flags*/, void* data) {
    auto* resolution = static_cast<Resolution*>(data);
    State* self = resolution->state;
    if (event == AVAHI_RESOLVER_FOUND && host_name != nullptr && address != nullptr) {
      const std::string_view host(host_name);
      std::string text = address_text(*address, interface);
      if (!IsAcceptableText(host, kMaxNameBytes)) {
        PanelLog("AvahiServiceBrowser: %s resolved to an unusable host name, ignored",
                 describe(resolution->service).c_str());
      } else if (!text.empty()) {
        self->events.push_back({Event::Kind::kResolved, resolution->service, std::string(host),
                                std::move(text), port, self->resolveGeneration});
      }
    } else if (event == AVAHI_RESOLVER_FAILURE) {
      PanelLog("AvahiServiceBrowser: %s could not be resolved: %s",
               describe(resolution->service).c_str(),
               self->client != nullptr ? avahi_strerror(avahi_client_errno(self->client)) : "");
    }
    // A resolver answers once: freeing it inside its callback is allowed by the library.
    avahi_service_resolver_free(resolver);
    self->resolutions.remove_if([&](const Resolution& entry) { return &entry == resolution; });
  }
};

AvahiServiceBrowser::AvahiServiceBrowser() : state_(std::make_unique<State>()) {}

AvahiServiceBrowser::~AvahiServiceBrowser() = default;

bool AvahiServiceBrowser::StartBrowsing(const std::vector<std::string>& types) {
  StopBrowsing();
  error_.clear();
  if (!state_->Connect(&error_)) {
    PanelLog("AvahiServiceBrowser::StartBrowsing: %s", error_.c_str());
    return false;
  }
  for (const std::string& type : types) {
    ::AvahiServiceBrowser* browser = avahi_service_browser_new(
        state_->client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, type.c_str(), nullptr,
        static_cast<AvahiLookupFlags>(0), &State::BrowseCallback, state_.get());
    if (browser == nullptr) {
      error_ = "Avahi refuses to browse " + type + ": " +
               avahi_strerror(avahi_client_errno(state_->client));
      PanelLog("AvahiServiceBrowser::StartBrowsing: %s", error_.c_str());
      StopBrowsing();
      return false;
    }
    state_->browsers.push_back(browser);
  }
  return true;
}

void AvahiServiceBrowser::StopBrowsing() {
  state_->FreeBrowsers();
  state_->found.clear();
  state_->dropped = false;
  ++state_->browseGeneration;
}

bool AvahiServiceBrowser::IsBrowsing() const { return !state_->browsers.empty(); }

bool AvahiServiceBrowser::Resolve(const FoundService& service) {
  error_.clear();
  if (!state_->Connect(&error_)) {
    PanelLog("AvahiServiceBrowser::Resolve: %s", error_.c_str());
    return false;
  }
  std::vector<std::pair<AvahiIfIndex, AvahiProtocol>> instances;
  for (const State::Found& entry : state_->found) {
    if (entry.service == service) instances = entry.instances;
  }
  if (instances.empty()) instances.emplace_back(AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC);
  if (state_->resolutions.size() + instances.size() > kMaxResolving) {
    error_ = "too many resolutions at once";
    PanelLog("AvahiServiceBrowser::Resolve: %s", error_.c_str());
    return false;
  }
  bool any = false;
  for (const auto& [interface, protocol] : instances) {
    State::Resolution& resolution = state_->resolutions.emplace_back();
    resolution.state = state_.get();
    resolution.service = service;
    // The address is asked for in the protocol the service was found over, so a service
    // announced over IPv6 gives its IPv6 address.
    resolution.resolver = avahi_service_resolver_new(
        state_->client, interface, protocol, service.name.c_str(), service.type.c_str(),
        service.domain.c_str(), protocol, static_cast<AvahiLookupFlags>(0),
        &State::ResolveCallback, &resolution);
    if (resolution.resolver == nullptr) {
      error_ = "Avahi refuses to resolve " + describe(service) + ": " +
               avahi_strerror(avahi_client_errno(state_->client));
      PanelLog("AvahiServiceBrowser::Resolve: %s", error_.c_str());
      state_->resolutions.pop_back();
      continue;
    }
    any = true;
  }
  return any;
}

void AvahiServiceBrowser::StopResolving() {
  state_->FreeResolutions();
  ++state_->resolveGeneration;
  endpoints_.clear();
}

int AvahiServiceBrowser::Poll(std::chrono::milliseconds timeout) {
  if (state_->client == nullptr || state_->poll == nullptr) return 0;
  const int wait = static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(
      timeout.count(), 0, 60'000));
  if (avahi_simple_poll_iterate(state_->poll, wait) < 0) {
    PanelLog("AvahiServiceBrowser::Poll: the poll loop failed");
  }
  if (state_->clientFailed) {
    error_ = state_->clientError;
    PanelLog("AvahiServiceBrowser::Poll: %s", error_.c_str());
    state_->Disconnect();
    ++state_->browseGeneration;
    ++state_->resolveGeneration;
  }
  std::vector<Event> events;
  events.swap(state_->events);
  int delivered = 0;
  for (Event& event : events) {
    // The listener may have stopped browsing or resolving while earlier events were delivered.
    if (event.kind == Event::Kind::kFound) {
      if (event.generation != state_->browseGeneration) continue;
      if (listener_ != nullptr) listener_->ServiceFound(event.service);
    } else {
      if (event.generation != state_->resolveGeneration) continue;
      endpoints_.push_back({event.service, event.hostName, event.address, event.port});
      if (listener_ != nullptr) {
        listener_->ServiceResolved({event.service, event.hostName, {event.address}});
      }
    }
    ++delivered;
  }
  return delivered;
}

bool AvahiServiceBrowser::IsActive() const {
  return !state_->browsers.empty() || !state_->resolutions.empty() || !state_->events.empty();
}

bool AvahiServiceBrowser::IsConnected() const { return state_->client != nullptr; }

std::string AvahiServiceBrowser::AddressWithZone(std::string_view address, int interfaceIndex) {
  const std::string text(address);
  in6_addr bytes{};
  // inet_pton stops at a NUL byte: a text with one inside is no address at all.
  if (text.find('\0') != std::string::npos || inet_pton(AF_INET6, text.c_str(), &bytes) != 1) {
    return text;
  }
  const bool link_local = bytes.s6_addr[0] == 0xfe && (bytes.s6_addr[1] & 0xc0) == 0x80;
  if (!link_local) return text;
  // Without its zone a link-local address cannot be reached, so it is not offered at all.
  char name[IF_NAMESIZE] = {};
  if (interfaceIndex <= 0 || if_indextoname(static_cast<unsigned>(interfaceIndex), name) == nullptr) {
    return {};
  }
  return text + "%" + name;
}

bool AvahiServiceBrowser::IsAcceptableText(std::string_view text, std::size_t maxBytes) {
  if (text.empty() || text.size() > maxBytes) return false;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead < 0x80) {
      length = 1;
      code = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      code = lead & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
    static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) return false;
    i += length;
  }
  return true;
}

}  // namespace quill
