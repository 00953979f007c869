-- The backup catalogue: one row per backup.
-- Build with: tarnfield-mdb create sysrestore.mdb sysrestore.sql

CREATE TABLE [tblFileInformation] (
    [fldAutoNum] COUNTER,
    [fldBackupMonth] SHORT,
    [fldBackupDay] SHORT,
    [fldYear] SHORT,
    [fldBackUpTime] TEXT(20),
    [fldBackupName] TEXT(100),
    [fldFileNameLocation] TEXT(255),
    [fldNotes] MEMO,
    CONSTRAINT [PrimaryKey] PRIMARY KEY ([fldAutoNum])
);
CREATE INDEX [fldBackupMonth] ON [tblFileInformation] ([fldBackupMonth], [fldYear]);
