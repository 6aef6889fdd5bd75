// The module the exchange-file targets import into, and their seed program exports from:
// two forms and a resource-string unit in English with German and Russian (an 8-bit
// charset of its own) translations in every state a term can be in: missing, untranslated,
// to review, signed off, locked, empty, with a comment and with control characters.
//
// Built once per process with the engine into a scratch folder and kept as bytes; every
// run starts from those bytes again, so no run sees what an earlier one imported.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "module/languages.h"
#include "module/zod.h"
#include "tools/termtext.h"

namespace quintrel::fuzz {

inline module::TLanguageId ExchangeLanguage(const char* two) { return module::MakeLanguageId(two[0], two[1]); }

// Fills the new, open module `m` of the global list.
inline void FillExchangeModule(int m) {
  module::TZod& zod = module::GlobalZOD();
  const struct {
    const char* Id;
    const char16_t* Name;
    uint8_t Charset;
  } languages[] = {{"en", u"English", 0}, {"de", u"German", 0}, {"ru", u"Russian", 204}};
  for (const auto& l : languages) {
    module::TZodLanguage language;
    language.Identifier = ExchangeLanguage(l.Id);
    language.Name = l.Name;
    language.Charset = l.Charset;
    if (!zod.SetLanguage(m, language)) std::abort();
  }
  zod.SetDesignTimeLanguage(m, ExchangeLanguage("en"));
  const struct {
    const char* Form;
    const char* Component;
    const char* Property;
    const char16_t* English;
    const char16_t* German;  // null: no German term
    uint8_t Status;
    const char16_t* Comment;  // null: none
    bool Locked;
  } objects[] = {
      {"MainForm", "", "Caption", u"Address book", u"Adressbuch", module::usSignedOff, nullptr, false},
      {"MainForm", "OkButton", "Caption", u"O&K", u"", module::usUnTranslated, u"the default button", false},
      {"MainForm", "NameLabel", "Caption", u"Name:\tfirst\r\nlast\\", u"Name:", module::usForReview, nullptr, false},
      {"MainForm", "Logo", "Hint", u"Our logo", nullptr, 0, nullptr, true},
      {"MainForm", "Grid", "Hint", u"\"Quoted\" <b>&amp;</b>", nullptr, 0, u"line one\r\nline two", false},
      {"AboutBox", "", "Caption", u"About", u"Info", module::usForReview, nullptr, false},
      {"AboutBox", "Version", "Caption", u"", u"", module::usUnTranslated, nullptr, false},
      {"#AppText.pas", "", "SNotFound", u"File %s not found", u"Datei %s fehlt", module::usSignedOff, nullptr, false},
  };
  for (const auto& o : objects) {
    module::TZodObject object;
    object.Ident = zod.AddObject(m, o.Form, o.Component, o.Property, module::utString, module::ucButton);
    if (!zod.GetObject(m, object)) std::abort();
    tools::StoreObjectText(zod, m, object, ExchangeLanguage("en"), o.English, module::usSignedOff);
    if (o.German) tools::StoreObjectText(zod, m, object, ExchangeLanguage("de"), o.German, o.Status);
    if (o.Comment) tools::StoreObjectComment(zod, m, object, o.Comment);
    if (o.Locked) {
      object.Locked = true;
      if (!zod.SetObject(m, object)) std::abort();
    }
  }
}

// The module's bytes, built in a scratch folder that is removed again.
inline std::string ExchangeModuleBytes() {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("quintrel-exchange-fuzz-" + std::to_string(::getpid()));
  std::error_code ec;
  fs::remove_all(dir, ec);
  fs::create_directories(dir);
  const fs::path file = dir / "App.ZOD";
  module::TZod& zod = module::GlobalZOD();
  const int m = zod.NewModule(file.string());
  if (m < 0) std::abort();
  FillExchangeModule(m);
  zod.UnRegisterModule(m, false);
  std::ifstream in(file, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  fs::remove_all(dir, ec);
  if (bytes.empty()) std::abort();
  return bytes;
}

}  // namespace quintrel::fuzz
