//---------------------------------------------------------------------------
#include <vcl.h>
#pragma hdrstop

#include "AddressFrame.h"
//---------------------------------------------------------------------------
#pragma package(smart_init)
#pragma resource "*.dfm"
TAddressFrame *AddressFrame;
//---------------------------------------------------------------------------
__fastcall TAddressFrame::TAddressFrame(TComponent* Owner)
    : TFrame(Owner)
{
}
//---------------------------------------------------------------------------
