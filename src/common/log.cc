#include "common/log.h"

#include <atomic>
#include <sstream>

namespace zelvan {
namespace {

// Constant-initialised, so it exists before any caller and is never
// destroyed: a sink installed once stays in place through process exit.
// Atomic, so a sink installed while other threads log is seen safely.
std::atomic<ExternalLogFunc> sinkSlot{nullptr};

}  // namespace

int SetExternalLogFunc(ExternalLogFunc logFunc) {
  ExternalLogFunc expected = nullptr;
  if (logFunc != nullptr) {
    // Only the first non-null sink is kept.
    sinkSlot.compare_exchange_strong(expected, logFunc, std::memory_order_acq_rel);
  }
  return STATUS_SUCCESS;
}

void WriteLog(int level, const std::string& message) {
  std::ostringstream stream;
  stream.write(message.data(), static_cast<std::streamsize>(message.size()));
  ExternalLogFunc sink = sinkSlot.load(std::memory_order_acquire);
  if (sink == nullptr) {
    return;
  }
  const std::string text = stream.str();
  sink(level, text.c_str());
}

int LogError(int status, const char* message) {
  WriteLog(LOG_LEVEL_ERROR, std::string(message));
  return status;
}

}  // namespace zelvan
