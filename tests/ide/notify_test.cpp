// Notifications: what the host tells add-ins and module notifiers, in which order, when
// its own operations and the designer's cause them; add-in registration with and
// without a host.
#include <gtest/gtest.h>

#include <filesystem>

#include "ide/toolintf.h"
#include "platform/ide/host.h"
#include "tests/ide/project_fixture.h"

namespace quintrel::host {
namespace {

using test::ProjectFixture;

std::string Leaf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

const char* FileCode(ide::TFileNotification code) {
  switch (code) {
    case ide::fnFileOpened: return "opened";
    case ide::fnFileClosing: return "closing";
    case ide::fnProjectOpened: return "project opened";
    case ide::fnProjectClosing: return "project closing";
  }
  return "?";
}

// A module notifier that writes what it hears into a shared log.
class TModuleLog : public ide::TIModuleNotifier {
public:
  TModuleLog(std::string tag, std::vector<std::string>& log, std::shared_ptr<ide::TIModuleInterface> module)
      : tag_(std::move(tag)), log_(log), module_(std::move(module)) {}
  void Notify(ide::TNotifyCode code) override {
    const char* what = code == ide::ncModuleDeleted ? "deleted" : code == ide::ncModuleRenamed ? "renamed" : "before save";
    log_.push_back(tag_ + " " + what + " " + Leaf(module_->GetFileName()));
  }
  void ComponentRenamed(vcl::TComponent* component, const std::string& oldName, const std::string& newName) override {
    log_.push_back(tag_ + " component '" + oldName + "' -> '" + newName + "'" +
                   (component && !component->Name().empty() ? " live " + component->Name() : ""));
  }
  ide::TIModuleInterface& Module() { return *module_; }

private:
  std::string tag_;
  std::vector<std::string>& log_;
  std::shared_ptr<ide::TIModuleInterface> module_;
};

// Follows the host as an add-in does: a module notifier for every file opened, removed
// again when the file closes.
class TAddInLog : public ide::TIAddInNotifier {
public:
  explicit TAddInLog(std::vector<std::string>& log) : log_(log) {}
  void FileNotification(ide::TFileNotification code, const std::string& fileName) override {
    log_.push_back(std::string(FileCode(code)) + " " + Leaf(fileName));
    if (code == ide::fnFileOpened) {
      auto module = ide::ToolServices()->GetModuleInterface(fileName);
      modules_.push_back(std::make_unique<TModuleLog>("addin", log_, module));
      module->AddNotifier(modules_.back().get());
    } else if (code == ide::fnFileClosing) {
      std::erase_if(modules_, [&](const std::unique_ptr<TModuleLog>& m) {
        if (m->Module().GetFileName() != fileName) return false;
        m->Module().RemoveNotifier(m.get());
        return true;
      });
    }
  }

private:
  std::vector<std::string>& log_;
  std::vector<std::unique_ptr<TModuleLog>> modules_;
};

class Notifications : public ProjectFixture {};

TEST_F(Notifications, HostAndDesignerOperationsInOrder) {
  WriteCppBuilderProject();
  std::vector<std::string> log;
  TDevelopmentHost host;
  TAddInLog addIn(log);
  ASSERT_TRUE(host.AddNotifier(&addIn));
  EXPECT_FALSE(host.AddNotifier(&addIn));

  host.OpenProject(dir_.string());
  ASSERT_TRUE(host.OpenFile(Path("Main.cpp")));
  // A second notifier on the same module hears everything after the add-in's.
  auto module = host.GetModuleInterface(Path("Main.cpp"));
  TModuleLog watcher("watcher", log, module);
  ASSERT_TRUE(module->AddNotifier(&watcher));
  EXPECT_EQ(log, (std::vector<std::string>{"project opened Project1.bpr", "opened Main.cpp"}));
  log.clear();

  vcl::TComponent& added = host.InsertComponent(Path("Main.cpp"), "TButton", "Button2", "Panel1");
  EXPECT_EQ(added.GetParentComponent(), host.Form(Path("Main.cpp")).FindComponent("Panel1"));
  host.RenameComponent(Path("Main.cpp"), "Button2", "SaveButton");
  host.RenameComponent(Path("Main.cpp"), "MainForm", "FrontForm");
  EXPECT_EQ(log, (std::vector<std::string>{
                     "addin component '' -> 'Button2' live Button2", "watcher component '' -> 'Button2' live Button2",
                     "addin component 'Button2' -> 'SaveButton' live SaveButton",
                     "watcher component 'Button2' -> 'SaveButton' live SaveButton",
                     "addin component 'MainForm' -> 'FrontForm' live FrontForm",
                     "watcher component 'MainForm' -> 'FrontForm' live FrontForm"}));
  log.clear();

  // Deleting the panel deletes what it holds first; each still exists while reported.
  host.DeleteComponent(Path("Main.cpp"), "Panel1");
  std::vector<std::string> deleted;
  for (const auto& line : log)
    if (line.rfind("watcher", 0) == 0) deleted.push_back(line);
  EXPECT_EQ(deleted, (std::vector<std::string>{"watcher component 'Label1' -> '' live Label1",
                                               "watcher component 'Edit1' -> '' live Edit1",
                                               "watcher component 'SaveButton' -> '' live SaveButton",
                                               "watcher component 'Panel1' -> '' live Panel1"}));
  EXPECT_EQ(host.Form(Path("Main.cpp")).ComponentCount(), 1);
  log.clear();

  EXPECT_THROW(host.RenameComponent(Path("Main.cpp"), "Button1", "Not a name"), EProjectError);
  EXPECT_THROW(host.InsertComponent(Path("Main.cpp"), "TNoSuchClass", "X"), EProjectError);
  EXPECT_THROW(host.InsertComponent(Path("Main.cpp"), "TButton", "Button1"), EProjectError) << "name taken";
  EXPECT_EQ(host.Form(Path("Main.cpp")).ComponentCount(), 1) << "a refused insert leaves nothing behind";
  EXPECT_TRUE(log.empty());

  // Saving a changed module tells before writing; an unchanged one is not saved at all
  // unless forced.
  ASSERT_TRUE(module->Save(false));
  ASSERT_TRUE(module->Save(false));
  ASSERT_TRUE(module->Save(true));
  EXPECT_EQ(log, (std::vector<std::string>{"addin before save Main.cpp", "watcher before save Main.cpp",
                                           "addin before save Main.cpp", "watcher before save Main.cpp"}));
  log.clear();

  // Renaming the unit moves its files and the project source's line along.
  host.RenameModule(Path("Main.cpp"), Path("Front.cpp"));
  EXPECT_EQ(log, (std::vector<std::string>{"addin renamed Front.cpp", "watcher renamed Front.cpp"}));
  EXPECT_TRUE(std::filesystem::exists(Path("Front.h")));
  EXPECT_TRUE(std::filesystem::exists(Path("Front.dfm")));
  EXPECT_FALSE(std::filesystem::exists(Path("Main.cpp")));
  EXPECT_NE(Read("Project1.cpp").find("USEFORM(\"Front.cpp\", MainForm);"), std::string::npos);
  EXPECT_EQ(host.GetUnitName(3), Path("Front.cpp"));
  EXPECT_EQ(host.Form(Path("Front.cpp")).Name(), "FrontForm");
  log.clear();

  // Closing: the add-in hears of it first and drops its notifier; the watcher still
  // hears that the module goes.
  ASSERT_TRUE(host.OpenFile(Path("About.cpp")));
  ASSERT_TRUE(host.CloseFile(Path("Front.cpp")));
  EXPECT_EQ(log, (std::vector<std::string>{"opened About.cpp", "closing Front.cpp", "watcher deleted Front.cpp"}));
  log.clear();
  host.CloseProject();
  EXPECT_EQ(log, (std::vector<std::string>{"project closing Project1.bpr", "closing About.cpp"}));
  EXPECT_EQ(host.GetProjectName(), "");
  EXPECT_TRUE(host.RemoveNotifier(&addIn));
  EXPECT_FALSE(host.RemoveNotifier(&addIn));
}

// A notifier that takes itself and the next one off the list while being told.
class TLeaving : public ide::TIAddInNotifier {
public:
  TLeaving(std::vector<std::string>& log, ide::TIAddInNotifier* also) : log_(log), also_(also) {}
  void FileNotification(ide::TFileNotification code, const std::string&) override {
    log_.push_back(std::string("leaving ") + FileCode(code));
    ide::ToolServices()->RemoveNotifier(this);
    ide::ToolServices()->RemoveNotifier(also_);
  }

private:
  std::vector<std::string>& log_;
  ide::TIAddInNotifier* also_;
};

class TPlain : public ide::TIAddInNotifier {
public:
  TPlain(std::string tag, std::vector<std::string>& log) : tag_(std::move(tag)), log_(log) {}
  void FileNotification(ide::TFileNotification code, const std::string&) override {
    log_.push_back(tag_ + " " + FileCode(code));
  }

private:
  std::string tag_;
  std::vector<std::string>& log_;
};

TEST_F(Notifications, NotifiersMayLeaveWhileBeingTold) {
  WriteDelphiProject();
  std::vector<std::string> log;
  TDevelopmentHost host;
  TPlain first("first", log), skipped("skipped", log), last("last", log);
  TLeaving leaving(log, &skipped);
  host.AddNotifier(&first);
  host.AddNotifier(&leaving);
  host.AddNotifier(&skipped);
  host.AddNotifier(&last);
  host.OpenProject(Path("Demo.dpr"));
  host.CloseProject();
  EXPECT_EQ(log, (std::vector<std::string>{"first project opened", "leaving project opened", "last project opened",
                                           "first project closing", "last project closing"}));
}

class TExpert : public ide::TIExpert {
public:
  TExpert(std::vector<std::string>& log) : log_(log), notifier_("expert", log) {
    ide::ToolServices()->AddNotifier(&notifier_);
  }
  ~TExpert() override {
    // The host still exists while its add-ins go.
    log_.push_back(ide::ToolServices() && ide::ToolServices()->RemoveNotifier(&notifier_) ? "unregistered" : "lost");
  }
  std::string GetName() const override { return "Test Expert"; }
  std::string GetIDString() const override { return "Test.Expert"; }
  ide::TExpertStyle GetStyle() const override { return ide::esAddIn; }
  ide::TExpertState GetState() const override { return 0; }

private:
  std::vector<std::string>& log_;
  TPlain notifier_;
};

TEST_F(Notifications, AddInsNeedAHostAndLeaveBeforeIt) {
  std::vector<std::string> log;
  EXPECT_EQ(ide::ToolServices(), nullptr);
  EXPECT_FALSE(ide::RegisterLibraryExpert(nullptr));
  {
    TDevelopmentHost host;
    ASSERT_TRUE(ide::RegisterLibraryExpert(std::make_unique<TExpert>(log)));
    EXPECT_EQ(host.ExpertCount(), 1u);
    WriteDelphiProject();
    host.OpenProject(dir_.string());
  }
  EXPECT_EQ(log, (std::vector<std::string>{"expert project opened", "unregistered"}));
  EXPECT_EQ(ide::ToolServices(), nullptr);
}

}  // namespace
}  // namespace quintrel::host
