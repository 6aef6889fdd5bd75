//---------------------------------------------------------------------------
#ifndef DataH
#define DataH
//---------------------------------------------------------------------------
#include <Classes.hpp>
#include <Controls.hpp>
#include <Forms.hpp>
#include <Db.hpp>
#include <DBTables.hpp>
#include <Dialogs.hpp>
#include <ExtCtrls.hpp>
#include <Menus.hpp>
//---------------------------------------------------------------------------
class TDataModule1 : public TDataModule
{
__published:    // IDE-managed Components
    TTable *ContactsTable;
    TDataSource *ContactsSource;
    TSaveDialog *SaveDialog1;
    TPopupMenu *ListPopup;
    TMenuItem *PopupEditItem;
    TMenuItem *PopupCopyItem;
    TMenuItem *PopupDeleteItem;
    TTimer *AutoSaveTimer;
    void __fastcall DataModule1Create(TObject *Sender);
private:        // User declarations
public:         // User declarations
    __fastcall TDataModule1(TComponent* Owner);
};
//---------------------------------------------------------------------------
extern PACKAGE TDataModule1 *DataModule1;
//---------------------------------------------------------------------------
#endif
