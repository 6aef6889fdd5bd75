//---------------------------------------------------------------------------
#ifndef MainH
#define MainH
//---------------------------------------------------------------------------
#include <Classes.hpp>
#include <Controls.hpp>
#include <StdCtrls.hpp>
#include <Forms.hpp>
#include <ComCtrls.hpp>
#include <Dialogs.hpp>
#include <ExtCtrls.hpp>
#include <Graphics.hpp>
#include <Menus.hpp>
#include "Contacts.h"
//---------------------------------------------------------------------------
class TMainForm : public TForm
{
__published:    // IDE-managed Components
    TPanel *TitlePanel;
    TImage *LogoImage;
    TLabel *TitleLabel;
    TLabel *SearchLabel;
    TEdit *SearchEdit;
    TListBox *GroupList;
    TListView *ContactList;
    TGroupBox *DetailsBox;
    TLabel *NameLabel;
    TLabel *PhoneLabel;
    TLabel *NotesLabel;
    TEdit *NameEdit;
    TEdit *PhoneEdit;
    TRadioButton *PrivateRadio;
    TRadioButton *BusinessRadio;
    TCheckBox *FavouriteCheck;
    TCheckBox *CardCheck;
    TMemo *NotesMemo;
    TStatusBar *StatusBar;
    TMainMenu *MainMenu1;
    TMenuItem *FileMenu;
    TMenuItem *FileNewItem;
    TMenuItem *FileOpenItem;
    TMenuItem *FileSaveItem;
    TMenuItem *FileSep1;
    TMenuItem *FileExitItem;
    TMenuItem *EditMenu;
    TMenuItem *EditAddItem;
    TMenuItem *EditDeleteItem;
    TMenuItem *EditSep1;
    TMenuItem *EditFontItem;
    TMenuItem *HelpMenu;
    TMenuItem *HelpContentsItem;
    TMenuItem *HelpAboutItem;
    TOpenDialog *OpenDialog1;
    TFontDialog *FontDialog1;
    void __fastcall FormCreate(TObject *Sender);
    void __fastcall FormCloseQuery(TObject *Sender, bool &CanClose);
    void __fastcall SearchEditChange(TObject *Sender);
    void __fastcall GroupListClick(TObject *Sender);
    void __fastcall ContactListSelectItem(TObject *Sender, TListItem *Item,
        bool Selected);
    void __fastcall FileNewItemClick(TObject *Sender);
    void __fastcall FileOpenItemClick(TObject *Sender);
    void __fastcall FileSaveItemClick(TObject *Sender);
    void __fastcall FileExitItemClick(TObject *Sender);
    void __fastcall EditAddItemClick(TObject *Sender);
    void __fastcall EditDeleteItemClick(TObject *Sender);
    void __fastcall EditFontItemClick(TObject *Sender);
    void __fastcall HelpAboutItemClick(TObject *Sender);
private:        // User declarations
    TContactBook *FBook;
    bool FModified;
    void __fastcall ShowContacts(void);
    void __fastcall ShowStatus(const AnsiString &Text);
    void __fastcall ShowError(int Ident);
public:         // User declarations
    __fastcall TMainForm(TComponent* Owner);
    __fastcall ~TMainForm(void);
};
//---------------------------------------------------------------------------
extern PACKAGE TMainForm *MainForm;
//---------------------------------------------------------------------------
#endif
