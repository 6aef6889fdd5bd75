#include <gtest/gtest.h>

#include <filesystem>

#include "platform/vcl/comctrls.h"
#include "platform/vcl/dbctrls.h"
#include "platform/vcl/dialogs.h"
#include "platform/vcl/extctrls.h"
#include "platform/vcl/formatvars.h"
#include "platform/vcl/forms.h"
#include "platform/vcl/proplist.h"
#include "platform/vcl/streaming.h"
#include "platform/win32/menus.h"
#include "platform/win32/winuser.h"
#include "tests/testdata.h"

using namespace quintrel::vcl;
namespace fs = std::filesystem;

namespace {

// A form of the corpus outside the repository (see tests/testdata.h).
fs::path CorpusFile(const char* name) { return quintrel::testdata::Extra(std::string("dfm/") + name); }

using quintrel::testdata::Bytes;

template <class T = TComponent>
T* Find(TComponent* root, std::string_view name) {
  for (int i = 0; i < root->ComponentCount(); ++i) {
    TComponent* c = root->Components(i);
    if (c->Name() == name) return dynamic_cast<T*>(c);
    if (c->ComponentCount() > 0)
      if (T* inner = Find<T>(c, name)) return inner;
  }
  return nullptr;
}

std::string Written(const TComponent& root, const TFormStream& like) { return WriteComponentBytes(root, like); }

}  // namespace

// --- run-time type information -----------------------------------------------------------

TEST(TypInfo, PublishedPropertiesCarryTheirTypes) {
  PPropInfo caption = GetPropInfo(&TLabel::StaticClass(), "caption");
  ASSERT_NE(caption, nullptr);
  EXPECT_EQ(caption->PropType->Kind, tkLString);
  EXPECT_EQ(caption->PropType->Name, "TCaption");
  EXPECT_TRUE(IsWritableProp(caption));
  // Labels have a Caption, edit boxes a Text, though both keep the control's text.
  EXPECT_EQ(GetPropInfo(&TLabel::StaticClass(), "Text"), nullptr);
  EXPECT_NE(GetPropInfo(&TEdit::StaticClass(), "Text"), nullptr);

  PPropInfo align = GetPropInfo(&TPanel::StaticClass(), "Align");
  ASSERT_NE(align, nullptr);
  EXPECT_EQ(align->PropType->Kind, tkEnumeration);
  EXPECT_EQ(GetEnumName(align->PropType, alClient), "alClient");
  EXPECT_EQ(GetEnumValue(align->PropType, "ALRIGHT"), alRight);
  EXPECT_EQ(GetEnumValue(align->PropType, "alNowhere"), -1);
  EXPECT_EQ(GetTypeData(align->PropType)->MaxValue, alCustom);

  PPropInfo anchors = GetPropInfo(&TButton::StaticClass(), "Anchors");
  ASSERT_NE(anchors, nullptr);
  EXPECT_EQ(anchors->PropType->Kind, tkSet);
  EXPECT_EQ(GetTypeData(anchors->PropType)->CompType->Name, "TAnchorKind");

  PPropInfo font = GetPropInfo(&TLabel::StaticClass(), "Font");
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(GetTypeData(font->PropType)->ClassType, &TFont::StaticClass());
  EXPECT_EQ(GetPropInfo(&TLabel::StaticClass(), "OnClick")->PropType->Kind, tkMethod);

  EXPECT_TRUE(TBitBtn::StaticClass().InheritsFrom(&TButtonControl::StaticClass()));
  EXPECT_TRUE(TBitBtn::StaticClass().InheritsFrom("tbutton"));
  EXPECT_FALSE(TBitBtn::StaticClass().InheritsFrom(&TCustomCheckBox::StaticClass()));
  EXPECT_TRUE(TUpDown::StaticClass().InheritsFrom("TCustomUpDown"));
  EXPECT_TRUE(TReplaceDialog::StaticClass().InheritsFrom(&TCommonDialog::StaticClass()));
  EXPECT_EQ(FindClass("TStatusBar"), &TStatusBar::StaticClass());
  EXPECT_THROW(FindClass("TNoSuchThing"), EClassNotFound);
}

TEST(TypInfo, OperationsReadAndWriteThroughTheTable) {
  auto form = std::make_unique<TForm>();
  auto* label = form->Add<TLabel>("Label1");
  SetStrProp(label, "Caption", "Hello");
  EXPECT_EQ(label->Caption(), "Hello");
  SetOrdProp(label, "Anchors", StringToSet(GetPropInfo(label, "Anchors"), "[akLeft,akBottom]"));
  EXPECT_EQ(label->Anchors(), (1u << akLeft) | (1u << akBottom));
  EXPECT_EQ(SetToString(GetPropInfo(label, "Anchors"), label->Anchors()), "[akLeft,akBottom]");
  SetOrdProp(label, "Color", clRed);
  EXPECT_EQ(GetOrdProp(label, "Color"), clRed);
  EXPECT_FALSE(label->ParentColor());
  // A nested object's property through the object.
  SetStrProp(GetObjectProp(label, "Font"), "Name", "Arial");
  EXPECT_EQ(label->Font()->Name(), "Arial");
  EXPECT_FALSE(label->ParentFont());
  // Bag properties behave like the others.
  EXPECT_EQ(GetOrdProp(label, "WordWrap"), 0);
  SetOrdProp(label, "WordWrap", 1);
  EXPECT_EQ(GetOrdProp(label, "WordWrap"), 1);

  auto* picker = form->Add<TDateTimePicker>("Picker");
  SetFloatProp(picker, "Date", 39057.5L);
  EXPECT_EQ(GetFloatProp(picker, "Date"), 39057.5L);

  EXPECT_THROW(SetStrProp(label, "Nothing", "x"), EPropertyError);
  EXPECT_THROW(GetStrProp(label, "Color"), EPropertyError);
  EXPECT_THROW(SetFloatProp(label, "Caption", 1.0L), EPropertyError);
}

TEST(Graphics, ColourIdentifiers) {
  int64_t c = 0;
  EXPECT_TRUE(IdentToColor("clRed", c));
  EXPECT_EQ(c, 0x0000FF);
  EXPECT_TRUE(IdentToColor("CLBTNFACE", c));
  EXPECT_EQ(static_cast<uint32_t>(c), 0x8000000Fu);
  EXPECT_FALSE(IdentToColor("clPlaid", c));
  std::string ident;
  EXPECT_TRUE(ColorToIdent(clWindowText, ident));
  EXPECT_EQ(ident, "clWindowText");
  EXPECT_FALSE(ColorToIdent(0x123456, ident));
  EXPECT_EQ(ColorToString(0x123456), "$00123456");
  EXPECT_EQ(StringToColor("$0000FF"), clRed);
}

TEST(Graphics, FontSizeFollowsHeight) {
  TFont font;
  EXPECT_EQ(font.Height(), -11);
  EXPECT_EQ(font.Size(), 8);
  font.SetSize(12);
  EXPECT_EQ(font.Height(), -16);
  font.SetPixelsPerInch(120);
  EXPECT_EQ(font.Size(), 10);
}

// --- components, lists and collections ------------------------------------------------

TEST(Components, OwnershipNamesAndReferences) {
  auto form = std::make_unique<TForm>();
  auto* panel = form->Add<TPanel>("Panel1");
  auto* button = form->Add<TButton>("Button1");
  auto* popup = form->Add<TPopupMenu>("Popup");
  button->SetParent(panel);
  SetObjectProp(button, GetPropInfo(button, "PopupMenu"), popup);
  EXPECT_EQ(form->ComponentCount(), 3);
  EXPECT_EQ(form->FindComponent("button1"), button);
  EXPECT_EQ(button->ComponentIndex(), 1);
  EXPECT_EQ(panel->ControlCount(), 1);
  EXPECT_EQ(panel->Controls(0), button);
  EXPECT_THROW(panel->Controls(1), EListError);
  EXPECT_THROW(form->Add<TLabel>("Button1"), EComponentError);
  EXPECT_THROW(button->SetName("1st"), EComponentError);

  // Destroying a component takes it out of its owner, its parent and every reference.
  form->DestroyComponent(popup);
  EXPECT_EQ(GetObjectProp(button, "PopupMenu"), nullptr);
  form->DestroyComponent(panel);
  EXPECT_EQ(button->Parent(), nullptr);
  EXPECT_EQ(form->ComponentCount(), 2);  // the label that failed to get a name stays, unnamed
}

// Counts what it is told, so that the work of a form's teardown can be measured.
class TCountingComponent : public TComponent {
public:
  static inline int64_t Told = 0;
  void Notification(TComponent* component, TOperation operation) override {
    ++Told;
    TComponent::Notification(component, operation);
  }
};

TEST(Components, InsertingAndRemovingTellOnlyThoseConcerned) {
  // Telling every component of the owner about every other made a form of n components
  // cost n squared to build and to tear down.
  constexpr int kCount = 3000;
  auto form = std::make_unique<TForm>();
  for (int i = 0; i < kCount; ++i) form->Add<TCountingComponent>();
  EXPECT_LT(TCountingComponent::Told, kCount);
  TCountingComponent::Told = 0;
  form.reset();
  EXPECT_LT(TCountingComponent::Told, kCount);

  // References are still cleared, across owners too, and in either order of destruction.
  auto first = std::make_unique<TForm>();
  auto second = std::make_unique<TForm>();
  auto* edit = first->Add<TEdit>("Edit1");
  auto* label = second->Add<TLabel>("Label1");
  auto* other = second->Add<TLabel>("Label2");
  SetObjectProp(label, GetPropInfo(label, "FocusControl"), edit);
  SetObjectProp(other, GetPropInfo(other, "FocusControl"), edit);
  second->DestroyComponent(other);  // its request ends with it: removing the edit must not reach it
  first->DestroyComponent(edit);
  EXPECT_EQ(GetObjectProp(label, "FocusControl"), nullptr);

  // An item that leaves its owner leaves its menu.
  auto* menu = second->Add<TMainMenu>("Menu1");
  auto* file = second->Add<TMenuItem>("File1");
  auto* open = second->Add<TMenuItem>("Open1");
  menu->Items()->Add(file);
  file->Add(open);
  std::unique_ptr<TComponent> taken = second->RemoveComponent(open);
  EXPECT_EQ(file->Count(), 0);
  taken.reset();
  second.reset();  // the menu and the item that is left go together
  EXPECT_EQ(first->ComponentCount(), 0);
}

TEST(Components, AlignmentWaitsForEnableAlign) {
  auto form = std::make_unique<TForm>();
  form->SetClientWidth(400);
  form->SetClientHeight(300);
  auto* top = form->Add<TPanel>("Top");
  auto* client = form->Add<TPanel>("Client");
  form->DisableAlign();
  top->SetParent(form.get());
  client->SetParent(form.get());
  top->SetHeight(40);
  top->SetAlign(alTop);
  client->SetAlign(alClient);
  EXPECT_EQ(client->Top(), 0);
  form->EnableAlign();
  EXPECT_EQ(top->Width(), 400);
  EXPECT_EQ(client->Top(), 40);
  EXPECT_EQ(client->Height(), 260);
}

TEST(Strings, ListOperations) {
  TStringList list;
  list.SetCommaText("b,\"a c\",\"say \"\"hi\"\"\",,d");
  ASSERT_EQ(list.Count(), 5);
  EXPECT_EQ(list[1], "a c");
  EXPECT_EQ(list[2], "say \"hi\"");
  EXPECT_EQ(list[3], "");
  EXPECT_EQ(list.CommaText(), "b,\"a c\",\"say \"\"hi\"\"\",\"\",d");
  list.SetText("x=1\r\ny=2\nlast");
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Values("Y"), "2");
  EXPECT_EQ(list.Text(), "x=1\r\ny=2\r\nlast\r\n");
  list.SetSorted(true);
  list.Add("a");
  EXPECT_EQ(list[0], "a");
  EXPECT_EQ(list.IndexOf("LAST"), 1);
  EXPECT_THROW(list.Get(4), EListError);
  EXPECT_THROW(list.Delete(-1), EListError);
}

TEST(Collections, ItemsByIndex) {
  auto bar = std::make_unique<TStatusBar>();
  TStatusPanel* first = bar->Panels()->Add();
  TStatusPanel* second = bar->Panels()->Add();
  SetStrProp(second, "Text", "Ready");
  EXPECT_EQ(bar->Panels()->Count(), 2);
  EXPECT_EQ(second->Index(), 1);
  EXPECT_EQ(second->DisplayName(), "Ready");
  EXPECT_EQ(GetOrdProp(first, "Width"), 50);
  second->SetIndex(0);
  EXPECT_EQ(bar->Panels()->Items(0), second);
  EXPECT_THROW(bar->Panels()->Items(2), EListError);
  EXPECT_EQ(bar->Panels()->PropName(), "Panels");
}

TEST(Forms, ShowWindowGoesThroughTheReplaceableHandler) {
  std::vector<std::pair<std::string, uintptr_t>> seen;
  TFormMessageHandler previous = TCustomForm::SetShowWindowHandler([&](TCustomForm& form, TMessage& m) {
    seen.emplace_back(form.Name(), m.WParam);
  });
  {
    auto one = std::make_unique<TForm>();
    one->SetName("One");
    auto two = std::make_unique<TForm>();
    two->SetName("Two");
    one->Show();
    two->Show();
    EXPECT_EQ(Screen().ActiveForm(), two.get());
    one->Hide();
    EXPECT_FALSE(one->Visible());
  }
  TCustomForm::SetShowWindowHandler(previous);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], (std::pair<std::string, uintptr_t>{"One", 1}));
  EXPECT_EQ(seen[2], (std::pair<std::string, uintptr_t>{"One", 0}));
}

// --- live forms from real streams ---------------------------------------------------------

TEST(LiveForms, TypedAccessOnLoadedFormsAndTheOnlyDifferenceAChangeMakes) {
  const fs::path file = quintrel::testdata::Data("dfm/rtklib__getoptdlg.dfm");
  TFormStream form;
  std::unique_ptr<TComponent> options = LoadComponentFile(file.string(), &form);
  auto* combo = Find<TComboBox>(options.get(), "TraceLevel");
  ASSERT_NE(combo, nullptr);
  auto* items = dynamic_cast<TStrings*>(GetObjectProp(combo, "Items"));
  ASSERT_NE(items, nullptr);
  EXPECT_EQ(items->Strings(3), "Level 3");
  EXPECT_EQ(GetStrProp(combo, "Text"), "OFF");

  // One changed line of a string list, and only that line, differs when written back.
  items->Put(3, "Level three");
  std::string expected = Bytes(file);
  const size_t at = expected.find("'Level 3'");
  ASSERT_NE(at, std::string::npos);
  expected.replace(at, 9, "'Level three'");
  EXPECT_EQ(Written(*options, form), expected);
}

TEST(LiveForms, CharacterCodesMeetTheCodePageTheyAreReadWith) {
  const fs::path file = quintrel::testdata::Data("dfm/delphiforfun__u_datecalc2.dfm");
  TFormStream form = LoadFormFile(file.string());
  // #169 becomes the byte of the copyright sign in code page 1252, and is written back as
  // the code it was.
  TReadOptions options;
  options.Context.Codec = CodecForCodePage(1252);
  std::unique_ptr<TComponent> root = ReadComponent(form, options);
  auto* text = Find(root.get(), "StaticText1");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(GetStrProp(text, "Caption"), "Copyright \xA9 2010, Gary Darby,  www.DelphiForFun.org");
  EXPECT_EQ(Written(*root, form), Bytes(file));
}

TEST(CorpusExtraLiveForms, TypedAccessOnLoadedForms) {
  QUINTREL_REQUIRE_EXTRA_CORPUS();
  std::unique_ptr<TComponent> rich = LoadComponentFile(CorpusFile("masteringdelphi7__richform.dfm").string());
  EXPECT_TRUE(rich->InheritsFrom(&TForm::StaticClass()));
  auto* bar = Find<TStatusBar>(rich.get(), "StatusBar");
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(bar->Panels()->Count(), 4);
  EXPECT_EQ(GetStrProp(bar->Panels()->Items(2), "Text"), "1/1");
  EXPECT_EQ(GetOrdProp(bar->Panels()->Items(1), "Alignment"), taCenter);

  std::unique_ptr<TComponent> experts = LoadComponentFile(CorpusFile("gexperts__gx_configure.dfm").string());
  auto* vclDir = Find<TButton>(experts.get(), "sbVCLDir");
  ASSERT_NE(vclDir, nullptr);
  EXPECT_EQ(vclDir->Anchors(), (1u << akTop) | (1u << akRight));
  EXPECT_EQ(GetOrdProp(experts.get(), "Color"), clBtnFace);

  // A PNG image of a foreign class, and a bitmap glyph, kept as their stream images.
  std::unique_ptr<TComponent> about = LoadComponentFile(CorpusFile("delphi-library-helper__frmaboutu.dfm").string());
  auto* image = Find<TImage>(about.get(), "ProgramIcon");
  ASSERT_NE(image, nullptr);
  ASSERT_NE(image->Picture()->Graphic(), nullptr);
  EXPECT_EQ(image->Picture()->Graphic()->ClassName(), "TPngImage");
  EXPECT_EQ(image->Picture()->Graphic()->Image().substr(1, 3), "PNG");
  EXPECT_EQ(image->Picture()->Width(), 96);

  std::unique_ptr<TComponent> filter = LoadComponentFile(CorpusFile("weight2013__filter.dfm").string());
  auto* ok = Find<TBitBtn>(filter.get(), "BtnOK");
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->Glyph()->Width(), 36);
  EXPECT_EQ(ok->Glyph()->Height(), 18);
  EXPECT_EQ(ok->Glyph()->Image().substr(0, 2), "BM");
}

TEST(CorpusExtraLiveForms, WideTextMeetsTheCodePageItIsReadWith) {
  QUINTREL_REQUIRE_EXTRA_CORPUS();
  TFormStream form = LoadFormFile(CorpusFile("starlight1__umain.dfm").string());
  // Cyrillic captions become bytes of code page 1251 when the form is read with it.
  TReadOptions options;
  options.Context.Codec = CodecForCodePage(1251);
  std::unique_ptr<TComponent> russian = ReadComponent(form, options);
  auto* menu = Find<TMenuItem>(russian.get(), "micom");
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->Caption(), "\xCE\xE1\xF9\xE8\xE5");  // "Общие" in code page 1251
  EXPECT_EQ(CodecForCodePage(1251).ToWide(menu->Caption()), u"\u041E\u0431\u0449\u0438\u0435");
  EXPECT_EQ(Written(*russian, form), Bytes(CorpusFile("starlight1__umain.dfm")));
}

TEST(CorpusExtraLiveForms, GenericComponentsAreTypedFromTheirStream) {
  QUINTREL_REQUIRE_EXTRA_CORPUS();
  std::unique_ptr<TComponent> frame =
      LoadComponentFile(CorpusFile("delphi-xe7-projekte__fr_konf_datenbank.dfm").string());
  EXPECT_TRUE(frame->InheritsFrom(&TFrame::StaticClass()));
  TComponent* edit = Find(frame.get(), "edt_Datenbankfilename");
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->ClassName(), "TAdvFileNameEdit");
  EXPECT_TRUE(edit->ClassType().IsGeneric());
  EXPECT_EQ(GetStrProp(edit, "Version"), "1.3.5.0");
  EXPECT_EQ(GetOrdProp(edit, "Width"), 361);
  EXPECT_EQ(GetPropInfo(edit, "ButtonStyle")->PropType->Kind, tkEnumeration);
  EXPECT_EQ(GetEnumName(GetPropInfo(edit, "ButtonStyle")->PropType, GetOrdProp(edit, "ButtonStyle")), "bsButton");
  auto* labelFont = dynamic_cast<TFont*>(GetObjectProp(edit, "LabelFont"));
  ASSERT_NE(labelFont, nullptr);
  EXPECT_EQ(labelFont->Name(), "Tahoma");
  auto* lookup = dynamic_cast<TPersistent*>(GetObjectProp(edit, "Lookup"));
  ASSERT_NE(lookup, nullptr);
  EXPECT_EQ(dynamic_cast<TFont*>(GetObjectProp(lookup, "Font"))->Name(), "Arial");
  auto* glyph = dynamic_cast<TBitmap*>(GetObjectProp(edit, "Glyph"));
  ASSERT_NE(glyph, nullptr);
  EXPECT_EQ(glyph->Width(), 12);
  // A property the stream did not carry is not published by the generic class.
  EXPECT_EQ(GetPropInfo(edit, "Caption"), nullptr);
}

TEST(CorpusExtraLiveForms, ChangedPropertiesAreTheOnlyDifference) {
  QUINTREL_REQUIRE_EXTRA_CORPUS();
  TFormStream form;
  std::unique_ptr<TComponent> module =
      LoadComponentFile(CorpusFile("masteringdelphi7__serverdatamodule.dfm").string(), &form);
  EXPECT_TRUE(module->InheritsFrom(&TDataModule::StaticClass()));
  std::string original = Bytes(CorpusFile("masteringdelphi7__serverdatamodule.dfm"));

  auto* connection = Find(module.get(), "SQLConnection");
  ASSERT_NE(connection, nullptr);
  auto* params = dynamic_cast<TStrings*>(GetObjectProp(connection, "Params"));
  ASSERT_NE(params, nullptr);
  params->Put(2, "RoleName=Admin");
  std::string changed = Written(*module, form);
  std::string expected = original;
  size_t at = expected.find("'RoleName=RoleName'");
  ASSERT_NE(at, std::string::npos);
  expected.replace(at, 19, "'RoleName=Admin'");
  // The long second line keeps its original spelling across two lines.
  EXPECT_EQ(changed, expected);

  // A new component appears, written the way a designer writes it.
  auto* timer = module->Add<TTimer>("Timer1");
  SetOrdProp(timer, "Interval", 250);
  std::string added = Written(*module, form);
  EXPECT_NE(added.find("  object Timer1: TTimer\r\n    Interval = 250\r\n  end\r\nend\r\n"), std::string::npos) << added;
}

// --- windows of the window manager -------------------------------------------------------

TEST(Windows, ControlsOwnWindowsThatFollowThem) {
  namespace w = quintrel::win32;
  auto form = std::make_unique<TForm>();
  form->SetName("Main");
  form->SetCaption("Main window");
  auto* panel = form->Add<TPanel>("Panel1");
  panel->SetParent(form.get());
  auto* edit = form->Add<TEdit>("Edit1");
  edit->SetParent(panel);
  auto* second = form->Add<TEdit>("Edit2");
  second->SetParent(panel);

  w::HWND window = edit->Handle();  // the parents' windows come first
  ASSERT_TRUE(window);
  EXPECT_TRUE(form->HandleAllocated());
  EXPECT_EQ(w::GetWindowText(form->Handle()), u"Main window");
  EXPECT_EQ(w::GetWindow(window, w::GW_HWNDNEXT), second->Handle());

  edit->SetText("typed");
  EXPECT_EQ(w::GetWindowText(window), u"typed");
  edit->SetBounds(5, 6, 70, 20);
  w::RECT r;
  ASSERT_TRUE(w::GetClientRect(window, r));
  EXPECT_EQ(r.right - r.left, 70);

  // Destroying the control destroys its window. (Class, parent and lookup of the windows of
  // every corpus control: CorpusWindows.)
  form->DestroyComponent(edit);
  EXPECT_FALSE(w::IsWindow(window));
  EXPECT_EQ(TWinControl::FindControl(window), nullptr);
}

TEST(Windows, FormsHaveASystemMenuAndAMenuBarThatFollowsTheMainMenu) {
  namespace w = quintrel::win32;
  auto form = std::make_unique<TForm>();
  auto* menu = form->Add<TMainMenu>("MainMenu1");
  for (const char* caption : {"&File", "&Edit", "&Help"}) {
    auto* item = form->Add<TMenuItem>(std::string(caption + 1) + "1");
    item->SetCaption(caption);
    menu->Items()->Add(item);
  }
  auto* open = form->Add<TMenuItem>("Open1");
  open->SetCaption("&Open");
  open->SetChecked(true);
  menu->Items()->Items(0)->Add(open);
  form->SetMenu(menu);

  w::HMENU system = form->SystemMenu();
  ASSERT_TRUE(system);
  EXPECT_GT(w::GetMenuItemCount(system), 0);
  w::HMENU bar = w::GetMenu(form->Handle());
  ASSERT_TRUE(bar);
  ASSERT_EQ(w::GetMenuItemCount(bar), 3);
  EXPECT_FALSE(w::MenuBarNeedsRedraw(form->Handle()));
  EXPECT_EQ(w::GetMenuString(bar, 2, w::MF_BYPOSITION), u"&Help");
  w::HMENU drop = w::GetSubMenu(bar, 0);
  ASSERT_TRUE(drop);
  EXPECT_EQ(w::GetMenuItemID(drop, 0), open->Command());
  EXPECT_EQ(w::GetMenuState(drop, open->Command(), w::MF_BYCOMMAND) & w::MF_CHECKED, w::MF_CHECKED);

  // Reversing the top-level items, as mirroring does, through the menu's own list.
  for (int i = menu->Items()->Count() - 1; i >= 0; --i) {
    TMenuItem* item = menu->Items()->Items(i);
    menu->Items()->Delete(i);
    menu->Items()->Add(item);
  }
  form->RebuildMenuBar();
  EXPECT_EQ(w::GetMenuString(w::GetMenu(form->Handle()), 0, w::MF_BYPOSITION), u"&Help");
}

TEST(Application, ProcessMessagesDispatchesPostedMessagesAndQueuedWork) {
  namespace w = quintrel::win32;
  auto form = std::make_unique<TForm>();
  std::vector<uintptr_t> commands;
  TFormMessageHandler previous =
      TCustomForm::SetSysCommandHandler([&](TCustomForm&, TMessage& m) { commands.push_back(m.WParam); });
  int ran = 0;
  Application().QueueMessage([&] { ++ran; });
  w::PostMessage(form->Handle(), w::WM_SYSCOMMAND, w::SC_MINIMIZE, 0);
  EXPECT_TRUE(commands.empty());
  Application().ProcessMessages();
  TCustomForm::SetSysCommandHandler(previous);
  EXPECT_EQ(commands, std::vector<uintptr_t>{w::SC_MINIMIZE});
  EXPECT_EQ(ran, 1);
  EXPECT_FALSE(Application().Terminated());
}

TEST(Menus, ShortCutTexts) {
  EXPECT_EQ(ShortCutToText(ShortCut('S', scCtrl)), "Ctrl+S");
  EXPECT_EQ(ShortCutToText(16462), "Ctrl+N");
  EXPECT_EQ(ShortCutToText(ShortCut(0x79, scShift)), "Shift+F10");
  EXPECT_EQ(ShortCutToText(0x2E), "Del");
  EXPECT_EQ(TextToShortCut("ctrl+shift+a"), ShortCut('A', scCtrl | scShift));
  EXPECT_EQ(TextToShortCut("F1"), 0x70);
  EXPECT_EQ(TextToShortCut("Hyper+Q"), 0);
}

TEST(FormatVariables, StartAsAUnitedStatesSystemAndReset) {
  EXPECT_EQ(FormatSettings().LongDayNames[1], "Sunday");
  EXPECT_EQ(FormatSettings().ShortMonthNames[12], "Dec");
  FormatSettings().DecimalSeparator = ',';
  FormatSettings().LongMonthNames[1] = "janvier";
  ResetFormatSettings();
  EXPECT_EQ(FormatSettings().DecimalSeparator, '.');
  EXPECT_EQ(FormatSettings().LongMonthNames[1], "January");
}

TEST(PropertyList, ValueTextsOfTheComponentBrowser) {
  auto form = std::make_unique<TForm>();
  form->SetName("Form1");
  auto* edit = form->Add<TEdit>("Edit1");
  edit->SetAnchors((1u << akLeft) | (1u << akBottom));
  SetOrdProp(edit, "PasswordChar", '*');
  auto* bar = form->Add<TStatusBar>("Bar");
  SetStrProp(bar->Panels()->Add(), "Text", "Ready");
  auto* list = form->Add<TListBox>("List");
  list->Items()->Add("one");
  auto* image = form->Add<TImage>("Image");
  std::string bmp = "BM" + std::string(24, '\0');
  image->Picture()->Bitmap()->LoadFromStream(bmp);
  auto* popup = form->Add<TPopupMenu>("Popup");
  SetObjectProp(edit, GetPropInfo(edit, "PopupMenu"), popup);

  std::vector<TComponentNode> tree = ComponentTree(*form);
  ASSERT_EQ(tree.size(), 6u);
  EXPECT_EQ(tree[0].Name, "Form1");
  auto value = [&](size_t node, const std::string& path) {
    for (const auto& leaf : tree[node].Properties)
      if (leaf.Path == path) return leaf.Value;
    return std::string("<none>");
  };
  EXPECT_EQ(value(1, "Anchors"), "[akLeft, akBottom]");
  EXPECT_EQ(value(1, "PasswordChar"), "'*'");
  EXPECT_EQ(value(1, "Text"), "''");
  EXPECT_EQ(value(1, "PopupMenu"), "Popup");
  EXPECT_EQ(value(1, "Font.Style"), "[]");
  EXPECT_EQ(value(1, "OnChange"), "<none>");  // events are not listed
  EXPECT_EQ(value(2, "Panels.Items[0].Text"), "'Ready'");
  EXPECT_EQ(value(3, "Items.Strings[0]"), "'one'");
  EXPECT_EQ(value(4, "Picture.Data"), "{TBitmap 0000001A}");
  EXPECT_EQ(value(0, "Icon.Data"), "{ 00000000}");
}

TEST(LiveForms, ClassNamesKeepTheStreamsSpelling) {
  // Class names are found case-insensitively; writing back keeps how the stream spelt them.
  std::string text =
      "object Form1: TFORM1\r\n"
      "  object Menu: TMainMenu\r\n"
      "    object Item: TMenuitem\r\n"
      "      Caption = 'x'\r\n"
      "    end\r\n"
      "  end\r\n"
      "  object Thing: TWidget\r\n"
      "  end\r\n"
      "  object Other: TWIDGET\r\n"
      "  end\r\n"
      "end\r\n";
  TFormStream form = ReadTextForm(text);
  std::unique_ptr<TComponent> root = ReadComponent(form);
  EXPECT_TRUE(Find(root.get(), "Item")->InheritsFrom(&TMenuItem::StaticClass()));
  EXPECT_EQ(WriteTextForm(WriteComponent(*root, &form)), text);
}

// --- reading and writing live objects ----------------------------------------------------------

TEST(LiveObjects, RemovedComponentsLeaveTheStream) {
  std::string text =
      "object Form1: TForm1\r\n"
      "  Caption = 'F'\r\n"
      "  object Panel1: TPanel\r\n"
      "    Left = 0\r\n"
      "    object Label1: TLabel\r\n"
      "      Caption = 'gone'\r\n"
      "    end\r\n"
      "    object Label2: TLabel\r\n"
      "      Caption = 'kept'\r\n"
      "    end\r\n"
      "  end\r\n"
      "  object Timer1: TTimer\r\n"
      "    Left = 16\r\n"
      "    Top = 64\r\n"
      "  end\r\n"
      "end\r\n";
  TFormStream form = ReadTextForm(text);
  std::unique_ptr<TComponent> root = ReadComponent(form);
  EXPECT_EQ(root->FindComponent("Timer1")->DesignInfo(), (64 << 16) | 16);
  root->DestroyComponent(root->FindComponent("Label1"));
  std::string expected = text;
  expected.erase(expected.find("    object Label1"), std::string("    object Label1: TLabel\r\n      Caption = 'gone'\r\n    end\r\n").size());
  EXPECT_EQ(WriteTextForm(WriteComponent(*root, &form)), expected);
}

// A menu's items are written in the menu's live order; a component of a class unknown
// here among them is no item of the menu and keeps its place in the stream.
TEST(LiveObjects, AnUnknownComponentAmongMenuItemsKeepsItsPlace) {
  const auto form = [](const char* first, const char* second) {
    const auto item = [](const char* name) {
      return "      object " + std::string(name) + "1: TMenuItem\r\n        Caption = '" + name + "'\r\n      end\r\n";
    };
    return "object Form1: TForm\r\n  Menu = MainMenu1\r\n  object MainMenu1: TMainMenu\r\n"
           "    object File1: TMenuItem\r\n      Caption = 'File'\r\n" +
           item(first) + "      object Odd1: TAcmeMenuThing\r\n        Tag = 3\r\n      end\r\n" + item(second) +
           "    end\r\n  end\r\nend\r\n";
  };
  TFormStream stream = ReadTextForm(form("Open", "Exit"));
  std::unique_ptr<TComponent> root = ReadComponent(stream);
  EXPECT_EQ(WriteTextForm(WriteComponent(*root, &stream)), form("Open", "Exit"));
  auto* file = dynamic_cast<TMenuItem*>(root->FindComponent("File1"));
  auto* exit = dynamic_cast<TMenuItem*>(root->FindComponent("Exit1"));
  ASSERT_TRUE(file && exit);
  file->Remove(exit);
  file->Insert(0, exit);
  EXPECT_EQ(WriteTextForm(WriteComponent(*root, &stream)), form("Exit", "Open"));
}

// Classes the streams alone describe learn their properties from the values: what one
// form's unknown status bar made of its panels must not decide another's.
TEST(LiveObjects, GenericPartsOfDifferentClassesAreTypedApart) {
  const auto form = [](const std::string& barClass, const std::string& width, const std::string& font) {
    return "object F: TForm\r\n  object Bar: " + barClass + "\r\n    Panels = <\r\n      item\r\n        Width = " +
           width + "\r\n      end>\r\n    Extra.Size = " + font + "\r\n  end\r\nend\r\n";
  };
  TFormStream numbers = ReadTextForm(form("TAcmeStatusBar", "90", "8"));
  std::unique_ptr<TComponent> first = ReadComponent(numbers);
  TFormStream texts = ReadTextForm(form("TOtherStatusBar", "'90'", "'large'"));
  std::unique_ptr<TComponent> second = ReadComponent(texts);
  auto* panels = dynamic_cast<TCollection*>(GetObjectProp(second->FindComponent("Bar"), "Panels"));
  ASSERT_TRUE(panels && panels->Count() == 1);
  EXPECT_EQ(GetStrProp(panels->Items(0), "Width"), "90");
  EXPECT_EQ(WriteTextForm(WriteComponent(*second, &texts)), form("TOtherStatusBar", "'90'", "'large'"));
}

TEST(LiveObjects, ReadIntoAnExistingInstance) {
  TForm form;
  TFormStream stream = ReadTextForm("object Main: TForm\n  Caption = 'Hi'\n  ClientWidth = 300\nend\n");
  ReadComponentInto(form, stream);
  EXPECT_EQ(form.Name(), "Main");
  EXPECT_EQ(form.Caption(), "Hi");
  EXPECT_EQ(form.ClientWidth(), 300);
  EXPECT_FALSE(form.InState(csLoading));
}

TEST(CorpusExtraLiveObjects, ReferencesToOtherModules) {
  QUINTREL_REQUIRE_EXTRA_CORPUS();
  auto module = std::make_unique<TDataModule>();
  module->SetName("DataModule2");
  TComponent* source = module->Add<TComponent>("CitySourse");
  TFormStream form = LoadFormFile(CorpusFile("chrp19-delphi__city.dfm").string());
  std::unique_ptr<TComponent> city = ReadComponent(form);
  auto* grid = dynamic_cast<TDBGrid*>(city->FindComponent("DBGrid1"));
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(GetObjectProp(grid, "DataSource"), source);
  ASSERT_GT(grid->Columns()->Count(), 0);
  EXPECT_FALSE(GetStrProp(grid->Columns()->Items(0)->Title(), "Caption").empty());
  std::string written = WriteTextForm(WriteComponent(*city, &form));
  EXPECT_NE(written.find("DataSource = DataModule2.CitySourse"), std::string::npos);
}

TEST(LiveObjects, InlineFramesOwnTheirComponents) {
  std::unique_ptr<TComponent> main =
      LoadComponentFile(quintrel::testdata::Data("dfm/codesnip__fmmain.dfm").string());
  TComponent* frame = Find(main.get(), "frmOverview");
  ASSERT_NE(frame, nullptr);
  EXPECT_TRUE(frame->InheritsFrom(&TFrame::StaticClass()));
  EXPECT_EQ(frame->ClassName(), "TOverviewFrame");
  // The frame's own components belong to the frame.
  EXPECT_NE(frame->FindComponent("pnlTitle"), nullptr);
  EXPECT_EQ(main->FindComponent("pnlTitle"), nullptr);
}

TEST(CorpusExtraLiveObjects, GenericCollectionsAreTyped) {
  QUINTREL_REQUIRE_EXTRA_CORPUS();
  TFormStream form = LoadFormFile(CorpusFile("soorani__fmmfrm.dfm").string());
  std::unique_ptr<TComponent> root = ReadComponent(form);
  TComponent* bar = root->FindComponent("RadStatusBar");
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(bar->ClassType().IsGeneric());
  auto* panels = dynamic_cast<TCollection*>(GetObjectProp(bar, "Panels"));
  ASSERT_NE(panels, nullptr);
  ASSERT_GE(panels->Count(), 3);
  TCollectionItem* first = panels->Items(0);
  EXPECT_EQ(GetWideStrProp(first, GetPropInfo(first, "Text")), u"\u0641\u0627\u0631\u0633\u064A(Fa)");
  EXPECT_EQ(GetStrProp(first, "Width"), "90");
  EXPECT_EQ(dynamic_cast<TFont*>(GetObjectProp(first, "Font"))->Color(), clBlue);
  EXPECT_EQ(GetEnumName(GetPropInfo(first, "Style") ? GetPropInfo(first, "Style")->PropType : nullptr, 0), "psControl");

  // One changed value, and only that value, differs when written back.
  SetStrProp(panels->Items(2), "Width", "85");
  TFormStream out = WriteComponent(*root, &form);
  TFormStream again = ReadBinaryForm(WriteBinaryForm(out));
  const TStreamProperty* was = form.Root.Children[1].FindProperty("Panels");
  const TStreamProperty* now = again.Root.Children[1].FindProperty("Panels");
  ASSERT_TRUE(was && now);
  ASSERT_EQ(was->Value.Items.size(), now->Value.Items.size());
  for (size_t i = 0; i < was->Value.Items.size(); ++i) {
    if (i == 2) {
      EXPECT_EQ(now->Value.Items[i].Properties.back().Value, TStreamValue::String("85"));
      continue;
    }
    EXPECT_EQ(now->Value.Items[i], was->Value.Items[i]);
  }
}

TEST(LiveObjects, ApplyAndEncodeSinglePaths) {
  TFilerContext ctx;
  auto form = std::make_unique<TForm>();
  auto* memo = form->Add<TMemo>("Memo1");
  TStreamValue lines;
  lines.Type = vaList;
  lines.List = {TStreamValue::String("a"), TStreamValue::WideString(u"\u00E9")};
  EXPECT_TRUE(ApplyProperty(*memo, "Lines.Strings", lines, ctx));
  EXPECT_EQ(memo->Lines()->Text(), "a\r\n\xE9\r\n");
  EXPECT_TRUE(ApplyProperty(*memo, "Font.Style", TStreamValue::Set({"fsBold", "fsItalic"}), ctx));
  EXPECT_EQ(memo->Font()->Style(), (1u << fsBold) | (1u << fsItalic));
  EXPECT_TRUE(ApplyProperty(*memo, "Color", TStreamValue::Ident("clInfoBk"), ctx));
  EXPECT_EQ(memo->Color(), clInfoBk);
  // Values that do not fit leave the property alone.
  EXPECT_FALSE(ApplyProperty(*memo, "Font.Style", TStreamValue::Set({"fsBlinking"}), ctx));
  EXPECT_FALSE(ApplyProperty(*memo, "Align", TStreamValue::Ident("alSideways"), ctx));
  EXPECT_FALSE(ApplyProperty(*memo, "Nothing.Here", TStreamValue::Integer(1), ctx));
  EXPECT_EQ(memo->Align(), alNone);

  EXPECT_EQ(*EncodeProperty(*memo, "Color", nullptr, ctx), TStreamValue::Ident("clInfoBk"));
  EXPECT_EQ(*EncodeProperty(*memo, "Font.Style", nullptr, ctx), TStreamValue::Set({"fsBold", "fsItalic"}));
  // A hint keeps the kind of string a list line was read as.
  std::optional<TStreamValue> encoded = EncodeProperty(*memo, "Lines.Strings", &lines, ctx);
  ASSERT_TRUE(encoded);
  EXPECT_EQ(encoded->List[1], TStreamValue::WideString(u"\u00E9"));
  EXPECT_FALSE(EncodeProperty(*memo, "NoSuch", nullptr, ctx));
}

TEST(Strings, SortedListsAndDuplicates) {
  TStringList list;
  list.SetSorted(true);
  list.Add("b");
  list.Add("a");
  EXPECT_EQ(list.Add("B"), 1);  // ignored: already there, case-insensitively
  EXPECT_EQ(list.Count(), 2);
  list.SetDuplicates(dupError);
  EXPECT_THROW(list.Add("a"), EListError);
  list.SetDuplicates(dupAccept);
  list.Add("a");
  EXPECT_EQ(list.Count(), 3);
  int changes = 0;
  list.OnChange = [&](TStringList&) { ++changes; };
  list.BeginUpdate();
  list.Add("c");
  list.EndUpdate();
  list.Add("d");
  EXPECT_EQ(changes, 1);

  TStringList copy;
  copy.Assign(&list);
  EXPECT_TRUE(copy.Equals(list));
  TFont font;
  EXPECT_THROW(copy.Assign(&font), EConvertError);
}
