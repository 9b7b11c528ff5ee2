// HeadlessServiceBrowser: a service browser without a network. Tests and the command line tell
// it which services exist (Announce) and what they resolve to; it delivers them to its listener
// as a real browser would, and records what it was asked to resolve.
//
// ManualOneShotTimer: a timer that fires only when told to (Fire), so no test waits.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "connection/ServiceBrowser.h"

namespace quill {

class HeadlessServiceBrowser : public ServiceBrowser {
 public:
  // How a service resolves: host name and addresses.
  struct Answer {
    std::string hostName;
    std::vector<std::string> addresses;
  };
  // With `resolveAtOnce` a resolution is delivered inside Resolve; otherwise it waits for
  // DeliverResolutions.
  explicit HeadlessServiceBrowser(bool resolveAtOnce = true);

  void SetListener(ServiceBrowserListener* listener) override;
  [[nodiscard]] ServiceBrowserListener* Listener() const override { return listener_; }
  bool StartBrowsing(const std::vector<std::string>& types) override;
  void StopBrowsing() override;
  [[nodiscard]] bool IsBrowsing() const override { return browsing_; }
  // False for a service never announced (nothing is delivered then).
  bool Resolve(const FoundService& service) override;
  void StopResolving() override;

  // Makes `service` known with its answer. While browsing it is delivered at once, otherwise
  // at the next start.
  void Announce(const FoundService& service, Answer answer);
  // Delivers every resolution still outstanding, oldest first.
  void DeliverResolutions();

  // Every service Resolve was asked for, oldest first.
  [[nodiscard]] const std::vector<FoundService>& ResolveRequests() const { return requests_; }
  [[nodiscard]] const std::vector<std::string>& BrowsedTypes() const { return types_; }
  [[nodiscard]] int StopCount() const { return stops_; }

 private:
  void Deliver(const FoundService& service);

  bool resolveAtOnce_;
  ServiceBrowserListener* listener_ = nullptr;
  bool browsing_ = false;
  int stops_ = 0;
  std::vector<std::string> types_;
  std::vector<std::pair<FoundService, Answer>> services_;
  std::vector<FoundService> requests_;
  std::vector<FoundService> outstanding_;
};

class ManualOneShotTimer : public OneShotTimer {
 public:
  void Schedule(std::chrono::milliseconds delay, std::function<void()> fire) override;
  void Cancel() override;
  // The delay of what is scheduled; nullopt when nothing is.
  [[nodiscard]] std::optional<std::chrono::milliseconds> Pending() const;
  // Fires what is scheduled (once); false when nothing was.
  bool Fire();

 private:
  std::optional<std::chrono::milliseconds> delay_;
  std::function<void()> fire_;
};

}  // namespace quill
