unit Errors;

interface

{$R Errors.RES}

const
  SE_CannotRead = 1001;
  SE_CannotWrite = 1002;
  SE_NoTable = 1003;

implementation

end.
