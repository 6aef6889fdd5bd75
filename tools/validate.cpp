#include "tools/validate.h"

#include <algorithm>
#include <limits>
#include <map>
#include <optional>

#include "platform/rtl/utf8.h"
#include "platform/vcl/extctrls.h"
#include "platform/vcl/forms.h"
#include "platform/vcl/menus.h"
#include "platform/vcl/stdctrls.h"
#include "platform/vcl/textutil.h"
#include "platform/vcl/typinfo.h"
#include "platform/win32/gdi.h"
#include "strings/toolconsts.h"
#include "tools/accel.h"
#include "tools/termtext.h"

namespace quintrel::tools {

namespace {

namespace qs = quintrel::strings;

struct TCheckName {
  const char* Name;
  TValidateCheck Check;
};
constexpr TCheckName kCheckNames[] = {{"ampersand", vcAmpersand},
                                      {"clipping", vcClipping},
                                      {"accelerators", vcAccelerators},
                                      {"autosize", vcAutoSize},
                                      {"pictures", vcPictures}};

// An ordinal published property, or `otherwise` when the class has none.
int64_t Ord(const vcl::TObject* instance, std::string_view name, int64_t otherwise) {
  vcl::PPropInfo info = vcl::GetPropInfo(instance, name);
  return info ? vcl::GetOrdProp(instance, info) : otherwise;
}

std::string StripStar(std::string name) {
  if (!name.empty() && name.front() == '*') name.erase(0, 1);
  return name;
}

struct TRect {
  int64_t Left, Top, Right, Bottom;
  bool Intersects(const TRect& o) const {
    return std::max(Left, o.Left) < std::min(Right, o.Right) && std::max(Top, o.Top) < std::min(Bottom, o.Bottom);
  }
};

}  // namespace

std::optional<TCaptionRoom> CaptionRoom(const vcl::TControl& control, int64_t lineHeight) {
  const int64_t width = control.Width(), height = control.Height();
  if (width <= 0 || height <= 0 || lineHeight <= 0) return std::nullopt;  // nothing shows on a control of no size
  constexpr int64_t kAnyHeight = std::numeric_limits<int64_t>::max();
  if (dynamic_cast<const vcl::TCustomLabel*>(&control)) {
    if (Ord(&control, "AutoSize", 1)) return std::nullopt;
    // A word-wrapped label breaks its caption into as many lines as its height holds.
    const int64_t lines = Ord(&control, "WordWrap", 0) ? (height + 1) / lineHeight : 1;
    return TCaptionRoom{width * lines, kAnyHeight, qs::_SValidateClippedLabel};
  }
  if (auto* bitBtn = dynamic_cast<const vcl::TBitBtn*>(&control)) {
    int64_t w = width, h = height;
    const vcl::TBitmap* glyph = bitBtn->Glyph();
    const int64_t glyphs = std::max<int64_t>(Ord(&control, "NumGlyphs", 1), 1);
    const int64_t glyphWidth = glyph ? glyph->Width() / glyphs : 0, glyphHeight = glyph ? glyph->Height() : 0;
    if (glyphWidth > 0 && glyphHeight > 0) {
      const int64_t spacing = Ord(&control, "Spacing", 4), margin = Ord(&control, "Margin", -1);
      const bool beside = Ord(&control, "Layout", 0) < 2;  // glyph left or right of the text
      if (beside) w -= glyphWidth + spacing + (margin == -1 ? glyphWidth / 2 : margin);
      else h -= glyphHeight + spacing + (margin == -1 ? glyphHeight / 2 : margin);
    }
    return TCaptionRoom{w - 4, h - 4, qs::_SValidateClippedImageButton};
  }
  if (dynamic_cast<const vcl::TCustomCheckBox*>(&control) || dynamic_cast<const vcl::TRadioButton*>(&control))
    return TCaptionRoom{width - 19, height, qs::_SValidateClippedCheckBox};
  if (dynamic_cast<const vcl::TButtonControl*>(&control))
    return TCaptionRoom{width - 4, height - 4, qs::_SValidateClippedButton};
  if (dynamic_cast<const vcl::TCustomGroupBox*>(&control))
    return TCaptionRoom{width - 15, kAnyHeight, qs::_SValidateClippedGroupBox};
  return std::nullopt;
}

namespace {

class TFormValidator {
public:
  TFormValidator(module::TZod& zod, int module, const TObjectForm& catalogued, vcl::TComponent& form,
                 const TValidateOptions& options)
      : zod_(zod), module_(module), catalogued_(catalogued), form_(form), options_(options),
        charset_(zod.GetCharsetOfLanguage(module, options.Language)) {}

  std::vector<TFinding> Run() {
    for (const TObjectLeaf& leaf : catalogued_.Leaves) {
      if (leaf.Object.Localization == 0) continue;
      const std::string compName = StripStar(leaf.Component);
      vcl::TComponent* component = compName.empty() ? &form_ : form_.FindComponent(compName);
      if (!component) continue;
      property_ = StripStar(leaf.Property);
      component_ = compName.empty() ? form_.Name() : component->Name();
      if (vcl::SameText(property_, "Picture.Data")) {
        if (options_.Checks & vcPictures) CheckPicture(*component, leaf.Object.Localization);
        continue;
      }
      const std::optional<TTermText> term = ReadTermText(zod_, module_, options_.Language, leaf.Object.Localization);
      if (!term || !vcl::SameText(property_, "Caption")) continue;
      Check(*component, term->Text);
    }
    return std::move(findings_);
  }

private:
  void Add(const std::string& message) {
    findings_.push_back({StripStar(catalogued_.Name), component_, property_, message});
  }

  void Check(vcl::TComponent& component, const std::u16string& text) {
    auto* control = dynamic_cast<vcl::TControl*>(&component);
    auto* item = dynamic_cast<vcl::TMenuItem*>(&component);
    if (!control && !item) return;
    if ((options_.Checks & vcAmpersand) && AmpersandPosition(text) != std::u16string::npos) {
      const char16_t accelerator = Accelerator(text);
      if (accelerator == 0 || !IsAcceleratorCharacter(accelerator)) Add(qs::_SValidateInvalidAmpersand);
    }
    if (control) {
      if (options_.Checks & vcClipping) CheckClipping(*control, text);
      if (options_.Checks & vcAutoSize) CheckAutoSize(*control, text);
    }
    if (options_.Checks & vcAccelerators) CheckAccelerator(control, item, text);
  }

  win32::SIZE Measure(const vcl::TControl& control, const std::u16string& text) const {
    win32::LOGFONTW font = control.Font()->LogFont();
    font.lfCharSet = charset_;
    return win32::MeasureText(font, DisplayedCaption(text));
  }

  void CheckClipping(vcl::TControl& control, const std::u16string& text) {
    const win32::SIZE size = Measure(control, text);
    if (size.cy <= 0) return;
    const std::optional<TCaptionRoom> room = CaptionRoom(control, size.cy);
    if (room && (size.cx > room->Width || size.cy > room->Height)) Add(room->Clipped);
  }

  void CheckAutoSize(vcl::TControl& control, const std::u16string& text) {
    if (!dynamic_cast<vcl::TCustomLabel*>(&control) || !Ord(&control, "AutoSize", 1) || !control.Parent()) return;
    const win32::SIZE size = Measure(control, text);
    TRect grown{control.Left(), control.Top(), control.Left(), control.Top()};
    if (!Ord(&control, "WordWrap", 0)) {
      grown.Right += size.cx;
      grown.Bottom += size.cy + 1;
    } else {
      if (control.Width() <= 0) return;
      grown.Right += control.Width();
      grown.Bottom += (size.cx / control.Width()) * (static_cast<int64_t>(size.cy) + 1);
    }
    const vcl::TWinControl& parent = *control.Parent();
    for (int i = 0; i < parent.ControlCount(); ++i) {
      const vcl::TControl* other = parent.Controls(i);
      if (other == &control) continue;
      const TRect rect{other->Left(), other->Top(), static_cast<int64_t>(other->Left()) + other->Width(),
                       static_cast<int64_t>(other->Top()) + other->Height()};
      if (grown.Intersects(rect)) Add(rtl::Format(qs::_SValidateAutoSizedOnto, other->Name()));
    }
  }

  void CheckPicture(vcl::TComponent& component, uint32_t term) {
    auto* image = dynamic_cast<vcl::TImage*>(&component);
    if (!image || Ord(image, "AutoSize", 0) || Ord(image, "Stretch", 0)) return;
    const std::optional<std::vector<uint8_t>> bytes = ReadTermBytes(zod_, module_, options_.Language, term);
    if (!bytes || bytes->size() <= 1) return;
    vcl::TPicture picture;
    picture.Assign(image->Picture());
    if (!picture.Graphic()) picture.Bitmap();
    try {
      picture.Graphic()->LoadFromStream(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    } catch (const rtl::Exception&) {
      return;  // an image the model cannot read has no size to compare
    }
    if (picture.Width() > image->Width() || picture.Height() > image->Height()) Add(qs::_SValidatePictureTooLarge);
  }

  // Accelerators compete among the controls of one parent and the items of one menu level.
  void CheckAccelerator(const vcl::TControl* control, const vcl::TMenuItem* item, const std::u16string& text) {
    const char16_t accelerator = Accelerator(text);
    if (accelerator == 0) return;
    const void* group = control ? static_cast<const void*>(control->Parent()) : static_cast<const void*>(item->Parent());
    if (!group) return;  // the form's own caption competes with nothing
    auto& used = accelerators_[group];
    const char16_t key = UpperAccelerator(accelerator);
    auto found = used.find(key);
    if (found != used.end() && found->second != component_) {
      Add(rtl::Format(qs::_SValidateDuplicateAccelerator, found->second));
      return;
    }
    if (found == used.end()) used.emplace(key, component_);
  }

  module::TZod& zod_;
  int module_;
  const TObjectForm& catalogued_;
  vcl::TComponent& form_;
  const TValidateOptions& options_;
  uint8_t charset_;
  std::string component_, property_;
  std::map<const void*, std::map<char16_t, std::string>> accelerators_;
  std::vector<TFinding> findings_;
};

}  // namespace

vcl::TComponent* ShownForm(ide::TIToolServices& services, const std::string& unit) {
  auto module = services.GetModuleInterface(unit);
  if (!module || !module->ShowForm()) return nullptr;
  auto formInterface = module->GetFormInterface();
  auto component = formInterface ? formInterface->GetFormComponent() : nullptr;
  return component ? component->GetComponentHandle() : nullptr;
}

unsigned ParseChecks(std::string_view list) {
  unsigned checks = 0;
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    const std::string_view name = list.substr(0, comma);
    const auto known = std::find_if(std::begin(kCheckNames), std::end(kCheckNames),
                                    [&](const TCheckName& c) { return vcl::SameText(c.Name, name); });
    if (known == std::end(kCheckNames)) throw rtl::Exception(rtl::Format(qs::_SValidateUnknownCheck, std::string(name)));
    checks |= known->Check;
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return checks;
}

std::vector<TFinding> ValidateForm(module::TZod& zod, int module, const TObjectForm& catalogued,
                                   vcl::TComponent& form, const TValidateOptions& options) {
  return TFormValidator(zod, module, catalogued, form, options).Run();
}

std::vector<std::string> ForEachLiveForm(ide::TIToolServices& services, module::TZod& zod, int module,
                                         const std::string& onlyForm, const TProgress& progress,
                                         const TLiveFormVisitor& visit) {
  const std::vector<TObjectForm> tree = ObjectTree(zod, module);
  std::vector<std::string> problems;
  const int units = services.GetUnitCount();
  for (int i = 0; i < units; ++i) {
    const std::string unit = services.GetUnitName(i);
    const bool wasOpen = services.IsFileOpen(unit);
    if (!wasOpen && !services.OpenFile(unit)) continue;
    // A unit the walk opened is closed again on every path.
    struct TClose {
      ide::TIToolServices& services;
      const std::string& unit;
      bool close;
      ~TClose() {
        if (close && services.IsFileOpen(unit)) services.CloseFile(unit);
      }
    } closeAgain{services, unit, !wasOpen};
    vcl::TComponent* form = nullptr;
    try {
      form = ShownForm(services, unit);
    } catch (const rtl::Exception& e) {
      problems.push_back(e.Message());
      continue;
    }
    if (!form) continue;  // a unit without a form
    if (!onlyForm.empty() && !vcl::SameText(form->Name(), onlyForm)) continue;
    const auto catalogued = std::find_if(tree.begin(), tree.end(), [&](const TObjectForm& f) {
      return vcl::SameText(StripStar(f.Name), form->Name());
    });
    if (catalogued == tree.end()) continue;
    Report(progress, form->Name(), static_cast<std::size_t>(i + 1), static_cast<std::size_t>(units));
    visit(*catalogued, *form);
  }
  return problems;
}

TValidateReport ValidateProject(ide::TIToolServices& services, module::TZod& zod, int module,
                                const TValidateOptions& options, const std::string& onlyForm,
                                const TProgress& progress) {
  Report(progress, qs::_SValidateInitializing, 0, 0);
  TValidateReport report;
  report.Problems = ForEachLiveForm(services, zod, module, onlyForm, progress,
                                    [&](const TObjectForm& catalogued, vcl::TComponent& form) {
                                      std::vector<TFinding> found = ValidateForm(zod, module, catalogued, form, options);
                                      report.Findings.insert(report.Findings.end(), found.begin(), found.end());
                                      ++report.Forms;
                                    });
  return report;
}

std::map<uint32_t, int64_t> CaptionWidths(ide::TIToolServices& services, module::TZod& zod, int module,
                                          module::TLanguageId language, std::vector<std::string>* problems,
                                          const TProgress& progress) {
  const uint8_t charset = zod.GetCharsetOfLanguage(module, language);
  std::map<uint32_t, int64_t> widths;
  std::vector<std::string> found =
      ForEachLiveForm(services, zod, module, {}, progress, [&](const TObjectForm& catalogued, vcl::TComponent& form) {
        for (const TObjectLeaf& leaf : catalogued.Leaves) {
          if (!vcl::SameText(StripStar(leaf.Property), "Caption")) continue;
          const std::string compName = StripStar(leaf.Component);
          auto* control = dynamic_cast<vcl::TControl*>(compName.empty() ? &form : form.FindComponent(compName));
          if (!control) continue;
          // The height of one line in the language's charset, as the clipping check measures.
          win32::LOGFONTW font = control->Font()->LogFont();
          font.lfCharSet = charset;
          const std::optional<TCaptionRoom> room = CaptionRoom(*control, win32::MeasureText(font, u"X").cy);
          if (room && room->Width > 0) widths[leaf.Object.Ident] = room->Width;
        }
      });
  if (problems) problems->insert(problems->end(), found.begin(), found.end());
  return widths;
}

}  // namespace quintrel::tools
