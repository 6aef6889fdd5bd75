// The editor side of the development environment: modules (a file open in the editor,
// with its form when it has one), the form and component interfaces that lead to the
// designer's live form object, and the notifier a module reports its changes to.
//
// Interfaces are handed out as shared handles; releasing one is dropping the handle. A
// handle outlives what it stands for: once the file is closed its module interface
// answers false, nullptr or an empty name, and never touches freed objects.
#pragma once

#include <memory>
#include <string>

#include "platform/vcl/classes.h"

namespace quintrel::ide {

// What happened to a module.
enum TNotifyCode {
  ncModuleDeleted,  // the module is going away (its file is being closed)
  ncModuleRenamed,  // its file name changed; the module interface has the new one
  ncBeforeSave,     // its editor text and form are about to be written to disk
};

// Registered with a module interface; told about that module. Notifiers are not owned
// by the module: whoever registers one removes it before destroying it. A notifier may
// add or remove notifiers (itself included) while it is being told something.
class TIModuleNotifier {
public:
  virtual ~TIModuleNotifier() = default;
  virtual void Notify(TNotifyCode code) = 0;
  // A component of the module's form got a new name. An empty old name means it was
  // just inserted, an empty new name that it is being deleted (it still exists during
  // the call). `component` is the live object.
  virtual void ComponentRenamed(vcl::TComponent* component, const std::string& oldName,
                                const std::string& newName) = 0;
};

class TIComponentInterface {
public:
  virtual ~TIComponentInterface() = default;
  // The designer's live object, nullptr once the form is gone. Valid until the file is
  // reloaded or closed.
  virtual vcl::TComponent* GetComponentHandle() const = 0;
};

class TIFormInterface {
public:
  virtual ~TIFormInterface() = default;
  // The root component of the form (the form itself); nullptr once the form is gone.
  virtual std::shared_ptr<TIComponentInterface> GetFormComponent() = 0;
};

class TIModuleInterface {
public:
  virtual ~TIModuleInterface() = default;
  // Full path of the module's file.
  virtual std::string GetFileName() const = 0;
  // Writes the editor's text and the form to disk: when they changed, or always when
  // forced. False when the module is closed; a file that cannot be written raises an
  // exception naming it.
  virtual bool Save(bool forceSave) = 0;
  // Brings up the module's form in the designer (loading it when it is not loaded);
  // false when the module has no form.
  virtual bool ShowForm() = 0;
  // nullptr when the module has no form.
  virtual std::shared_ptr<TIFormInterface> GetFormInterface() = 0;
  // Notifiers are told in the order they were added; adding one twice or removing one
  // that is not there answers false.
  virtual bool AddNotifier(TIModuleNotifier* notifier) = 0;
  virtual bool RemoveNotifier(TIModuleNotifier* notifier) = 0;
};

}  // namespace quintrel::ide
