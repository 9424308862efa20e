#include "platform/progress.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <thread>

#include "foundation/text_encoding.h"

namespace vestan {

namespace {

constexpr int32_t kBarMaximum = 1001;

uint32_t Now(const ProgressState& state) {
  if (state.Clock) return state.Clock();
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void Wait(const ProgressState& state, int32_t ms) {
  if (state.Sleep)
    state.Sleep(ms);
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The first count characters of a label: UTF-8 characters for UTF-8 text,
// else cp932 characters (a lead byte and its trail byte are one).
std::string FirstCharacters(std::string_view text, size_t count) {
  const bool utf8 = IsValidUtf8(text);
  size_t at = 0;
  for (size_t n = 0; n < count && at < text.size(); ++n) {
    if (utf8) {
      ++at;
      while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
    } else {
      at += IsCp932LeadByte(text[at]) && at + 1 < text.size() ? 2 : 1;
    }
  }
  return std::string(text.substr(0, at));
}

// "%5.1f" of value, whatever the process locale.
std::string FormatTenths(double value) {
  std::array<char, 32> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::fixed, 1);
  std::string text(buffer.data(), result.ptr);
  if (text.size() < 5) text.insert(0, 5 - text.size(), ' ');
  return text;
}

std::string PercentText(int32_t perMille) { return FormatTenths(perMille / 10.0) + "%"; }

int32_t PerMille(uint64_t counter, double scale) {
  return static_cast<int32_t>(std::floor(static_cast<double>(counter) * scale + 0.5));
}

// Low 32 bits of the file's size; 0 when it cannot be read.
uint64_t FileBytes(std::string_view file) {
  std::error_code error;
  const auto size = std::filesystem::file_size(std::filesystem::path(file), error);
  return error ? 0 : (static_cast<uint64_t>(size) & 0xFFFFFFFFu);
}

void SetStatus(ProgressState& state, int32_t part, std::string_view text) {
  if (state.Display) state.Display->SetStatusText(part, text);
}
void SetTitle(ProgressState& state, std::string_view text) {
  if (state.Display) state.Display->SetWindowTitle(text);
}
void SetBar(ProgressState& state, ProgressBar bar, int32_t position) {
  if (state.Display) state.Display->SetProgressPosition(bar, position);
}
void ShowBar(ProgressState& state, ProgressBar bar, bool visible) {
  if (!state.Display) return;
  if (visible) {
    state.Display->SetProgressRange(bar, kBarMaximum);
    state.Display->SetProgressPosition(bar, 0);
  }
  state.Display->ShowProgressBar(bar, visible);
}
void RebuildTitle(ProgressState& state) {
  if (state.RebuildWindowTitle) state.RebuildWindowTitle();
}

// The title-mode update: the title is written when the value jumped by more
// than 20 %, reached 100 % or when TitleInterval updates have passed, which is
// re-estimated after each write to give about one write every 700 ms.
void UpdateTitleProgress(ProgressState& state, int32_t p, int32_t force) {
  if (p == 0 && state.ZeroShown == 0) {
    state.TitleText = state.Label + ":" + PercentText(0);
    SetTitle(state, state.TitleText);
    state.ZeroShown = 1;
    return;
  }
  if (force == 0 && p <= state.LastShown) return;
  ++state.CallsSinceTitle;
  if (state.CallsSinceTitle != state.TitleInterval && p - state.LastShown <= 200 && p < 1000) {
    state.LastShown = p;
    return;
  }
  state.TitleText = state.Label + ":" + PercentText(p);
  if (state.HeldAtStop && state.HeldAtStop())
    state.TitleText += state.Options.EnglishMode != 0 ? "-STOP!" : "-停止!";
  SetTitle(state, state.TitleText);
  for (int i = 0; i < 10; ++i) Wait(state, 1);
  state.CallsSinceTitle = 0;
  const uint32_t now = Now(state);
  uint32_t elapsed = now - state.LastTitleTick;
  if (elapsed < 1) elapsed = 1;
  const int64_t interval = static_cast<int64_t>(state.TitleInterval) * 700 / elapsed;
  state.TitleInterval =
      interval >= 1 ? static_cast<int32_t>(std::min<int64_t>(interval, INT32_MAX)) : 1;
  state.LastShown = state.Current;
  state.LastTitleTick = now;
}

}  // namespace

void BeginProgress(ProgressState& state, int32_t kind, uint64_t total, std::string_view file,
                   int32_t factor, std::string_view labelJapanese, std::string_view labelEnglish) {
  if (kind != kProgressGivenTotal && kind != kProgressPluginBlocks &&
      kind != kProgressProgramLines) {
    const int64_t bytes = static_cast<int64_t>(FileBytes(file)) * factor;
    total = bytes > 0 ? static_cast<uint64_t>(bytes) : 0;
  }
  state.Total = total == 0 ? 1 : total;
  state.ZeroShown = 0;
  state.Counter = 0;
  const std::string_view label = state.Options.EnglishMode != 0 ? labelEnglish : labelJapanese;
  state.Label = FirstCharacters(
      state.Options.ProgressName.empty() ? label : std::string_view(state.Options.ProgressName),
      kProgressLabelCharacters);
  state.LastShown = 0;
  state.CallsSinceTitle = 0;
  state.Scale = 1000.0 / static_cast<double>(state.Total);
  state.TitleInterval = 1;
  state.LastTitleTick = Now(state);
  if (state.Options.BatchMode != 0) {
    SetTitle(state, state.Label);
    return;
  }
  state.TitleLabel = FirstCharacters(label, kProgressLabelCharacters);
  RebuildTitle(state);
  ShowBar(state, ProgressBar::kMain, true);
}

void BeginFileProgress(ProgressState& state, std::string_view file, std::string_view labelJapanese,
                       std::string_view labelEnglish, const NcProgramSource& source) {
  state.FileProgressShown = !source.ReadPluginActive || source.PluginTotalBlocks.has_value();
  if (source.ReadPluginActive) {
    if (source.PluginTotalBlocks)
      BeginProgress(state, kProgressPluginBlocks, *source.PluginTotalBlocks, file, 1, labelJapanese,
                    labelEnglish);
  } else if (source.ProgramInMemory != 0 && source.LineCount >= 1) {
    BeginProgress(state, kProgressProgramLines, static_cast<uint64_t>(source.LineCount), file, 1,
                  labelJapanese, labelEnglish);
  } else {
    BeginProgress(state, kProgressFileBytes, 0, file, 1, labelJapanese, labelEnglish);
  }
}

void AddProgress(ProgressState& state, int32_t n) {
  state.Counter += static_cast<uint64_t>(static_cast<int64_t>(n));
}

void AdvanceProgress(ProgressState& state) { ++state.Counter; }

uint32_t GetProgressCount(const ProgressState& state) {
  return static_cast<uint32_t>(state.Counter);
}

void UpdateProgress(ProgressState& state, int32_t force) {
  const int32_t p = PerMille(state.Counter, state.Scale);
  state.Current = p;
  if (state.Options.SilentMode != 0) {
    UpdateTitleProgress(state, p, force);
    return;
  }
  if (p == 0 && state.ZeroShown == 0) {
    state.ProgressText = PercentText(0);
    SetStatus(state, 1, state.ProgressText);
    // A step up and back makes the bar repaint at its start.
    SetBar(state, ProgressBar::kMain, 10);
    SetBar(state, ProgressBar::kMain, 0);
    state.ZeroShown = 1;
    return;
  }
  if (force == 0 && p <= state.LastShown) return;
  state.ProgressText = PercentText(p);
  SetStatus(state, 1, state.ProgressText);
  SetBar(state, ProgressBar::kMain, p);
  state.LastShown = p;
}

void UpdateFileProgress(ProgressState& state, int32_t force) {
  if (state.FileProgressShown) UpdateProgress(state, force);
}

void EndProgress(ProgressState& state) {
  if (state.Options.SilentMode != 0) return;
  state.ProgressText.clear();
  state.TitleLabel.clear();
  SetStatus(state, 0, "");
  SetStatus(state, 1, "");
  if (state.Display) state.Display->ShowProgressBar(ProgressBar::kMain, false);
  RebuildTitle(state);
}

void EndFileProgress(ProgressState& state) {
  if (state.FileProgressShown) EndProgress(state);
}

void RestoreStatusText(ProgressState& state) { SetStatus(state, 1, state.ProgressText); }

void BeginSubProgress(ProgressState& state, std::string_view file, int32_t inMemoryLines) {
  const uint64_t total = inMemoryLines > 0 ? static_cast<uint64_t>(inMemoryLines) : FileBytes(file);
  state.FileTotal = total == 0 ? 1 : total;
  state.FileZeroShown = 0;
  state.FileCounter = 0;
  state.FileLastShown = 0;
  state.FileScale = 1000.0 / static_cast<double>(state.FileTotal);
  if (state.Options.BatchMode == 0) ShowBar(state, ProgressBar::kFile, true);
}

void AddSubProgress(ProgressState& state, int32_t n) {
  state.FileCounter += static_cast<uint64_t>(static_cast<int64_t>(n));
}

void UpdateSubProgress(ProgressState& state, int32_t force) {
  const int32_t p = PerMille(state.FileCounter, state.FileScale);
  state.FileCurrent = p;
  if (state.Options.SilentMode != 0) {
    if (p == 0 && state.FileZeroShown == 0)
      state.FileZeroShown = 1;
    else
      state.FileLastShown = force != 0 ? p : std::max(state.FileLastShown, p);
    return;
  }
  if (p == 0 && state.FileZeroShown == 0) {
    SetBar(state, ProgressBar::kFile, 10);
    SetBar(state, ProgressBar::kFile, 0);
    state.FileZeroShown = 1;
    return;
  }
  if (force == 0 && p <= state.FileLastShown) return;
  SetBar(state, ProgressBar::kFile, p);
  state.FileLastShown = p;
}

void EndSubProgress(ProgressState& state) {
  if (state.Options.SilentMode == 0) SetStatus(state, 2, "");
  if (state.Display) state.Display->ShowProgressBar(ProgressBar::kFile, false);
}

void PumpPendingMessage(ProgressState& state) {
  MessagePump& pump = state.Pump;
  const uint32_t now = Now(state);
  if (static_cast<uint32_t>(now - pump.LastPump) <= kPumpIntervalMs) return;
  PendingMessage message;
  if (pump.TakeMessage && pump.TakeMessage(message)) {
    const bool dispatch =
        !message.Timer && pump.OsBuildNumber >= kPumpDispatchBuild && pump.ImeVersion != 0;
    if (dispatch && pump.DispatchMessage) pump.DispatchMessage(message);
  }
  if (pump.SetBusyCursor) pump.SetBusyCursor();
  pump.LastPump = now;
}

void ProgressRowDone(ProgressState& state, int64_t columns) {
  state.Counter += static_cast<uint64_t>(columns);
  UpdateProgress(state, 0);
  if (state.Pump.PumpDuringWork != 0) PumpPendingMessage(state);
}

int32_t FormatText(std::string& text, const char* format, ...) {
  constexpr size_t kCapacity = 25;
  std::array<char, kCapacity> buffer{};
  va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(buffer.data(), buffer.size(), format, arguments);
  va_end(arguments);
  if (length < 0) {
    text.clear();
    return -1;
  }
  text.assign(buffer.data());
  return static_cast<size_t>(length) >= kCapacity ? -1 : length;
}

}  // namespace vestan
