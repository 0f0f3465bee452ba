#include "ui/accessible_content.h"

#include <gtest/gtest.h>

#include "base/setup_state.h"
#include "recorded_posts.h"
#include "ui/screen_layout.h"

namespace velmora {
namespace {

TEST(AccessibleContent, ProgressScreenReadsTitleStatusBarAndFooter) {
  const SetupWindowState state;
  const std::vector<AccessibleElement> elements =
      AccessibleElements(state, 494.0f, 191.0f, L"Downloading Velmora 1.1.7... 42%", 42);
  ASSERT_EQ(elements.size(), 4u);
  EXPECT_EQ(elements[0].role, AccessibleRole::StaticText);
  EXPECT_EQ(elements[0].name, L"Setting up Velmora");
  EXPECT_EQ(elements[1].name, L"Downloading Velmora 1.1.7... 42%");
  EXPECT_EQ(elements[2].role, AccessibleRole::ProgressBar);
  EXPECT_EQ(elements[2].value, L"42%");
  EXPECT_FLOAT_EQ(elements[2].rect.y, LayOutProgressScreen(494.0f, 191.0f).track.y);
  EXPECT_EQ(elements[3].name, L"Please keep this window open.");
  for (const AccessibleElement& element : elements) EXPECT_EQ(element.target, FinishTarget::NoTarget);
  // Before the worker says anything, the placeholder is what is drawn and read; the value is
  // clamped as the bar is.
  const auto early = AccessibleElements(state, 494.0f, 191.0f, L"", 150);
  EXPECT_EQ(early[1].name, L"Preparing your installation...");
  EXPECT_EQ(early[2].value, L"100%");
  EXPECT_EQ(AccessibleElements(state, 494.0f, 191.0f, L"", -4)[2].value, L"0%");
}

TEST(AccessibleContent, FinishScreenReadsHeadingBodyTwoCheckBoxesAndTheDefaultButton) {
  ResetSetupState(nullptr);
  SetupOperation.exchange(Operation::Update);
  SetupWindowState state;
  state.finishScreenShown = true;
  state.shortcutSelected = false;
  state.focus = FinishTarget::ShortcutOption;
  const std::vector<AccessibleElement> elements = AccessibleElements(state, 514.0f, 315.0f, L"", 100);
  ResetSetupState(nullptr);
  ASSERT_EQ(elements.size(), 5u);
  EXPECT_EQ(elements[0].name, L"Velmora was updated successfully.");
  EXPECT_EQ(elements[1].name, L"Choose what happens when you click Finish.");
  const AccessibleElement& launch = elements[2];
  const AccessibleElement& shortcut = elements[3];
  const AccessibleElement& finish = elements[4];
  EXPECT_EQ(launch.role, AccessibleRole::CheckBox);
  EXPECT_EQ(launch.name, L"Launch Velmora");
  EXPECT_TRUE(launch.checked);
  EXPECT_FALSE(launch.focused);
  EXPECT_EQ(launch.defaultAction, L"Uncheck");
  EXPECT_EQ(shortcut.name, L"Create a desktop shortcut");
  EXPECT_FALSE(shortcut.checked);
  EXPECT_TRUE(shortcut.focused);
  EXPECT_EQ(shortcut.defaultAction, L"Check");
  EXPECT_EQ(finish.role, AccessibleRole::PushButton);
  EXPECT_EQ(finish.name, L"Finish");
  EXPECT_EQ(finish.defaultAction, L"Press");
  EXPECT_TRUE(finish.isDefault);
  // A check box is its box and its label together, as a click finds it.
  EXPECT_FLOAT_EQ(launch.rect.x, 32.0f);
  EXPECT_FLOAT_EQ(launch.rect.width, 362.0f);
  EXPECT_FLOAT_EQ(finish.rect.x, 514.0f - 172.0f);
  EXPECT_EQ(ChildIdOf(elements, FinishTarget::LaunchOption), 3);
  EXPECT_EQ(ChildIdOf(elements, FinishTarget::ShortcutOption), 4);
  EXPECT_EQ(ChildIdOf(elements, FinishTarget::FinishButton), 5);
  EXPECT_EQ(ChildIdOf(elements, FinishTarget::NoTarget), 0);
  // While finishing the button reads as it is drawn.
  state.finishing = true;
  EXPECT_EQ(AccessibleElements(state, 514.0f, 315.0f, L"", 100)[4].name, L"Opening...");
}

}  // namespace
}  // namespace velmora
