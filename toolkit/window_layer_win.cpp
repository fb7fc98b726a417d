// Top-level windows of the toolkit and the reading of their events. Each window has a class of
// its own ("WindowClass_<number>"), carries its number as a window property, and posts queued
// events to the per-thread EventQueue or sets an immediate event in the event being built.
#include "toolkit/window_layer_win.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "toolkit/object_registry.h"
#include "toolkit/text.h"
#include "toolkit/thread_state_win.h"

namespace lurvik {

namespace {

constexpr char kNumberProperty[] = "LurvikWindowNumber";  // window number + 1
constexpr char kFocusProperty[] = "LurvikFocusControl";   // focused control while inactive

struct AppWindow {
  HWND handle = nullptr;
  HACCEL accelerators = nullptr;
  bool minimizedOrMaximized = false;
  std::string className;
};

ObjectRegistry<AppWindow>& Windows() {
  static ObjectRegistry<AppWindow> windows;
  return windows;
}

// The numbers of the open windows, so the program end can pick those of its own thread
// without taking the others out of the registry.
Lock OpenNumbersLock;
std::vector<intptr_t> OpenNumbers;

void RememberOpen(intptr_t number) {
  LockHolder hold(OpenNumbersLock);
  OpenNumbers.push_back(number);
}

void ForgetOpen(intptr_t number) {
  LockHolder hold(OpenNumbersLock);
  OpenNumbers.erase(std::remove(OpenNumbers.begin(), OpenNumbers.end(), number), OpenNumbers.end());
}

// The event record and queue of one thread.
struct ThreadEvents {
  WindowEvent building;  // the event being built by WaitEvent and the window procedure
  WindowEvent returned;  // the event last returned, read by EventItem
  EventQueue queue;
  bool inGetMessage = false;  // WaitEvent is blocked in GetMessageA
  bool wakePosted = false;    // a wake-up message is on its way for this wait
  HWND dialog = nullptr;      // the modeless dialog whose messages IsDialogMessageA takes
};

// A message sent from another thread or process (a resize, a close request) is handled inside
// GetMessageA, which does not return for it. An event queued then would wait for some
// unrelated message; this thread message makes GetMessageA return so the event comes out now.
constexpr WPARAM kWakeMarker = 0x4C57;  // on a WM_NULL thread message

ThreadEvents& Events() { return ThisThreadState<ThreadEvents>(); }

// The number of a window this layer opened, 0 for any other window.
intptr_t NumberOfWindow(HWND window) {
  intptr_t stored = reinterpret_cast<intptr_t>(GetPropA(window, kNumberProperty));
  return stored == 0 ? 0 : stored - 1;
}

void QueueEvent(int32_t code, int32_t item, intptr_t window) {
  WindowEvent event;
  event.code = code;
  event.item = item;
  event.window = window;
  ThreadEvents& events = Events();
  events.queue.Post(event);
  if (events.inGetMessage && !events.wakePosted)
    events.wakePosted = PostThreadMessageA(GetCurrentThreadId(), WM_NULL, kWakeMarker, 0) != 0;
}

void SetImmediateEvent(int32_t code, int32_t item, intptr_t window, int32_t type) {
  WindowEvent& event = Events().building;
  event.code = code;
  event.item = item;
  event.window = window;
  event.type = type;
}

// Moves the focus to the next (or previous) enabled, visible tab-stop child, wrapping around.
void MoveFocus(HWND window, bool previous) {
  HWND next = GetNextDlgTabItem(window, GetFocus(), previous ? TRUE : FALSE);
  if (next) SetFocus(next);
}

void HandleSize(intptr_t number, WPARAM kind) {
  std::shared_ptr<AppWindow> object = Windows().Find(number);
  if (!object) return;
  switch (kind) {
    case SIZE_MINIMIZED:
      object->minimizedOrMaximized = true;
      QueueEvent(EVENT_MINIMIZE, 0, number);
      return;
    case SIZE_MAXIMIZED:
      object->minimizedOrMaximized = true;
      QueueEvent(EVENT_MAXIMIZE, 0, number);
      break;
    case SIZE_RESTORED:
      if (object->minimizedOrMaximized) {
        object->minimizedOrMaximized = false;
        QueueEvent(EVENT_RESTORE, 0, number);
      }
      break;
    default:
      break;
  }
  QueueEvent(EVENT_SIZE, 0, number);
}

LRESULT CALLBACK AppWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  intptr_t number = NumberOfWindow(window);
  if (number == 0) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_CLOSE:
      QueueEvent(EVENT_CLOSE, static_cast<int32_t>(number), number);
      return 0;
    case WM_MOVE:
      QueueEvent(EVENT_MOVE, static_cast<int32_t>(number), number);
      break;
    case WM_SIZE:
      HandleSize(number, wParam);
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        SetPropA(window, kFocusProperty, GetFocus());
      } else {
        QueueEvent(EVENT_ACTIVATE, 0, number);
        HWND remembered = static_cast<HWND>(GetPropA(window, kFocusProperty));
        if (remembered && IsWindow(remembered) && IsChild(window, remembered)) {
          SetFocus(remembered);
          return 0;
        }
      }
      break;
    case WM_ERASEBKGND:
      QueueEvent(EVENT_REPAINT, 0, number);
      break;
    case WM_COMMAND:
      if (lParam == 0) {
        int32_t command = LOWORD(wParam);
        if (HIWORD(wParam) == 1 && (command == kNextControlCommand || command == kPreviousControlCommand)) {
          MoveFocus(window, command == kPreviousControlCommand);
          return 0;
        }
        SetImmediateEvent(EVENT_MENU, command, number, -1);
      } else {
        SetImmediateEvent(EVENT_GADGET, LOWORD(wParam), number, HIWORD(wParam));
      }
      return 0;
    case WM_TIMER:
      SetImmediateEvent(EVENT_TIMER, static_cast<int32_t>(wParam), number, -1);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Tab alone in an editable rich-edit control belongs to the control, not to the accelerators.
bool TabBelongsToFocusedEditor() {
  if (GetKeyState(VK_TAB) >= 0) return false;
  if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_MENU) < 0) return false;
  HWND focus = GetFocus();
  if (!focus) return false;
  char className[64] = {};
  GetClassNameA(focus, className, sizeof className);
  if (_strnicmp(className, "RichEdit", 8) != 0) return false;
  return (GetWindowLongA(focus, GWL_STYLE) & ES_READONLY) == 0;
}

// The accelerator table of the active window when it is one of this layer's windows.
HACCEL ActiveAccelerators(HWND& active) {
  active = GetActiveWindow();
  if (!active) return nullptr;
  intptr_t number = NumberOfWindow(active);
  if (number == 0) return nullptr;
  std::shared_ptr<AppWindow> object = Windows().Find(number);
  return object ? object->accelerators : nullptr;
}

// Outer position of a centred window; the outer size may be clipped to the screen.
void CentreWindow(uint32_t style, int32_t& x, int32_t& y, int32_t& width, int32_t& height) {
  int32_t screenWidth = GetSystemMetrics(SM_CXSCREEN);
  int32_t screenHeight = GetSystemMetrics(SM_CYSCREEN);
  RECT area = {0, 0, screenWidth, screenHeight};
  HWND active = (style & kWindowCentreOnActive) ? GetActiveWindow() : nullptr;
  if (active && GetWindowRect(active, &area)) {
    x = std::max<int32_t>(0, area.left + (area.right - area.left - width) / 2);
    y = std::max<int32_t>(0, area.top + (area.bottom - area.top - height) / 2);
    return;
  }
  width = std::min(width, screenWidth);
  height = std::min(height, screenHeight);
  x = (screenWidth - width) / 2;
  y = (screenHeight - height) / 2;
}

void DestroyWindowObject(intptr_t number, const std::shared_ptr<AppWindow>& object) {
  if (object->handle) {
    RemovePropA(object->handle, kNumberProperty);
    RemovePropA(object->handle, kFocusProperty);
    DestroyWindow(object->handle);
  }
  UnregisterClassA(object->className.c_str(), GetModuleHandleA(nullptr));
  if (object->accelerators) DestroyAcceleratorTable(object->accelerators);
  Events().queue.DropWindow(number);
}

bool OwnedByThisThread(HWND window) {
  return window && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

}  // namespace

intptr_t CreateAppWindow(int32_t x, int32_t y, int32_t innerWidth, int32_t innerHeight,
                         const std::string& title, uint32_t style) {
  auto object = std::make_shared<AppWindow>();
  intptr_t number = Windows().Add(ObjectRegistry<AppWindow>::kNewNumber, object);
  if (number == ObjectRegistry<AppWindow>::kRefused) return 0;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  object->className = "WindowClass_" + DecimalText(number);

  WNDCLASSA windowClass = {};
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = AppWindowProcedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = object->className.c_str();
  if (!RegisterClassA(&windowClass)) {
    Windows().Release(number);
    return 0;
  }

  const uint32_t layerBits = 0xF | kWindowStartHidden;
  DWORD systemStyle = style & ~layerBits;
  DWORD extendedStyle = 0;
  if (systemStyle == 0) systemStyle = WS_CAPTION;
  if (style & kWindowToolWindow) {
    extendedStyle = WS_EX_TOOLWINDOW;
    systemStyle = (systemStyle | WS_CAPTION) & ~(WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
  }
  RECT outer = {0, 0, innerWidth, innerHeight};
  AdjustWindowRectEx(&outer, systemStyle, FALSE, extendedStyle);
  int32_t width = outer.right - outer.left;
  int32_t height = outer.bottom - outer.top;
  if (style & (kWindowCentreOnScreen | kWindowCentreOnActive)) {
    CentreWindow(style, x, y, width, height);
  } else if (x == kDefaultWindowPosition || y == kDefaultWindowPosition) {
    x = CW_USEDEFAULT;
    y = CW_USEDEFAULT;
  }

  // Minimized or maximized is given to ShowWindow, not to the creation.
  DWORD createStyle = systemStyle & ~(WS_MINIMIZE | WS_MAXIMIZE);
  HWND handle = CreateWindowExA(extendedStyle, object->className.c_str(), title.c_str(), createStyle, x, y,
                                width, height, nullptr, nullptr, instance, nullptr);
  if (!handle) {
    UnregisterClassA(object->className.c_str(), instance);
    Windows().Release(number);
    return 0;
  }
  object->handle = handle;
  SetPropA(handle, kNumberProperty, reinterpret_cast<HANDLE>(number + 1));
  if (!(style & kWindowStartHidden)) {
    int show = SW_SHOWNORMAL;
    if (systemStyle & WS_MAXIMIZE) show = SW_SHOWMAXIMIZED;
    if (systemStyle & WS_MINIMIZE) show = SW_SHOWMINIMIZED;
    ShowWindow(handle, show);
  }
  ACCEL entries[2] = {{FVIRTKEY, VK_TAB, static_cast<WORD>(kNextControlCommand)},
                      {FVIRTKEY | FSHIFT, VK_TAB, static_cast<WORD>(kPreviousControlCommand)}};
  object->accelerators = CreateAcceleratorTableA(entries, 2);
  RememberOpen(number);
  return number;
}

HWND WindowHandle(intptr_t window) {
  std::shared_ptr<AppWindow> object = Windows().Find(window);
  return object ? object->handle : nullptr;
}

int32_t WindowInnerWidth(intptr_t window) {
  HWND handle = WindowHandle(window);
  RECT client = {};
  if (!handle || !GetClientRect(handle, &client)) return 0;
  return client.right - client.left;
}

int32_t WindowInnerHeight(intptr_t window) {
  HWND handle = WindowHandle(window);
  RECT client = {};
  if (!handle || !GetClientRect(handle, &client)) return 0;
  int32_t height = client.bottom - client.top;
  if (GetMenu(handle)) height += GetSystemMetrics(SM_CYMENU);
  return height;
}

int32_t WaitEvent() {
  ThreadEvents& events = Events();
  events.building = WindowEvent();
  if (!events.queue.Take(events.building)) {
    MSG message = {};
    // 0 is WM_QUIT and -1 an error; either way the message number is the result.
    events.inGetMessage = true;
    events.wakePosted = false;
    GetMessageA(&message, nullptr, 0, 0);
    events.inGetMessage = false;
    if (message.hwnd == nullptr && message.message == WM_NULL && message.wParam == kWakeMarker &&
        events.queue.Take(events.building)) {
      events.returned = events.building;
      return events.returned.code;
    }
    HWND active = nullptr;
    HACCEL accelerators = ActiveAccelerators(active);
    bool translated = events.dialog != nullptr && IsDialogMessageA(events.dialog, &message) != 0;
    translated = translated || (accelerators && !TabBelongsToFocusedEditor() &&
                                TranslateAcceleratorA(active, accelerators, &message) != 0);
    if (!translated) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (events.building.code == 0) {
      events.building.code = static_cast<int32_t>(message.message);
      events.building.data1 = static_cast<intptr_t>(message.wParam);
      events.building.data2 = static_cast<intptr_t>(message.lParam);
    }
  }
  events.returned = events.building;
  return events.returned.code;
}

int32_t EventItem() { return Events().returned.item; }

void SetModelessDialog(HWND dialog) { Events().dialog = dialog; }

void CloseAppWindow(intptr_t window) {
  std::shared_ptr<AppWindow> object = Windows().Take(window);
  if (!object) return;
  ForgetOpen(window);
  DestroyWindowObject(window, object);
}

void CloseAllWindows() {
  std::vector<intptr_t> numbers;
  {
    LockHolder hold(OpenNumbersLock);
    numbers = OpenNumbers;
  }
  for (intptr_t number : numbers)
    if (OwnedByThisThread(WindowHandle(number))) CloseAppWindow(number);
}

}  // namespace lurvik
