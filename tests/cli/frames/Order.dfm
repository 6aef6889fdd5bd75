object OrderForm: TOrderForm
  Left = 220
  Top = 140
  Width = 300
  Height = 320
  Caption = 'Order'
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OldCreateOrder = False
  PixelsPerInch = 96
  TextHeight = 13
  inline BillingAddress: TAddressFrame
    Left = 16
    Top = 16
    Width = 240
    Height = 90
    TabOrder = 0
  end
  inline ShippingAddress: TAddressFrame
    Left = 16
    Top = 120
    Width = 240
    Height = 90
    TabOrder = 1
    inherited StreetEdit: TEdit
      Width = 150
    end
  end
end
