#include "recorded_posts.h"

namespace velmora {

std::vector<RecordedPost>& RecordedPosts() {
  static std::vector<RecordedPost> posts;
  return posts;
}

void PostSetupMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam) {
  RecordedPosts().push_back({window, message, wParam});
}

void ResetSetupState(WindowHandle window) {
  StatusText.clear();
  ErrorText.clear();
  SetupOperation = Operation::None;
  SetupOutcome = Outcome::Pending;
  SetupBusy = true;
  SetupWindowHandle = window;
  ProgressPercent = 0;
  ForceFallbackManifest = false;
  RecordedPosts().clear();
}

}  // namespace velmora
