// ServiceBrowser: finds print services announced on the local network and resolves them to a
// host name and addresses, behind an interface so that the printer-address logic runs without a
// discovery library. Results are delivered to a listener on the caller's thread; the headless
// browser (HeadlessServiceBrowser) is filled by hand, the desktop front end brings its own.
//
// OneShotTimer: the timer the browse window uses to hide its progress indicator again; behind an
// interface so that tests fire it by hand instead of waiting.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace quill {

// One announced service: its instance name, type ("_ipp._tcp") and domain ("local.").
struct FoundService {
  std::string name;
  std::string type;
  std::string domain;

  friend bool operator==(const FoundService&, const FoundService&) = default;
};

// What resolving a service gave: the host's name and its addresses as text.
struct ResolvedService {
  FoundService service;
  std::string hostName;
  std::vector<std::string> addresses;
};

class ServiceBrowserListener {
 public:
  virtual ~ServiceBrowserListener() = default;
  // A service was announced while browsing.
  virtual void ServiceFound(const FoundService& service) = 0;
  // A service asked for with Resolve was resolved.
  virtual void ServiceResolved(const ResolvedService& resolved) = 0;
};

class ServiceBrowser {
 public:
  // The service types of print servers that are browsed for.
  static const std::vector<std::string>& PrintServiceTypes();

  virtual ~ServiceBrowser() = default;
  // Sets the listener (not owned; null for none). Results arriving without one are dropped.
  virtual void SetListener(ServiceBrowserListener* listener) = 0;
  [[nodiscard]] virtual ServiceBrowserListener* Listener() const = 0;
  // Starts browsing for `types`; false when browsing cannot start (nothing is delivered then).
  // Starting again restarts.
  virtual bool StartBrowsing(const std::vector<std::string>& types) = 0;
  // Stops browsing; nothing more is found until the next start. Safe when not browsing.
  virtual void StopBrowsing() = 0;
  [[nodiscard]] virtual bool IsBrowsing() const = 0;
  // Asks for `service` to be resolved; the answer comes through ServiceResolved, possibly later.
  // False when the request cannot be made.
  virtual bool Resolve(const FoundService& service) = 0;
  // Drops every resolution still outstanding. Safe when none is.
  virtual void StopResolving() = 0;
};

class OneShotTimer {
 public:
  virtual ~OneShotTimer() = default;
  // Calls `fire` once after `delay`; scheduling again replaces what was scheduled.
  virtual void Schedule(std::chrono::milliseconds delay, std::function<void()> fire) = 0;
  // Drops what was scheduled. Safe when nothing is.
  virtual void Cancel() = 0;
};

}  // namespace quill
