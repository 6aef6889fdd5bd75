// Add-ins (experts) of the development environment: the identity an add-in reports to
// the host, and its registration. An add-in registered with the host lives until the
// host unloads; without a host there is nothing to register with.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quintrel::ide {

// How the host presents an add-in. An add-in style one adds its own menus and receives
// notifications; the host offers it no menu entry or gallery page of its own.
enum TExpertStyle : int {
  esStandard = 0,
  esForm = 1,
  esProject = 2,
  esAddIn = 3,
};

// State flags a standard add-in's menu entry takes; an add-in reports none.
enum TExpertStateFlag : uint32_t {
  esEnabled = 0x01,
  esChecked = 0x02,
};
using TExpertState = uint32_t;

class TIExpert {
public:
  virtual ~TIExpert() = default;
  virtual std::string GetName() const = 0;
  virtual std::string GetIDString() const = 0;
  virtual TExpertStyle GetStyle() const = 0;
  virtual TExpertState GetState() const = 0;
};

// Hands the add-in to the host, which keeps it until it unloads (and destroys it before
// anything else of its own, so that the add-in can still unregister itself). False, and
// the add-in destroyed at once, when there is no host.
bool RegisterLibraryExpert(std::unique_ptr<TIExpert> expert);

}  // namespace quintrel::ide
