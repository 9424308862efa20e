#include "platform/virtual_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace vestan {
namespace {

TEST(VirtualKeys, NamesAndCharactersOfTheKeysTheProgramUses) {
  struct Case {
    int32_t Code;
    std::string_view Name;
    char Character;
  };
  const Case cases[] = {
      {17, "CTRL", 0},     // default "STOP KEY"
      {27, "ESCAPE", 27},  // default "ESCAPE KEY"
      {19, "PAUSE", 0},
      {3, "BREAK", 3},
      {32, "SPACE", ' '},
      {vk::F(5), "F5", 0},
      {vk::F(12), "F12", 0},
      {'G', "G", 'G'},
      {'7', "7", '7'},
      {vk::Numpad(7), "NUMPAD7", '7'},
      {vk::kOemAt, "@", '@'},
      {vk::kOemCaret, "^", '^'},
      {vk::kOemOpenBracket, "[", '['},
      {vk::kDelete, "DELETE", 0},
      {255, "", 0},
      {-1, "", 0},
      {256, "", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VirtualKeyName(c.Code), c.Name) << c.Code;
    EXPECT_EQ(VirtualKeyCharacter(c.Code), c.Character) << c.Code;
  }
}

TEST(VirtualKeys, TheKeyOfACharacterIsOnTheMainBlock) {
  EXPECT_EQ(VirtualKeyForCharacter('g'), 'G');
  EXPECT_EQ(VirtualKeyForCharacter('G'), 'G');
  EXPECT_EQ(VirtualKeyForCharacter('5'), '5');
  EXPECT_EQ(VirtualKeyForCharacter('-'), vk::kOemMinus);
  EXPECT_EQ(VirtualKeyForCharacter('@'), vk::kOemAt);
  EXPECT_EQ(VirtualKeyForCharacter(']'), vk::kOemCloseBracket);
  EXPECT_EQ(VirtualKeyForCharacter('\\'), vk::kOemYen);
  EXPECT_EQ(VirtualKeyForCharacter('!'), 0);
  EXPECT_EQ(VirtualKeyForCharacter(0), 0);
}

TEST(KeyState, EitherSideHoldsItsModifierAndAnotherThreadSeesIt) {
  KeyState keys;
  EXPECT_FALSE(keys.IsDown(vk::kControl));
  keys.Press(vk::kRightControl);
  EXPECT_TRUE(keys.IsDown(vk::kControl));
  EXPECT_FALSE(keys.IsDown(vk::kLeftControl));
  keys.Press(vk::kShift);
  keys.Release(vk::kRightControl);
  EXPECT_FALSE(keys.IsDown(vk::kControl));
  bool seen = false;
  std::thread poller([&] { seen = keys.IsDown(vk::kShift); });
  poller.join();
  EXPECT_TRUE(seen);
  keys.Press(300);  // outside the table: ignored
  EXPECT_FALSE(keys.IsDown(300));
  keys.Press('G');
  keys.ReleaseAll();
  EXPECT_FALSE(keys.IsDown('G'));
  EXPECT_FALSE(keys.IsDown(vk::kShift));
}

}  // namespace
}  // namespace vestan
