unit U;
interface
{$R Errs.RES}
const A = $10; B = A + 1;
resourcestring
  S1 = 'x'#$263A + 'y';
implementation
resourcestring S2 = '' platform;
end.
