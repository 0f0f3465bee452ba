// The /? help: the switches and exit codes, in the console the program was started from, or
// in a message box when there is none.
#pragma once

namespace velmora {

void ShowUsage();

}  // namespace velmora
