object AboutBox: TAboutBox
  Left = 240
  Top = 160
  BorderStyle = bsDialog
  Caption = 'About Sample'
  ClientHeight = 199
  ClientWidth = 298
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  Position = poScreenCenter
  PixelsPerInch = 96
  TextHeight = 13
  object InfoPanel: TPanel
    Left = 8
    Top = 8
    Width = 281
    Height = 145
    BevelInner = bvRaised
    BevelOuter = bvLowered
    ParentColor = True
    TabOrder = 0
    object ProductName: TLabel
      Left = 16
      Top = 16
      Width = 135
      Height = 13
      Caption = 'Sample Address Book'
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clWindowText
      Font.Height = -11
      Font.Name = 'MS Sans Serif'
      Font.Style = [fsBold]
      ParentFont = False
    end
    object Version: TLabel
      Left = 16
      Top = 40
      Width = 53
      Height = 13
      Caption = 'Version 1.0'
    end
    object Copyright: TLabel
      Left = 16
      Top = 64
      Width = 192
      Height = 13
      Caption = 'Copyright '#169' 1998 Sample Software Ltd.'
    end
    object Comments: TLabel
      Left = 16
      Top = 88
      Width = 249
      Height = 39
      AutoSize = False
      Caption = 
        'A small address book that shows how a project is prepared for t' +
        'ranslation into other languages.'
      WordWrap = True
    end
  end
  object OKButton: TButton
    Left = 111
    Top = 164
    Width = 75
    Height = 25
    Caption = 'OK'
    Default = True
    ModalResult = 1
    TabOrder = 1
  end
end
