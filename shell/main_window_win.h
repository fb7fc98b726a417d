// The main window: its status bar with the progress bar inside, the menu, the tree of handles
// and the tree's image list; built once at start-up and fitted to the window on every resize.
#pragma once
#include <cstdint>

namespace lurvik {

// Menu commands of the main window.
constexpr int32_t kRescanCommand = 101;
constexpr int32_t kSaveLogCommand = 102;
constexpr int32_t kEndCommand = 111;
constexpr int32_t kGermanCommand = 201;
constexpr int32_t kEnglishCommand = 202;

// Creates MainWindow, StatusBar, ProgressBar, MainMenu, HandleTree and TreeImages: visible at
// (0, 0) with an inner size of 640 x 440, or, with a batch log path, hidden and off screen.
void BuildMainWindow();
// Lays the status bar out along the new bottom edge and gives the tree |W - 40| x |H - 80|.
void FitMainWindow();

}  // namespace lurvik
