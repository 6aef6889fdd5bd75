//---------------------------------------------------------------------------
#include <vcl.h>
#pragma hdrstop

#include "Data.h"
//---------------------------------------------------------------------------
#pragma package(smart_init)
#pragma resource "*.dfm"
TDataModule1 *DataModule1;
//---------------------------------------------------------------------------
__fastcall TDataModule1::TDataModule1(TComponent* Owner)
    : TDataModule(Owner)
{
}
//---------------------------------------------------------------------------
void __fastcall TDataModule1::DataModule1Create(TObject *Sender)
{
    // The table is optional: without the alias the program works on files only.
    try
    {
        ContactsTable->Open();
    }
    catch (EDatabaseError &)
    {
        AutoSaveTimer->Enabled = false;
    }
}
//---------------------------------------------------------------------------
