# The core's tests that need no third-party library and no Linux tool. test_core runs them on
# Linux, and under Wine in the Windows cross-build.
set(TARNFIELD_PORTABLE_TESTS
    support/TempDir.cpp
    support/SampleDatabases.cpp
    support/Command.cpp
    platform/PlatformTest.cpp
    mapping/WriteImportFieldTest.cpp
    wizard/ImportRunTest.cpp
    wizard/TabFileTest.cpp
    hostdata/NewInsStructureTest.cpp
    hostdata/ImportDatabaseTest.cpp
    hostdata/AtomicCreateTest.cpp
    formats/FormatStoreTest.cpp
    formats/HeaderMatchTest.cpp
    app/AppDirTest.cpp
    tools/CleanUpTest.cpp
    restore/RestorePointsTest.cpp
    spreadsheet/NumberFormatTest.cpp
    spreadsheet/WorkbookTest.cpp
)
