//---------------------------------------------------------------------------
#include <vcl.h>
#pragma hdrstop

#include "Order.h"
//---------------------------------------------------------------------------
#pragma package(smart_init)
#pragma link "AddressFrame"
#pragma resource "*.dfm"
TOrderForm *OrderForm;
//---------------------------------------------------------------------------
__fastcall TOrderForm::TOrderForm(TComponent* Owner)
    : TForm(Owner)
{
}
//---------------------------------------------------------------------------
