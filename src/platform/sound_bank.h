// The program's sounds: twenty WAV files read whole into memory once, when
// sound is on, and played from there through the sound port.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vestan {

inline constexpr size_t kSoundCount = 20;

// The files, in the bank's order.
inline constexpr std::array<std::string_view, kSoundCount> kSoundFileNames = {
    "aircut1.wav", "cutting1.wav", "grinder1.wav", "grinder2.wav", "grindoff.wav",
    "hake.wav",    "hera1.wav",    "hera2.wav",    "heraoku.wav",  "kanoku.wav",
    "paper.wav",   "paperoku.wav", "pi.wav",       "pokin.wav",    "toolchg.wav",
    "press.wav",   "touch.wav",    "welding.wav",  "weldoku.wav",  "workset.wav"};

struct SoundBank {
  int32_t Loaded = 0;
  // Each file's bytes as read; empty when the file was not found.
  std::array<std::string, kSoundCount> Blocks;
};

// Where the files are looked for: the current folder and the program's.
struct SoundFolders {
  std::string CurrentFolder;
  std::string ProgramFolder;
};

// When sound is on and the bank is not loaded yet: marks it loaded and reads
// the twenty files. A file that is not found leaves its block empty.
void LoadSounds(SoundBank& bank, int32_t soundOn, const SoundFolders& folders);
// Reads one file into block from the first place it opens: "wav/" + name
// in the current folder, the name in the current folder, then "wav/" + name
// and the name in the program's folder. False, and block empty, when none
// opens.
bool LoadSoundFile(std::string& block, std::string_view name, const SoundFolders& folders);
// Empties every block and marks the bank unloaded.
void FreeSounds(SoundBank& bank);
// The bytes to play for a sound's file name; none when the bank is not
// loaded, the name is not one of its files, or its file was not found.
const std::string* FindSound(const SoundBank& bank, std::string_view name);

}  // namespace vestan
