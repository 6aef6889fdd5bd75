program Prog;

uses
  Forms,
  Main in 'Main.pas' {MainForm},
  Data in 'Sub\Data.pas' {DataModule1: TDataModule},
  (* old *) Util in 'util.PAS';

{$R *.RES}

begin
  Application.Initialize;
end.
