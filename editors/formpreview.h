// The form picture of the editor: a project's form created as its application creates it,
// switched to a language by a translator of its own on the module (opened for reading
// only, so the picture always shows what the module holds now), its clipped texts found
// as validation finds them, and drawn as SVG (editors/formsvg.h).
#pragma once

#include <cstdint>
#include <string>

#include "module/zod.h"
#include "platform/ide/project.h"

namespace quintrel::editors {

// Whether a language of the module reads right to left: its charset is Hebrew or Arabic,
// or its identifier names a language written in one of those scripts.
bool IsRightToLeftLanguage(module::TZod& zod, int module, module::TLanguageId language);

// The SVG of the project's form (or data module) `formName` (ignoring case) in
// `language`, the control showing `selected` outlined (0: none). Raises tools::EToolError
// naming the file when the project's forms or the module cannot be read, or naming the
// form when the project has none of that name.
std::string RenderFormPreview(const host::TProject& project, const std::string& moduleFile,
                              const std::string& formName, module::TLanguageId language, uint32_t selected);

}  // namespace quintrel::editors
