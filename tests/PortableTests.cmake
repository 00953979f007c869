# The core's tests that need no third-party library and no Linux tool: test_core runs them on
# Linux, and the Windows cross-build runs them as test_portable under Wine.
set(TARNFIELD_PORTABLE_TESTS
    support/TempDir.cpp
    support/SampleDatabases.cpp
    support/Command.cpp
    platform/HostPathTest.cpp
    platform/RecordFileTest.cpp
    platform/DatesTest.cpp
    mapping/WriteImportFieldTest.cpp
    wizard/ImportRunTest.cpp
    wizard/TabVerifierTest.cpp
    wizard/TextFormTest.cpp
    hostdata/NewInsStructureTest.cpp
    hostdata/ImportDatabaseTest.cpp
    hostdata/AtomicCreateTest.cpp
    formats/StoreCrashTest.cpp
    backup/BackupCatalogueTest.cpp
    formats/FieldCatalogueTest.cpp
    app/AppDirTest.cpp
    tools/CleanUpTest.cpp
    restore/RestorePointsTest.cpp
    spreadsheet/NumberFormatTest.cpp
    spreadsheet/WorkbookTest.cpp
)
