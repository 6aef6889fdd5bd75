#include <vcl.h>
#pragma hdrstop
USERES("App.res");
USEFORM("Main.cpp", MainForm);
//USEFORM("Old.cpp", OldForm);
USEFORM("About.cpp", AboutBox); /* TForm: DesignClass */
/* USEUNIT("Gone.cpp"); */
USEUNIT("Lib\Util.cpp");
USERC("Errors.rc");
USEPACKAGE("vcl35.bpi");
WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
