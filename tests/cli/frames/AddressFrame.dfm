object AddressFrame: TAddressFrame
  Left = 0
  Top = 0
  Width = 240
  Height = 90
  TabOrder = 0
  object TitleLabel: TLabel
    Left = 8
    Top = 8
    Width = 120
    Height = 16
    Caption = 'Address'
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clWindowText
    Font.Height = -13
    Font.Name = 'MS Sans Serif'
    Font.Style = [fsBold]
    ParentFont = False
  end
  object StreetLabel: TLabel
    Left = 8
    Top = 36
    Width = 40
    Height = 13
    Caption = '&Street:'
    FocusControl = StreetEdit
  end
  object StreetEdit: TEdit
    Left = 64
    Top = 32
    Width = 160
    Height = 21
    Hint = 'Street and house number'
    TabOrder = 0
  end
end
