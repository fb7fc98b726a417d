// Menu bars: the registry of menu objects, the per-thread builder, and the state and label
// changes. The window that gets a menu has its procedure wrapped once, so that its menu
// objects are released when the window is destroyed.
#include "toolkit/menu_win.h"

#include <memory>
#include <vector>

#include "toolkit/object_registry.h"
#include "toolkit/thread_state_win.h"

namespace lurvik {

namespace {

constexpr char kWrappedProcedureProperty[] = "LurvikMenuOwnerProc";

struct AppMenu {
  HMENU bar = nullptr;
  HWND window = nullptr;
};

ObjectRegistry<AppMenu>& Menus() {
  static ObjectRegistry<AppMenu> menus;
  return menus;
}

// The numbers of the menus of each window, for their release with the window.
Lock MenuOwnersLock;
std::vector<std::pair<HWND, intptr_t>> MenuOwners;

struct MenuBuilder {
  intptr_t menu = 0;
  HMENU bar = nullptr;
  HWND window = nullptr;
  HMENU current = nullptr;
  std::vector<HMENU> enclosing;  // its size is the depth
};

MenuBuilder& Builder() { return ThisThreadState<MenuBuilder>(); }

void ReleaseMenusOf(HWND window) {
  std::vector<intptr_t> numbers;
  {
    LockHolder hold(MenuOwnersLock);
    for (auto it = MenuOwners.begin(); it != MenuOwners.end();) {
      if (it->first == window) {
        numbers.push_back(it->second);
        it = MenuOwners.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (intptr_t number : numbers) {
    std::shared_ptr<AppMenu> menu = Menus().Take(number);
    // An attached bar goes with its window; one never attached is destroyed here.
    if (menu && menu->bar && GetMenu(window) != menu->bar) DestroyMenu(menu->bar);
  }
}

LRESULT CALLBACK MenuOwnerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC wrapped = reinterpret_cast<WNDPROC>(GetPropA(window, kWrappedProcedureProperty));
  if (message == WM_NCDESTROY) {
    ReleaseMenusOf(window);
    RemovePropA(window, kWrappedProcedureProperty);
    if (wrapped) SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(wrapped));
  }
  if (!wrapped) return DefWindowProcA(window, message, wParam, lParam);
  return CallWindowProcA(wrapped, window, message, wParam, lParam);
}

void WrapOwnerProcedure(HWND window) {
  if (GetPropA(window, kWrappedProcedureProperty)) return;
  LONG_PTR previous = GetWindowLongPtrA(window, GWLP_WNDPROC);
  if (!previous) return;
  SetPropA(window, kWrappedProcedureProperty, reinterpret_cast<HANDLE>(previous));
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MenuOwnerProcedure));
}

HMENU BarOf(intptr_t menu) {
  std::shared_ptr<AppMenu> object = Menus().Find(menu);
  return object ? object->bar : nullptr;
}

void SetItemText(HMENU bar, UINT item, BOOL byPosition, const std::string& text) {
  MENUITEMINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = MIIM_TYPE;
  info.fType = MFT_STRING;
  info.dwTypeData = const_cast<char*>(text.c_str());
  SetMenuItemInfoA(bar, item, byPosition, &info);
}

}  // namespace

intptr_t CreateMenuBar(HWND window) {
  auto object = std::make_shared<AppMenu>();
  intptr_t number = Menus().Add(ObjectRegistry<AppMenu>::kNewNumber, object);
  if (number == ObjectRegistry<AppMenu>::kRefused) return 0;
  object->bar = CreateMenu();
  if (!object->bar) {
    Menus().Release(number);
    return 0;
  }
  object->window = window;
  {
    LockHolder hold(MenuOwnersLock);
    MenuOwners.emplace_back(window, number);
  }
  if (window) WrapOwnerProcedure(window);
  MenuBuilder& builder = Builder();
  builder.menu = number;
  builder.bar = object->bar;
  builder.window = window;
  builder.current = object->bar;
  builder.enclosing.clear();
  return number;
}

void AddMenuTitle(const std::string& text) {
  MenuBuilder& builder = Builder();
  if (!builder.bar) return;
  if (!builder.enclosing.empty()) {
    builder.enclosing.clear();
    builder.current = builder.bar;
  }
  HMENU dropDown = CreateMenu();
  if (!dropDown) return;
  if (!AppendMenuA(builder.current, MF_POPUP, reinterpret_cast<UINT_PTR>(dropDown), text.c_str())) {
    DestroyMenu(dropDown);
    return;
  }
  builder.enclosing.push_back(builder.current);
  builder.current = dropDown;
  SetMenu(builder.window, builder.bar);
}

void AddMenuItem(int32_t item, const std::string& text) {
  MenuBuilder& builder = Builder();
  if (!builder.current) return;
  AppendMenuA(builder.current, MF_STRING, static_cast<UINT_PTR>(static_cast<uint16_t>(item)), text.c_str());
  SetMenu(builder.window, builder.bar);
}

void AddMenuSeparator() {
  MenuBuilder& builder = Builder();
  if (!builder.current) return;
  AppendMenuA(builder.current, MF_SEPARATOR, static_cast<UINT_PTR>(-1), nullptr);
}

void SetMenuItemChecked(intptr_t menu, int32_t item, int32_t state) {
  HMENU bar = BarOf(menu);
  if (!bar) return;
  MENUITEMINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STATE;
  if (!GetMenuItemInfoA(bar, static_cast<UINT>(item), FALSE, &info)) return;
  if (state != 0)
    info.fState |= MFS_CHECKED;
  else
    info.fState &= ~static_cast<UINT>(MFS_CHECKED);
  SetMenuItemInfoA(bar, static_cast<UINT>(item), FALSE, &info);
}

void SetMenuItemGrayed(intptr_t menu, int32_t item, int32_t state) {
  HMENU bar = BarOf(menu);
  if (!bar) return;
  EnableMenuItem(bar, static_cast<UINT>(item), MF_BYCOMMAND | (state != 0 ? MF_GRAYED : MF_ENABLED));
}

void SetMenuTitleLabel(intptr_t menu, int32_t position, const std::string& text) {
  std::shared_ptr<AppMenu> object = Menus().Find(menu);
  if (!object || !object->bar) return;
  SetItemText(object->bar, static_cast<UINT>(position), TRUE, text);
  if (object->window) DrawMenuBar(object->window);
}

void SetMenuItemLabel(intptr_t menu, int32_t item, const std::string& text) {
  HMENU bar = BarOf(menu);
  if (bar) SetItemText(bar, static_cast<UINT>(item), FALSE, text);
}

HMENU MenuBarHandle(intptr_t menu) { return BarOf(menu); }

}  // namespace lurvik
