// Message table of the record database and the containers under it. Every text the
// storage and text layers show is here, formatted with rtl::Format.
#pragma once

namespace quintrel::strings {

inline constexpr const char* _SBlockCorrupt = "Database error, corrupt block at offset $%x";
inline constexpr const char* _SBlockInconsistent = "Database error, block data inconsistent";
inline constexpr const char* _SIndexInconsistent =
    "Index corrupt, please reconstruct the index for table %2d and field %2d";
inline constexpr const char* _SLockBusy = "The database timed out waiting for a lock release";
inline constexpr const char* _SIndexDuplicate = "Duplicated keys in a unique index, table %2d and field %2d";
inline constexpr const char* _SHashListError = "An internal Hash list problem occured";

// Refusals of damaged or foreign files. The file name comes first so that every line the
// command line prints names the file and the problem.
inline constexpr const char* _SNotADatabase = "%s: not a database file (version %d, expected 15 or 16)";
inline constexpr const char* _SFileTooShort = "%s: not a database file (%d bytes, a header needs 64)";
inline constexpr const char* _SFileNotFound = "%s: file not found";
inline constexpr const char* _SFileIsFolder = "%s: is a folder, not a database";
inline constexpr const char* _SCatalogueDamaged = "%s: catalogue damaged: %s";

// Details of a refused catalogue, of a refused table definition, and the findings of the
// structure check. Each names what it found where.
inline constexpr const char* _SCheckRecordField = " record %d field %d";
inline constexpr const char* _SCheckRecord = " record %d";
inline constexpr const char* _SCatNoBlock = "%d tables but no catalogue block";
inline constexpr const char* _SCheckLastBlock = "%s: LastBlock is $%x but the chain ends at $%x";
inline constexpr const char* _SCheckRecordCount = "%s: RecordCount is %d but the blocks hold %d records";
inline constexpr const char* _SCheckRecNoOrder = "%s: _RECNO %d follows %d (an indexed table keeps them ascending)";
inline constexpr const char* _SCheckTwoKeys = "%s: _RECNO %d has two keys";
inline constexpr const char* _SCheckChainPrev = "%s: block $%x has Prev $%x, expected $%x";
inline constexpr const char* _SCheckChainUsed = "%s: block $%x holds %d bytes";
inline constexpr const char* _SCheckChainShort = "%s: block $%x holds %d bytes, not a full block";
inline constexpr const char* _SCheckUsedTwice = "%s: block $%x is already used by %s";
inline constexpr const char* _SCheckOverfull = "%s: block $%x is overfull (%d)";
inline constexpr const char* _SCheckBadAddress = "%s: block address $%x is not a block of the file";
inline constexpr const char* _SCannotLock = "%s: cannot lock the file header";
inline constexpr const char* _SWriteInReadBracket = "%s: a write was asked for inside a read bracket";
inline constexpr const char* _SCannotOpenLockFile = "%s: cannot open the lock file %s";
inline constexpr const char* _SCheckChainLength = "%s: chain holds %d of its %d bytes";
inline constexpr const char* _SCheckChainLong = "%s: chain holds more than the %d bytes of its value";
inline constexpr const char* _SCheckDataPrev = "%s: data block $%x has Prev $%x, expected $%x";
inline constexpr const char* _SCheckChainEmpty = "%s: empty block $%x inside the chain";
inline constexpr const char* _SCheckDataEmpty = "%s: empty data block $%x inside the chain";
inline constexpr const char* _SCheckNodeChild = "%s: internal node $%x lacks child %d";
inline constexpr const char* _SCheckKeyPrefix = "%s: key of _RECNO %d has a wrong prefix";
inline constexpr const char* _SCheckKeyNoRecord = "%s: key of _RECNO %d has no record";
inline constexpr const char* _SCheckKeyOrder = "%s: key of _RECNO %d is out of order after _RECNO %d";
inline constexpr const char* _SCheckKeyBlock = "%s: key of _RECNO %d names block $%x, the record is in $%x";
inline constexpr const char* _SCheckLeafDepth = "%s: leaves at depths %d and %d";
inline constexpr const char* _SCheckIndexNames = "%s: names table %d field %d";
inline constexpr const char* _SCheckNodeUnderfull = "%s: node $%x holds %d keys, fewer than 255";
inline constexpr const char* _SCheckNotANode = "%s: block $%x is not a node: %s";
inline constexpr const char* _SCheckRecordError = "%s: record %d: %s";
inline constexpr const char* _SCheckRecordTable = "%s: block $%x: %s";
inline constexpr const char* _SCheckRecordNoKey = "%s: record _RECNO %d has no key";
inline constexpr const char* _SDatabaseFull = "%s: the database is full (4 GiB)";
inline constexpr const char* _SCheckAvailPrev = "avail list: block $%x has Prev $%x, expected $%x";
inline constexpr const char* _SCheckAvailDirty = "avail list: free block $%x is not zeroed";
inline constexpr const char* _SCatBadMarker = "bad index marker %d after field %d of table %d";
inline constexpr const char* _SCheckLost = "block $%x is used by nothing (lost)";
inline constexpr const char* _SCatOutside = "block $%x lies outside the file";
inline constexpr const char* _SCheckCataloguePrev = "catalogue: block $%x has Prev $%x, expected $%x";
inline constexpr const char* _SCatFieldName = "field %d of table %d has a name longer than 12 characters";
inline constexpr const char* _SCatFieldLength = "field %d of table %d has length %d";
inline constexpr const char* _SDefBadLength = "field %s has a bad length";
inline constexpr const char* _SDefNoType = "field %s has no type letter";
inline constexpr const char* _SCatNegativeCount = "negative table count %d";
inline constexpr const char* _SCheckTable = "table %d (%s)";
inline constexpr const char* _SCheckIndex = "table %d field %d index %d";
inline constexpr const char* _SCatFieldCount = "table %d has %d fields";
inline constexpr const char* _SCatRecordCount = "table %d has %d records";
inline constexpr const char* _SCatTableName = "table %d has a name longer than 12 characters";
inline constexpr const char* _SCheckRecNoTwice = "table %d: _RECNO %d occurs twice";
inline constexpr const char* _SCatLoops = "the block chain loops at $%x";
inline constexpr const char* _SCheckFileSize = "the file is %d bytes, not a header and whole blocks";
inline constexpr const char* _SCatEndsEarly = "the catalogue ends before its last table";
inline constexpr const char* _SDefNoName = "no table name";
inline constexpr const char* _SDefNoFieldType = "a field without a type";
inline constexpr const char* _SDefInvalid = "Invalid table definition \"%s\": %s";
inline constexpr const char* _SCheckTreeDeep = "%s: the tree is deeper than any real one";
inline constexpr const char* _SCheckDataUse = "%s data";
inline constexpr const char* _SCheckNodeUse = "%s node";
inline constexpr const char* _SCheckCatalogueUse = "catalogue";
inline constexpr const char* _SCheckAvailUse = "avail list";

// Damage met by a writer, and failed writes. Each names the file, the block and what is wrong.
inline constexpr const char* _SBlockCorruptIn = "%s: corrupt block at offset $%x: %s";
inline constexpr const char* _SBlockOutside = "no whole block of the file starts there";
inline constexpr const char* _SNotANode = "not a node of the index on table %d field %d (%s)";
inline constexpr const char* _SNodeCount = "%d keys";
inline constexpr const char* _SNodeHeader = "block header words are set";
inline constexpr const char* _SNodeEmpty = "no keys, and it is not the root";
inline constexpr const char* _SNodeClaimed = "no keys, and another structure starts there";
inline constexpr const char* _SNodeChild = "child %d is $%x";
inline constexpr const char* _SNodeKey = "key %d names block $%x, record %d";
inline constexpr const char* _SAvailDamaged = "the avail list is damaged: %s";
inline constexpr const char* _SAvailOutside = "block $%x lies outside the file";
inline constexpr const char* _SAvailClaimed = "block $%x belongs to the catalogue or the header";
inline constexpr const char* _SAvailNotFree = "block $%x is not a free block";
inline constexpr const char* _SFreeRefused = "block $%x cannot be freed: %s";
inline constexpr const char* _SFreeTwice = "it is free already";
// What breaks a data block's records (after _SBlockCorruptIn).
inline constexpr const char* _SRecordTableSize = "%d records in %d bytes do not fit the block";
inline constexpr const char* _SRecordEntry = "record %d starts at position %d, out of order or past the records";
inline constexpr const char* _SRecordMissing = "no record %d among its %d";
inline constexpr const char* _SRecordFlag = "record %d has the unknown flag %d";
inline constexpr const char* _SChainedLength =
    "a value kept in an overflow chain claims %d bytes; such a value is longer than 4087 and here at most %d";
inline constexpr const char* _SFileTooLarge = "%s: the file is %d bytes, more than a database can address (4 GiB)";
inline constexpr const char* _SWriteFailed = "%s: cannot write %d bytes at offset %d: %s";
inline constexpr const char* _SWriteShort = "the device is full";
// The rollback journal beside a database file and the lock kinds a write needs.
inline constexpr const char* _SSyncFailed = "%s: cannot make the written blocks durable: %s";
inline constexpr const char* _SJournalWriteFailed = "%s: cannot write the journal %s: %s";
inline constexpr const char* _SJournalOpenFailed = "%s: cannot open the journal %s: %s";
inline constexpr const char* _SJournalNotAFile = "%s: the journal %s is not a regular file";
inline constexpr const char* _SJournalRollbackFailed = "%s: cannot roll back the unfinished change kept in %s: %s";
inline constexpr const char* _SJournalReadOnly =
    "%s: an unfinished change must be rolled back from %s first, and the file cannot be opened for writing: %s";
inline constexpr const char* _SWriteUnderSharedLock =
    "%s: a write was asked for while this process holds only a shared lock on the file";
inline constexpr const char* _SUpdateAbandoned =
    "%s: the update was given up after an error in it; nothing of it was written";
inline constexpr const char* _SCheckMore = "... and %d more";

}  // namespace quintrel::strings
