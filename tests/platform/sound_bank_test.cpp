#include "platform/sound_bank.h"

#include <gtest/gtest.h>

#include <string>

#include "support/scratch_folder.h"

namespace vestan {
namespace {

using testing::ScratchFolder;

// A current folder and a program folder holding the sounds in each of the
// four places, one sound missing.
class Sounds : public ::testing::Test {
 protected:
  void SetUp() override {
    folders_ = {current_.Path(), program_.Path()};
    for (std::string_view name : kSoundFileNames) {
      if (name == "pi.wav") continue;
      program_.Write(name, "program:" + std::string(name));
    }
    current_.Write("wav/aircut1.wav", "current wav folder");
    current_.Write("aircut1.wav", "current folder");
    current_.Write("cutting1.wav", "current folder");
    program_.Write("wav/cutting1.wav", "program wav folder");
    program_.Write("wav/grinder1.wav", "program wav folder");
  }

  ScratchFolder current_;
  ScratchFolder program_;
  SoundFolders folders_;
  SoundBank bank_;
};

TEST_F(Sounds, EachFileComesFromTheFirstPlaceItOpensIn) {
  LoadSounds(bank_, 1, folders_);
  ASSERT_EQ(bank_.Loaded, 1);
  EXPECT_EQ(*FindSound(bank_, "aircut1.wav"), "current wav folder");
  EXPECT_EQ(*FindSound(bank_, "cutting1.wav"), "current folder");
  EXPECT_EQ(*FindSound(bank_, "grinder1.wav"), "program wav folder");
  EXPECT_EQ(*FindSound(bank_, "workset.wav"), "program:workset.wav");
}

TEST_F(Sounds, AMissingFileSilencesOnlyThatSound) {
  LoadSounds(bank_, 1, folders_);
  EXPECT_EQ(FindSound(bank_, "pi.wav"), nullptr);
  size_t found = 0;
  for (std::string_view name : kSoundFileNames) found += FindSound(bank_, name) != nullptr;
  EXPECT_EQ(found, kSoundCount - 1);
  EXPECT_EQ(FindSound(bank_, "SystemHand"), nullptr);
}

TEST_F(Sounds, SoundOffLoadsNothingAndSwitchingItOnLoadsOnce) {
  LoadSounds(bank_, 0, folders_);
  EXPECT_EQ(bank_.Loaded, 0);
  EXPECT_EQ(FindSound(bank_, "toolchg.wav"), nullptr);
  LoadSounds(bank_, 1, folders_);
  ASSERT_NE(FindSound(bank_, "toolchg.wav"), nullptr);
  program_.Write("toolchg.wav", "changed on disk");
  LoadSounds(bank_, 1, folders_);
  EXPECT_EQ(*FindSound(bank_, "toolchg.wav"), "program:toolchg.wav");
  FreeSounds(bank_);
  EXPECT_EQ(bank_.Loaded, 0);
  EXPECT_TRUE(bank_.Blocks[14].empty());
  EXPECT_EQ(FindSound(bank_, "toolchg.wav"), nullptr);
}

}  // namespace
}  // namespace vestan
