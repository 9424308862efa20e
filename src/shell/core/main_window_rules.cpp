#include "shell/core/main_window_rules.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "platform/virtual_keys.h"

namespace vestan {

namespace {

std::string UpperEnding(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  const size_t dot = path.find_last_of('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
  std::string ending(path.substr(dot));
  for (char& c : ending) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ending;
}

bool IsWorkEnding(const std::string& ending, const DropFacts& facts) {
  for (const char* known : {".DME", ".DMF", ".DMEZ", ".DMFZ", ".STL"}) {
    if (ending == known) return true;
  }
  for (const std::string& user : facts.UserModelExtensions) {
    if (!ending.empty() && UpperEnding(user.starts_with('.') ? user : "." + user) == ending) {
      return true;
    }
  }
  return false;
}

}  // namespace

DropPlan ClassifyDroppedFiles(const std::vector<std::string>& files, const DropFacts& facts,
                              const std::function<bool(std::string&)>& resolve) {
  DropPlan plan;
  if (files.empty()) return plan;
  if (facts.RunActive) {
    plan.Refused = "Dropped files are not taken during a run.";
    return plan;
  }
  struct Dropped {
    std::string Path;
    std::string Ending;
  };
  std::vector<Dropped> dropped;
  for (const std::string& file : files) {
    Dropped d{file, UpperEnding(file)};
    if (d.Ending == ".LNK" && resolve && resolve(d.Path)) d.Ending = UpperEnding(d.Path);
    dropped.push_back(std::move(d));
  }
  auto first = [&](auto&& matches) -> const Dropped* {
    auto it = std::find_if(dropped.begin(), dropped.end(),
                           [&](const Dropped& d) { return matches(d.Ending); });
    return it == dropped.end() ? nullptr : &*it;
  };
  auto command = [&](std::string_view ending, int32_t id) {
    if (const Dropped* d = first([&](const std::string& e) { return e == ending; })) {
      plan.Actions.push_back({DropActionKind::kCommand, id, d->Path});
    }
  };
  command(".MTL", kCommandMachine);
  command(".CTL", kCommandController);
  command(".TTL", kCommandToolTable);
  if (const Dropped* d = first([](const std::string& e) { return e == ".CTC"; })) {
    plan.Actions.push_back({DropActionKind::kColourFile, 0, d->Path});
  }
  if (const Dropped* d = first([&](const std::string& e) { return IsWorkEnding(e, facts); })) {
    const bool basic = d->Ending == ".STL" && facts.CtrlHeld && facts.WorkPresent;
    plan.Actions.push_back(
        {DropActionKind::kCommand, basic ? kCommandBasicModel : kCommandLoadWork, d->Path});
  }
  if (const Dropped* d = first([&](const std::string& e) {
        return e != ".MTL" && e != ".CTL" && e != ".TTL" && e != ".CTC" && e != ".MAC" &&
               !IsWorkEnding(e, facts);
      })) {
    plan.Actions.push_back({DropActionKind::kCommand, kCommandSelectNc, d->Path});
  }
  if (const Dropped* d = first([](const std::string& e) { return e == ".MAC"; })) {
    if (facts.WorkerRunning || facts.MacroRunning) {
      plan.Refused = "A macro is not started while other work is going: " + d->Path;
    } else if (d->Path.size() > kMaxMacroPath) {
      plan.Refused = "A macro path longer than 255 characters is not taken: " + d->Path;
    } else {
      plan.Actions.push_back({DropActionKind::kMacro, 0, d->Path});
    }
  }
  return plan;
}

int32_t FunctionKeyCommand(int32_t virtualKey, const FunctionKeyFacts& f) {
  if (f.ViewModal || !f.NcSelected) return 0;
  if (virtualKey == vk::F(5)) return kCommandCutShowResult;
  if (virtualKey == vk::F(6)) return kCommandPathDisplay;
  if (virtualKey == vk::F(7)) return kCommandPathWithoutRotary;
  if (virtualKey == vk::F(8) && f.SimPlugin1) return kCommandSimPlugin1;
  if (virtualKey == vk::F(9) && f.SimPlugin2) return kCommandSimPlugin2;
  return 0;
}

DefinitionCheck CheckOnActivation(bool checkOn, bool pathPreset, bool activating,
                                  bool runActive) {
  if (!checkOn || pathPreset || !activating) return DefinitionCheck::kNone;
  return runActive ? DefinitionCheck::kDeferred : DefinitionCheck::kNow;
}

}  // namespace vestan
