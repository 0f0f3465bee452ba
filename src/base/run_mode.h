// Whether someone is watching the run. Chosen once by the entry from the command line, before
// any other thread starts, and read everywhere the program would otherwise wait for a click.
#pragma once

namespace velmora {

enum class RunMode {
  Interactive,  // the window, its finish screen and the message boxes
  Passive,      // the progress window only, with nothing to click
  Quiet,        // no window at all
};

extern RunMode SetupRunMode;

// Nobody is there to answer a box or press Finish.
[[nodiscard]] inline bool IsUnattended(RunMode mode) { return mode != RunMode::Interactive; }
[[nodiscard]] inline bool IsUnattended() { return IsUnattended(SetupRunMode); }

}  // namespace velmora
