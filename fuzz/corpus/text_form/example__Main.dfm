object MainForm: TMainForm
  Left = 192
  Top = 110
  Width = 560
  Height = 420
  Caption = 'Sample Address Book'
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  Menu = MainMenu1
  Position = poDefaultPosOnly
  OnCreate = FormCreate
  OnCloseQuery = FormCloseQuery
  PixelsPerInch = 96
  TextHeight = 13
  object TitlePanel: TPanel
    Left = 0
    Top = 0
    Width = 552
    Height = 41
    Align = alTop
    BevelOuter = bvNone
    TabOrder = 0
    object LogoImage: TImage
      Left = 8
      Top = 12
      Width = 16
      Height = 16
      AutoSize = True
      Picture.Data = {
        07544269746D6170F6000000424DF60000000000000076000000280000001000
        0000100000000100040000000000800000000000000000000000100000000000
        000000000000000080000080000000808000800000008000800080800000C0C0
        C000808080000000FF0000FF000000FFFF00FF000000FF00FF00FFFF0000FFFF
        FF00777777777777777777777777777777777700000000000777770FFFFFFFFF
        0777770F4444444F0777700FFFFFFFFF0777770F8888888F0777770FFFFFFFFF
        0777700F4444444F0777770FFFFFFFFF0777770F8888888F0777700FFFFFFFFF
        0777770F4444444F0777770FFFFFFFFF07777700000000000777777777777777
        7777}
      Transparent = True
    end
    object TitleLabel: TLabel
      Left = 32
      Top = 8
      Width = 161
      Height = 20
      Caption = 'My addresses'
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clNavy
      Font.Height = -16
      Font.Name = 'Arial'
      Font.Style = [fsBold]
      ParentFont = False
    end
    object SearchLabel: TLabel
      Left = 312
      Top = 14
      Width = 37
      Height = 13
      Caption = '&Search:'
      FocusControl = SearchEdit
    end
    object SearchEdit: TEdit
      Left = 360
      Top = 10
      Width = 177
      Height = 21
      Hint = 'Type part of a name to find it in the list'
      ParentShowHint = False
      ShowHint = True
      TabOrder = 0
      OnChange = SearchEditChange
    end
  end
  object GroupList: TListBox
    Left = 0
    Top = 41
    Width = 121
    Height = 314
    Align = alLeft
    ItemHeight = 13
    Items.Strings = (
      'All contacts'
      'Family'
      'Friends'
      'Work'
      'Suppliers')
    TabOrder = 1
    OnClick = GroupListClick
  end
  object ContactList: TListView
    Left = 121
    Top = 41
    Width = 240
    Height = 314
    Align = alClient
    Columns = <
      item
        Caption = 'Name'
        Width = 110
      end
      item
        Caption = 'Phone'
        Width = 70
      end
      item
        Caption = 'City'
        Width = 56
      end>
    HideSelection = False
    ReadOnly = True
    RowSelect = True
    TabOrder = 2
    ViewStyle = vsReport
    OnSelectItem = ContactListSelectItem
  end
  object DetailsBox: TGroupBox
    Left = 361
    Top = 41
    Width = 191
    Height = 314
    Align = alRight
    Caption = ' Details '
    TabOrder = 3
    object NameLabel: TLabel
      Left = 10
      Top = 20
      Width = 31
      Height = 13
      Caption = '&Name:'
      FocusControl = NameEdit
    end
    object PhoneLabel: TLabel
      Left = 10
      Top = 60
      Width = 34
      Height = 13
      Caption = '&Phone:'
      FocusControl = PhoneEdit
    end
    object NotesLabel: TLabel
      Left = 10
      Top = 196
      Width = 31
      Height = 13
      Caption = 'N&otes:'
      FocusControl = NotesMemo
    end
    object NameEdit: TEdit
      Left = 10
      Top = 36
      Width = 171
      Height = 21
      TabOrder = 0
    end
    object PhoneEdit: TEdit
      Left = 10
      Top = 76
      Width = 171
      Height = 21
      TabOrder = 1
    end
    object PrivateRadio: TRadioButton
      Left = 10
      Top = 106
      Width = 81
      Height = 17
      Caption = 'P&rivate'
      Checked = True
      TabOrder = 2
      TabStop = True
    end
    object BusinessRadio: TRadioButton
      Left = 96
      Top = 106
      Width = 85
      Height = 17
      Caption = '&Business'
      TabOrder = 3
    end
    object FavouriteCheck: TCheckBox
      Left = 10
      Top = 132
      Width = 171
      Height = 17
      Caption = 'Show among &favourites'
      TabOrder = 4
    end
    object CardCheck: TCheckBox
      Left = 10
      Top = 154
      Width = 171
      Height = 17
      Caption = 'Send a &greetings card'
      TabOrder = 5
    end
    object NotesMemo: TMemo
      Left = 10
      Top = 212
      Width = 171
      Height = 89
      Lines.Strings = (
        'Ask about the new office.'
        'Prefers calls after 5 pm.')
      ScrollBars = ssVertical
      TabOrder = 6
    end
  end
  object StatusBar: TStatusBar
    Left = 0
    Top = 355
    Width = 552
    Height = 19
    Panels = <
      item
        Text = 'Ready'
        Width = 220
      end
      item
        Text = '0 contacts'
        Width = 120
      end
      item
        Width = 50
      end>
    SimplePanel = False
  end
  object MainMenu1: TMainMenu
    Left = 176
    Top = 8
    object FileMenu: TMenuItem
      Caption = '&File'
      object FileNewItem: TMenuItem
        Caption = '&New'
        Hint = 'Start an empty address book'
        ShortCut = 16462
        OnClick = FileNewItemClick
      end
      object FileOpenItem: TMenuItem
        Caption = '&Open...'
        Hint = 'Open an address book'
        ShortCut = 16463
        OnClick = FileOpenItemClick
      end
      object FileSaveItem: TMenuItem
        Caption = '&Save'
        Hint = 'Save the address book'
        ShortCut = 16467
        OnClick = FileSaveItemClick
      end
      object FileSep1: TMenuItem
        Caption = '-'
      end
      object FileExitItem: TMenuItem
        Caption = 'E&xit'
        Hint = 'Close the program'
        OnClick = FileExitItemClick
      end
    end
    object EditMenu: TMenuItem
      Caption = '&Edit'
      object EditAddItem: TMenuItem
        Caption = '&Add contact'
        ShortCut = 45
        OnClick = EditAddItemClick
      end
      object EditDeleteItem: TMenuItem
        Caption = '&Delete contact'
        ShortCut = 16430
        OnClick = EditDeleteItemClick
      end
      object EditSep1: TMenuItem
        Caption = '-'
      end
      object EditFontItem: TMenuItem
        Caption = 'List &font...'
        OnClick = EditFontItemClick
      end
    end
    object HelpMenu: TMenuItem
      Caption = '&Help'
      object HelpContentsItem: TMenuItem
        Caption = '&Contents'
        ShortCut = 112
      end
      object HelpAboutItem: TMenuItem
        Caption = '&About Sample...'
        OnClick = HelpAboutItemClick
      end
    end
  end
  object OpenDialog1: TOpenDialog
    DefaultExt = 'sab'
    Filter = 'Address books (*.sab)|*.sab|All files (*.*)|*.*'
    Options = [ofHideReadOnly, ofFileMustExist]
    Title = 'Open address book'
    Left = 208
    Top = 8
  end
  object FontDialog1: TFontDialog
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clWindowText
    Font.Height = -11
    Font.Name = 'MS Sans Serif'
    Font.Style = []
    MinFontSize = 0
    MaxFontSize = 0
    Left = 240
    Top = 8
  end
end
