#include "tools/accel.h"

#include <algorithm>
#include <map>
#include <optional>

#include "platform/vcl/controls.h"
#include "platform/vcl/menus.h"
#include "platform/vcl/textutil.h"
#include "strings/toolconsts.h"
#include "tools/intlobjects.h"
#include "tools/termtext.h"

namespace quintrel::tools {

namespace {

struct TCaseRange {
  char16_t Lower, Upper;  // the first lower-case letter and its capital
  char16_t Count;         // letters in a row
};
// Alphabets whose capitals are a fixed distance from their small letters.
constexpr TCaseRange kShifted[] = {
    {u'a', u'A', 26},       {0x00E0, 0x00C0, 23},  {0x00F8, 0x00D8, 7},  {0x03B1, 0x0391, 17},
    {0x03C3, 0x03A3, 9},    {0x03AD, 0x0388, 3},   {0x0430, 0x0410, 32}, {0x0450, 0x0400, 16},
    {0x0561, 0x0531, 38},   {0xFF41, 0xFF21, 26},
};
// Blocks where a capital and its small letter alternate (capital on the even or odd code).
struct TPairRange {
  char16_t First, Last;
  bool CapitalEven;
};
constexpr TPairRange kPaired[] = {{0x0100, 0x012F, true},  {0x0132, 0x0137, true},  {0x0139, 0x0148, false},
                                  {0x014A, 0x0177, true},  {0x0179, 0x017E, false}, {0x01A0, 0x01A5, true},
                                  {0x01DE, 0x01EF, true},  {0x0460, 0x0481, true},  {0x048A, 0x04BF, true},
                                  {0x04C1, 0x04CE, false}, {0x04D0, 0x052F, true},  {0x1E00, 0x1EFF, true}};

}  // namespace

std::size_t AmpersandPosition(std::u16string_view caption) {
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] != u'&') continue;
    if (i + 1 < caption.size() && caption[i + 1] == u'&') {
      ++i;  // a literal ampersand
      continue;
    }
    return i;
  }
  return std::u16string_view::npos;
}

char16_t Accelerator(std::u16string_view caption) {
  const std::size_t at = AmpersandPosition(caption);
  return at == std::u16string_view::npos || at + 1 >= caption.size() ? 0 : caption[at + 1];
}

bool IsAcceleratorCharacter(char16_t c) {
  if (c < 0x80) return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
  if (c == 0xAA || c == 0xB5 || c == 0xBA) return true;
  if (c >= 0xC0 && c <= 0x24F) return c != 0xD7 && c != 0xF7;
  if (c >= 0x370 && c <= 0x3FF) return c >= 0x386 && c != 0x387 && c != 0x3F6;
  if (c >= 0x400 && c <= 0x52F) return !(c >= 0x482 && c <= 0x489);
  if (c >= 0x531 && c <= 0x587) return (c <= 0x556) || c >= 0x561;
  if (c >= 0x5D0 && c <= 0x5EA) return true;                                // Hebrew
  if (c >= 0x620 && c <= 0x64A) return true;                                // Arabic letters
  if ((c >= 0x660 && c <= 0x669) || (c >= 0x6F0 && c <= 0x6F9)) return true;  // Arabic digits
  if (c >= 0x671 && c <= 0x6D3) return true;
  if (c >= 0xE01 && c <= 0xE30) return true;  // Thai consonants and leading vowels
  if ((c >= 0xE40 && c <= 0xE46) || (c >= 0xE50 && c <= 0xE59)) return true;
  if (c >= 0x1E00 && c <= 0x1FFF) return true;
  if (c >= 0x3041 && c <= 0x30FF) return c != 0x30A0 && c != 0x30FB;  // kana
  if (c >= 0x3400 && c <= 0x9FFF) return true;                         // ideographs
  if (c >= 0xAC00 && c <= 0xD7A3) return true;                         // Hangul
  if ((c >= 0xFF10 && c <= 0xFF19) || (c >= 0xFF21 && c <= 0xFF3A) || (c >= 0xFF41 && c <= 0xFF5A)) return true;
  if (c >= 0xFF66 && c <= 0xFF9D) return true;  // half-width katakana
  return false;
}

char16_t UpperAccelerator(char16_t c) {
  if (c == 0x00FF) return 0x0178;
  if (c == 0x03C2) return 0x03A3;  // final sigma
  if (c == 0x03AC) return 0x0386;
  if (c == 0x03CC) return 0x038C;
  if (c == 0x03CD || c == 0x03CE) return static_cast<char16_t>(c - 0x3F);
  for (const TCaseRange& r : kShifted)
    if (c >= r.Lower && c < r.Lower + r.Count) return static_cast<char16_t>(c - r.Lower + r.Upper);
  for (const TPairRange& r : kPaired)
    if (c >= r.First && c <= r.Last && ((c % 2 == 0) != r.CapitalEven)) return static_cast<char16_t>(c - 1);
  return c;
}

char16_t LowerAccelerator(char16_t c) {
  if (c == 0x0178) return 0x00FF;
  if (c == 0x0386) return 0x03AC;
  if (c == 0x038C) return 0x03CC;
  if (c == 0x038E || c == 0x038F) return static_cast<char16_t>(c + 0x3F);
  for (const TCaseRange& r : kShifted)
    if (c >= r.Upper && c < r.Upper + r.Count) return static_cast<char16_t>(c - r.Upper + r.Lower);
  for (const TPairRange& r : kPaired)
    if (c >= r.First && c <= r.Last && ((c % 2 == 0) == r.CapitalEven)) return static_cast<char16_t>(c + 1);
  return c;
}

std::u16string DisplayedCaption(std::u16string_view caption) {
  std::u16string out;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == u'&') {
      if (i + 1 < caption.size() && caption[i + 1] == u'&') ++i;
      else continue;
    }
    out += caption[i];
  }
  return out;
}

std::u16string ClearAccelerator(std::u16string_view caption) {
  std::u16string out(caption);
  const std::size_t at = AmpersandPosition(caption);
  if (at != std::u16string::npos) out.erase(at, 1);
  return out;
}

namespace {

constexpr uint8_t kAccelClasses[] = {module::ucMainMenu, module::ucMenuItem,    module::ucPopupMenu,
                                     module::ucLabel,    module::ucButton,      module::ucCheckBox,
                                     module::ucRadioButton, module::ucGroupBox, module::ucTabControl,
                                     module::ucPageControl};

std::string StripStar(std::string name) {
  if (!name.empty() && name.front() == '*') name.erase(0, 1);
  return name;
}

// The group of a component: its parent control, or its menu level.
std::string GroupOf(const vcl::TComponent* form, const std::string& component, uint8_t zodClass) {
  const bool menu = zodClass == module::ucMainMenu || zodClass == module::ucMenuItem || zodClass == module::ucPopupMenu;
  const vcl::TComponent* live = form ? form->FindComponent(component) : nullptr;
  if (const auto* item = dynamic_cast<const vcl::TMenuItem*>(live))
    return "menu " + (item->Parent() ? std::to_string(reinterpret_cast<uintptr_t>(item->Parent())) : std::string());
  if (const auto* control = dynamic_cast<const vcl::TControl*>(live))
    return "parent " + (control->Parent() ? control->Parent()->Name() : std::string());
  return menu ? "menus" : "controls";
}

bool Blank(char16_t c) { return c == u' ' || c == u'\t' || c == 0x3000 || c == 0xA0; }

}  // namespace

std::vector<TAccelRow> AccelRows(module::TZod& zod, int module, const std::string& formName,
                                 module::TLanguageId language, const vcl::TComponent* form) {
  const std::vector<TObjectForm> tree = ObjectTree(zod, module);
  const auto found = std::find_if(tree.begin(), tree.end(), [&](const TObjectForm& f) {
    return vcl::SameText(StripStar(f.Name), StripStar(formName));
  });
  if (found == tree.end()) throw rtl::Exception(rtl::Format(strings::_SPseudoNoForm, formName));
  std::vector<TAccelRow> rows;
  for (const TObjectLeaf& leaf : found->Leaves) {
    const module::TZodObject& o = leaf.Object;
    if (!vcl::SameText(StripStar(leaf.Property), "Caption") || o.Localization == 0 || leaf.Component.empty()) continue;
    if (std::find(std::begin(kAccelClasses), std::end(kAccelClasses), o.ZodClass) == std::end(kAccelClasses)) continue;
    TAccelRow row;
    row.Component = StripStar(leaf.Component);
    row.Object = o.Ident;
    row.Term = o.Localization;
    if (const std::optional<TTermText> text = ReadTermText(zod, module, language, o.Localization)) {
      row.Text = text->Text;
      row.SignedOff = text->Status == module::usSignedOff;
    }
    row.Group = GroupOf(form, row.Component, o.ZodClass);
    rows.push_back(std::move(row));
  }
  MarkAccelerators(rows);
  return rows;
}

void MarkAccelerators(std::vector<TAccelRow>& rows) {
  // Per group, each lower-cased accelerator with the first row that has it and its number.
  std::map<std::string, std::map<char16_t, std::pair<std::size_t, int>>> used;
  int collisions = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    TAccelRow& row = rows[i];
    const char16_t accelerator = Accelerator(row.Text);
    if (accelerator == 0) {
      row.Mark.clear();
      continue;
    }
    auto& group = used[row.Group];
    auto [it, added] = group.emplace(LowerAccelerator(accelerator), std::make_pair(i, 0));
    if (added) {
      row.Mark = "OK";
      continue;
    }
    if (it->second.second == 0) it->second.second = ++collisions;
    row.Mark = rows[it->second.first].Mark = std::to_string(it->second.second);
  }
}

std::size_t AssignAccelerators(std::vector<TAccelRow>& rows) {
  // Per group, the letters given in this run and the row holding each.
  std::map<std::string, std::map<char16_t, std::size_t>> taken;
  std::size_t changed = 0;
  auto assign = [&](TAccelRow& row, std::size_t at) {
    row.Text.insert(at, 1, u'&');
    row.Changed = true;
  };
  for (std::size_t i = 0; i < rows.size(); ++i) {
    TAccelRow& row = rows[i];
    if (row.Text.empty() || row.Text == u"-" || row.SignedOff || AmpersandPosition(row.Text) != std::u16string::npos)
      continue;
    auto& letters = taken[row.Group];
    bool done = false;
    for (std::size_t at = 0; at < row.Text.size() && !done; ++at) {
      const char16_t c = row.Text[at];
      if (Blank(c) || c == u'&' || (c >= 0xDC00 && c < 0xE000) || letters.contains(LowerAccelerator(c))) continue;
      letters.emplace(LowerAccelerator(c), i);
      assign(row, at);
      done = true;
    }
    // Every candidate taken: move the accelerator of a caption holding one of them onto a
    // letter still free, and take its place. A free character (a blank among them) ends it.
    for (std::size_t at = 0; at < row.Text.size() && !done; ++at) {
      const char16_t c = row.Text[at];
      const auto holder = letters.find(LowerAccelerator(c));
      if (Blank(c) || holder == letters.end()) break;
      TAccelRow& other = rows[holder->second];
      if (other.SignedOff) continue;
      std::u16string cleared = ClearAccelerator(other.Text);
      for (std::size_t j = 0; j < cleared.size(); ++j) {
        const char16_t o = cleared[j];
        if (o == u'&' || Blank(o) || (o >= 0xDC00 && o < 0xE000) || letters.contains(LowerAccelerator(o))) continue;
        other.Text = cleared;
        assign(other, j);
        assign(row, at);
        done = true;
        break;
      }
    }
  }
  for (const TAccelRow& row : rows) changed += row.Changed ? 1 : 0;
  MarkAccelerators(rows);
  return changed;
}

std::size_t StoreAccelerators(module::TZod& zod, int module, module::TLanguageId language,
                              std::vector<TAccelRow>& rows) {
  std::size_t stored = 0;
  for (TAccelRow& row : rows) {
    if (!row.Changed) continue;
    if (StoreTermText(zod, module, language, row.Term, row.Text, module::usForReview)) ++stored;
    row.Changed = false;
  }
  return stored;
}

}  // namespace quintrel::tools
