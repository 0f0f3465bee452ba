// The native build's window posting: posts are recorded for the tests to read.
#pragma once

#include <cstdint>
#include <vector>

#include "app/setup_state.h"

namespace velmora {

struct RecordedPost {
  WindowHandle window;
  std::uint32_t message;
  std::uintptr_t wParam;
  bool operator==(const RecordedPost&) const = default;
};

std::vector<RecordedPost>& RecordedPosts();

// Puts the shared setup state back to its start values and forgets recorded posts.
void ResetSetupState(WindowHandle window);

}  // namespace velmora
