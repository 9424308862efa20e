// Shell flags that the lower folders read: the language, the operating
// system's version, the change check's state, and the information panes'
// default layout.
#pragma once

#include <array>
#include <cstdint>

namespace vestan {

struct AppState {
  // 0 Japanese texts, 1 English texts; fixed once the message file was tried.
  int32_t EnglishMode = 0;
  // Set by start-up before the settings are read; 1 makes "RBUTTONDOWN" the
  // default of the mouse's move switch.
  int32_t OsVersionCode = 0;
  // 1: the definition file change check may run; 2 while it runs.
  int32_t ChangeCheckState = 1;
};

struct PaneRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
};

inline constexpr int32_t kMaxInfoPanes = 32;

// The main window's information panes and status texts, in pixels.
struct InfoPaneRects {
  int32_t Count = 0;
  std::array<PaneRect, kMaxInfoPanes> Panes{};
};

// Default layout: paneCount panes (at most kMaxInfoPanes) one below the other,
// 20 pixels high and 220 wide; the main window may lay them out anew.
inline void PresetInfoPaneRects(InfoPaneRects& rects, int32_t paneCount) {
  constexpr int32_t kHeight = 20;
  constexpr int32_t kWidth = 220;
  rects.Count = paneCount < 0 ? 0 : (paneCount > kMaxInfoPanes ? kMaxInfoPanes : paneCount);
  for (int32_t i = 0; i < kMaxInfoPanes; ++i)
    rects.Panes[i] =
        i < rects.Count ? PaneRect{0, i * kHeight, kWidth, (i + 1) * kHeight} : PaneRect{};
}

}  // namespace vestan
