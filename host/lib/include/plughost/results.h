#pragma once
#include <cstdint>
#include <string>

namespace plughost {

// What a plug-in's result code means to a user.
std::string ResultMessage(int32_t result);

// Exit status of plughost for a plug-in result: 0 success, 1 the plug-in reported the problem
// itself, 4 cancelled, 5 out of memory, 6 bad parameters, 7 host insufficient, 8 cannot read
// the file, 9 any other error. 2 and 3 are plughost's own (usage, loading).
int ExitStatusFor(int32_t result);
constexpr int kExitUsage = 2;
constexpr int kExitLoad = 3;
// An input file (image, mask, raw file) that cannot be read, whichever command reads it.
constexpr int kExitInput = 8;

}  // namespace plughost
