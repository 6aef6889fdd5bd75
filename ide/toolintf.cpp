#include "ide/toolintf.h"

namespace quintrel::ide {

namespace {
// The one host of the process. All calls come from the user-interface thread.
TIToolServices* services = nullptr;
}  // namespace

TIToolServices* ToolServices() { return services; }

TIToolServices* SetToolServices(TIToolServices* next) {
  TIToolServices* previous = services;
  services = next;
  return previous;
}

bool RegisterLibraryExpert(std::unique_ptr<TIExpert> expert) {
  if (!services || !expert) return false;
  return services->RegisterExpert(std::move(expert));
}

}  // namespace quintrel::ide
