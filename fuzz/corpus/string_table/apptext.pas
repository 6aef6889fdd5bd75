unit AppText;

{ Messages of the main form, kept as resource strings so that they can be
  translated with the forms. }

interface

resourcestring
  SReady = 'Ready';
  SOpened = 'Address book opened';
  SSaved = 'Address book saved';
  SContactCount = '%d contacts';
  SSaveChanges = 'The address book has changed. Save the changes?';
  SDeleteContact = 'Delete the contact ''%s''?';

implementation

end.
