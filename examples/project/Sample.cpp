//---------------------------------------------------------------------------
#include <vcl.h>
#pragma hdrstop
USERES("Sample.res");
USEFORM("Main.cpp", MainForm);
USEFORM("About.cpp", AboutBox);
USEFORM("Data.cpp", DataModule1);
USEUNIT("Contacts.cpp");
USEUNIT("AppText.pas");
USEUNIT("Errors.pas");
USERC("Errors.rc");
//---------------------------------------------------------------------------
WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    try
    {
        Application->Initialize();
        Application->Title = "Sample Address Book";
        Application->HelpFile = "Sample.hlp";
        Application->CreateForm(__classid(TMainForm), &MainForm);
        Application->CreateForm(__classid(TAboutBox), &AboutBox);
        Application->CreateForm(__classid(TDataModule1), &DataModule1);
        Application->Run();
    }
    catch (Exception &exception)
    {
        Application->ShowException(&exception);
    }
    return 0;
}
//---------------------------------------------------------------------------
