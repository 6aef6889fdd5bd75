//---------------------------------------------------------------------------
#ifndef ContactsH
#define ContactsH
//---------------------------------------------------------------------------
#include <Classes.hpp>
//---------------------------------------------------------------------------
struct TContact
{
    AnsiString Name;
    AnsiString Phone;
    AnsiString City;
    AnsiString Group;
    AnsiString Notes;
    bool Business;
    bool Favourite;
    TContact() : Business(false), Favourite(false) {}
};
//---------------------------------------------------------------------------
// The address book kept in memory; files hold one contact per line with the
// fields separated by tabs.
class TContactBook
{
private:
    TList *FItems;
public:
    TContactBook(void);
    ~TContactBook(void);
    int Count(void) const;
    const TContact &Item(int Index) const;
    void Add(const TContact &Contact);
    void Delete(int Index);
    void Clear(void);
    bool LoadFromFile(const AnsiString &FileName);
    bool SaveToFile(const AnsiString &FileName) const;
};
//---------------------------------------------------------------------------
#endif
