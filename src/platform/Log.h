// The panel's one logging function. Messages start with the class and method that logs them
// ("KRTPPD::ReadPUJNPrefs ..."). By default they go to standard error when the environment
// variable QUILL_LOG is set and are dropped otherwise; tests install a sink to read them.
#pragma once

#include <functional>
#include <string_view>

namespace quill {

using LogSink = std::function<void(std::string_view message)>;

// printf-style. A message longer than 4095 bytes is cut.
void PanelLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Replaces the sink; an empty function restores the default. Returns the previous sink.
LogSink SetLogSink(LogSink sink);

}  // namespace quill
