#include "editors/formsvg.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "platform/rtl/sysutils.h"
#include "platform/vcl/comctrls.h"
#include "platform/vcl/extctrls.h"
#include "platform/vcl/menus.h"
#include "platform/vcl/stdctrls.h"
#include "platform/vcl/textutil.h"
#include "platform/vcl/typinfo.h"
#include "platform/win32/gdi.h"
#include "platform/win32/sysparams.h"
#include "text/codepages.h"
#include "text/unicode.h"
#include "tools/accel.h"

namespace quintrel::editors {

namespace {

// The classic window colours; system colours of the palette map to these.
constexpr const char* kFace = "#d4d0c8";
constexpr const char* kShadow = "#808080";
constexpr const char* kDarkShadow = "#404040";
constexpr const char* kLight = "#ffffff";
constexpr const char* kWindow = "#ffffff";
constexpr const char* kText = "#000000";
// How deep controls may nest: forms are read with a bounded depth already, this keeps the
// drawing's own walk bounded whatever made the form.
constexpr int kMaxDepth = 64;
// Items of one menu drawn at most; a longer menu is cut, as the screen cuts it.
constexpr int kMaxMenuItems = 60;

struct TBox {
  int X = 0, Y = 0, W = 0, H = 0;
  TBox Inset(int by) const { return {X + by, Y + by, std::max(W - 2 * by, 0), std::max(H - 2 * by, 0)}; }
};

std::string Px(int v) { return std::to_string(v); }

std::string ColorCss(vcl::TColor color, const char* otherwise) {
  if (color == vcl::clNone || color == vcl::clDefault) return otherwise;
  if (color & 0x80000000) {
    switch (color & 0xFF) {
      case 5: return kWindow;                           // window
      case 8: case 7: case 18: case 23: return kText;   // window, menu, button, hint texts
      case 9: case 14: return "#ffffff";                // caption and highlighted texts
      case 2: case 13: return "#0a246a";                // active caption, highlight
      case 16: return kShadow;
      case 17: return kShadow;                          // grey text
      case 20: return kLight;
      case 21: return kDarkShadow;
      case 24: return "#ffffe1";                        // hint background
      case 12: return kShadow;                          // application work space
      default: return kFace;
    }
  }
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02x%02x%02x", color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
  return buf;
}

int64_t Ord(const vcl::TObject* instance, std::string_view name, int64_t otherwise) {
  vcl::PPropInfo info = vcl::GetPropInfo(instance, name);
  return info ? vcl::GetOrdProp(instance, info) : otherwise;
}

std::string Str(const vcl::TObject* instance, std::string_view name) {
  vcl::PPropInfo info = vcl::GetPropInfo(instance, name);
  return info ? vcl::GetStrProp(instance, info) : std::string();
}

std::string StripStar(std::string name) {
  if (!name.empty() && name.front() == '*') name.erase(0, 1);
  return name;
}

// How a text sits in its area.
enum class THAlign { Left, Center, Right };

class TSvgPainter {
public:
  TSvgPainter(vcl::TComponent& root, const tools::TObjectForm& catalogued, const TFormSvgOptions& options)
      : root_(root), options_(options) {
    for (const tools::TObjectLeaf& leaf : catalogued.Leaves) {
      const std::string name = StripStar(leaf.Component);
      vcl::TComponent* component = name.empty() ? &root_ : root_.FindComponent(name);
      if (component) objects_[component].push_back(leaf.Object.Ident);
    }
  }

  // A form: its window and controls.
  std::string Paint(vcl::TCustomForm& form) {
    form_ = &form;
    const win32::HWND window = form_->Handle();
    win32::RECT rect{};
    win32::GetWindowRect(window, rect);
    originX_ = rect.left;
    originY_ = rect.top;
    width_ = std::max<int>(rect.right - rect.left, 1);
    height_ = std::max<int>(rect.bottom - rect.top, 1);
    win32::POINT client{0, 0};
    win32::ClientToScreen(window, client);
    const int frame = std::clamp<int>(client.x - rect.left, 0, width_ / 2);
    const int clientTop = std::clamp<int>(client.y - rect.top, 0, height_);

    Begin();

    // The window: frame, title bar, menu bar, client area.
    Open(*form_, {0, 0, width_, height_}, "form");
    Rect({0, 0, width_, height_}, ColorCss(form_->Color(), kFace), nullptr);
    Bevel({0, 0, width_, height_}, true, 2);
    const int menuHeight = HasMenuBar() ? std::min(win32::GetSystemMetrics(win32::SM_CYMENU), clientTop) : 0;
    const int titleBottom = clientTop - menuHeight;
    if (titleBottom > frame) {
      const TBox title{frame, frame, width_ - 2 * frame, titleBottom - frame - 1};
      // A right-to-left window has its title on the right and its buttons on the left.
      const bool rtl = options_.RightToLeft || options_.Mirror;
      out_ += "<defs><linearGradient id=\"title\" x1=\"0\" x2=\"1\"><stop offset=\"0\" stop-color=\"" +
              std::string(rtl ? "#a6caf0" : "#0a246a") + "\"/><stop offset=\"1\" stop-color=\"" +
              std::string(rtl ? "#0a246a" : "#a6caf0") + "\"/></linearGradient></defs>\n";
      Rect(title, "url(#title)", nullptr);
      win32::NONCLIENTMETRICSW metrics{};
      metrics.cbSize = sizeof metrics;
      win32::SystemParametersInfo(win32::SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
      win32::LOGFONTW font = metrics.lfCaptionFont;
      font.lfCharSet = options_.Charset;
      const int buttons = std::min(title.H, 18) * 3 + 4;
      TBox textArea{title.X + 4, title.Y, std::max(title.W - buttons - 8, 0), title.H};
      if (rtl) textArea.X = title.X + buttons + 4;
      Text(textArea, Wide(form_->Caption()), font, "#ffffff", THAlign::Left, false, false);
      CaptionButtons(title, rtl);
    }
    const TBox clientBox{frame, clientTop, std::max(width_ - 2 * frame, 0), std::max(height_ - clientTop - frame, 0)};
    Close();

    for (int i = 0; i < form_->ControlCount(); ++i) Control(*form_->Controls(i), 1);
    if (menuHeight > 0) MenuBar({frame, titleBottom, clientBox.W, menuHeight});
    return Finish();
  }

  // A data module: its components as the designer lays them out, each a tile with its
  // name at its design position.
  std::string PaintSurface() {
    constexpr int kTile = 28, kCell = 96;
    std::vector<std::pair<vcl::TComponent*, TBox>> tiles;
    width_ = 200;
    height_ = 80;
    for (int i = 0; i < root_.ComponentCount() && i < kMaxMenuItems * 10; ++i) {
      vcl::TComponent* component = root_.Components(i);
      // A menu's items are not on the surface: the menu's tile stands for them.
      if (dynamic_cast<vcl::TMenuItem*>(component)) continue;
      if (auto* menu = dynamic_cast<vcl::TMenu*>(component)) AdoptItems(*menu->Items(), objects_[menu], 0);
      const auto info = static_cast<uint32_t>(component->DesignInfo());
      const TBox tile{static_cast<int>(info & 0x7FFF), static_cast<int>((info >> 16) & 0x7FFF), kCell, kTile + 18};
      tiles.emplace_back(component, tile);
      width_ = std::max(width_, tile.X + tile.W + 8);
      height_ = std::max(height_, tile.Y + tile.H + 8);
    }
    Begin();
    Rect({0, 0, width_, height_}, kWindow, nullptr);
    Rect({0, 0, width_ - 1, height_ - 1}, "none", kShadow);
    win32::LOGFONTW font = MenuFont();
    for (auto& [component, tile] : tiles) {
      if (options_.Mirror) tile.X = width_ - tile.X - tile.W;
      Open(*component, tile, "component");
      const TBox icon{tile.X + (tile.W - kTile) / 2, tile.Y, kTile, kTile};
      Rect(icon, kFace, nullptr);
      Bevel(icon, true, 1);
      Text({tile.X, tile.Y + kTile + 2, tile.W, 16}, text::Utf8ToWide(component->Name()), font, kText,
           THAlign::Center, false, true, false);
      Close();
    }
    return Finish();
  }

private:
  void AdoptItems(const vcl::TMenuItem& parent, std::vector<uint32_t>& ids, int depth) {
    if (depth > kMaxDepth) return;
    for (int i = 0; i < parent.Count() && i < kMaxMenuItems; ++i) {
      vcl::TMenuItem* item = parent.Items(i);
      const auto found = objects_.find(item);
      if (found != objects_.end()) {
        ids.insert(ids.end(), found->second.begin(), found->second.end());
        objects_.erase(found);
      }
      AdoptItems(*item, ids, depth + 1);
    }
  }

  void Begin() {
    out_ += "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"form-preview\" width=\"" + Px(width_) +
            "\" height=\"" + Px(height_) + "\" viewBox=\"0 0 " + Px(width_) + " " + Px(height_) +
            "\" data-form=\"" + XmlEscape(root_.Name()) + "\">\n";
    out_ += "<style>.selected-mark{fill:#ffd54a;fill-opacity:.35;stroke:#e65100;stroke-width:2}"
            ".clipped-mark{fill:none;stroke:#e00000;stroke-width:1.5;stroke-dasharray:4 2}</style>\n";
  }

  std::string Finish() {
    NotShown();
    // The marks come last, so that no control covers them.
    out_ += marks_;
    out_ += "</svg>\n";
    return std::move(out_);
  }

  std::u16string Wide(const std::string& bytes) const { return text::ByteToUnicode(bytes, options_.Charset); }

  int X(int screenX, int width) const {
    const int x = screenX - originX_;
    return options_.Mirror ? width_ - x - width : x;
  }

  TBox ScreenBox(vcl::TControl& control) {
    if (auto* windowed = dynamic_cast<vcl::TWinControl*>(&control)) {
      win32::RECT r{};
      win32::GetWindowRect(windowed->Handle(), r);
      const int w = r.right - r.left, h = r.bottom - r.top;
      return {X(r.left, w), r.top - originY_, w, h};
    }
    win32::POINT p{control.Left(), control.Top()};
    if (vcl::TWinControl* parent = control.Parent()) win32::ClientToScreen(parent->Handle(), p);
    return {X(p.x, control.Width()), p.y - originY_, control.Width(), control.Height()};
  }

  bool HasMenuBar() const {
    const vcl::TMainMenu* menu = form_->Menu();
    if (!menu) return false;
    for (int i = 0; i < menu->Items()->Count(); ++i)
      if (menu->Items()->Items(i)->Visible()) return true;
    return false;
  }

  // --- elements -----------------------------------------------------------------------

  void Open(vcl::TComponent& component, const TBox& box, const char* kind) {
    const auto found = objects_.find(&component);
    const bool selected = found != objects_.end() && options_.Selected != 0 &&
                          std::find(found->second.begin(), found->second.end(), options_.Selected) !=
                              found->second.end();
    const bool clipped = std::any_of(options_.Clipped.begin(), options_.Clipped.end(),
                                     [&](const std::string& n) { return vcl::SameText(n, component.Name()); });
    out_ += "<g class=\"control " + std::string(kind) + (selected ? " selected" : "") + (clipped ? " clipped" : "") +
            "\" data-name=\"" + XmlEscape(component.Name()) + "\" data-class=\"" +
            XmlEscape(std::string(component.ClassName())) + "\"";
    if (found != objects_.end()) {
      std::string ids;
      for (uint32_t id : found->second) ids += (ids.empty() ? "" : " ") + std::to_string(id);
      out_ += " data-object=\"" + ids + "\"";
    }
    out_ += ">\n";
    drawn_.insert(&component);
    if (selected) marks_ += MarkRect(box, "selected-mark", -2);
    if (clipped) marks_ += MarkRect(box, "clipped-mark", -1);
  }
  void Close() { out_ += "</g>\n"; }

  static std::string MarkRect(const TBox& box, const char* cls, int grow) {
    return "<rect class=\"" + std::string(cls) + "\" x=\"" + Px(box.X + grow) + "\" y=\"" + Px(box.Y + grow) +
           "\" width=\"" + Px(std::max(box.W - 2 * grow, 1)) + "\" height=\"" + Px(std::max(box.H - 2 * grow, 1)) +
           "\"/>\n";
  }

  void Rect(const TBox& box, const std::string& fill, const char* stroke) {
    out_ += "<rect x=\"" + Px(box.X) + "\" y=\"" + Px(box.Y) + "\" width=\"" + Px(box.W) + "\" height=\"" +
            Px(box.H) + "\" fill=\"" + fill + "\"";
    if (stroke) out_ += " stroke=\"" + std::string(stroke) + "\" shape-rendering=\"crispEdges\"";
    out_ += "/>\n";
  }

  void Line(int x1, int y1, int x2, int y2, const char* color) {
    out_ += "<line x1=\"" + Px(x1) + "\" y1=\"" + Px(y1) + "\" x2=\"" + Px(x2) + "\" y2=\"" + Px(y2) +
            "\" stroke=\"" + color + "\" shape-rendering=\"crispEdges\"/>\n";
  }

  // A 3-D edge: raised (light top-left) or sunken, `width` pixels.
  void Bevel(const TBox& box, bool raised, int width) {
    for (int i = 0; i < width && box.W > 2 * i && box.H > 2 * i; ++i) {
      const char* topLeft = raised ? (i == 0 ? kFace : kLight) : (i == 0 ? kShadow : kDarkShadow);
      const char* bottomRight = raised ? (i == 0 ? kDarkShadow : kShadow) : (i == 0 ? kLight : kFace);
      const int l = box.X + i, t = box.Y + i, r = box.X + box.W - 1 - i, b = box.Y + box.H - 1 - i;
      Line(l, t, r, t, topLeft);
      Line(l, t, l, b, topLeft);
      Line(l, b, r, b, bottomRight);
      Line(r, t, r, b, bottomRight);
    }
  }

  // A white field with a sunken edge (edit boxes, lists).
  void Field(const TBox& box, const std::string& color) {
    Rect(box, color, nullptr);
    Bevel(box, false, 2);
  }

  void CaptionButtons(const TBox& title, bool left) {
    const int size = std::max(std::min(title.H - 4, 16), 0);
    for (int i = 0; i < 3 && size > 0; ++i) {
      const int x = left ? title.X + 2 + i * (size + 2) : title.X + title.W - 2 - (i + 1) * (size + 2);
      const TBox button{x, title.Y + (title.H - size) / 2, size, size - 2};
      Rect(button, kFace, nullptr);
      Bevel(button, true, 1);
    }
  }

  // A text in its area, measured with the font; stretched to the measured width so the
  // picture agrees with the measurement. `clip` cuts it at the area's edges.
  void Text(const TBox& area, const std::u16string& caption, win32::LOGFONTW font, const std::string& color,
            THAlign align, bool centerVertically, bool clip, bool accelerator = true) {
    std::u16string shown = accelerator ? tools::DisplayedCaption(caption) : caption;
    if (shown.empty() || area.W <= 0 || area.H <= 0) return;
    font.lfCharSet = options_.Charset;
    const win32::SIZE size = win32::MeasureText(font, shown);
    const win32::TEXTMETRICW metrics = win32::TextMetrics(font);
    const int fontSize = std::max<int>(metrics.tmHeight - metrics.tmInternalLeading, 1);
    const int top = centerVertically ? area.Y + (area.H - size.cy) / 2 : area.Y;
    const int baseline = top + metrics.tmAscent;
    // Reading from the right puts what reads first on the right: the alignment mirrors.
    if (options_.RightToLeft && align != THAlign::Center) align = align == THAlign::Left ? THAlign::Right : THAlign::Left;
    int x = area.X;
    if (align == THAlign::Center) x = area.X + (area.W - size.cx) / 2;
    if (align == THAlign::Right) x = area.X + area.W - size.cx;
    std::string clipRef;
    if (clip) {
      const std::string id = "clip" + std::to_string(++clips_);
      out_ += "<clipPath id=\"" + id + "\"><rect x=\"" + Px(area.X) + "\" y=\"" + Px(area.Y) + "\" width=\"" +
              Px(area.W) + "\" height=\"" + Px(area.H) + "\"/></clipPath>\n";
      clipRef = " clip-path=\"url(#" + id + ")\"";
    }
    // In a right-to-left text the anchor "start" is its right end.
    const int anchorX = options_.RightToLeft ? x + size.cx : x;
    out_ += "<text x=\"" + Px(anchorX) + "\" y=\"" + Px(baseline) + "\" font-family=\"" +
            XmlEscape(FontFamily(font)) + "\" font-size=\"" + Px(fontSize) + "\"";
    if (font.lfWeight >= 600) out_ += " font-weight=\"bold\"";
    if (font.lfItalic) out_ += " font-style=\"italic\"";
    out_ += " fill=\"" + color + "\" textLength=\"" + Px(std::max<int>(size.cx, 1)) +
            "\" lengthAdjust=\"spacingAndGlyphs\" xml:space=\"preserve\"" + clipRef;
    if (options_.RightToLeft) out_ += " direction=\"rtl\" unicode-bidi=\"embed\"";
    out_ += ">";
    const std::size_t amp = accelerator ? tools::AmpersandPosition(caption) : std::u16string::npos;
    if (amp != std::u16string::npos && amp + 1 < caption.size()) {
      // The accelerator is underlined where it stands in the displayed text.
      const std::size_t at = tools::DisplayedCaption(caption.substr(0, amp)).size();
      out_ += XmlEscape(text::WideToUtf8(shown.substr(0, at))) + "<tspan text-decoration=\"underline\">" +
              XmlEscape(text::WideToUtf8(shown.substr(at, 1))) + "</tspan>" +
              XmlEscape(text::WideToUtf8(shown.substr(at + 1)));
    } else {
      out_ += XmlEscape(text::WideToUtf8(shown));
    }
    out_ += "</text>\n";
  }

  static std::string FontFamily(const win32::LOGFONTW& font) {
    std::string face = text::WideToUtf8(std::u16string(win32::FaceName(font)));
    // The bitmap face is measured with Liberation Sans's shapes; draw it with them too.
    std::string family = face.empty() || vcl::SameText(face, "MS Sans Serif") ? "" : "'" + face + "', ";
    return family + "'Liberation Sans', Arial, 'DejaVu Sans', sans-serif";
  }

  static win32::LOGFONTW FontOf(const vcl::TControl& control) { return control.Font()->LogFont(); }
  static std::string FontColor(const vcl::TControl& control) { return ColorCss(control.Font()->Color(), kText); }

  // --- controls -----------------------------------------------------------------------

  void Control(vcl::TControl& control, int depth) {
    if (!control.Visible() || depth > kMaxDepth) return;
    const TBox box = ScreenBox(control);
    Open(control, box, "ctl");
    Draw(control, box);
    Close();
    if (auto* windowed = dynamic_cast<vcl::TWinControl*>(&control))
      for (int i = 0; i < windowed->ControlCount(); ++i) Control(*windowed->Controls(i), depth + 1);
  }

  void Draw(vcl::TControl& c, const TBox& box) {
    const win32::LOGFONTW font = FontOf(c);
    const std::string ink = FontColor(c);
    const std::u16string caption = Wide(c.Caption());
    if (dynamic_cast<vcl::TCustomLabel*>(&c)) {
      if (!Ord(&c, "Transparent", 0)) Rect(box, ColorCss(c.Color(), kFace), nullptr);
      const int64_t alignment = Ord(&c, "Alignment", vcl::taLeftJustify);
      const THAlign align = alignment == vcl::taCenter ? THAlign::Center
                            : alignment == vcl::taRightJustify ? THAlign::Right
                                                               : THAlign::Left;
      // An autosized label grows with its text, so it is never cut.
      const bool autoSize = Ord(&c, "AutoSize", 1) != 0;
      if (Ord(&c, "WordWrap", 0) && !autoSize) {
        WrappedText(box, caption, font, ink);
      } else {
        TBox area = box;
        if (autoSize) {
          win32::LOGFONTW f = font;
          f.lfCharSet = options_.Charset;
          const int grown = win32::MeasureText(f, tools::DisplayedCaption(caption)).cx;
          if (grown > area.W) {
            if (options_.RightToLeft) area.X -= grown - area.W;
            area.W = grown;
          }
        }
        Text(area, caption, font, ink, align, false, !autoSize);
      }
    } else if (auto* memo = dynamic_cast<vcl::TCustomMemo*>(&c)) {
      Field(box, ColorCss(c.Color(), kWindow));
      Lines(box.Inset(3), *memo->Lines(), font, ink);
    } else if (dynamic_cast<vcl::TCustomEdit*>(&c) || dynamic_cast<vcl::TCustomComboBox*>(&c)) {
      Field(box, ColorCss(c.Color(), kWindow));
      Text(box.Inset(3), Wide(c.Text()), font, ink, THAlign::Left, true, true, false);
      if (dynamic_cast<vcl::TCustomComboBox*>(&c)) DropButton(box);
    } else if (auto* list = dynamic_cast<vcl::TCustomListBox*>(&c)) {
      Field(box, ColorCss(c.Color(), kWindow));
      const int itemHeight = static_cast<int>(std::clamp<int64_t>(Ord(&c, "ItemHeight", 13), 1, 1000));
      Lines(box.Inset(3), *list->Items(), font, ink, itemHeight);
    } else if (auto* view = dynamic_cast<vcl::TCustomListView*>(&c)) {
      Field(box, ColorCss(c.Color(), kWindow));
      Columns(box.Inset(2), *view, font);
    } else if (auto* bar = dynamic_cast<vcl::TStatusBar*>(&c)) {
      Rect(box, kFace, nullptr);
      StatusPanels(box, *bar, font, ink);
    } else if (dynamic_cast<vcl::TCustomCheckBox*>(&c) || dynamic_cast<vcl::TRadioButton*>(&c)) {
      CheckBox(dynamic_cast<vcl::TWinControl&>(c), box, caption, font, ink);
    } else if (dynamic_cast<vcl::TButtonControl*>(&c)) {
      Rect(box, kFace, nullptr);
      Bevel(box, true, 2);
      if (Ord(&c, "Default", 0)) Rect(box, "none", kDarkShadow);
      Text(box.Inset(3), caption, font, ink, THAlign::Center, true, true);
    } else if (dynamic_cast<vcl::TCustomGroupBox*>(&c)) {
      GroupBox(box, caption, font, ink, ColorCss(c.Color(), kFace));
    } else if (dynamic_cast<vcl::TCustomPanel*>(&c)) {
      Rect(box, ColorCss(c.Color(), kFace), nullptr);
      const int64_t outer = Ord(&c, "BevelOuter", 2), inner = Ord(&c, "BevelInner", 0);  // bvNone, bvLowered, bvRaised
      if (outer) Bevel(box, outer == 2, 1);
      if (inner) Bevel(box.Inset(outer ? 1 : 0), inner == 2, 1);
      Text(box.Inset(2), caption, font, ink, THAlign::Center, true, true);
    } else if (auto* image = dynamic_cast<vcl::TImage*>(&c)) {
      Image(box, *image);
    } else if (dynamic_cast<vcl::TWinControl*>(&c)) {
      Rect(box, ColorCss(c.Color(), kFace), nullptr);
      Bevel(box, false, 1);
      Text(box.Inset(2), caption, font, ink, THAlign::Left, true, true);
    }
  }

  void Lines(const TBox& area, const vcl::TStrings& lines, const win32::LOGFONTW& font, const std::string& ink,
             int lineHeight = 0) {
    win32::LOGFONTW f = font;
    f.lfCharSet = options_.Charset;
    if (lineHeight <= 0) lineHeight = std::max<int>(win32::TextMetrics(f).tmHeight, 1);
    for (int i = 0, y = area.Y; i < lines.Count() && y + lineHeight <= area.Y + area.H; ++i, y += lineHeight)
      Text({area.X, y, area.W, lineHeight}, Wide(lines.Strings(i)), font, ink, THAlign::Left, true, true, false);
  }

  // A label's text broken at blanks into the lines its width holds.
  void WrappedText(const TBox& box, const std::u16string& caption, const win32::LOGFONTW& font, const std::string& ink) {
    win32::LOGFONTW f = font;
    f.lfCharSet = options_.Charset;
    const std::u16string shown = tools::DisplayedCaption(caption);
    const int lineHeight = std::max<int>(win32::TextMetrics(f).tmHeight, 1);
    std::size_t start = 0;
    int y = box.Y;
    while (start < shown.size() && y < box.Y + box.H) {
      std::size_t end = shown.size(), lastBlank = std::u16string::npos;
      // Greedy: the longest run of words that fits; a word longer than the line stands alone.
      for (std::size_t i = start; i <= shown.size(); ++i) {
        if (i < shown.size() && shown[i] != u' ') continue;
        if (win32::MeasureText(f, shown.substr(start, i - start)).cx > box.W && lastBlank != std::u16string::npos) {
          end = lastBlank;
          break;
        }
        lastBlank = i;
      }
      Text({box.X, y, box.W, lineHeight}, shown.substr(start, end - start), font, ink, THAlign::Left, false, true,
           false);
      start = end < shown.size() ? end + 1 : end;
      y += lineHeight;
    }
  }

  void Columns(const TBox& area, const vcl::TCustomListView& view, const win32::LOGFONTW& font) {
    if (Ord(&view, "ViewStyle", 0) != 3) return;  // only the report view has a header
    const int height = 17;
    int x = 0;
    const vcl::TListColumns& columns = *view.Columns();
    for (int i = 0; i < columns.Count() && x < area.W; ++i) {
      const vcl::TListColumn* column = columns.Items(i);
      const int w = static_cast<int>(std::clamp<int64_t>(Ord(column, "Width", 50), 0, 10000));
      TBox cell{area.X + x, area.Y, std::min(w, area.W - x), height};
      if (options_.RightToLeft) cell.X = area.X + area.W - x - cell.W;
      Rect(cell, kFace, nullptr);
      Bevel(cell, true, 1);
      Text(cell.Inset(4), Wide(Str(column, "Caption")), font, kText, THAlign::Left, true, true, false);
      x += w;
    }
    if (x < area.W) {
      TBox rest{area.X + x, area.Y, area.W - x, height};
      if (options_.RightToLeft) rest.X = area.X;
      Rect(rest, kFace, nullptr);
      Bevel(rest, true, 1);
    }
  }

  void StatusPanels(const TBox& box, const vcl::TStatusBar& bar, const win32::LOGFONTW& font, const std::string& ink) {
    const vcl::TStatusPanels& panels = *bar.Panels();
    if (Ord(&bar, "SimplePanel", 0) || panels.Count() == 0) {
      Text(box.Inset(3), Wide(Str(&bar, "SimpleText")), font, ink, THAlign::Left, true, true, false);
      return;
    }
    int x = 0;
    for (int i = 0; i < panels.Count() && x < box.W; ++i) {
      const vcl::TStatusPanel* panel = panels.Items(i);
      // The last panel takes what is left, as the bar draws it.
      const int w = i + 1 == panels.Count() ? box.W - x
                                             : static_cast<int>(std::clamp<int64_t>(Ord(panel, "Width", 50), 0, 10000));
      TBox cell{box.X + x, box.Y + 2, std::min(w, box.W - x) - 2, box.H - 2};
      if (options_.RightToLeft) cell.X = box.X + box.W - x - cell.W;
      Bevel(cell, false, 1);
      Text(cell.Inset(2), Wide(Str(panel, "Text")), font, ink, THAlign::Left, true, true, false);
      x += w;
    }
  }

  void CheckBox(vcl::TWinControl& c, const TBox& box, const std::u16string& caption, const win32::LOGFONTW& font,
                const std::string& ink) {
    if (!Ord(&c, "ParentColor", 1) || c.Color() != vcl::clBtnFace) Rect(box, ColorCss(c.Color(), kFace), nullptr);
    const bool radio = dynamic_cast<vcl::TRadioButton*>(&c) != nullptr;
    // The window's style says on which side the text is (the mirroring swaps it).
    const auto style = static_cast<win32::DWORD>(win32::GetWindowLong(c.Handle(), win32::GWL_STYLE));
    bool textLeft = (style & win32::BS_LEFTTEXT) != 0;
    if (options_.Mirror) textLeft = !textLeft;
    const int mark = 13, y = box.Y + (box.H - mark) / 2;
    const int markX = textLeft ? box.X + box.W - mark : box.X;
    if (radio) {
      out_ += "<circle cx=\"" + std::to_string(markX + 6.5) + "\" cy=\"" + std::to_string(y + 6.5) +
              "\" r=\"5.5\" fill=\"#ffffff\" stroke=\"" + kShadow + "\"/>\n";
      if (Ord(&c, "Checked", 0))
        out_ += "<circle cx=\"" + std::to_string(markX + 6.5) + "\" cy=\"" + std::to_string(y + 6.5) +
                "\" r=\"2\" fill=\"#000000\"/>\n";
    } else {
      Field({markX, y, mark, mark}, kWindow);
      if (Ord(&c, "Checked", 0) || Ord(&c, "State", 0) == 1)
        out_ += "<path d=\"M" + Px(markX + 3) + " " + Px(y + 6) + " l2.5 3 l5 -6\" fill=\"none\" stroke=\"#000\" "
                "stroke-width=\"1.6\"/>\n";
    }
    const TBox area{textLeft ? box.X : box.X + mark + 4, box.Y, std::max(box.W - mark - 4, 0), box.H};
    Text(area, caption, font, ink, textLeft ? THAlign::Right : THAlign::Left, true, true);
  }

  void DropButton(const TBox& box) {
    const TBox button{options_.RightToLeft ? box.X + 2 : box.X + box.W - 18, box.Y + 2, 16, std::max(box.H - 4, 0)};
    Rect(button, kFace, nullptr);
    Bevel(button, true, 1);
  }

  void GroupBox(const TBox& box, const std::u16string& caption, const win32::LOGFONTW& font, const std::string& ink,
                const std::string& face) {
    win32::LOGFONTW f = font;
    f.lfCharSet = options_.Charset;
    const win32::SIZE size = win32::MeasureText(f, tools::DisplayedCaption(caption));
    const int half = size.cy / 2;
    const TBox frame{box.X, box.Y + half, box.W, std::max(box.H - half, 0)};
    Rect(box, face, nullptr);
    Rect({frame.X, frame.Y, std::max(frame.W - 1, 0), std::max(frame.H - 1, 0)}, "none", kShadow);
    Rect({frame.X + 1, frame.Y + 1, std::max(frame.W - 1, 0), std::max(frame.H - 1, 0)}, "none", kLight);
    if (caption.empty()) return;
    // The caption interrupts the frame at the top, 8 pixels in.
    const int width = std::min<int>(size.cx + 2, std::max(box.W - 16, 0));
    const TBox label{options_.RightToLeft ? box.X + box.W - 8 - width : box.X + 8, box.Y, width, size.cy};
    Rect(label, face, nullptr);
    Text(label, caption, font, ink, THAlign::Left, false, true);
  }

  void Image(const TBox& box, vcl::TImage& image) {
    const vcl::TGraphic* graphic = image.Picture() ? image.Picture()->Graphic() : nullptr;
    if (!graphic || graphic->Empty()) return;
    const std::string bytes = graphic->SaveToStream();
    const char* type = bytes.rfind("BM", 0) == 0                       ? "image/bmp"
                       : bytes.rfind(std::string("\0\0\1\0", 4), 0) == 0 ? "image/x-icon"
                       : bytes.rfind("\xFF\xD8", 0) == 0                 ? "image/jpeg"
                                                                         : nullptr;
    if (!type) {
      Rect(box, "none", kShadow);
      return;
    }
    const bool stretch = Ord(&image, "Stretch", 0) != 0;
    const int w = stretch ? box.W : std::min(graphic->Width(), box.W), h = stretch ? box.H : std::min(graphic->Height(), box.H);
    out_ += "<image x=\"" + Px(box.X) + "\" y=\"" + Px(box.Y) + "\" width=\"" + Px(std::max(w, 0)) + "\" height=\"" +
            Px(std::max(h, 0)) + "\" preserveAspectRatio=\"none\" href=\"data:" + type + ";base64," + Base64(bytes) +
            "\"/>\n";
  }

  static std::string Base64(std::string_view bytes) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
      const uint32_t n = static_cast<uint8_t>(bytes[i]) << 16 |
                         (i + 1 < bytes.size() ? static_cast<uint8_t>(bytes[i + 1]) << 8 : 0) |
                         (i + 2 < bytes.size() ? static_cast<uint8_t>(bytes[i + 2]) : 0);
      out += kDigits[n >> 18 & 63];
      out += kDigits[n >> 12 & 63];
      out += i + 1 < bytes.size() ? kDigits[n >> 6 & 63] : '=';
      out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
    }
    return out;
  }

  // --- menus --------------------------------------------------------------------------

  win32::LOGFONTW MenuFont() const {
    win32::NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    win32::SystemParametersInfo(win32::SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    win32::LOGFONTW font = metrics.lfMenuFont;
    font.lfCharSet = options_.Charset;
    return font;
  }

  int MenuTextWidth(const vcl::TMenuItem& item, const win32::LOGFONTW& font) const {
    return win32::MeasureText(font, tools::DisplayedCaption(Wide(item.Caption()))).cx;
  }

  // The menu bar's items side by side; the chain of drop-downs down to the selected item
  // hangs open beneath its top-level item.
  void MenuBar(const TBox& bar) {
    const vcl::TMenuItem& root = *form_->Menu()->Items();
    const win32::LOGFONTW font = MenuFont();
    Rect(bar, kFace, nullptr);
    std::vector<const vcl::TMenuItem*> chain;
    for (const vcl::TMenuItem* item = SelectedMenuItem(); item && item != &root; item = item->Parent())
      chain.insert(chain.begin(), item);
    int x = 0;
    for (int i = 0; i < root.Count() && i < kMaxMenuItems && x < bar.W; ++i) {
      vcl::TMenuItem& item = *root.Items(i);
      if (!item.Visible()) continue;
      const int w = MenuTextWidth(item, font) + 14;
      TBox cell{bar.X + x, bar.Y, w, bar.H};
      if (options_.Mirror) cell.X = bar.X + bar.W - x - w;
      Open(item, cell, "menuitem");
      Rect(cell, "transparent", nullptr);  // the item's whole cell takes clicks
      Text(cell, Wide(item.Caption()), font, kText, THAlign::Center, true, false);
      Close();
      if (!chain.empty() && chain.front() == &item) {
        const bool fromRight = options_.Mirror || options_.RightToLeft;
        DropDown(item, {fromRight ? cell.X + cell.W : cell.X, cell.Y + cell.H}, chain, 1, font, 0);
      }
      x += w;
    }
  }

  struct TPoint {
    int X, Y;
  };

  void DropDown(vcl::TMenuItem& parent, TPoint at, const std::vector<const vcl::TMenuItem*>& chain, std::size_t level,
                const win32::LOGFONTW& font, int depth) {
    if (parent.Count() == 0 || depth > kMaxDepth) return;
    const int rowHeight = std::max<int>(win32::GetSystemMetrics(win32::SM_CYMENU), 17), separator = 8;
    int width = 80, height = 4;
    const int count = std::min(parent.Count(), kMaxMenuItems);
    for (int i = 0; i < count; ++i) {
      const vcl::TMenuItem& item = *parent.Items(i);
      if (!item.Visible()) continue;
      const std::string shortcut = item.GetShortCut() ? vcl::ShortCutToText(item.GetShortCut()) : std::string();
      const int shortcutWidth = shortcut.empty() ? 0 : win32::MeasureText(font, text::Utf8ToWide(shortcut)).cx + 20;
      width = std::max(width, MenuTextWidth(item, font) + shortcutWidth + 40);
      height += item.IsLine() ? separator : rowHeight;
    }
    // Right to left, a menu hangs from the right end of its item (`at` is that end).
    const bool fromRight = options_.Mirror || options_.RightToLeft;
    TBox box{fromRight ? at.X - width : at.X, at.Y, width, height};
    box.X = std::clamp(box.X, 0, std::max(width_ - width, 0));
    Rect(box, kFace, nullptr);
    Bevel(box, true, 2);
    int y = box.Y + 2;
    for (int i = 0; i < count; ++i) {
      vcl::TMenuItem& item = *parent.Items(i);
      if (!item.Visible()) continue;
      if (item.IsLine()) {
        Line(box.X + 3, y + 3, box.X + box.W - 4, y + 3, kShadow);
        Line(box.X + 3, y + 4, box.X + box.W - 4, y + 4, kLight);
        y += separator;
        continue;
      }
      const TBox row{box.X + 3, y, box.W - 6, rowHeight};
      const bool open = level < chain.size() && chain[level] == &item;
      Open(item, row, "menuitem");
      Rect(row, open && level + 1 < chain.size() ? "#0a246a" : "transparent", nullptr);
      const char* ink = open && level + 1 < chain.size() ? "#ffffff" : item.Enabled() ? kText : kShadow;
      const TBox textArea{row.X + 17, row.Y, row.W - 34, row.H};
      Text(textArea, Wide(item.Caption()), font, ink, THAlign::Left, true, false);
      if (item.GetShortCut())
        Text(textArea, text::Utf8ToWide(vcl::ShortCutToText(item.GetShortCut())), font, ink, THAlign::Right, true,
             false, false);
      Close();
      if (open && item.Count() > 0)
        DropDown(item, {fromRight ? box.X + 3 : box.X + box.W - 3, y - 3}, chain, level + 1, font, depth + 1);
      y += rowHeight;
    }
  }

  // The menu item that shows the selected object; null when the selection is none.
  vcl::TMenuItem* SelectedMenuItem() const {
    for (const auto& [component, ids] : objects_)
      if (std::find(ids.begin(), ids.end(), options_.Selected) != ids.end())
        if (auto* item = dynamic_cast<vcl::TMenuItem*>(component)) return item;
    return nullptr;
  }

  // A selected object that nothing drawn shows (a dialog's title, a hidden control) is
  // named beneath the form, so that the translator is not left looking for it.
  void NotShown() {
    if (options_.Selected == 0) return;
    for (const auto& [component, ids] : objects_) {
      if (drawn_.count(component) || std::find(ids.begin(), ids.end(), options_.Selected) == ids.end()) continue;
      out_ += "<g class=\"not-shown\" data-name=\"" + XmlEscape(component->Name()) + "\" data-object=\"" +
              std::to_string(options_.Selected) + "\"></g>\n";
    }
  }

  vcl::TComponent& root_;
  vcl::TCustomForm* form_ = nullptr;
  const TFormSvgOptions& options_;
  std::map<vcl::TComponent*, std::vector<uint32_t>> objects_;
  std::set<const vcl::TComponent*> drawn_;
  std::string out_, marks_;
  int originX_ = 0, originY_ = 0, width_ = 1, height_ = 1, clips_ = 0;
};

}  // namespace

std::string XmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default:
        // Control characters are not allowed in XML 1.0; they show as nothing.
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') break;
        out += c;
    }
  }
  return out;
}

std::string FormSvg(vcl::TComponent& root, const tools::TObjectForm& catalogued, const TFormSvgOptions& options) {
  if (auto* form = dynamic_cast<vcl::TCustomForm*>(&root)) return TSvgPainter(root, catalogued, options).Paint(*form);
  return TSvgPainter(root, catalogued, options).PaintSurface();
}

}  // namespace quintrel::editors
