// A thread-safe log sink for tests: the first one installed in a process
// stays, so every test of a binary shares it and clears it before use.
#ifndef ZELVAN_TESTS_LOG_CAPTURE_H_
#define ZELVAN_TESTS_LOG_CAPTURE_H_

#include <mutex>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "zelvan/zelvan.h"

namespace zelvan_test {

struct LogEntry {
  int level;
  std::string text;
  bool operator==(const LogEntry& o) const { return level == o.level && text == o.text; }
  friend std::ostream& operator<<(std::ostream& os, const LogEntry& e) {
    return os << "(" << e.level << ", \"" << e.text << "\")";
  }
};

class LogCapture {
 public:
  static LogCapture& Get() {
    static LogCapture capture;
    return capture;
  }
  static void Sink(int level, const char* message) {
    LogCapture& c = Get();
    std::lock_guard<std::mutex> lock(c.mutex_);
    c.entries_.push_back({level, message});
  }
  void Install() { zelvan::SetExternalLogFunc(&LogCapture::Sink); }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
  }
  std::vector<LogEntry> Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(entries_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<LogEntry> entries_;
};

// The log must hold exactly one entry: message at level 3.
inline std::vector<LogEntry> One(const char* message) { return {{zelvan::LOG_LEVEL_ERROR, message}}; }

}  // namespace zelvan_test

#endif  // ZELVAN_TESTS_LOG_CAPTURE_H_
