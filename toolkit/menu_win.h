// Menu bars of the toolkit's windows, named by numbers: built by one thread through a
// per-thread builder (bar, current drop-down, enclosing drop-downs), changed later by number.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

namespace lurvik {

// Starts a menu bar for the window and makes it the calling thread's menu under construction;
// returns its number, 0 on failure. The bar is attached by the first AddMenuTitle.
intptr_t CreateMenuBar(HWND window);
// Opens a new drop-down with that title on the menu under construction.
void AddMenuTitle(const std::string& text);
void AddMenuItem(int32_t item, const std::string& text);
void AddMenuSeparator();

// State and label changes; a number that names no menu makes them do nothing.
void SetMenuItemChecked(intptr_t menu, int32_t item, int32_t state);
void SetMenuItemGrayed(intptr_t menu, int32_t item, int32_t state);
void SetMenuTitleLabel(intptr_t menu, int32_t position, const std::string& text);
void SetMenuItemLabel(intptr_t menu, int32_t item, const std::string& text);

// The bar's system handle, nullptr for a number that names no menu (for reading states back).
HMENU MenuBarHandle(intptr_t menu);

}  // namespace lurvik
