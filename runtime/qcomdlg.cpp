#include "runtime/qcomdlg.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/rtl/sysutils.h"
#include "platform/vcl/graphics.h"
#include "platform/win32/gdi.h"
#include "text/hashlist.h"

namespace quintrel::runtime {

namespace W = quintrel::win32;
using vcl::TCommonDialog;
using vcl::TMessage;
using vcl::TMetaClass;

namespace {

// A subclassed dialog hears this message but must not pass it on to its own procedure.
constexpr W::UINT kWithheldMessage = 0x052C;
// Commands after which the dialog lays itself out again, so the values go on once more.
constexpr W::WORD kRelayoutCommandLow = 1024;
constexpr W::WORD kRelayoutCommandHigh = 1025;
// Window texts are read up to this many characters.
constexpr int kTextLimit = 240;

struct TUnitState {
  TUnitState() {
    // The registries this state hands entries back to at process exit must outlive it,
    // so they are made first (statics go in the reverse order of their making).
    TCommonDialog::HasOwnMessageHook(TCommonDialog::StaticClass());
    W::GetStockFont(W::SYSTEM_FONT);
    W::IsWindow(W::HWND{});
  }
  ~TUnitState() { Finalize(); }
  TUnitState(const TUnitState&) = delete;
  TUnitState& operator=(const TUnitState&) = delete;

  // Registered classes and, at the same index, the hook entry each one displaced.
  std::vector<const TMetaClass*> classes;
  std::vector<TCommonDialog::TMessageHookEntry> displaced;

  // Pending values: the list maps each key to a number in `values`.
  text::THashList pending;
  std::unordered_map<uint32_t, std::string> values;
  uint32_t nextValue = 1;

  std::string currentOwner;
  std::string currentDialog;
  W::HWND subclassed{};
  W::WNDPROC displacedProc = nullptr;
  bool closed = false;
  bool gathering = false;
  std::vector<std::string> gathered;
  // Fonts made for the controls of dialogs. A control keeps using the font it was given,
  // so they live until the next dialog is subclassed (or the unit ends).
  std::vector<W::HFONT> fonts;

  void ReleaseFonts() {
    for (W::HFONT font : fonts) W::DeleteObject(font);
    fonts.clear();
  }

  void Finalize() {
    while (!classes.empty()) {
      const TMetaClass* cls = classes.front();
      TCommonDialog::SetClassMessageHook(*cls, displaced.front());
      classes.erase(classes.begin());
      displaced.erase(displaced.begin());
    }
    if (subclassed && W::IsWindow(subclassed))
      W::SetWindowLong(subclassed, W::GWL_WNDPROC, reinterpret_cast<W::LONG_PTR>(displacedProc));
    subclassed = {};
    displacedProc = nullptr;
    pending.Clear();
    values.clear();
    ReleaseFonts();
    closed = gathering = false;
    gathered.clear();
    currentOwner.clear();
    currentDialog.clear();
  }
};

TUnitState& Unit() {
  static TUnitState state;
  return state;
}

int IndexOfClass(const TMetaClass& cls) {
  const auto& classes = Unit().classes;
  auto it = std::find(classes.begin(), classes.end(), &cls);
  return it == classes.end() ? -1 : static_cast<int>(it - classes.begin());
}

// --- window helpers ----------------------------------------------------------------------

W::HFONT WindowFont(W::HWND window) {
  return W::HFONT(static_cast<uintptr_t>(W::SendMessage(window, W::WM_GETFONT, 0, 0)));
}

std::string WindowText(W::HWND window) {
  char buffer[kTextLimit + 1] = {};
  W::SendMessageA(window, W::WM_GETTEXT, sizeof buffer, reinterpret_cast<W::LPARAM>(buffer));
  return buffer;
}

void SetText(W::HWND window, const std::string& text) {
  if (window) W::SendMessageA(window, W::WM_SETTEXT, 0, reinterpret_cast<W::LPARAM>(text.c_str()));
}

// The n-th child (from 1) in GetWindow order; null when there are fewer.
W::HWND NthChild(W::HWND window, int64_t n) {
  W::HWND child = W::GetWindow(window, W::GW_CHILD);
  for (int64_t i = 1; child && i < n; ++i) child = W::GetWindow(child, W::GW_HWNDNEXT);
  return child;
}

void SetFontOnDescendants(W::HWND window, W::HFONT font) {
  for (W::HWND c = W::GetWindow(window, W::GW_CHILD); c; c = W::GetWindow(c, W::GW_HWNDNEXT)) {
    W::SendMessage(c, W::WM_SETFONT, static_cast<W::WPARAM>(font), 0);
    SetFontOnDescendants(c, font);
  }
}

int Extent(W::LONG from, W::LONG to) { return static_cast<int>(to - from + 1); }

// --- fonts -----------------------------------------------------------------------------------

// A font of this description made for dialogs, reused when one exists, so that applying
// the values on every activation does not pile up font objects.
W::HFONT KeepFont(const W::LOGFONTA& description) {
  auto& fonts = Unit().fonts;
  for (W::HFONT font : fonts) {
    W::LOGFONTA existing;
    if (W::GetObjectA(font, sizeof existing, &existing) == sizeof existing &&
        std::memcmp(&existing, &description, sizeof existing) == 0)
      return font;
  }
  W::HFONT font = W::CreateFontIndirectA(description);
  if (font) fonts.push_back(font);
  return font;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The font's description with another character set. "Default" is a name only the
// component model understands; the window manager needs a real face for it.
W::LOGFONTA WithCharset(const vcl::TFont& font, W::BYTE charset) {
  W::LOGFONTA lf{};
  lf.lfHeight = font.Height();
  lf.lfWeight = font.Style() & (1u << vcl::fsBold) ? W::FW_BOLD : W::FW_NORMAL;
  lf.lfItalic = (font.Style() & (1u << vcl::fsItalic)) ? 1 : 0;
  lf.lfUnderline = (font.Style() & (1u << vcl::fsUnderline)) ? 1 : 0;
  lf.lfStrikeOut = (font.Style() & (1u << vcl::fsStrikeOut)) ? 1 : 0;
  lf.lfCharSet = charset;
  std::string face = SameText(font.Name(), "Default") ? std::string("MS Sans Serif") : font.Name();
  face.resize(std::min<size_t>(face.size(), W::LF_FACESIZE - 1));
  std::memcpy(lf.lfFaceName, face.data(), face.size());
  lf.lfOutPrecision = W::OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = W::CLIP_DEFAULT_PRECIS;
  lf.lfQuality = W::DEFAULT_QUALITY;
  lf.lfPitchAndFamily = font.Pitch() == vcl::fpVariable ? W::VARIABLE_PITCH
                        : font.Pitch() == vcl::fpFixed  ? W::FIXED_PITCH
                                                        : W::DEFAULT_PITCH;
  return lf;
}

// --- apply -------------------------------------------------------------------------------------

// The number in "Name[id]".
int64_t BracketNumber(std::string_view prop) {
  size_t open = prop.find('[');
  size_t close = prop.find(']', open);
  return rtl::StrToInt(prop.substr(open + 1, close == std::string_view::npos ? close : close - open - 1));
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

void MoveControl(W::HWND dialog, std::string_view prop, int64_t value) {
  W::HWND control = W::GetDlgItem(dialog, static_cast<int>(BracketNumber(prop)));
  W::RECT r;
  if (!control || !W::GetWindowRect(control, r)) return;
  W::POINT corner{r.left, r.top};
  W::ScreenToClient(dialog, corner);
  int x = corner.x, y = corner.y, width = r.right - r.left, height = r.bottom - r.top;
  int v = static_cast<int>(value);
  if (StartsWith(prop, "Left[")) x = v;
  else if (StartsWith(prop, "Top[")) y = v;
  else if (StartsWith(prop, "Width[")) width = v;
  else height = v;
  W::MoveWindow(control, x, y, width, height, 0);
}

// The font changes of one pass build on each other, so a face name and a character set
// given together both reach the controls.
struct TFontWork {
  vcl::TFont font;
  W::HFONT current{};
  bool loaded = false;
};

void ApplyFont(W::HWND dialog, std::string_view prop, const std::string& value, TFontWork& work) {
  if (!work.loaded) {
    work.current = WindowFont(dialog);
    work.font.SetHandle(work.current);
    work.loaded = true;
  }
  if (prop == "Font.Name") {
    work.font.SetName(value);
    work.current = KeepFont(W::LogFontToA(work.font.LogFont()));
    work.font.SetHandle(work.current);
  } else if (prop == "Font.Charset") {
    auto charset = static_cast<W::BYTE>(rtl::StrToInt(value));
    work.current = KeepFont(WithCharset(work.font, charset));
    work.font.SetHandle(work.current);
  }
  if (work.current) SetFontOnDescendants(dialog, work.current);
}

void ApplyOne(W::HWND dialog, std::string_view prop, const std::string& value, TFontWork& fontWork) {
  if (prop == "Caption") {
    SetText(dialog, value);
  } else if (StartsWith(prop, "Caption[")) {
    int64_t id = BracketNumber(prop);
    SetText(id >= 0 ? W::GetDlgItem(dialog, static_cast<int>(id)) : NthChild(dialog, -id), value);
  } else if (prop.find("Font.") != std::string_view::npos) {
    ApplyFont(dialog, prop, value, fontWork);
  } else if (prop == "Width" || prop == "Height") {
    int64_t size = rtl::StrToInt(value);
    W::RECT r;
    if (!W::GetWindowRect(dialog, r)) return;
    bool width = prop == "Width";
    W::MoveWindow(dialog, r.left, r.top, width ? static_cast<int>(size) : r.right - r.left,
                  width ? r.bottom - r.top : static_cast<int>(size), 0);
  } else if (StartsWith(prop, "Left[") || StartsWith(prop, "Top[") || StartsWith(prop, "Width[") ||
             StartsWith(prop, "Height[")) {
    MoveControl(dialog, prop, rtl::StrToInt(value));
  }
}

void Apply(W::HWND dialog) {
  TUnitState& u = Unit();
  TFontWork fontWork;
  // Applying may change nothing of the list, but take the entries first so that any
  // message sent on the way that stores a value cannot disturb the walk.
  std::vector<std::pair<std::string, std::string>> entries;
  uint8_t key[255];
  uint8_t len = 0;
  uint32_t id = 0;
  u.pending.Top();
  while (u.pending.Next(key, len, id)) entries.emplace_back(std::string(reinterpret_cast<char*>(key), len), u.values[id]);
  for (const auto& [k, value] : entries) {
    size_t dot1 = k.find('.');
    size_t dot2 = dot1 == std::string::npos ? dot1 : k.find('.', dot1 + 1);
    if (dot2 == std::string::npos) continue;
    if (std::string_view(k).substr(0, dot1) != u.currentOwner ||
        std::string_view(k).substr(dot1 + 1, dot2 - dot1 - 1) != u.currentDialog)
      continue;
    ApplyOne(dialog, std::string_view(k).substr(dot2 + 1), value, fontWork);
  }
}

// --- gather ------------------------------------------------------------------------------------

void Gather(W::HWND dialog) {
  std::vector<std::string>& lines = Unit().gathered;
  lines.push_back("Caption='" + WindowText(dialog) + "'");
  W::HFONT font = WindowFont(dialog);
  vcl::TFont working;
  working.SetHandle(font);
  lines.push_back("Font.Name=" + working.Name());
  W::LOGFONTA description;
  int charset = W::GetObjectA(font, sizeof description, &description) == sizeof description
                    ? description.lfCharSet
                    : W::DEFAULT_CHARSET;
  lines.push_back("Font.Charset=" + std::to_string(charset));
  W::RECT r;
  W::GetWindowRect(dialog, r);
  lines.push_back("Width=" + std::to_string(Extent(r.left, r.right)));
  lines.push_back("Height=" + std::to_string(Extent(r.top, r.bottom)));
  int counter = 1;
  for (W::HWND c = W::GetWindow(dialog, W::GW_CHILD); c; c = W::GetWindow(c, W::GW_HWNDNEXT), ++counter) {
    int ctrlId = W::GetDlgCtrlID(c);
    std::string id = std::to_string(ctrlId == W::IDC_STATIC ? -counter : ctrlId);
    W::RECT cr;
    W::GetWindowRect(c, cr);
    W::POINT corner{cr.left, cr.top};
    W::ScreenToClient(dialog, corner);
    lines.push_back("Caption[" + id + "]='" + WindowText(c) + "'");
    lines.push_back("Width[" + id + "]=" + std::to_string(Extent(cr.left, cr.right)));
    lines.push_back("Height[" + id + "]=" + std::to_string(Extent(cr.top, cr.bottom)));
    lines.push_back("Left[" + id + "]=" + std::to_string(corner.x));
    lines.push_back("Top[" + id + "]=" + std::to_string(corner.y));
  }
}

// --- subclassing and the hooks -------------------------------------------------------------------

void BeginSubclass(W::HWND window) {
  TUnitState& u = Unit();
  if (!window || !W::IsWindow(window)) return;
  u.ReleaseFonts();
  u.displacedProc = W::SubclassWindow(window, &ComDlgProc);
  u.subclassed = window;
}

void EndSubclass(W::HWND window) {
  TUnitState& u = Unit();
  if (!u.subclassed || window != u.subclassed) return;
  u.closed = true;
  W::SetWindowLong(window, W::GWL_WNDPROC, reinterpret_cast<W::LONG_PTR>(u.displacedProc));
  u.displacedProc = nullptr;
  u.subclassed = {};
}

void TakeNames(const TCommonDialog& dialog) {
  TUnitState& u = Unit();
  // A dialog without an owner matches keys with an empty owner name, never another
  // dialog's values.
  u.currentOwner = dialog.Owner() ? dialog.Owner()->Name() : std::string();
  u.currentDialog = dialog.Name();
}

bool CallDisplaced(const TCommonDialog::TMessageHookEntry& displaced, TCommonDialog& dialog, TMessage& message) {
  return displaced ? displaced(dialog, message) : dialog.MessageHook(message);
}

TCommonDialog::TMessageHookEntry GeneralHook(TCommonDialog::TMessageHookEntry displaced) {
  return [displaced = std::move(displaced)](TCommonDialog& dialog, TMessage& message) {
    bool handled = CallDisplaced(displaced, dialog, message);
    TUnitState& u = Unit();
    // The application window moves behind the dialog once the dialog is up and active.
    if (message.Msg == W::WM_WINDOWPOSCHANGED && !u.subclassed) {
      u.closed = false;
      TakeNames(dialog);
      BeginSubclass(W::GetActiveWindow());
    }
    return handled;
  };
}

TCommonDialog::TMessageHookEntry FindHook(TCommonDialog::TMessageHookEntry displaced) {
  return [displaced = std::move(displaced)](TCommonDialog& dialog, TMessage& message) {
    bool handled = CallDisplaced(displaced, dialog, message);
    TUnitState& u = Unit();
    if (message.Msg == W::WM_CREATE) {
      u.closed = false;
    } else if (message.Msg == W::WM_KILLFOCUS && !u.subclassed && !u.closed) {
      // The hidden owner window loses the focus to the dialog window as it appears.
      TakeNames(dialog);
      BeginSubclass(W::HWND(static_cast<uintptr_t>(message.WParam)));
    }
    return handled;
  };
}

}  // namespace

// --- registration --------------------------------------------------------------------------------

bool RegisterDialogClass(const TMetaClass& dialogClass) {
  TUnitState& u = Unit();
  if (IndexOfClass(dialogClass) >= 0) return false;
  TCommonDialog::TMessageHookEntry current = TCommonDialog::ClassMessageHook(dialogClass);
  bool find = dialogClass.InheritsFrom(&vcl::TFindDialog::StaticClass());
  TCommonDialog::TMessageHookEntry displaced =
      TCommonDialog::SetClassMessageHook(dialogClass, find ? FindHook(current) : GeneralHook(current));
  u.classes.push_back(&dialogClass);
  u.displaced.push_back(std::move(displaced));
  return true;
}

bool UnRegisterDialogClass(const TMetaClass& dialogClass) {
  TUnitState& u = Unit();
  int index = IndexOfClass(dialogClass);
  if (index < 0) return false;
  TCommonDialog::SetClassMessageHook(dialogClass, u.displaced[static_cast<size_t>(index)]);
  u.classes.erase(u.classes.begin() + index);
  u.displaced.erase(u.displaced.begin() + index);
  return true;
}

bool IsDialogClassRegistered(const TMetaClass& dialogClass) { return IndexOfClass(dialogClass) >= 0; }

int RegisteredDialogClassCount() { return static_cast<int>(Unit().classes.size()); }

// --- pending values ------------------------------------------------------------------------------

bool SetDlgProp(std::string_view line) {
  size_t eq = line.find('=');
  if (eq == std::string_view::npos || eq == 0 || eq > text::THashList::MaxKeyLength) return false;
  std::string_view key = line.substr(0, eq);
  TUnitState& u = Unit();
  const std::string_view value = line.substr(eq + 1);
  // A key set again (every switch of a form sets its dialogs' keys anew) keeps its entry
  // and takes the new value in place; the values of different keys act apart, so the
  // entries' order does not matter.
  if (std::optional<uint32_t> old = u.pending.Find(key)) {
    u.values[*old].assign(value);
    return true;
  }
  uint32_t id = u.nextValue++;
  if (!u.pending.Add(key, id)) return false;
  u.values.emplace(id, std::string(value));
  return true;
}

std::optional<std::string> PendingDlgProp(std::string_view key) {
  TUnitState& u = Unit();
  std::optional<uint32_t> id = u.pending.Find(key);
  if (!id) return std::nullopt;
  return u.values[*id];
}

void SetCommonDialogProp(TCommonDialog& dialog, const std::string& entry) {
  RegisterDialogClass(dialog.ClassType());
  SetDlgProp(entry);
}

// --- the window procedure ------------------------------------------------------------------------

W::LRESULT ComDlgProc(W::HWND window, W::UINT message, W::WPARAM wParam, W::LPARAM lParam) {
  TUnitState& u = Unit();
  W::LRESULT result = 1;
  if (message != kWithheldMessage && u.displacedProc)
    result = W::CallWindowProc(u.displacedProc, window, message, wParam, lParam);
  switch (message) {
    case W::WM_CLOSE:
    case W::WM_DESTROY:
      EndSubclass(window);
      break;
    case W::WM_ACTIVATE:
    case W::WM_CTLCOLORDLG:
      if (u.gathering) {
        // Whatever goes wrong while reading, the dialog must not stay open.
        try {
          Gather(window);
        } catch (...) {
        }
        try {
          W::SendMessage(window, W::WM_CLOSE, 0, 0);
        } catch (...) {
        }
      } else {
        Apply(window);
      }
      break;
    case W::WM_COMMAND:
      if (W::LOWORD(wParam) == kRelayoutCommandLow || W::LOWORD(wParam) == kRelayoutCommandHigh) Apply(window);
      break;
    default:
      break;
  }
  return result;
}

W::HWND SubclassedDialogWindow() { return Unit().subclassed; }

// --- gathering -----------------------------------------------------------------------------------

std::string GetDlgProps(TCommonDialog& dialog) {
  TUnitState& u = Unit();
  struct TGatherScope {
    TUnitState& u;
    explicit TGatherScope(TUnitState& state) : u(state) {
      u.gathered.clear();
      u.gathering = true;
    }
    ~TGatherScope() {
      u.gathering = false;
      u.gathered.clear();
    }
  } scope(u);
  RegisterDialogClass(dialog.ClassType());
  const TMetaClass& cls = dialog.ClassType();
  if (auto* find = dynamic_cast<vcl::TFindDialog*>(&dialog)) {
    find->Execute();
    find->CloseDialog();
  } else if (cls.InheritsFrom(&vcl::TOpenDialog::StaticClass()) || cls.InheritsFrom(&vcl::TFontDialog::StaticClass()) ||
             cls.InheritsFrom(&vcl::TColorDialog::StaticClass()) || cls.InheritsFrom(&vcl::TPrintDialog::StaticClass()) ||
             cls.InheritsFrom(&vcl::TPrinterSetupDialog::StaticClass())) {
    dialog.Execute();
  }
  std::string text;
  for (const std::string& line : u.gathered) text += line + "\r\n";
  return text;
}

size_t GetDlgProps(TCommonDialog& dialog, char* buffer, size_t bufferSize) {
  std::string text = GetDlgProps(dialog);
  if (buffer && bufferSize > 0) {
    size_t n = std::min(text.size(), bufferSize - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
  }
  return text.size();
}

void FinalizeQcomdlg() { Unit().Finalize(); }

}  // namespace quintrel::runtime
