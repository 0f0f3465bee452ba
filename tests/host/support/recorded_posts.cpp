#include "recorded_posts.h"

namespace velmora {

std::vector<RecordedPost>& RecordedPosts() {
  static std::vector<RecordedPost> posts;
  return posts;
}

std::vector<StateAtPost>& StatesAtPosts() {
  static std::vector<StateAtPost> states;
  return states;
}

void PostSetupMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam) {
  RecordedPosts().push_back({window, message, wParam});
  StatesAtPosts().push_back({SetupOutcome.load(), SetupBusy.load()});
}

void ResetSetupState(WindowHandle window) {
  StatusText.clear();
  ErrorText.clear();
  SetupOperation = Operation::None;
  SetupOutcome = Outcome::Pending;
  SetupBusy = true;
  SetupFailureCause = FailureCause::None;
  RestartRequired = false;
  SetupWindowHandle = window;
  ProgressPercent = 0;
  ForceFallbackManifest = false;
  SetupCancel = CancelState::NotOffered;
  RecordedPosts().clear();
  StatesAtPosts().clear();
}

}  // namespace velmora
