// Synthetic projects in a scratch folder: a C++Builder project (project file, project
// source with its macro lines, units with headers, a text form and a binary form with
// its resource header) and a Delphi project (.dpr with a uses clause).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "platform/ide/project.h"
#include "platform/vcl/filer.h"

namespace quintrel::host::test {

namespace fs = std::filesystem;

inline const char* const kMainForm =
    "object MainForm: TMainForm\r\n"
    "  Left = 200\r\n"
    "  Top = 100\r\n"
    "  Width = 400\r\n"
    "  Height = 300\r\n"
    "  Caption = 'Main window'\r\n"
    "  Font.Charset = DEFAULT_CHARSET\r\n"
    "  Font.Height = -11\r\n"
    "  Font.Name = 'MS Sans Serif'\r\n"
    "  PixelsPerInch = 96\r\n"
    "  TextHeight = 13\r\n"
    "  object Panel1: TPanel\r\n"
    "    Left = 8\r\n"
    "    Top = 8\r\n"
    "    Width = 200\r\n"
    "    Height = 100\r\n"
    "    Caption = 'Details'\r\n"
    "    TabOrder = 0\r\n"
    "    object Label1: TLabel\r\n"
    "      Left = 4\r\n"
    "      Top = 4\r\n"
    "      Width = 40\r\n"
    "      Height = 13\r\n"
    "      Caption = 'Name:'\r\n"
    "    end\r\n"
    "    object Edit1: TEdit\r\n"
    "      Left = 50\r\n"
    "      Top = 4\r\n"
    "      Width = 120\r\n"
    "      Height = 21\r\n"
    "      TabOrder = 0\r\n"
    "      Text = 'Ann'\r\n"
    "    end\r\n"
    "  end\r\n"
    "  object Button1: TButton\r\n"
    "    Left = 8\r\n"
    "    Top = 120\r\n"
    "    Width = 75\r\n"
    "    Height = 25\r\n"
    "    Caption = '&OK'\r\n"
    "    TabOrder = 1\r\n"
    "  end\r\n"
    "end\r\n";

inline const char* const kAboutForm =
    "object AboutBox: TAboutBox\r\n"
    "  Left = 300\r\n"
    "  Top = 200\r\n"
    "  Caption = 'About'\r\n"
    "  PixelsPerInch = 96\r\n"
    "  TextHeight = 13\r\n"
    "  object Version: TLabel\r\n"
    "    Left = 8\r\n"
    "    Top = 8\r\n"
    "    Caption = 'Version 1.0'\r\n"
    "  end\r\n"
    "end\r\n";

// The message of the EProjectError `f` raises; "(no error)" when it raises none.
inline std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EProjectError& e) {
    return e.Message();
  }
  return "(no error)";
}

class ProjectFixture : public ::testing::Test {
protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / ("quintrel-ide-" + std::string(info->test_suite_name()) + "-" +
                                        std::string(info->name()) + "-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  void Write(const std::string& name, const std::string& data) const {
    fs::create_directories((dir_ / name).parent_path());
    std::ofstream(dir_ / name, std::ios::binary) << data;
  }

  std::string Read(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // The form in the binary notation, with the resource header a .dfm on disk carries.
  static std::string BinaryForm(const std::string& text) {
    return vcl::WriteBinaryForm(vcl::ToBinaryNotation(vcl::ReadTextForm(text)));
  }

  // Project1: a main form (text), an about box (binary), a Pascal unit in lower-case
  // spelling, a unit in a subfolder named with a backslash, a resource file, a package
  // and lines that are commented out.
  void WriteCppBuilderProject() const {
    Write("Project1.bpr",
          "VERSION = BCB.03\r\n"
          "PROJECT = Project1.exe\r\n"
          "OBJFILES = Project1.obj Main.obj About.obj \\\r\n"
          "    Strings.obj\r\n"
          "RESFILES = Project1.res\r\n");
    Write("Project1.cpp",
          "//---------------------------------------------------------------------------\r\n"
          "#include <vcl.h>\r\n"
          "#pragma hdrstop\r\n"
          "USERES(\"Project1.res\");\r\n"
          "USEFORM(\"Main.cpp\", MainForm);\r\n"
          "//USEFORM(\"Old.cpp\", OldForm);\r\n"
          "USEFORM(\"About.cpp\", AboutBox); /* TForm: DesignClass */\r\n"
          "/* USEUNIT(\"Gone.cpp\");\r\n"
          "   USEUNIT(\"Gone2.cpp\"); */\r\n"
          "USEUNIT(\"strings.PAS\");\r\n"
          "USEUNIT(\"Lib\\Util.cpp\");\r\n"
          "USEPACKAGE(\"vcl35.bpi\");\r\n"
          "//---------------------------------------------------------------------------\r\n"
          "WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)\r\n"
          "{\r\n"
          "  Application->Initialize();\r\n"
          "  Application->CreateForm(__classid(TMainForm), &MainForm);\r\n"
          "  Application->Run();\r\n"
          "  return 0;\r\n"
          "}\r\n");
    Write("Project1.res", std::string("\0\0\0\0 \0\0\0", 8));
    Write("Main.cpp", "#include \"Main.h\"\r\n#pragma resource \"*.dfm\"\r\nTMainForm *MainForm;\r\n");
    Write("Main.h", "class TMainForm : public TForm {};\r\n");
    Write("Main.dfm", kMainForm);
    Write("About.cpp", "#include \"About.h\"\r\n");
    Write("About.h", "class TAboutBox : public TForm {};\r\n");
    Write("About.dfm", BinaryForm(kAboutForm));
    Write("Strings.pas", "unit Strings;\r\ninterface\r\nresourcestring\r\n  SHello = 'Hello';\r\nimplementation\r\nend.\r\n");
    Write("Lib/Util.cpp", "int Twice(int x) { return 2 * x; }\r\n");
  }

  void WriteDelphiProject() const {
    Write("Demo.dpr",
          "program Demo;\n"
          "\n"
          "uses\n"
          "  Forms, { the library's own units name no file }\n"
          "  Main in 'Main.pas' {MainForm},\n"
          "  Data in 'Sub\\Data.pas' {DataModule1: TDataModule},\n"
          "  Util in 'Util.pas';\n"
          "\n"
          "{$R *.RES}\n"
          "\n"
          "begin\n"
          "  Application.Initialize;\n"
          "  Application.Run;\n"
          "end.\n");
    Write("Main.pas", "unit Main;\ninterface\nimplementation\n{$R *.DFM}\nend.\n");
    Write("Main.dfm", BinaryForm(kMainForm));
    Write("Sub/Data.pas", "unit Data;\ninterface\nimplementation\nend.\n");
    Write("Sub/Data.dfm", "object DataModule1: TDataModule1\n  Left = 10\n  Top = 10\nend\n");
    Write("Util.pas", "unit Util;\ninterface\nimplementation\nend.\n");
  }

  fs::path dir_;
};

}  // namespace quintrel::host::test
