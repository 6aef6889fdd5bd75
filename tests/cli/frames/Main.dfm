object MainForm: TMainForm
  Left = 200
  Top = 120
  Width = 300
  Height = 200
  Caption = 'Customer'
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OldCreateOrder = False
  PixelsPerInch = 96
  TextHeight = 13
  inline HomeAddress: TAddressFrame
    Left = 16
    Top = 16
    Width = 240
    Height = 90
    TabOrder = 0
    inherited TitleLabel: TLabel
      Font.Color = clNavy
    end
  end
end
