//---------------------------------------------------------------------------
#include <vcl.h>
#pragma hdrstop

#include "Main.h"
#include "About.h"
#include "Data.h"
#include "AppText.hpp"
#include "Errors.hpp"
//---------------------------------------------------------------------------
#pragma package(smart_init)
#pragma resource "*.dfm"
TMainForm *MainForm;
//---------------------------------------------------------------------------
__fastcall TMainForm::TMainForm(TComponent* Owner)
    : TForm(Owner), FBook(new TContactBook), FModified(false)
{
}
//---------------------------------------------------------------------------
__fastcall TMainForm::~TMainForm(void)
{
    delete FBook;
}
//---------------------------------------------------------------------------
void __fastcall TMainForm::FormCreate(TObject *Sender)
{
    ShowStatus(SReady);
    ShowContacts();
}
//---------------------------------------------------------------------------
void __fastcall TMainForm::FormCloseQuery(TObject *Sender, bool &CanClose)
{
    if (!FModified)
        return;
    switch (MessageDlg(SSaveChanges, mtConfirmation, TMsgDlgButtons() << mbYes
        << mbNo << mbCancel, 0))
    {
        case mrYes:
            FileSaveItemClick(Sender);
            break;
        case mrCancel:
            CanClose = false;
            break;
    }
}
//---------------------------------------------------------------------------
void __fastcall TMainForm::ShowStatus(const AnsiString &Text)
{
    StatusBar->Panels->Items[0]->Text = Text;
    StatusBar->Panels->Items[1]->Text = Format(SContactCount,
        OPENARRAY(TVarRec, (FBook->Count())));
}
//---------------------------------------------------------------------------
void __fastcall TMainForm::ShowError(int Ident)
{
    // Through the resource-string loader rather than LoadStr, so that the language
    // module can answer for the string table of Errors.rc as well.
    TResStringRec rec = { (long *)&HInstance, Ident };
    Application->MessageBox(LoadResString(&rec).c_str(), "Sample", MB_OK | MB_ICONSTOP);
}
//---------------------------------------------------------------------------
void __fastcall TMainForm::ShowContacts(void)
{
    AnsiString group = GroupList->ItemIndex > 0
        ? GroupList->Items->Strings[GroupList->ItemIndex] : AnsiString();
    ContactList->Items->BeginUpdate();
    try
    {
        ContactList->Items->Clear();
        for (int i = 0; i < FBook->Count(); i++)
        {
            const TContact &c = FBook->Item(i);
            if (!group.IsEmpty() && c.Group != group)
                continue;
            if (!SearchEdit->Text.IsEmpty() && !c.Name.AnsiPos(SearchEdit->Text))
                continue;
            TListItem *item = ContactList->Items->Add();
            item->Caption = c.Name;
            item->SubItems->Add(c.Phone);
            item->SubItems->Add(c.City);
            item->Data = (void *)i;
        }
    }
    __finally
    {
        ContactList->Items->EndUpdate();
    }
}
//---------------------------------------------------------------------------
void __fastcall TMainForm::SearchEditChange(TObject *Sender)
{
    ShowContacts();
}
//---------------------------------------------------------------------------
void __fastcall TMainForm::GroupListClick(TObject *Sender)
{
    ShowContacts();
}
//---------------------------------------------------------------------------
void __fastcall TMainForm::ContactListSelectItem(TObject *Sender,
    TListItem *Item, bool Selected)
{
    if (!Selected)
        return;
    const TContact &c = FBook->Item((int)Item->Data);
    NameEdit->Text = c.Name;
    PhoneEdit->Text = c.Phone;
    BusinessRadio->Checked = c.Business;
    PrivateRadio->Checked = !c.Business;
    FavouriteCheck->Checked = c.Favourite;
    NotesMemo->Lines->Text = c.Notes;
}
//---------------------------------------------------------------------------
void __fastcall TMainForm::FileNewItemClick(TObject *Sender)
{
    FBook->Clear();
    FModified = false;
    Caption = "Sample Address Book";
    ShowContacts();
    ShowStatus(SReady);
}
//---------------------------------------------------------------------------
void __fastcall TMainForm::FileOpenItemClick(TObject *Sender)
{
    if (!OpenDialog1->Execute())
        return;
    if (!FBook->LoadFromFile(OpenDialog1->FileName))
    {
        ShowError(SE_CannotRead);
        return;
    }
    Caption = "Sample Address Book - " + ExtractFileName(OpenDialog1->FileName);
    FModified = false;
    ShowContacts();
    ShowStatus(SOpened);
}
//---------------------------------------------------------------------------
void __fastcall TMainForm::FileSaveItemClick(TObject *Sender)
{
    TSaveDialog *dialog = DataModule1->SaveDialog1;
    dialog->FileName = OpenDialog1->FileName;
    if (!dialog->Execute())
        return;
    if (!FBook->SaveToFile(dialog->FileName))
    {
        ShowError(SE_CannotWrite);
        return;
    }
    FModified = false;
    ShowStatus(SSaved);
}
//---------------------------------------------------------------------------
void __fastcall TMainForm::FileExitItemClick(TObject *Sender)
{
    Close();
}
//---------------------------------------------------------------------------
void __fastcall TMainForm::EditAddItemClick(TObject *Sender)
{
    AnsiString name = InputBox("New contact", "Name of the new contact:", "");
    if (name.Trim().IsEmpty())
        return;
    TContact c;
    c.Name = name.Trim();
    c.Group = GroupList->ItemIndex > 0
        ? GroupList->Items->Strings[GroupList->ItemIndex] : AnsiString("Friends");
    FBook->Add(c);
    FModified = true;
    ShowContacts();
    ShowStatus(SReady);
}
//---------------------------------------------------------------------------
void __fastcall TMainForm::EditDeleteItemClick(TObject *Sender)
{
    TListItem *item = ContactList->Selected;
    if (!item)
        return;
    AnsiString question = Format(SDeleteContact, OPENARRAY(TVarRec, (item->Caption)));
    if (MessageDlg(question, mtConfirmation, TMsgDlgButtons() << mbYes << mbNo, 0) != mrYes)
        return;
    FBook->Delete((int)item->Data);
    FModified = true;
    ShowContacts();
    ShowStatus(SReady);
}
//---------------------------------------------------------------------------
void __fastcall TMainForm::EditFontItemClick(TObject *Sender)
{
    FontDialog1->Font = ContactList->Font;
    if (FontDialog1->Execute())
        ContactList->Font = FontDialog1->Font;
}
//---------------------------------------------------------------------------
void __fastcall TMainForm::HelpAboutItemClick(TObject *Sender)
{
    AboutBox->ShowModal();
}
//---------------------------------------------------------------------------
