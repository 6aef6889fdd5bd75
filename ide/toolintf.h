// The development environment as the design-time tools and the add-in see it: one
// global tool services object that names the open project and its units, opens, closes
// and reloads files in the editor, hands out module interfaces, adds modules to the
// project, gives access to the main menu and delivers file notifications.
//
// In a finished application there is no development environment: ToolServices() is
// nullptr, no add-in is registered and every tool that needs the host does nothing.
// File names are full paths; unit indexes count from 0 in project order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ide/editintf.h"
#include "ide/exptintf.h"
#include "platform/rtl/classes.h"
#include "platform/vcl/menus.h"

namespace quintrel::ide {

// --- file notifications ----------------------------------------------------------------

enum TFileNotification {
  fnFileOpened,      // a file was opened in the editor
  fnFileClosing,     // a file open in the editor is about to be closed
  fnProjectOpened,   // a project was opened (the file name is the project file)
  fnProjectClosing,  // the project is about to be closed
};

// Registered with the tool services; not owned by them. May add or remove notifiers
// (itself included) while it is being told something.
class TIAddInNotifier {
public:
  virtual ~TIAddInNotifier() = default;
  virtual void FileNotification(TFileNotification code, const std::string& fileName) = 0;
};

// --- the main menu ---------------------------------------------------------------------

enum TIMenuFlag : uint32_t {
  mfEnabled = 0x01,
  mfVisible = 0x02,
  mfChecked = 0x04,
  mfBreak = 0x08,
  mfBarBreak = 0x10,
  mfRadioItem = 0x20,
};
using TIMenuFlags = uint32_t;

class TIMenuItemIntf;
using TIMenuClickEvent = std::function<void(TIMenuItemIntf& sender)>;

// One item of the host's main menu. Items an add-in inserts stay in the menu until they
// are released; dropping the handle does not remove them.
class TIMenuItemIntf {
public:
  virtual ~TIMenuItemIntf() = default;
  // Position among the parent's sub-items; -1 once the item is released.
  virtual int GetIndex() const = 0;
  // nullptr for the menu bar itself and for a released item.
  virtual std::shared_ptr<TIMenuItemIntf> GetParent() const = 0;
  // Inserts a sub-item at `index` (appended when the index is negative or past the
  // end). nullptr when this item is released or another item already has the name.
  virtual std::shared_ptr<TIMenuItemIntf> InsertItem(int index, const std::string& caption, const std::string& name,
                                                     const std::string& hint, vcl::TShortCut shortCut,
                                                     int helpContext, int groupIndex, TIMenuFlags flags,
                                                     TIMenuClickEvent onClick) = 0;
  virtual bool SetShortCut(vcl::TShortCut shortCut) = 0;
  // Removes the item, with everything under it, from the menu.
  virtual void Release() = 0;
};

class TIMainMenuIntf {
public:
  virtual ~TIMainMenuIntf() = default;
  // The menu bar: its sub-items are the top-level menus.
  virtual std::shared_ptr<TIMenuItemIntf> GetMenuItems() = 0;
  // The item of that name anywhere in the menu (case-insensitive); nullptr when none.
  virtual std::shared_ptr<TIMenuItemIntf> FindMenuItem(const std::string& name) = 0;
};

// --- the tool services -----------------------------------------------------------------

enum TCreateModuleFlag : uint32_t {
  cmAddToProject = 0x01,  // the new module becomes a unit of the project
};
using TCreateModuleFlags = uint32_t;

class TIToolServices {
public:
  virtual ~TIToolServices() = default;

  // Full path of the project file; empty when no project is open.
  virtual std::string GetProjectName() const = 0;
  // The project's units in project order, the project file first.
  virtual int GetUnitCount() const = 0;
  // Empty for an index outside the list.
  virtual std::string GetUnitName(int index) const = 0;
  // The names of the project's forms (and data modules), in project order.
  virtual int GetFormCount() const = 0;
  virtual std::string GetFormName(int index) const = 0;

  virtual bool IsFileOpen(const std::string& fileName) const = 0;
  // Opening an open file or closing one that is not open answers true and does nothing.
  virtual bool OpenFile(const std::string& fileName) = 0;
  virtual bool CloseFile(const std::string& fileName) = 0;
  // Makes the editor show what is on disk now, dropping unsaved changes; false when the
  // file is not open or cannot be read.
  virtual bool ReloadFile(const std::string& fileName) = 0;
  // The module of a file open in the editor; nullptr when it is not open.
  virtual std::shared_ptr<TIModuleInterface> GetModuleInterface(const std::string& fileName) = 0;
  // Opens a module whose editor text is read from `source` (what is on disk under that
  // name does not matter until it is saved); with cmAddToProject it becomes a unit of
  // the project. nullptr when it cannot be created (a unit of that name exists).
  virtual std::shared_ptr<TIModuleInterface> CreateModule(const std::string& fileName, rtl::TStream& source,
                                                          TCreateModuleFlags flags) = 0;

  virtual std::shared_ptr<TIMainMenuIntf> GetMainMenu() = 0;

  // Notifiers are told in the order they were added; adding one twice or removing one
  // that is not there answers false.
  virtual bool AddNotifier(TIAddInNotifier* notifier) = 0;
  virtual bool RemoveNotifier(TIAddInNotifier* notifier) = 0;

  // See RegisterLibraryExpert.
  virtual bool RegisterExpert(std::unique_ptr<TIExpert> expert) = 0;
};

// The host's tool services, nullptr when the process runs without a development
// environment.
TIToolServices* ToolServices();
// Installs the host (nullptr removes it); returns the previous one. The host installs
// itself while it lives.
TIToolServices* SetToolServices(TIToolServices* services);

}  // namespace quintrel::ide
