// AvahiServiceBrowser: the desktop's service browser, over the Avahi daemon (libavahi-client and
// the system D-Bus). It browses the asked service types on every interface and resolves every
// found service to its host name, addresses and port.
//
// Threads: none of its own. Avahi's simple poll loop runs only inside Poll(), on the caller's
// thread, and what the daemon reported is handed to the listener after the poll step has
// returned: the listener is always called on the thread that calls Poll() and never from inside
// an Avahi callback, so it may stop, restart or resolve from its handler. A front end calls Poll()
// from a short repeating timer of its event loop while IsActive(); tests call Poll(timeout) until
// what they wait for arrives. One instance belongs to one thread.
//
// Nothing that comes from the network is trusted: an instance name, type, domain or host name
// that is empty, longer than a DNS name allows, not UTF-8 or holds a control character is dropped
// (and logged), as is everything beyond kMaxServices found services. TXT records are not read.
// A link-local IPv6 address is given with its zone ("fe80::1%eth0"), because without it the
// address cannot be reached.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "connection/ServiceBrowser.h"

namespace quill {

class AvahiServiceBrowser : public ServiceBrowser {
 public:
  // Longest instance name (one DNS label) and longest host name, type or domain (a DNS name).
  static constexpr std::size_t kMaxLabelBytes = 63;
  static constexpr std::size_t kMaxNameBytes = 255;
  // At most this many distinct services are kept per browse, and this many resolutions run at
  // once; beyond that a found service is dropped and Resolve fails.
  static constexpr std::size_t kMaxServices = 256;
  static constexpr std::size_t kMaxResolving = 64;

  // One address of a resolved service with its port (ResolvedService carries no port).
  struct Endpoint {
    FoundService service;
    std::string hostName;
    std::string address;
    std::uint16_t port = 0;
  };

  // Nothing is connected yet: the daemon is first reached by StartBrowsing or Resolve.
  AvahiServiceBrowser();
  ~AvahiServiceBrowser() override;
  AvahiServiceBrowser(const AvahiServiceBrowser&) = delete;
  AvahiServiceBrowser& operator=(const AvahiServiceBrowser&) = delete;

  void SetListener(ServiceBrowserListener* listener) override { listener_ = listener; }
  [[nodiscard]] ServiceBrowserListener* Listener() const override { return listener_; }
  // Connects to the daemon when not connected and browses `types` (instead of what was browsed).
  // False, with the reason in LastError(), when the daemon cannot be reached (no D-Bus, no
  // daemon: answered at once, without waiting) or a type is refused by it; nothing runs then.
  bool StartBrowsing(const std::vector<std::string>& types) override;
  // Stops browsing and drops found services not yet delivered. Safe when not browsing.
  void StopBrowsing() override;
  [[nodiscard]] bool IsBrowsing() const override;
  // Resolves `service` on every interface and protocol it was found on (on all of them when it
  // was not found by this browser); each address arrives as its own ServiceResolved. False, with
  // the reason in LastError(), when not connected and the daemon cannot be reached, when too
  // many resolutions run, or when the daemon refuses the request.
  bool Resolve(const FoundService& service) override;
  // Drops every resolution still running and every answer not yet delivered.
  void StopResolving() override;

  // Runs one step of the poll loop, waiting at most `timeout` for the daemon, then delivers what
  // arrived to the listener. Returns how many results were delivered. Does nothing (returns 0)
  // when not connected. Not to be called from the listener.
  int Poll(std::chrono::milliseconds timeout = std::chrono::milliseconds(0));
  // True while browsing or resolving: the front end keeps its poll timer running.
  [[nodiscard]] bool IsActive() const;
  // True while connected to the daemon. A daemon that goes away disconnects the browser (browsing
  // and resolving stop, LastError() says why); the next start connects again.
  [[nodiscard]] bool IsConnected() const;
  // Why the last start or resolve failed, or why the connection was lost; "" when none.
  [[nodiscard]] const std::string& LastError() const { return error_; }
  // Every address with its port that the resolutions delivered since the last StopResolving,
  // oldest first.
  [[nodiscard]] const std::vector<Endpoint>& Endpoints() const { return endpoints_; }

  // True when `text` can be shown and stored: 1 to `maxBytes` bytes of UTF-8 without a control
  // character (C0, DEL, C1).
  [[nodiscard]] static bool IsAcceptableText(std::string_view text, std::size_t maxBytes);
  // `address` as offered to the listener: a link-local IPv6 address with the zone of interface
  // `interfaceIndex` ("fe80::1%eth0"), "" when that interface is unknown; any other unchanged.
  [[nodiscard]] static std::string AddressWithZone(std::string_view address, int interfaceIndex);

 private:
  struct State;
  std::unique_ptr<State> state_;
  ServiceBrowserListener* listener_ = nullptr;
  std::string error_;
  std::vector<Endpoint> endpoints_;
};

}  // namespace quill
