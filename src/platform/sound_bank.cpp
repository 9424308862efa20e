#include "platform/sound_bank.h"

#include <optional>

#include "foundation/path_text.h"
#include "platform/file_open.h"

namespace vestan {

void LoadSounds(SoundBank& bank, int32_t soundOn, const SoundFolders& folders) {
  if (soundOn == 0 || bank.Loaded != 0) return;
  bank.Loaded = 1;
  for (size_t i = 0; i < kSoundCount; ++i)
    LoadSoundFile(bank.Blocks[i], kSoundFileNames[i], folders);
}

bool LoadSoundFile(std::string& block, std::string_view name, const SoundFolders& folders) {
  const std::string inWavFolder = "wav/" + std::string(name);
  const std::string places[] = {
      PathFrom(folders.CurrentFolder, inWavFolder),
      PathFrom(folders.CurrentFolder, name),
      JoinPath(folders.ProgramFolder, inWavFolder),
      JoinPath(folders.ProgramFolder, name),
  };
  for (const std::string& place : places) {
    if (std::optional<std::string> bytes = ReadFileBytes(place)) {
      block = std::move(*bytes);
      return true;
    }
  }
  block.clear();
  return false;
}

void FreeSounds(SoundBank& bank) {
  if (bank.Loaded == 0) return;
  for (std::string& block : bank.Blocks) std::string().swap(block);
  bank.Loaded = 0;
}

const std::string* FindSound(const SoundBank& bank, std::string_view name) {
  if (bank.Loaded == 0) return nullptr;
  for (size_t i = 0; i < kSoundCount; ++i)
    if (kSoundFileNames[i] == name) return bank.Blocks[i].empty() ? nullptr : &bank.Blocks[i];
  return nullptr;
}

}  // namespace vestan
