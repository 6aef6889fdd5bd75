// A language identifier given on the command line that is none. Its own type, so that the
// program can add the hint a lone "--" calls for: the parser took it for the end of the
// options, and the pseudo language's identifier, or the word after it, never arrived where
// the user meant it.
#pragma once

#include "cli/common.h"

namespace quintrel::cli {

class EBadLanguageId : public ECommandFailed {
public:
  using ECommandFailed::ECommandFailed;
};

}  // namespace quintrel::cli
