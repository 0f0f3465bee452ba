// The native build's window posting: posts are recorded for the tests to read.
#pragma once

#include <cstdint>
#include <vector>

#include "base/setup_state.h"

namespace velmora {

struct RecordedPost {
  WindowHandle window;
  std::uint32_t message;
  std::uintptr_t wParam;
  bool operator==(const RecordedPost&) const = default;
};

std::vector<RecordedPost>& RecordedPosts();

// The shared state the window would read when a post arrives, taken at each post.
struct StateAtPost {
  Outcome outcome;
  bool busy;
  bool operator==(const StateAtPost&) const = default;
};

std::vector<StateAtPost>& StatesAtPosts();

// Puts the shared setup state back to its start values and forgets recorded posts.
void ResetSetupState(WindowHandle window);

}  // namespace velmora
