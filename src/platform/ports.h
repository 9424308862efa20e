// The ports to the desktop: asking the user (message boxes and questions),
// playing the program's sounds, and opening documents or starting programs.
// The Host (host.h) serves all three; a part that needs only one takes that
// port. None of them may keep the caller waiting on another program.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vestan {

enum class MessageButtons { kOk, kOkCancel, kYesNo, kYesNoCancel };
enum class MessageIcon { kNone, kInformation, kWarning, kError, kQuestion };
enum class MessageAnswer { kOk, kCancel, kYes, kNo };

inline constexpr std::string_view kProductCaption = "VESTAN9";

// One message box. Texts are UTF-8.
struct HostMessage {
  std::string Caption{kProductCaption};
  std::string Text;
  MessageButtons Buttons = MessageButtons::kOk;
  MessageIcon Icon = MessageIcon::kNone;
  bool Topmost = false;
  // What a run without a person answers; a headless host returns it.
  MessageAnswer UnattendedAnswer = MessageAnswer::kOk;
};

class PromptPort {
 public:
  virtual ~PromptPort() = default;
  // Shows a message box owned by the main window and returns the answer;
  // with no one to ask, the message's unattended answer.
  virtual MessageAnswer ShowMessage(const HostMessage& message) = 0;
};

enum class SoundWait {
  kNo,           // starts the sound and returns (event sounds)
  kUntilPlayed,  // returns when the sound has played
};

class SoundPort {
 public:
  virtual ~SoundPort() = default;
  // Plays a sound of the sound bank by its file name ("toolchg.wav"), or
  // the system's error sound for "SystemHand". A sound whose file was not
  // found, or a port without audio, plays nothing.
  virtual void PlaySound(std::string_view name, SoundWait wait = SoundWait::kNo) = 0;
  // Stops the sound that is playing, if any.
  virtual void StopSound() {}
};

// A program to start: the program (a path, or a name searched on the
// system's path), its arguments one by one, and the folder it starts in
// (empty: the program's current folder).
struct ProgramStart {
  std::string Program;
  std::vector<std::string> Arguments;
  std::string WorkingFolder;
};

class ShellPort {
 public:
  virtual ~ShellPort() = default;
  // Opens a file (a report, a help page) with the desktop's application for
  // it. False when nothing could open it. Returns without waiting for the
  // application.
  virtual bool OpenWithDesktop(std::string_view path) = 0;
  // Starts a program (an editor, another copy of this program) and returns
  // at once. False when it could not be started.
  virtual bool StartProgram(const ProgramStart& start) = 0;
};

}  // namespace vestan
