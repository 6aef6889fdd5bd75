//---------------------------------------------------------------------------
#include <vcl.h>
#pragma hdrstop

#include "Contacts.h"
//---------------------------------------------------------------------------
#pragma package(smart_init)

static const char FieldSeparator = '\t';
static const char *FileHeader = "Sample address book 1";
//---------------------------------------------------------------------------
TContactBook::TContactBook(void) : FItems(new TList)
{
}
//---------------------------------------------------------------------------
TContactBook::~TContactBook(void)
{
    Clear();
    delete FItems;
}
//---------------------------------------------------------------------------
int TContactBook::Count(void) const
{
    return FItems->Count;
}
//---------------------------------------------------------------------------
const TContact &TContactBook::Item(int Index) const
{
    return *(TContact *)FItems->Items[Index];
}
//---------------------------------------------------------------------------
void TContactBook::Add(const TContact &Contact)
{
    FItems->Add(new TContact(Contact));
}
//---------------------------------------------------------------------------
void TContactBook::Delete(int Index)
{
    delete (TContact *)FItems->Items[Index];
    FItems->Delete(Index);
}
//---------------------------------------------------------------------------
void TContactBook::Clear(void)
{
    for (int i = 0; i < FItems->Count; i++)
        delete (TContact *)FItems->Items[i];
    FItems->Clear();
}
//---------------------------------------------------------------------------
static AnsiString NextField(AnsiString &Line)
{
    int p = Line.Pos(AnsiString(FieldSeparator));
    if (p == 0)
    {
        AnsiString field = Line;
        Line = "";
        return field;
    }
    AnsiString field = Line.SubString(1, p - 1);
    Line.Delete(1, p);
    return field;
}
//---------------------------------------------------------------------------
bool TContactBook::LoadFromFile(const AnsiString &FileName)
{
    TStringList *lines = new TStringList;
    try
    {
        try
        {
            lines->LoadFromFile(FileName);
        }
        catch (EFOpenError &)
        {
            return false;
        }
        if (lines->Count == 0 || lines->Strings[0] != FileHeader)
            return false;
        Clear();
        for (int i = 1; i < lines->Count; i++)
        {
            AnsiString line = lines->Strings[i];
            TContact c;
            c.Name = NextField(line);
            c.Phone = NextField(line);
            c.City = NextField(line);
            c.Group = NextField(line);
            c.Business = NextField(line) == "business";
            c.Favourite = NextField(line) == "favourite";
            c.Notes = StringReplace(line, "\\n", "\r\n", TReplaceFlags() << rfReplaceAll);
            Add(c);
        }
    }
    __finally
    {
        delete lines;
    }
    return true;
}
//---------------------------------------------------------------------------
bool TContactBook::SaveToFile(const AnsiString &FileName) const
{
    TStringList *lines = new TStringList;
    try
    {
        lines->Add(FileHeader);
        for (int i = 0; i < Count(); i++)
        {
            const TContact &c = Item(i);
            lines->Add(c.Name + FieldSeparator + c.Phone + FieldSeparator + c.City
                + FieldSeparator + c.Group + FieldSeparator
                + (c.Business ? "business" : "private") + FieldSeparator
                + (c.Favourite ? "favourite" : "") + FieldSeparator
                + StringReplace(c.Notes, "\r\n", "\\n", TReplaceFlags() << rfReplaceAll));
        }
        try
        {
            lines->SaveToFile(FileName);
        }
        catch (EFCreateError &)
        {
            return false;
        }
    }
    __finally
    {
        delete lines;
    }
    return true;
}
//---------------------------------------------------------------------------
