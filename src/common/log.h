// Internal error log: every failure message of the library goes through here.
#ifndef ZELVAN_COMMON_LOG_H_
#define ZELVAN_COMMON_LOG_H_

#include <string>

#include "zelvan/zelvan.h"

namespace zelvan {

// Hands message to the host sink at level, or drops it when none is
// installed. Exceptions from the sink or from allocation pass through.
void WriteLog(int level, const std::string& message);

// The usual failure path of an operator: log one message, return its code.
int LogError(int status, const char* message);

}  // namespace zelvan

#endif  // ZELVAN_COMMON_LOG_H_
