// The resource-string manager: the project's resource-string units and the module kept
// in step, string by string.
//
// In the module a unit is a row "#FileName" of the form-name table (its id is the unit's
// id), a string's identifier a row "#Ident" of the property-name table (shared by every
// unit that declares the identifier), and each string an object of class
// ucResourceString on the unit, with the string's number in its component field (0 for a
// Pascal unit, whose strings the linker numbers) and its text as a term of the design
// language. The unit's files are described in tools/resstrfiles.h.
//
// Every change goes through the session: file edits are staged and written with their
// backups at the session's commit. A command checks everything it can before it changes
// the module, so a refused command changes nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "module/zod.h"
#include "tools/resstrfiles.h"
#include "tools/toolsession.h"

namespace quintrel::tools {

struct TResUnit {
  uint16_t Id = 0;
  std::string Name;  // the file name as registered, without the '#'
  TResUnitKind Kind = TResUnitKind::None;
  std::string Path;  // the project's file of that name, else the project folder and the name
};

struct TResString {
  uint32_t Object = 0;
  uint32_t Number = 0;
  std::string Identifier;  // "SUnknown" when the object's property has no name
  std::u16string Text;     // in the design language
  std::u16string Comment;
};

// What a sync found: identifiers imported from the files, removed because the files no
// longer declare them, and declarations left alone because they are not a plain text.
struct TSyncReport {
  std::vector<std::string> Imported;
  std::vector<std::string> Removed;
  std::vector<std::string> Skipped;
};

class TResStringManager {
public:
  // The module must have its design language.
  TResStringManager(TToolSession& session, module::TZod& zod, int module);

  // The registered units in table order.
  std::vector<TResUnit> Units();
  // The project's Pascal units with a resourcestring section and scripts with a
  // STRINGTABLE that are not registered, in project order (full paths).
  std::vector<std::string> DiscoverUnits();
  // The registered unit of that file name (ignoring case); EToolError when none.
  TResUnit FindUnit(const std::string& name);
  // Registers a unit ("Texts" means Texts.pas); EToolError when its extension is not
  // .pas or .rc or it is registered already. No file is written until its first string.
  TResUnit AddUnit(const std::string& name);
  // Asks, then removes the unit's row and every "#" identifier row no object uses any
  // more. The unit's files stay.
  void RemoveUnit(const std::string& name);

  // The module's strings of the unit.
  std::vector<TResString> Strings(const TResUnit& unit);
  // Imports the declarations of the unit's files the module lacks and drops the strings
  // whose declarations are gone (only when the files could be read).
  TSyncReport Sync(const TResUnit& unit);

  // A new string, declared first in the unit's files; a unit file this creates is named
  // in the project (its constants unit, for a script). Returns its object id.
  uint32_t Add(const TResUnit& unit, const std::string& ident, const std::u16string& text,
               const std::u16string& comment);
  // Changes what is given; the declaration is rewritten where it stands.
  void Edit(const TResUnit& unit, const std::string& ident, const std::optional<std::u16string>& text,
            std::optional<uint32_t> number, const std::optional<std::u16string>& comment);
  // Asks, then removes the string from the module and its declarations from the files.
  void Remove(const TResUnit& unit, const std::string& ident);

  int Charset() const { return charset_; }
  module::TLanguageId DesignLanguage() const { return design_; }

private:
  struct TUnitFiles {
    std::string DeclPath;    // the Pascal unit, or a script's constants unit
    std::optional<std::string> DeclText;
    TDeclFile Decls;
    std::string ScriptPath;  // scripts only
    std::optional<std::string> ScriptText;
    TDeclFile Table;
  };
  TUnitFiles ReadFiles(const TResUnit& unit);
  std::string UnitPath(const std::string& name) const;
  std::optional<TResString> FindString(const TResUnit& unit, const std::string& ident);
  uint32_t NextScriptNumber(const TUnitFiles& files);
  // Stages the project source (and project file) naming a file the command created.
  void NameInProject(const std::string& fileName);
  // Stages the project without the file, when it names it.
  void NameOutOfProject(const std::string& fileName);
  uint32_t InsertInModule(const TResUnit& unit, const std::string& ident, const std::u16string& text, uint32_t number);
  void SetText(module::TZodObject& object, const std::u16string& text);
  void SetComment(module::TZodObject& object, const std::u16string& comment);
  void DropObject(const module::TZodObject& object);
  std::u16string TermText(uint32_t term);
  std::u16string CommentText(uint32_t comment);
  bool PropertyUsed(uint16_t prop);

  TToolSession& session_;
  module::TZod& zod_;
  int module_;
  module::TLanguageId design_;
  int charset_;
};

}  // namespace quintrel::tools
