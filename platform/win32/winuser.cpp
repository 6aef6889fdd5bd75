#include "platform/win32/winuser.h"

#include <algorithm>
#include <climits>
#include <deque>
#include <utility>
#include <unordered_map>
#include <vector>

#include "platform/win32/dialogs.h"
#include "platform/win32/internal.h"
#include "platform/win32/menus.h"
#include "platform/win32/sysparams.h"

// Window procedures may create, destroy and re-parent windows while they run, so no
// code here keeps a pointer to a window record across a message it sends: records are
// looked up by handle again afterwards, and handle lists are copied before they are
// walked.

namespace quintrel::win32 {

namespace {

struct TWindowClass {
  std::u16string name;
  WNDPROC procedure = nullptr;
  UINT style = 0;
  HINSTANCE instance{};
  bool predefined = false;
};

struct TWindowRecord {
  std::u16string className;
  WNDPROC procedure = nullptr;
  std::u16string text;
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT rect{};      // in the parent's client coordinates; the screen for top-level windows
  HWND parent{};    // the desktop for top-level windows
  HWND owner{};
  std::vector<HWND> children;  // the top of the order first
  LONG_PTR id = 0;
  LONG_PTR userData = 0;
  HINSTANCE instance{};
  HFONT font{};
  bool destroying = false;
};

struct TWindowManager {
  std::vector<TWindowClass> classes;
  ATOM nextAtom = 0xC000;
  std::unordered_map<HWND, TWindowRecord> windows;
  HWND desktop{};
  HWND active{};
  HWND focus{};
  std::deque<MSG> queue;
};

TWindowManager& Manager() {
  static TWindowManager manager = [] {
    TWindowManager m;
    for (const char16_t* name : {WC_BUTTON, WC_STATIC, WC_EDIT, WC_LISTBOX, WC_COMBOBOX, WC_SCROLLBAR, WC_MDICLIENT,
                                 WC_DIALOG, u"#32769"})
      m.classes.push_back(TWindowClass{name, name == WC_DIALOG ? DefDlgProc : DefWindowProc, 0, {}, true});
    m.desktop = detail::NewHandle<HWND>();
    TWindowRecord& desktop = m.windows[m.desktop];
    desktop.className = u"#32769";
    desktop.procedure = DefWindowProc;
    desktop.style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    desktop.rect = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return m;
  }();
  return manager;
}

TWindowRecord* Find(HWND window) {
  auto& windows = Manager().windows;
  auto it = windows.find(window);
  return it == windows.end() ? nullptr : &it->second;
}

// A window that is neither the desktop nor on its way out.
TWindowRecord* FindLive(HWND window) {
  TWindowRecord* record = Find(window);
  return record && !record->destroying && window != Manager().desktop ? record : nullptr;
}

TWindowClass* FindClass(std::u16string_view name) {
  for (TWindowClass& c : Manager().classes)
    if (detail::SameTextAscii(c.name, name)) return &c;
  return nullptr;
}

LONG ToLong(int64_t value) { return static_cast<LONG>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX)); }

RECT MakeRect(int x, int y, int width, int height) {
  return RECT{x, y, ToLong(int64_t{x} + std::max(width, 0)), ToLong(int64_t{y} + std::max(height, 0))};
}

LONG Width(const RECT& r) { return ToLong(int64_t{r.right} - r.left); }
LONG Height(const RECT& r) { return ToLong(int64_t{r.bottom} - r.top); }

// The frame, caption and menu bar around the client area, for a window of these styles.
RECT FrameInsets(DWORD style, DWORD exStyle, bool menuBar) {
  int frameX = 0;
  int frameY = 0;
  if (style & WS_THICKFRAME) {
    frameX = GetSystemMetrics(SM_CXFRAME);
    frameY = GetSystemMetrics(SM_CYFRAME);
  } else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME)) {
    frameX = GetSystemMetrics(SM_CXDLGFRAME);
    frameY = GetSystemMetrics(SM_CYDLGFRAME);
  } else if (style & WS_BORDER) {
    frameX = GetSystemMetrics(SM_CXBORDER);
    frameY = GetSystemMetrics(SM_CYBORDER);
  }
  if (exStyle & WS_EX_CLIENTEDGE) {
    frameX += GetSystemMetrics(SM_CXEDGE);
    frameY += GetSystemMetrics(SM_CYEDGE);
  }
  int top = frameY;
  if ((style & WS_CAPTION) == WS_CAPTION)
    top += GetSystemMetrics((exStyle & WS_EX_TOOLWINDOW) ? SM_CYSMCAPTION : SM_CYCAPTION);
  if (!(style & WS_CHILD) && menuBar) top += GetSystemMetrics(SM_CYMENU);
  return RECT{frameX, top, frameX, frameY};
}

RECT NonClientInsets(HWND window, const TWindowRecord& record) {
  if (window == Manager().desktop) return RECT{};
  return FrameInsets(record.style, record.exStyle, static_cast<bool>(GetMenu(window)));
}

SIZE ClientSize(HWND window, const TWindowRecord& record) {
  RECT insets = NonClientInsets(window, record);
  return SIZE{ToLong(std::max<int64_t>(0, int64_t{Width(record.rect)} - insets.left - insets.right)),
              ToLong(std::max<int64_t>(0, int64_t{Height(record.rect)} - insets.top - insets.bottom))};
}

// The client area's top-left corner in screen coordinates.
POINT ClientOrigin(HWND window) {
  const TWindowRecord* record = Find(window);
  if (!record) return POINT{};
  POINT origin = record->parent ? ClientOrigin(record->parent) : POINT{};
  RECT insets = NonClientInsets(window, *record);
  return POINT{ToLong(int64_t{origin.x} + record->rect.left + insets.left),
               ToLong(int64_t{origin.y} + record->rect.top + insets.top)};
}

std::vector<HWND>* Siblings(const TWindowRecord& record) {
  TWindowRecord* parent = Find(record.parent);
  return parent ? &parent->children : nullptr;
}

void Unlink(HWND window, const TWindowRecord& record) {
  if (auto* siblings = Siblings(record)) std::erase(*siblings, window);
}

bool IsSpecialInsertAfter(HWND insertAfter) {
  return insertAfter == HWND_TOP || insertAfter == HWND_BOTTOM || insertAfter == HWND_TOPMOST ||
         insertAfter == HWND_NOTOPMOST;
}

void PlaceInOrder(HWND window, std::vector<HWND>& siblings, HWND insertAfter) {
  std::erase(siblings, window);
  if (insertAfter == HWND_BOTTOM) {
    siblings.push_back(window);
  } else if (IsSpecialInsertAfter(insertAfter)) {
    siblings.insert(siblings.begin(), window);
  } else {
    auto at = std::find(siblings.begin(), siblings.end(), insertAfter);
    siblings.insert(at == siblings.end() ? at : at + 1, window);
  }
}

// Marks a window and every descendant as going away, so that nothing re-enters their
// destruction or attaches new windows to them.
void MarkDestroying(HWND window) {
  TWindowRecord* record = Find(window);
  if (!record) return;
  record->destroying = true;
  for (HWND child : std::vector<HWND>(record->children)) MarkDestroying(child);
}

void SendDestroy(HWND window) {
  if (!Find(window)) return;
  SendMessage(window, WM_DESTROY, 0, 0);
  if (TWindowRecord* record = Find(window))
    for (HWND child : std::vector<HWND>(record->children)) SendDestroy(child);
}

void FreeWindow(HWND window) {
  for (;;) {
    TWindowRecord* record = Find(window);
    if (!record) return;
    if (record->children.empty()) break;
    HWND child = record->children.front();
    FreeWindow(child);
    if (TWindowRecord* again = Find(window)) std::erase(again->children, child);
  }
  SendMessage(window, WM_NCDESTROY, 0, 0);
  detail::ReleaseWindowMenus(window);
  detail::ReleaseDialog(window);
  TWindowManager& m = Manager();
  std::erase_if(m.queue, [window](const MSG& message) { return message.hwnd == window; });
  if (m.active == window) m.active = {};
  if (m.focus == window) m.focus = {};
  for (auto& [handle, other] : m.windows)
    if (other.owner == window) other.owner = {};
  if (TWindowRecord* record = Find(window)) {
    Unlink(window, *record);
    m.windows.erase(window);
  }
}

LONG_PTR ChangeStyle(HWND window, int index, DWORD value) {
  TWindowRecord* record = Find(window);
  if (!record) return 0;
  DWORD& slot = index == GWL_STYLE ? record->style : record->exStyle;
  STYLESTRUCT change{slot, value};
  SendMessage(window, WM_STYLECHANGING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&change));
  record = Find(window);
  if (!record) return 0;
  DWORD& current = index == GWL_STYLE ? record->style : record->exStyle;
  DWORD previous = current;
  current = change.styleNew;
  STYLESTRUCT changed{previous, current};
  SendMessage(window, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&changed));
  return static_cast<LONG_PTR>(previous);
}

LRESULT HandleValue(auto handle) { return static_cast<LRESULT>(static_cast<uintptr_t>(handle)); }

int BufferSize(WPARAM size) { return static_cast<int>(std::min<WPARAM>(size, INT_MAX)); }

void Deactivate() {
  TWindowManager& m = Manager();
  HWND previous = std::exchange(m.active, HWND{});
  if (IsWindow(previous)) SendMessage(previous, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), 0);
}

}  // namespace

// --- Classes ---------------------------------------------------------------------------

ATOM RegisterClass(const WNDCLASSW& windowClass) {
  std::u16string_view name = detail::ZeroTerminated(windowClass.lpszClassName);
  TWindowManager& m = Manager();
  if (name.empty() || !windowClass.lpfnWndProc || FindClass(name) || m.nextAtom == 0) return 0;
  m.classes.push_back(TWindowClass{std::u16string(name), windowClass.lpfnWndProc, windowClass.style,
                                   windowClass.hInstance, false});
  return m.nextAtom++;  // wraps to 0 after 0xFFFF, which refuses further classes
}

BOOL UnregisterClass(std::u16string_view className, HINSTANCE instance) {
  TWindowClass* c = FindClass(className);
  if (!c || c->predefined || c->instance != instance) return 0;
  for (const auto& [handle, record] : Manager().windows)
    if (detail::SameTextAscii(record.className, className)) return 0;
  std::erase_if(Manager().classes, [c](const TWindowClass& other) { return &other == c; });
  return 1;
}

std::u16string GetClassName(HWND window) {
  const TWindowRecord* record = Find(window);
  return record ? record->className : std::u16string();
}

// --- Creation and destruction ----------------------------------------------------------

HWND CreateWindowEx(DWORD exStyle, std::u16string_view className, std::u16string_view windowName, DWORD style,
                    int x, int y, int width, int height, HWND parent, HMENU menuOrId, HINSTANCE instance,
                    void* param) {
  TWindowManager& m = Manager();
  const TWindowClass* windowClass = FindClass(className);
  if (!windowClass) return {};
  bool child = style & WS_CHILD;
  HWND parentHandle = m.desktop;
  HWND owner{};
  if (child) {
    TWindowRecord* p = Find(parent);
    if (!p || p->destroying) return {};
    parentHandle = parent;
  } else if (parent) {
    owner = GetAncestor(parent, GA_ROOT);
    if (!FindLive(owner)) return {};
  }
  if (!child && menuOrId && !IsMenu(menuOrId)) return {};

  HWND window = detail::NewHandle<HWND>();
  TWindowRecord& record = m.windows[window];
  record.className = windowClass->name;
  record.procedure = windowClass->procedure;
  record.style = style & ~WS_VISIBLE;
  record.exStyle = exStyle;
  record.rect = MakeRect(x, y, width, height);
  record.parent = parentHandle;
  record.owner = owner;
  record.id = child ? static_cast<LONG_PTR>(menuOrId) : 0;
  record.instance = instance;
  std::vector<HWND>& siblings = Find(parentHandle)->children;
  if (child)
    siblings.push_back(window);
  else
    siblings.insert(siblings.begin(), window);
  if (!child && menuOrId) SetMenu(window, menuOrId);

  std::u16string name(windowName);
  std::u16string classText(className);
  CREATESTRUCTW create{param,  instance, menuOrId, parent,      height,           width,
                       y,      x,        static_cast<LONG>(style), name.c_str(), classText.c_str(), exStyle};
  if (!SendMessage(window, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create))) {
    DestroyWindow(window);
    return {};
  }
  if (!IsWindow(window)) return {};
  if (SendMessage(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(window);
    return {};
  }
  if (!IsWindow(window)) return {};
  if (style & WS_VISIBLE) ShowWindow(window, SW_SHOW);
  return IsWindow(window) ? window : HWND{};
}

BOOL DestroyWindow(HWND window) {
  if (!FindLive(window)) return 0;
  TWindowManager& m = Manager();
  for (HWND other : std::vector<HWND>(Find(m.desktop)->children))
    if (const TWindowRecord* record = Find(other); record && record->owner == window) DestroyWindow(other);
  if (!FindLive(window)) return 1;  // went away while its owned windows were destroyed
  MarkDestroying(window);
  if (m.active == window) m.active = {};
  if (IsChild(window, m.focus) || m.focus == window) m.focus = {};
  SendDestroy(window);
  FreeWindow(window);
  return 1;
}

BOOL IsWindow(HWND window) { return Find(window) ? 1 : 0; }

HWND GetDesktopWindow() { return Manager().desktop; }

// --- Messages --------------------------------------------------------------------------

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window == HWND_BROADCAST) {
    for (HWND top : std::vector<HWND>(Find(Manager().desktop)->children))
      if (Find(top)) SendMessage(top, message, wParam, lParam);
    return 1;
  }
  const TWindowRecord* record = Find(window);
  if (!record) return 0;
  WNDPROC procedure = record->procedure;
  return procedure(window, message, wParam, lParam);
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTEXT: {
      if (!lParam) return SendMessage(window, message, wParam, 0);
      std::u16string wide = detail::AnsiToWide(reinterpret_cast<const char*>(lParam));
      return SendMessage(window, message, wParam, reinterpret_cast<LPARAM>(wide.c_str()));
    }
    case WM_GETTEXT: {
      auto* buffer = reinterpret_cast<char*>(lParam);
      if (!buffer || wParam == 0 || !IsWindow(window)) return detail::CopyToBuffer<char>({}, buffer, BufferSize(wParam));
      LRESULT length = std::max<LRESULT>(SendMessage(window, WM_GETTEXTLENGTH, 0, 0), 0);
      std::u16string wide(static_cast<size_t>(std::min<uint64_t>(wParam, static_cast<uint64_t>(length) + 1)), u'\0');
      LRESULT copied = SendMessage(window, WM_GETTEXT, wide.size(), reinterpret_cast<LPARAM>(wide.data()));
      wide.resize(static_cast<size_t>(std::clamp<LRESULT>(copied, 0, static_cast<LRESULT>(wide.size()) - 1)));
      return detail::CopyToBuffer<char>(detail::WideToAnsi(wide), buffer, BufferSize(wParam));
    }
    default:
      return SendMessage(window, message, wParam, lParam);
  }
}

LRESULT CallWindowProc(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return procedure ? procedure(window, message, wParam, lParam) : 0;
}

LRESULT DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TWindowRecord* record = Find(window);
  if (!record) return 0;
  switch (message) {
    case WM_NCCREATE:
      if (const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam))
        record->text = detail::ZeroTerminated(create->lpszName);
      return 1;
    case WM_SETTEXT:
      record->text = detail::ZeroTerminated(reinterpret_cast<const char16_t*>(lParam));
      return 1;
    case WM_GETTEXT:
      return detail::CopyToBuffer<char16_t>(record->text, reinterpret_cast<char16_t*>(lParam), BufferSize(wParam));
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(record->text.size());
    case WM_SETFONT:
      record->font = static_cast<HFONT>(wParam);
      return 0;
    case WM_GETFONT:
      return HandleValue(record->font);
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          SendMessage(window, WM_CLOSE, 0, 0);
          break;
        case SC_MINIMIZE:
          ShowWindow(window, SW_MINIMIZE);
          break;
        case SC_MAXIMIZE:
          ShowWindow(window, SW_MAXIMIZE);
          break;
        case SC_RESTORE:
          ShowWindow(window, SW_RESTORE);
          break;
        default:
          break;
      }
      return 0;
    case WM_WINDOWPOSCHANGED: {
      const auto* position = reinterpret_cast<const WINDOWPOS*>(lParam);
      if (!position) return 0;
      RECT insets = NonClientInsets(window, *record);
      POINT client{ToLong(int64_t{record->rect.left} + insets.left), ToLong(int64_t{record->rect.top} + insets.top)};
      SIZE size = ClientSize(window, *record);
      WPARAM state = (record->style & WS_MINIMIZE)   ? SIZE_MINIMIZED
                     : (record->style & WS_MAXIMIZE) ? SIZE_MAXIMIZED
                                                     : SIZE_RESTORED;
      if (!(position->flags & SWP_NOMOVE))
        SendMessage(window, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(client.x), static_cast<WORD>(client.y)));
      if (!(position->flags & SWP_NOSIZE))
        SendMessage(window, WM_SIZE, state, MAKELPARAM(static_cast<WORD>(size.cx), static_cast<WORD>(size.cy)));
      return 0;
    }
    default:
      return 0;
  }
}

BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window && !IsWindow(window)) return 0;
  Manager().queue.push_back(MSG{window, message, wParam, lParam});
  return 1;
}

void PostQuitMessage(int exitCode) {
  Manager().queue.push_back(MSG{{}, WM_QUIT, static_cast<WPARAM>(exitCode), 0});
}

BOOL PeekMessage(MSG& message, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage) {
  auto& queue = Manager().queue;
  bool all = filterMin == 0 && filterMax == 0;
  auto it = std::find_if(queue.begin(), queue.end(), [&](const MSG& m) {
    return (!window || m.hwnd == window) && (all || (m.message >= filterMin && m.message <= filterMax));
  });
  if (it == queue.end()) return 0;
  message = *it;
  if (removeMessage & PM_REMOVE) queue.erase(it);
  return 1;
}

LRESULT DispatchMessage(const MSG& message) {
  return message.hwnd ? SendMessage(message.hwnd, message.message, message.wParam, message.lParam) : 0;
}

// --- Window data -----------------------------------------------------------------------

LONG_PTR GetWindowLong(HWND window, int index) {
  const TWindowRecord* record = Find(window);
  if (!record) return 0;
  switch (index) {
    case GWL_STYLE:
      return static_cast<LONG_PTR>(record->style);
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(record->exStyle);
    case GWL_WNDPROC:
      return reinterpret_cast<LONG_PTR>(record->procedure);
    case GWL_ID:
      return record->id;
    case GWL_USERDATA:
      return record->userData;
    case GWL_HINSTANCE:
      return HandleValue(record->instance);
    case GWL_HWNDPARENT:
      return HandleValue(GetParent(window));
    default:
      return 0;
  }
}

LONG_PTR SetWindowLong(HWND window, int index, LONG_PTR value) {
  TWindowRecord* record = Find(window);
  if (!record || window == Manager().desktop) return 0;
  switch (index) {
    case GWL_STYLE:
    case GWL_EXSTYLE:
      return ChangeStyle(window, index, static_cast<DWORD>(value));
    case GWL_WNDPROC: {
      auto procedure = reinterpret_cast<WNDPROC>(value);
      if (!procedure) return 0;
      return reinterpret_cast<LONG_PTR>(std::exchange(record->procedure, procedure));
    }
    case GWL_ID:
      return std::exchange(record->id, value);
    case GWL_USERDATA:
      return std::exchange(record->userData, value);
    case GWL_HINSTANCE:
      return HandleValue(std::exchange(record->instance, static_cast<HINSTANCE>(value)));
    case GWL_HWNDPARENT: {
      // The owner is always a top-level window, and ownership never runs in a circle.
      HWND owner = GetAncestor(static_cast<HWND>(value), GA_ROOT);
      if ((record->style & WS_CHILD) || (value && !FindLive(owner))) return 0;
      for (HWND up = owner; up; up = Find(up)->owner)
        if (up == window) return 0;
      return HandleValue(std::exchange(Find(window)->owner, owner));
    }
    default:
      return 0;
  }
}

WNDPROC SubclassWindow(HWND window, WNDPROC procedure) {
  return reinterpret_cast<WNDPROC>(SetWindowLong(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
}

BOOL SetWindowText(HWND window, std::u16string_view text) {
  if (!IsWindow(window)) return 0;
  std::u16string copy(text);
  return SendMessage(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str())) ? 1 : 0;
}

int GetWindowText(HWND window, char16_t* buffer, int bufferMax) {
  if (!IsWindow(window)) return detail::CopyToBuffer<char16_t>({}, buffer, bufferMax);
  if (!buffer || bufferMax <= 0) return 0;
  LRESULT copied = SendMessage(window, WM_GETTEXT, static_cast<WPARAM>(bufferMax), reinterpret_cast<LPARAM>(buffer));
  return static_cast<int>(std::clamp<LRESULT>(copied, 0, bufferMax - 1));
}

std::u16string GetWindowText(HWND window) {
  int length = GetWindowTextLength(window);
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  text.resize(static_cast<size_t>(GetWindowText(window, text.data(), length + 1)));
  return text;
}

int GetWindowTextLength(HWND window) {
  LRESULT length = SendMessage(window, WM_GETTEXTLENGTH, 0, 0);
  return static_cast<int>(std::clamp<LRESULT>(length, 0, INT_MAX - 1));
}

// --- Relations -------------------------------------------------------------------------

HWND GetWindow(HWND window, UINT command) {
  const TWindowRecord* record = Find(window);
  if (!record) return {};
  switch (command) {
    case GW_CHILD:
      return record->children.empty() ? HWND{} : record->children.front();
    case GW_OWNER:
      return record->owner;
    case GW_ENABLEDPOPUP:
      for (HWND top : Find(Manager().desktop)->children) {
        const TWindowRecord* other = Find(top);
        if (other && other->owner == window && (other->style & WS_VISIBLE) && !(other->style & WS_DISABLED)) return top;
      }
      return {};
    default:
      break;
  }
  const std::vector<HWND>* siblings = Siblings(*record);
  if (!siblings) return {};
  auto at = std::find(siblings->begin(), siblings->end(), window);
  switch (command) {
    case GW_HWNDFIRST:
      return siblings->front();
    case GW_HWNDLAST:
      return siblings->back();
    case GW_HWNDNEXT:
      return at + 1 < siblings->end() ? *(at + 1) : HWND{};
    case GW_HWNDPREV:
      return at != siblings->begin() ? *(at - 1) : HWND{};
    default:
      return {};
  }
}

HWND GetParent(HWND window) {
  const TWindowRecord* record = Find(window);
  if (!record) return {};
  return (record->style & WS_CHILD) ? record->parent : record->owner;
}

HWND GetAncestor(HWND window, UINT flags) {
  TWindowManager& m = Manager();
  const TWindowRecord* record = Find(window);
  if (!record || window == m.desktop) return {};
  switch (flags) {
    case GA_PARENT:
      return record->parent;
    case GA_ROOT:
    case GA_ROOTOWNER: {
      HWND root = window;
      while (Find(root)->parent != m.desktop) root = Find(root)->parent;
      if (flags == GA_ROOTOWNER)
        while (Find(Find(root)->owner)) root = Find(root)->owner;
      return root;
    }
    default:
      return {};
  }
}

BOOL IsChild(HWND parent, HWND window) {
  const TWindowRecord* record = Find(window);
  while (record && (record->style & WS_CHILD)) {
    if (record->parent == parent) return 1;
    record = Find(record->parent);
  }
  return 0;
}

HWND SetParent(HWND window, HWND newParent) {
  TWindowManager& m = Manager();
  HWND target = newParent ? newParent : m.desktop;
  TWindowRecord* record = FindLive(window);
  TWindowRecord* parent = Find(target);
  if (!record || !parent || parent->destroying) return {};
  for (HWND up = target; up; up = Find(up)->parent)
    if (up == window) return {};
  HWND previous = record->parent;
  Unlink(window, *record);
  record->parent = target;
  parent->children.insert(parent->children.begin(), window);
  return previous;
}

HWND GetDlgItem(HWND dialog, int id) {
  const TWindowRecord* record = Find(dialog);
  if (!record) return {};
  for (HWND child : record->children)
    if (Find(child)->id == id) return child;
  return {};
}

int GetDlgCtrlID(HWND window) {
  const TWindowRecord* record = Find(window);
  return record && (record->style & WS_CHILD) ? static_cast<int>(record->id) : 0;
}

// --- Geometry --------------------------------------------------------------------------

BOOL GetWindowRect(HWND window, RECT& rect) {
  const TWindowRecord* record = Find(window);
  if (!record) return 0;
  POINT origin = record->parent ? ClientOrigin(record->parent) : POINT{};
  rect = RECT{ToLong(int64_t{origin.x} + record->rect.left), ToLong(int64_t{origin.y} + record->rect.top),
              ToLong(int64_t{origin.x} + record->rect.right), ToLong(int64_t{origin.y} + record->rect.bottom)};
  return 1;
}

BOOL AdjustWindowRectEx(RECT& rect, DWORD style, BOOL menu, DWORD exStyle) {
  RECT insets = FrameInsets(style, exStyle, menu != 0);
  rect = RECT{ToLong(int64_t{rect.left} - insets.left), ToLong(int64_t{rect.top} - insets.top),
              ToLong(int64_t{rect.right} + insets.right), ToLong(int64_t{rect.bottom} + insets.bottom)};
  return 1;
}

BOOL GetClientRect(HWND window, RECT& rect) {
  const TWindowRecord* record = Find(window);
  if (!record) return 0;
  SIZE size = ClientSize(window, *record);
  rect = RECT{0, 0, size.cx, size.cy};
  return 1;
}

BOOL ScreenToClient(HWND window, POINT& point) {
  if (!IsWindow(window)) return 0;
  POINT origin = ClientOrigin(window);
  point = POINT{ToLong(int64_t{point.x} - origin.x), ToLong(int64_t{point.y} - origin.y)};
  return 1;
}

BOOL ClientToScreen(HWND window, POINT& point) {
  if (!IsWindow(window)) return 0;
  POINT origin = ClientOrigin(window);
  point = POINT{ToLong(int64_t{point.x} + origin.x), ToLong(int64_t{point.y} + origin.y)};
  return 1;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL) {
  return SetWindowPos(window, HWND{}, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
  TWindowRecord* record = FindLive(window);
  if (!record) return 0;
  if (!(flags & SWP_NOZORDER) && !IsSpecialInsertAfter(insertAfter)) {
    const std::vector<HWND>* siblings = Siblings(*record);
    if (insertAfter == window || !siblings || std::find(siblings->begin(), siblings->end(), insertAfter) == siblings->end())
      return 0;
  }
  WINDOWPOS position{window, insertAfter, x, y, width, height, flags};
  if (flags & SWP_NOMOVE) {
    position.x = record->rect.left;
    position.y = record->rect.top;
  }
  if (flags & SWP_NOSIZE) {
    position.cx = Width(record->rect);
    position.cy = Height(record->rect);
  }
  SendMessage(window, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&position));
  record = FindLive(window);
  if (!record) return 0;
  position.hwnd = window;
  if (!(position.flags & SWP_NOZORDER)) {
    if (std::vector<HWND>* siblings = Siblings(*record)) PlaceInOrder(window, *siblings, position.hwndInsertAfter);
  }
  if (!(position.flags & SWP_NOMOVE)) record->rect = MakeRect(position.x, position.y, Width(record->rect), Height(record->rect));
  if (!(position.flags & SWP_NOSIZE)) record->rect = MakeRect(record->rect.left, record->rect.top, position.cx, position.cy);
  if (position.flags & SWP_SHOWWINDOW) record->style |= WS_VISIBLE;
  if (position.flags & SWP_HIDEWINDOW) record->style &= ~WS_VISIBLE;
  SendMessage(window, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&position));
  return 1;
}

// --- State -----------------------------------------------------------------------------

BOOL ShowWindow(HWND window, int command) {
  TWindowRecord* record = FindLive(window);
  if (!record) return 0;
  bool wasVisible = record->style & WS_VISIBLE;
  bool show = command != SW_HIDE;
  if (show != wasVisible) {
    SendMessage(window, WM_SHOWWINDOW, show ? 1 : 0, 0);
    record = FindLive(window);
    if (!record) return wasVisible;
    record->style = show ? (record->style | WS_VISIBLE) : (record->style & ~WS_VISIBLE);
  }
  switch (command) {
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
      record->style = (record->style & ~WS_MAXIMIZE) | WS_MINIMIZE;
      break;
    case SW_SHOWMAXIMIZED:
      record->style = (record->style & ~WS_MINIMIZE) | WS_MAXIMIZE;
      break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
      record->style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
      break;
    default:
      break;
  }
  if (!(record->style & WS_CHILD)) {
    bool activates = command == SW_SHOWNORMAL || command == SW_SHOW || command == SW_SHOWMAXIMIZED ||
                     command == SW_SHOWMINIMIZED || command == SW_RESTORE || command == SW_SHOWDEFAULT;
    if (activates) {
      SetActiveWindow(window);
    } else if (!show && Manager().active == window) {
      HWND owner = record->owner;
      if (FindLive(owner) && IsWindowVisible(owner))
        SetActiveWindow(owner);
      else
        Deactivate();
    }
  }
  return wasVisible ? 1 : 0;
}

BOOL IsWindowVisible(HWND window) {
  for (const TWindowRecord* record = Find(window); record; record = Find(record->parent))
    if (!(record->style & WS_VISIBLE)) return 0;
  return IsWindow(window);
}

BOOL EnableWindow(HWND window, BOOL enable) {
  TWindowRecord* record = FindLive(window);
  if (!record) return 0;
  bool wasDisabled = record->style & WS_DISABLED;
  if (wasDisabled == !enable) return wasDisabled ? 1 : 0;
  record->style = enable ? (record->style & ~WS_DISABLED) : (record->style | WS_DISABLED);
  SendMessage(window, WM_ENABLE, enable ? 1 : 0, 0);
  return wasDisabled ? 1 : 0;
}

BOOL IsWindowEnabled(HWND window) {
  const TWindowRecord* record = Find(window);
  return record && !(record->style & WS_DISABLED) ? 1 : 0;
}

HWND SetActiveWindow(HWND window) {
  TWindowManager& m = Manager();
  if (!window) {
    HWND previous = m.active;
    Deactivate();
    return previous;
  }
  HWND root = GetAncestor(window, GA_ROOT);
  if (!FindLive(root)) return {};
  HWND previous = m.active;
  if (root == previous) return previous;
  m.active = root;
  if (IsWindow(previous))
    SendMessage(previous, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), static_cast<LPARAM>(HandleValue(root)));
  if (m.active == root && IsWindow(root))
    SendMessage(root, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), static_cast<LPARAM>(HandleValue(previous)));
  return previous;
}

HWND GetActiveWindow() { return Manager().active; }

HWND SetFocus(HWND window) {
  TWindowManager& m = Manager();
  HWND previous = m.focus;
  if (!window) {
    m.focus = {};
    if (IsWindow(previous)) SendMessage(previous, WM_KILLFOCUS, 0, 0);
    return previous;
  }
  if (!FindLive(window)) return {};
  if (window == previous) return previous;
  HWND root = GetAncestor(window, GA_ROOT);
  if (m.active != root) SetActiveWindow(root);
  if (!FindLive(window)) return {};
  previous = m.focus;
  m.focus = window;
  if (IsWindow(previous)) SendMessage(previous, WM_KILLFOCUS, static_cast<WPARAM>(window), 0);
  if (m.focus == window && IsWindow(window)) SendMessage(window, WM_SETFOCUS, static_cast<WPARAM>(previous), 0);
  return previous;
}

HWND GetFocus() { return Manager().focus; }

}  // namespace quintrel::win32
