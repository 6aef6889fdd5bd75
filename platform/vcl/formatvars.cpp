#include "platform/vcl/formatvars.h"

namespace quintrel::vcl {

TFormatSettings& FormatSettings() {
  static TFormatSettings settings;
  return settings;
}

void ResetFormatSettings() { FormatSettings() = TFormatSettings{}; }

}  // namespace quintrel::vcl
