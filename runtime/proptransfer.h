// Property transfer: one catalogued property value moved between a live object and a
// term of the language module, in either direction.
//
// Writing (SetProp and its helpers) takes the term's text in the current language, with
// the module's fall-back to the design-language text, and stores it into the property;
// the running application does it on every language switch. Reading (GetProp and its
// helpers) turns the live value into text, compares it with the stored term and rewrites
// the term as usForReview when they differ; the development environment does it when it
// captures the designer's forms into the module.
//
// A property is addressed by a path relative to a component, as the module's property
// catalogue stores it:
//   Caption                 a published property of a simple type
//   Font.Name               a dotted path through object-valued properties
//   Lines.Strings[3]        a line of a string list (Strings[i] relative to the TStrings)
//   Panels.Items[1].Text    a property of a collection item (Items[i].… relative to the
//                           TCollection; the rest may be a path again)
//   Picture.Data, Glyph.Data  a graphic's native stream image
//   SystemMenuCloseCaption, MenuFont.Name, FlipState, …  pseudo-properties of a form
//                           (formprops.cpp)
// A path that names no published property is handed, whole, to the writer or reader of
// the object's class (string list, collection, common dialog, form, graphic, picture);
// paths no writer recognises are ignored.
//
// Texts by type kind, in both directions:
//   string kinds        the text (narrow kinds in the current charset, wide kinds as wide
//                       text without a detour through a code page)
//   char, wide char     the character itself; the writer takes the first character, or a
//                       decimal character code of two or more digits (what older modules
//                       hold), and 0 for an empty text
//   integer, Int64      decimal; the writer also takes $hex and, for a type with
//                       identifiers (TColor: clRed, TFontCharset, TCursor), an identifier.
//                       A TColor without identifier is read as $00BBGGRR
//   float               the shortest decimal text of 15 digits with the current decimal
//                       separator; the writer takes either separator
//   enumeration         the name of the value
//   set                 [a,b]; the writer takes names (whole words, any case, values
//                       above 31 ignored) or a $hex or decimal bit mask
// The reader keeps a stored text of a non-string kind that stands for the live value
// (a set stored as "akLeft, akTop", a colour as 255): only another value is a change.
//
// Errors. A failure while one property is written is reported by SetProp through the
// message-box sink with "Error while trying to set property %s of %s" (path, class
// name) and the caller goes on with the next property. The read direction has no
// handler of its own: its exceptions reach the caller.
//
// Seams. Three things this unit triggers belong to other units and are reached through
// slots the translator fills: the common-dialog translation unit (dialog texts), the
// system-menu language list and the mirroring of right-to-left forms (formprops.cpp).
// A fourth slot, DesignTermChanged, is the translator's marking of other languages for
// review after the read direction rewrote a term. Every slot is empty by default, and
// an empty slot does nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "module/zod.h"
#include "platform/vcl/classes.h"
#include "platform/vcl/controls.h"
#include "platform/vcl/dialogs.h"
#include "platform/vcl/forms.h"
#include "platform/vcl/graphics.h"

namespace quintrel::runtime {

class TPropertyTransfer {
public:
  // Called after the read direction rewrote a term (its language, ident, status
  // usForReview and the new data): the translator marks the term's translations in the
  // other languages for review.
  using TDesignTermChangedProc = std::function<void(const module::TZodTerm& term)>;
  // The common-dialog translation unit: registers the dialog's class and takes one entry
  // "owner.dialog.path=text" (narrow, current charset) to apply when the dialog opens.
  using TDialogPropProc = std::function<void(vcl::TCommonDialog& dialog, const std::string& entry)>;
  // Rebuilds the language list of the form's system menu; termId is the term that
  // decides per language whether the list is shown (0: look it up when lookup is true).
  using TBuildSystemLangListProc = std::function<void(vcl::TCustomForm& form, uint32_t termId, bool lookup)>;
  // Mirrors a form and its windowed children. Called while FlipState() still holds the
  // state before the change (false: the form is about to be mirrored), which is how the
  // mirroring routine tells the direction.
  using TFlipFormProc = std::function<void(vcl::TWinControl& control)>;

  explicit TPropertyTransfer(module::TZod& zod = module::GlobalZOD());
  virtual ~TPropertyTransfer() = default;
  TPropertyTransfer(const TPropertyTransfer&) = delete;
  TPropertyTransfer& operator=(const TPropertyTransfer&) = delete;

  // --- the translator's state the transfer works with -----------------------------------
  module::TZod& Zod() const { return zod_; }
  // The module index the terms come from and go to; -1: none (writers write empty texts,
  // readers do nothing).
  int Module() const { return FModule; }
  void SetModule(int module) { FModule = module; }
  module::TLanguageId CurrentLanguage() const { return FCurrentLanguage; }
  // The charset narrow texts are converted with: the current language's.
  uint8_t CurrentCharset() const { return FCurrentCharset; }
  void SetCurrentLanguage(module::TLanguageId language, uint8_t charset) {
    FCurrentLanguage = language;
    FCurrentCharset = charset;
  }
  // True while the forms are mirrored for a right-to-left language. One flag for the
  // translator, not one per form: a form is mirrored when its "FlipState" text differs
  // from it.
  bool FlipState() const { return FFlipState; }
  void SetFlipState(bool flipped) { FFlipState = flipped; }

  // --- seams (empty: nothing happens) ------------------------------------------------
  TDesignTermChangedProc DesignTermChanged;
  TDialogPropProc SetDlgPropProc;
  TBuildSystemLangListProc BuildSystemLangListProc;
  // Empty until the mirroring unit installs FlipForm; while it is empty a "FlipState"
  // text changes neither the form nor FlipState().
  TFlipFormProc FlipFormProc;

  // --- write direction: term -> property ------------------------------------------------
  // Nothing happens for a null instance. Exceptions of the transfer are reported and
  // swallowed here.
  void SetProp(vcl::TObject* instance, std::string_view path, uint32_t termId);
  void SetRTTI(vcl::TObject* instance, vcl::PPropInfo propInfo, uint32_t termId);
  void SetOther(vcl::TObject* instance, std::string_view path, uint32_t termId);
  void SetStrings(vcl::TStrings& strings, std::string_view path, uint32_t termId);
  void SetCollection(vcl::TCollection& collection, std::string_view path, uint32_t termId);
  void SetCommonDialog(vcl::TCommonDialog& dialog, std::string_view path, uint32_t termId);
  void SetFormProps(vcl::TForm& form, std::string_view path, uint32_t termId);
  void SetPictureProp(vcl::TPicture& picture, std::string_view path, uint32_t termId);
  void SetGraphicProp(vcl::TGraphic& graphic, std::string_view path, uint32_t termId);
  void SetUnknown(vcl::TObject* instance, std::string_view path, uint32_t termId);

  // --- read direction: property -> term ------------------------------------------------
  // Nothing happens for a null instance or without a module. The term (current
  // language, termId) is created empty first when the module lacks it.
  void GetProp(vcl::TObject* instance, std::string_view path, uint32_t termId);
  void GetRTTI(vcl::TObject* instance, vcl::PPropInfo propInfo, module::TZodTerm& term);
  void GetOther(vcl::TObject* instance, std::string_view path, module::TZodTerm& term);
  void GetStrings(vcl::TStrings& strings, std::string_view path, module::TZodTerm& term);
  void GetCollection(vcl::TCollection& collection, std::string_view path, module::TZodTerm& term);
  void GetCommonDialog(vcl::TCommonDialog& dialog, std::string_view path, module::TZodTerm& term);
  void GetFormProps(vcl::TForm& form, std::string_view path, module::TZodTerm& term);
  void GetPictureProp(vcl::TPicture& picture, std::string_view path, module::TZodTerm& term);
  void GetGraphicProp(vcl::TGraphic& graphic, std::string_view path, module::TZodTerm& term);
  void GetUnknown(vcl::TObject* instance, std::string_view path, module::TZodTerm& term);

  // --- texts of live values ------------------------------------------------------------
  // The text a simple property's value reads as (what GetRTTI stores), and the writing
  // of such a text (what SetRTTI does with a term's text). Narrow kinds meet the wide
  // text through the current charset.
  std::u16string PropertyText(const vcl::TObject& instance, vcl::PPropInfo propInfo) const;
  void WritePropertyText(vcl::TObject& instance, vcl::PPropInfo propInfo, std::u16string_view text) const;

  // The term's text in the current language with the module's fall-back, wide and as
  // bytes of the current charset.
  std::u16string TermText(uint32_t termId) const;
  std::string NarrowTermText(uint32_t termId) const;
  // The term's bytes as stored, without fall-back; nullopt when the term is missing.
  std::optional<std::vector<uint8_t>> StoredTermBytes(module::TLanguageId language, uint32_t termId) const;

protected:
  // Compares the text with the stored term and rewrites the term (usForReview) when they
  // differ; then DesignTermChanged.
  void StoreTermText(module::TZodTerm& term, std::u16string_view text);
  void StoreTermBytes(module::TZodTerm& term, const std::vector<uint8_t>& bytes);
  // Picture data with the same fall-back as texts: the current language's bytes unless
  // that term is missing or untranslated, then the design language's when the module
  // falls back to the original.
  std::vector<uint8_t> TermBytes(uint32_t termId) const;

  module::TZod& zod_;
  int FModule = -1;
  module::TLanguageId FCurrentLanguage = 0;
  uint8_t FCurrentCharset = 0;
  bool FFlipState = false;
  // While a switch sets a form's texts in its read bracket: the texts of the current
  // language kept for the module's state in that bracket, which TermText answers from and
  // fills. Null otherwise.
  std::unordered_map<uint32_t, std::u16string>* keptTexts_ = nullptr;

  // Whether the text, written into the property, gives the value it holds now.
  bool SameValue(const vcl::TObject& instance, vcl::PPropInfo propInfo, std::u16string_view text) const;

private:
  void GetPath(vcl::TObject* instance, std::string_view path, module::TZodTerm& term);
  void ReportSetError(std::string_view path, const vcl::TObject& instance) const;
};

class TQuintrel;

// Captures a live form or data module into the module as the designer does when its unit
// is saved: every catalogued property of the form (found by its name) is read into the
// design language's terms, so that a changed design text is rewritten for review and its
// translations are marked for review. An object without a term gets one. A frame's own
// form is found by its name or, as frames are catalogued, by its class name without the
// "T". False when the catalogue lacks the form.
bool GetFormValues(TQuintrel& translator, vcl::TComponent& form);

// Splits a path at its first '.': head and rest (rest empty without a dot).
std::pair<std::string_view, std::string_view> SplitPath(std::string_view path);
// "Name[index]" with nothing after the bracket: the name and the index; false otherwise.
bool ParseIndexed(std::string_view path, std::string_view& name, int& index);

}  // namespace quintrel::runtime
