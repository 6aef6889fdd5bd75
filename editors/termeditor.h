// The translation editor's logic: everything a translator does to one module, text by text,
// with no user interface of its own. The command line (`quintrel terms ...`) and the local web
// editor (`quintrel edit`) are two faces of this one controller.
//
// The tree. One node per catalogued form, in the order of the form catalogue (resource-string
// units, "#Name", included: their strings are texts to translate too); under a form first its
// own properties (and a unit's strings), then one node per component in the order of the
// component's first object, each with its properties in the order the module lists them.
// Every leaf is one object of the catalogue and carries its state in the target language:
//   untranslated  no term, or a term with status usUnTranslated
//   review        a term with status usForReview (also an empty translation)
//   signed-off    a term with status usSignedOff
//   locked        the object is locked: not to be translated, whatever its term holds
// The tree is read afresh on every call, so what other processes stored since is shown.
//
// Objects are named by their identifier, or by their path as the tree shows it:
// "Form.Component.Property", "Form.Property" for the form itself and for a unit's strings.
//
// Next and Prev. The first untranslated leaf after (before) the given one in tree order,
// across forms; the given leaf itself never counts, whatever its state. Without a start,
// Next gives the first untranslated leaf of the tree and Prev the last. Locked leaves are
// passed over (they take no translation). At either end: nothing.
//
// Writing. Every change is one step of the module: the module's exclusive lock is held from
// the check of the stored term to the write, so the development environment, the running
// application and other editors on the same file see it whole. Set compares the stored text
// with the text the caller last saw and refuses with EEditConflict when another process
// changed it since: nothing is written, nothing is lost. A locked object and a signed-off
// term are refused (ETermEditorError); setting the status back to review unlocks the latter.
//
// Texts have no length limit. An empty translation is a translation: stored as one zero byte
// with status usForReview, so Next passes over it and Clear removes it again.
//
// Pictures (objects of type utBitmap, utIcon, utMetafile). The stored bytes are the graphic's
// native image, which the property transfer loads into the live graphic. The picture's class
// is the object's type, and for a bitmap property the format its design-language picture is
// in (a JPEG or PNG image class holds those files). A file is accepted only as that class
// reads it: ".bmp" for a bitmap, ".ico" for an icon, ".jpg" for a JPEG image, its content
// checked; anything else is refused. Clearing a picture stores an empty picture (a term of no
// bytes, status usForReview), which the transfer shows as no picture.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "module/zod.h"
#include "platform/rtl/sysutils.h"

namespace quintrel::editors {

// A refusal (unknown object or language, locked object, signed-off term, picture of the wrong
// class, no dictionary); its message is one line for the user. Nothing was changed.
class ETermEditorError : public rtl::Exception {
public:
  using rtl::Exception::Exception;
};

// The stored text is no longer the one the caller last saw: another process changed it.
// Nothing was changed.
class EEditConflict : public ETermEditorError {
public:
  using ETermEditorError::ETermEditorError;
};

enum class TEntryState : uint8_t { Untranslated, ForReview, SignedOff, Locked };
// "untranslated", "review", "signed-off", "locked".
std::string_view StateName(TEntryState state);

enum class TTreeFilter { All, Untranslated, ForReview };

// One leaf of the tree: a catalogued property.
struct TEntry {
  uint32_t Object = 0;    // the object's identifier
  std::string Form;       // the form's name ("#Name" for a resource-string unit)
  std::string Component;  // empty for the form itself and for a unit's strings
  std::string Property;   // the property path (Caption, Font.Name, Items[*].Caption)
  std::string Path;       // Form.Component.Property or Form.Property
  uint8_t Kind = module::utString;          // module::TZodType
  uint8_t ZodClass = module::ucUnknown;     // module::TZodClass
  TEntryState State = TEntryState::Untranslated;
};

// A component node: its name (empty for the form's own properties) and its leaves.
struct TTreeComponent {
  std::string Name;
  std::vector<TEntry> Entries;
};

struct TTreeForm {
  std::string Name;
  uint16_t Id = 0;
  std::vector<TTreeComponent> Components;  // the form's own properties first, when it has any
};

// One language's side of a shown object.
struct TEntryText {
  bool Exists = false;  // the language has a term for the object
  uint8_t Status = module::usUnTranslated;
  std::u16string Text;  // a text's characters (empty for pictures)
  std::size_t Size = 0; // the stored byte count (a picture's image size)
};

// What the editor shows for one object.
struct TEntryView {
  TEntry Entry;
  std::string_view TypeName;  // "utString", "utBitmap", ...
  bool Picture = false;       // utBitmap, utIcon, utMetafile: the picture page
  TEntryText Base;            // in the base language, without fall-back
  TEntryText Target;          // in the target language, without fall-back
  std::u16string Comment;     // the object's comment, empty when none
  // The dictionaries' translation of the base text into the target (texts only; nullopt when
  // none is found or no dictionary serves both languages).
  std::optional<std::u16string> Suggestion;
  // For pictures: the graphic class the stored bytes must suit ("TBitmap", "TIcon",
  // "TMetafile", "TJPEGImage", "TPngImage"); empty otherwise.
  std::string PictureClass;
};

class TTermEditor {
public:
  // Works on the open module `module` of `zod` (other open modules of it serve as
  // dictionaries). Base: the module's design-time language; target: the first language of
  // the module's list that differs from it, else the first.
  TTermEditor(module::TZod& zod, int module);

  module::TZod& Zod() const { return zod_; }
  int Module() const { return module_; }

  module::TLanguageId Base() const { return base_; }
  module::TLanguageId Target() const { return target_; }
  // ETermEditorError (listing the module's languages) when the module lacks the language.
  void SetBase(module::TLanguageId language);
  void SetTarget(module::TLanguageId language);
  // The module's languages, in stored order.
  std::vector<module::TLanguageId> Languages() const;
  // Fails with ETermEditorError listing the module's languages when it lacks `language`.
  void RequireLanguage(module::TLanguageId language) const;

  // The tree with each leaf's state in the target language; the filter keeps the leaves of
  // that state and the forms and components holding any.
  std::vector<TTreeForm> Tree(TTreeFilter filter = TTreeFilter::All) const;
  // The object's identifier: a decimal or 0x hexadecimal number naming an object of the tree,
  // or a path. ETermEditorError naming it when the tree has no such object.
  uint32_t Find(std::string_view objectOrPath) const;
  // The leaf of the object, with its state in the target language.
  TEntry Entry(uint32_t object) const;

  TEntryView Show(uint32_t object) const;

  // Stores the text as the object's translation in `language`, status usForReview; the
  // object gets a term first when it has none. With expectedPrevious, the stored text (empty
  // when there is no term) must still be that text, else EEditConflict. False, and nothing
  // written, when the stored term already holds the text (its status stays as it is).
  bool Set(uint32_t object, module::TLanguageId language, std::u16string_view text,
           const std::optional<std::u16string>& expectedPrevious = std::nullopt);
  // Removes the object's term in `language` when it has status usForReview, so that the
  // object is untranslated again; false (nothing changed) when there is no such term or it
  // is untranslated. A signed-off term is refused.
  bool Clear(uint32_t object, module::TLanguageId language);

  // Next and Prev as described at the top; nullopt at the end. `from` must be an object of
  // the tree (ETermEditorError otherwise).
  std::optional<uint32_t> Next(std::optional<uint32_t> from) const;
  std::optional<uint32_t> Prev(std::optional<uint32_t> from) const;

  // Whether some open module has the base language as a dictionary and some the target.
  bool CanTranslate() const;
  // Translates the object's base text into the target through the dictionaries and stores
  // the translation found as Set does; nullopt (nothing changed) when none is found or the
  // base text is empty. ETermEditorError when no dictionary serves both languages.
  std::optional<std::u16string> Translate(uint32_t object);

  // The status of the object's term in `language`: usForReview (which also unlocks a
  // signed-off term) or usSignedOff (only for a translated term). False when it already had
  // it. ETermEditorError when there is no term, or the status is another.
  bool SetStatus(uint32_t object, module::TLanguageId language, uint8_t status);
  // The object's comment; an empty text removes it. False when it was the same.
  bool SetComment(uint32_t object, std::u16string_view comment);

  // --- pictures ----------------------------------------------------------------------------
  // The graphic class the object's picture has (see the top); ETermEditorError for an object
  // that is no picture.
  std::string PictureClass(uint32_t object) const;
  // The file extensions that class is loaded from (".bmp"; none for a metafile).
  static std::vector<std::string> PictureExtensions(std::string_view pictureClass);
  // Stores the image as the object's picture in `language` (status usForReview). `fileName`
  // names where the bytes came from: its extension must be one of the class's, and the bytes
  // must be an image of that format; ETermEditorError naming the file otherwise.
  void SetPicture(uint32_t object, module::TLanguageId language, std::string_view bytes,
                  const std::string& fileName);
  // Stores an empty picture (status usForReview).
  void ClearPicture(uint32_t object, module::TLanguageId language);
  // The stored image in `language`; nullopt when the language has no term or the picture is
  // empty.
  std::optional<std::string> PictureBytes(uint32_t object, module::TLanguageId language) const;

private:
  module::TZodObject ReadObject(uint32_t object) const;
  TEntryState StateOf(const module::TZodObject& object) const;
  std::optional<uint32_t> Walk(std::optional<uint32_t> from, bool forward) const;

  module::TZod& zod_;
  int module_;
  module::TLanguageId base_ = 0;
  module::TLanguageId target_ = 0;
};

}  // namespace quintrel::editors
