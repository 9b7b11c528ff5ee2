#include "platform/Log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace quill {
namespace {

LogSink& sink() {
  static LogSink s;
  return s;
}

void default_sink(std::string_view message) {
  static const bool enabled = std::getenv("QUILL_LOG") != nullptr;
  if (!enabled) return;
  std::fwrite(message.data(), 1, message.size(), stderr);
  if (message.empty() || message.back() != '\n') std::fputc('\n', stderr);
}

}  // namespace

void PanelLog(const char* format, ...) {
  char buffer[4096];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) return;
  std::string_view message(buffer, static_cast<size_t>(n) < sizeof buffer ? n : sizeof buffer - 1);
  if (sink()) {
    sink()(message);
  } else {
    default_sink(message);
  }
}

LogSink SetLogSink(LogSink s) {
  LogSink previous = std::move(sink());
  sink() = std::move(s);
  return previous;
}

}  // namespace quill
