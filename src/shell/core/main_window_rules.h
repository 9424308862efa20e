// The main window's rules that draw nothing: which files of a drop are taken
// and in which order, which command a function key sends, and when the
// definition file check runs on activation. The window (or a test) acts on
// what they return.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vestan {

// Commands the main window sends.
inline constexpr int32_t kCommandSelectNc = 32771;
inline constexpr int32_t kCommandToolTable = 32781;
inline constexpr int32_t kCommandController = 32782;
inline constexpr int32_t kCommandMachine = 32783;
inline constexpr int32_t kCommandLoadWork = 32784;
inline constexpr int32_t kCommandCutShowResult = 32776;
inline constexpr int32_t kCommandPathDisplay = 32777;
inline constexpr int32_t kCommandPathWithoutRotary = 32778;
inline constexpr int32_t kCommandBasicModel = 32851;
// The simulation plug-ins' menu items have ids of their own, apart from the
// menu's (whose 32901-32903 mean perspective and the real-cutting modes):
// item k of the plug-ins is kPluginCommandFirst + k.
inline constexpr int32_t kPluginCommandFirst = 40001;
inline constexpr int32_t kPluginCommandLast = 40099;
inline constexpr int32_t kCommandSimPlugin1 = kPluginCommandFirst;
inline constexpr int32_t kCommandSimPlugin2 = kPluginCommandFirst + 1;
inline constexpr int32_t kCommandExit = 105;

// Longest macro path a drop takes; a longer one is refused whole.
inline constexpr size_t kMaxMacroPath = 255;

// What the drop rules look at.
struct DropFacts {
  bool CtrlHeld = false;
  bool WorkPresent = false;
  // A cutting run is active: its tables and workpiece must not change.
  bool RunActive = false;
  // The batch worker or an earlier macro run is still going.
  bool WorkerRunning = false;
  bool MacroRunning = false;
  // The user's own model file endings (".ABC"), compared without case.
  std::vector<std::string> UserModelExtensions;
};

enum class DropActionKind { kCommand, kColourFile, kMacro };

struct DropAction {
  DropActionKind Kind = DropActionKind::kCommand;
  int32_t Command = 0;  // for kCommand, with the path preset
  std::string Path;
};

struct DropPlan {
  // In the order they are to be carried out.
  std::vector<DropAction> Actions;
  // Why files were refused; empty when none was. The window logs it.
  std::string Refused;
};

// Reads the dropped files in seven passes, each taking the first file that
// matches: ".MTL", ".CTL", ".TTL", ".CTC", a workpiece file (".STL" with Ctrl
// and a workpiece present becomes the basic model), an NC program (any other
// ending but ".MAC"), then a ".MAC". Shortcuts are resolved through resolve
// (which may replace the path) before their ending is read. During a run
// nothing is taken; a macro is refused while the worker, a run or another
// macro is going, or when its path is too long.
DropPlan ClassifyDroppedFiles(const std::vector<std::string>& files, const DropFacts& facts,
                              const std::function<bool(std::string&)>& resolve);

// What the function keys look at.
struct FunctionKeyFacts {
  bool NcSelected = false;
  bool ViewModal = false;  // one of the view's two modal flags is set
  bool SimPlugin1 = false;
  bool SimPlugin2 = false;
};

// The command F5 to F9 post (virtual-key code), or 0 for none.
int32_t FunctionKeyCommand(int32_t virtualKey, const FunctionKeyFacts& facts);

enum class DefinitionCheck { kNone, kNow, kDeferred };

// Activation of the main window: the definition file check runs when it is
// on and no path is preset; while a run uses the tables it waits for the
// run's end.
DefinitionCheck CheckOnActivation(bool checkOn, bool pathPreset, bool activating,
                                  bool runActive);

}  // namespace vestan
