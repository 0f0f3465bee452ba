// The native build's log: messages are kept in memory for the tests to read.
#pragma once

#include <string>
#include <vector>

namespace velmora {

std::vector<std::string>& CapturedLog();

}  // namespace velmora
