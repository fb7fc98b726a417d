// Process-wide state of the application, written by the start-up and the main window and
// read by the scan and the commands. Window and control handles are kept as integers so the
// portable code can hold them; 0 means "not created", and messages to 0 do nothing.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "toolkit/tree_model.h"

namespace lurvik {

// The two parameters are kept in UTF-8, their true characters: the filter is compared with
// image names character by character, and the log path is a path to write to, never shown.
extern std::string ProcessFilter;   // first command-line parameter; empty: all processes
extern std::string BatchLogPath;    // second parameter; not empty: unattended mode
extern std::string OpenVerb;        // "open", the verb used to open a written log
extern std::string ProgramVersion;  // "FileVersion" of the program's own version resource
extern char WindowsDirectory[530];
extern std::atomic<int32_t> QuitRequested;
extern uintptr_t ProgramInstance;  // HINSTANCE of the program's module

extern intptr_t MainWindow;   // toolkit window number of the main window
extern uintptr_t StatusBar;   // HWND of the status bar
extern uintptr_t ProgressBar; // HWND of the progress bar inside the status bar
extern uintptr_t HandleTree;  // HWND of the tree view
extern uintptr_t TreeImages;  // HIMAGELIST of the 13 tree icons
extern intptr_t MainMenu;     // toolkit menu number, 0 when the menu could not be made
extern std::string StatusText;
extern int32_t ScanWorker;    // worker number of the scan started last
// The model of HandleTree, on the main thread only: the tree's receiver fills it with the
// scan's nodes and inserts them from it; find and copy read it; a rescan clears it with the tree.
extern TreeModel KeptTreeNodes;

}  // namespace lurvik
