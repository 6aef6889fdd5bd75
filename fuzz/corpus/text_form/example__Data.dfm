object DataModule1: TDataModule1
  OldCreateOrder = False
  OnCreate = DataModule1Create
  Left = 285
  Top = 161
  Height = 240
  Width = 320
  object ContactsTable: TTable
    DatabaseName = 'SampleData'
    IndexFieldNames = 'Name'
    TableName = 'contacts.db'
    Left = 32
    Top = 16
  end
  object ContactsSource: TDataSource
    DataSet = ContactsTable
    Left = 120
    Top = 16
  end
  object SaveDialog1: TSaveDialog
    DefaultExt = 'sab'
    Filter = 'Address books (*.sab)|*.sab|Comma-separated text (*.csv)|*.csv'
    Options = [ofOverwritePrompt, ofHideReadOnly]
    Title = 'Save address book as'
    Left = 32
    Top = 72
  end
  object ListPopup: TPopupMenu
    Left = 120
    Top = 72
    object PopupEditItem: TMenuItem
      Caption = '&Edit contact'
      Default = True
    end
    object PopupCopyItem: TMenuItem
      Caption = '&Copy phone number'
      ShortCut = 16451
    end
    object PopupDeleteItem: TMenuItem
      Caption = '&Delete'
      ShortCut = 46
    end
  end
  object AutoSaveTimer: TTimer
    Interval = 300000
    Left = 208
    Top = 16
  end
end
