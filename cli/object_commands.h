#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "module/terms.h"

namespace quintrel::cli {

// quintrel object add|list|remove and quintrel form list|remove: the object catalogue of
// a module. The form verbs join a "form" command registered before, if any.
void RegisterObjectCommands(CLI::App& app);

class TModuleFile;

// --translation LANG=TEXT options: each language once, none the language of the command's
// own text (textLanguage), every one a language of the module.
using TTranslations = std::vector<std::pair<module::TLanguageId, std::u16string>>;
TTranslations ParseTranslations(const std::vector<std::string>& list);
void RequireTranslationLanguages(TModuleFile& file, const TTranslations& translations,
                                 std::optional<module::TLanguageId> textLanguage);
// A term's text in one language, stored as the module keeps it: UTF-16 little-endian.
// Characters the language's code page cannot hold are named on stderr.
void StoreText(TModuleFile& file, uint32_t termId, module::TLanguageId language, const std::u16string& wide,
               module::TZodStatus status);

}  // namespace quintrel::cli
