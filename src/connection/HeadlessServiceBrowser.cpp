#include "connection/HeadlessServiceBrowser.h"

#include <algorithm>
#include <utility>

namespace quill {

HeadlessServiceBrowser::HeadlessServiceBrowser(bool resolveAtOnce)
    : resolveAtOnce_(resolveAtOnce) {}

void HeadlessServiceBrowser::SetListener(ServiceBrowserListener* listener) { listener_ = listener; }

bool HeadlessServiceBrowser::StartBrowsing(const std::vector<std::string>& types) {
  types_ = types;
  browsing_ = true;
  // A copy: the listener may announce or stop while being told.
  const auto services = services_;
  for (const auto& entry : services) {
    if (!browsing_) break;
    Deliver(entry.first);
  }
  return true;
}

void HeadlessServiceBrowser::StopBrowsing() {
  if (browsing_) ++stops_;
  browsing_ = false;
}

bool HeadlessServiceBrowser::Resolve(const FoundService& service) {
  requests_.push_back(service);
  const auto it = std::find_if(services_.begin(), services_.end(),
                               [&](const auto& entry) { return entry.first == service; });
  if (it == services_.end()) return false;
  outstanding_.push_back(service);
  if (resolveAtOnce_) DeliverResolutions();
  return true;
}

void HeadlessServiceBrowser::StopResolving() { outstanding_.clear(); }

void HeadlessServiceBrowser::Announce(const FoundService& service, Answer answer) {
  services_.emplace_back(service, std::move(answer));
  if (browsing_) Deliver(service);
}

void HeadlessServiceBrowser::DeliverResolutions() {
  std::vector<FoundService> due;
  due.swap(outstanding_);
  for (const FoundService& service : due) {
    const auto it = std::find_if(services_.begin(), services_.end(),
                                 [&](const auto& entry) { return entry.first == service; });
    if (it == services_.end() || listener_ == nullptr) continue;
    listener_->ServiceResolved({service, it->second.hostName, it->second.addresses});
  }
}

void HeadlessServiceBrowser::Deliver(const FoundService& service) {
  if (listener_ != nullptr) listener_->ServiceFound(service);
}

void ManualOneShotTimer::Schedule(std::chrono::milliseconds delay, std::function<void()> fire) {
  delay_ = delay;
  fire_ = std::move(fire);
}

void ManualOneShotTimer::Cancel() {
  delay_.reset();
  fire_ = nullptr;
}

std::optional<std::chrono::milliseconds> ManualOneShotTimer::Pending() const { return delay_; }

bool ManualOneShotTimer::Fire() {
  if (!fire_) return false;
  auto fire = std::move(fire_);
  Cancel();
  fire();
  return true;
}

}  // namespace quill
