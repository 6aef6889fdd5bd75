// The common controls: status bars and header controls with their collections, list
// and tree views, page and tab controls, tool bars and cool bars, and the small ones.
#pragma once

#include <memory>

#include "platform/vcl/stdctrls.h"

namespace quintrel::vcl {

// A collection whose items are of one class, owned by a control.
template <class Item>
class TItemCollection : public TCollection {
public:
  explicit TItemCollection(TPersistent* owner) : TCollection(&Item::StaticClass(), owner) {}
  Item* Items(int index) const { return static_cast<Item*>(TCollection::Items(index)); }
  Item* Add() { return static_cast<Item*>(TCollection::Add()); }
};

class TStatusPanel : public TCollectionItem {
  QUINTREL_CLASS(TStatusPanel)
  std::string DisplayName() const override;
};
class TStatusPanels : public TItemCollection<TStatusPanel> {
  QUINTREL_CLASS(TStatusPanels)
  explicit TStatusPanels(TPersistent* owner = nullptr) : TItemCollection(owner) {}
};

class TListColumn : public TCollectionItem {
  QUINTREL_CLASS(TListColumn)
};
class TListColumns : public TItemCollection<TListColumn> {
  QUINTREL_CLASS(TListColumns)
  explicit TListColumns(TPersistent* owner = nullptr) : TItemCollection(owner) {}
};

class THeaderSection : public TCollectionItem {
  QUINTREL_CLASS(THeaderSection)
};
class THeaderSections : public TItemCollection<THeaderSection> {
  QUINTREL_CLASS(THeaderSections)
  explicit THeaderSections(TPersistent* owner = nullptr) : TItemCollection(owner) {}
};

class TCoolBand : public TCollectionItem {
  QUINTREL_CLASS(TCoolBand)
  TBitmap* Bitmap() const { return bitmap_.get(); }

private:
  std::unique_ptr<TBitmap> bitmap_ = std::make_unique<TBitmap>();
};
class TCoolBands : public TItemCollection<TCoolBand> {
  QUINTREL_CLASS(TCoolBands)
  explicit TCoolBands(TPersistent* owner = nullptr) : TItemCollection(owner) {}
};

class TStatusBar : public TWinControl {
  QUINTREL_CLASS(TStatusBar)
  TStatusPanels* Panels() const { return panels_.get(); }

private:
  std::unique_ptr<TStatusPanels> panels_ = std::make_unique<TStatusPanels>(this);
};

class TCustomListView : public TWinControl {
  QUINTREL_CLASS(TCustomListView)
  TListColumns* Columns() const { return columns_.get(); }

private:
  std::unique_ptr<TListColumns> columns_ = std::make_unique<TListColumns>(this);
};
class TListView : public TCustomListView {
  QUINTREL_CLASS(TListView)
};

class THeaderControl : public TWinControl {
  QUINTREL_CLASS(THeaderControl)
  THeaderSections* Sections() const { return sections_.get(); }

private:
  std::unique_ptr<THeaderSections> sections_ = std::make_unique<THeaderSections>(this);
};

class TCustomTabControl : public TWinControl {
  QUINTREL_CLASS(TCustomTabControl)
};
class TTabControl : public TCustomTabControl {
  QUINTREL_CLASS(TTabControl)
  TStrings* Tabs() const { return tabs_.List(); }

private:
  TStringsHolder tabs_;
};

class TTabSheet;
class TPageControl : public TCustomTabControl {
  QUINTREL_CLASS(TPageControl)
  int PageCount() const;
  TTabSheet* Pages(int index) const;
};
class TTabSheet : public TWinControl {
  QUINTREL_CLASS(TTabSheet)
  TPageControl* PageControl() const { return dynamic_cast<TPageControl*>(Parent()); }
};

class TCustomRichEdit : public TCustomMemo {
  QUINTREL_CLASS(TCustomRichEdit)
};
class TRichEdit : public TCustomRichEdit {
  QUINTREL_CLASS(TRichEdit)
};

class TTrackBar : public TWinControl {
  QUINTREL_CLASS(TTrackBar)
};
class TProgressBar : public TWinControl {
  QUINTREL_CLASS(TProgressBar)
};
class TCustomUpDown : public TWinControl {
  QUINTREL_CLASS(TCustomUpDown)
};
class TUpDown : public TCustomUpDown {
  QUINTREL_CLASS(TUpDown)
};
class THotKey : public TWinControl {
  QUINTREL_CLASS(THotKey)
};
class TAnimate : public TWinControl {
  QUINTREL_CLASS(TAnimate)
};
class TDateTimePicker : public TWinControl {
  QUINTREL_CLASS(TDateTimePicker)
};
class TCustomTreeView : public TWinControl {
  QUINTREL_CLASS(TCustomTreeView)
};
class TTreeView : public TCustomTreeView {
  QUINTREL_CLASS(TTreeView)
};

class TToolBar : public TWinControl {
  QUINTREL_CLASS(TToolBar)
};
class TToolButton : public TGraphicControl {
  QUINTREL_CLASS(TToolButton)
};

class TCoolBar : public TWinControl {
  QUINTREL_CLASS(TCoolBar)
  TCoolBands* Bands() const { return bands_.get(); }

private:
  std::unique_ptr<TCoolBands> bands_ = std::make_unique<TCoolBands>(this);
};

}  // namespace quintrel::vcl
