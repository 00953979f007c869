#include "wizard/ImportRun.h"

#include "mapping/MemoryRows.h"
#include "platform/ScriptedInteraction.h"
#include "support/ImportInput.h"
#include "support/TempDir.h"
#include "wizard/ImportPreview.h"
#include "wizard/ImportScan.h"

#include <gtest/gtest.h>
#include <sstream>

using testsupport::MemoryImport;
using wizard::ImportRunInput;
using wizard::RunOutcome;

namespace {

const char* kHeading = "QUALIFIER IMPORT FILE CREATION LOG\n"
                       "----------------------------------\n\n";

class ImportRunTest : public testing::Test {
protected:
    // The labels decide which fields are mandatory and which dates.
    ImportRunInput input(std::vector<std::string> labels, std::string_view tab,
                         bool firstLineIsRecord = true, int mode = 2) {
        testsupport::writeFile(dir / "import.txt", tab);
        return testsupport::importInput(dir, std::move(labels), mode, firstLineIsRecord);
    }

    wizard::ImportRunResult run(const ImportRunInput& in) {
        return wizard::RunImport(in, db.rows, ui);
    }

    std::string log() { return testsupport::readFile(dir / "ImportLog.doc"); }

    testsupport::TempDir dir;
    platform::ScriptedInteraction ui;
    MemoryImport db;
};

TEST_F(ImportRunTest, AHeaderLineIsSkippedAndRecordsAreNumberedFromTheNextLine) {
    const std::vector<std::string> bornFirst{"Date of Birth", "Last Name", "  Middle Initial"};
    const std::string tab = "Born\tName\tMI\r\n1/1/1970\tA\t\r\nsoon\tB\t\r\n1/3/1970\tC\t\r\n";
    auto r = run(input(bornFirst, tab, false));
    ASSERT_EQ(db.person.rows.size(), 2u);
    EXPECT_EQ(db.person.rows[0]["Last_Name"], "A");
    EXPECT_EQ(db.person.rows[1]["Last_Name"], "C");
    EXPECT_EQ(db.person.rows[1]["Employee_ID"], "2") << "rejected records take no row number";
    EXPECT_EQ(db.person.rows[1]["Date_of_Birth"], "01/03/1970");
    EXPECT_EQ(r.recordsRejected, 1);
    EXPECT_EQ(log(), std::string(kHeading) +
                         "1)  In record #2, the date field called 'Date of Birth' had an invalid "
                         "date (soon).  This record will not be entered.\n\n");
    // Read with "Record #1", the header is a record whose mandatory date is bad.
    MemoryImport again;
    wizard::RunImport(input(bornFirst, "Born\tName\tMI\r\n1/1/70\tA\t\r\nsoon\tB\t\r\n"),
                      again.rows, ui);
    EXPECT_EQ(again.person.rows.size(), 1u);
    EXPECT_EQ(log(), std::string(kHeading) +
                         "1)  In record #1, the date field called 'Date of Birth' had an invalid "
                         "date (Born).  This record will not be entered into the import file.\n\n"
                         "2)  In record #3, the date field called 'Date of Birth' had an invalid "
                         "date (soon).  This record will not be entered.\n\n");
}

TEST_F(ImportRunTest, EntriesAreNumberedInTheOrderOfTheFieldsAndTheFirstLineTestsEveryDate) {
    const std::vector<std::string> labels{"Last Name", "Date of Birth", "  Spouse's Date of Birth",
                                          "First Name", "  Middle Initial"};
    const std::string tab = "\tx\ty\tA\t\r\n"             // the first line: every date tested
                            "B\t1/1/1970\tnever\t \t\r\n" // bad optional date, empty mandatory
                            "\tx\tnever\tCy\t\r\n"        // empty mandatory first: dates not tested
                            "D\t1/1/1970\t@\tDi\t\r\n"    // "@" is never reported
                            "E\t1/1/1970\t bad \tEd\t\r\n";
    auto r = run(input(labels, tab));
    EXPECT_EQ(log(), std::string(kHeading) +
                         "1)  In record #1, the mandatory field 'Last Name' was not entered.  This "
                         "record will not be imported.\n\n"
                         "2)  In record #1, the date field called 'Date of Birth' had an invalid "
                         "date (x).  This record will not be entered into the import file.\n\n"
                         "3)  In record #1, the date field called '  Spouse's Date of Birth' had "
                         "an invalid date (y).  This record will be entered but no date will be "
                         "imported for this field.\n\n"
                         "4)  In record #2, the date field called '  Spouse's Date of Birth' had "
                         "an invalid date (never).  This record will be entered but no date will "
                         "be imported for this field.\n\n"
                         "5)  In record #2, the mandatory field 'First Name' was not entered.  "
                         "This record will not be imported.\n\n"
                         "6)  In record #3, the mandatory field 'Last Name' was not entered.  "
                         "This record will not be imported.\n\n"
                         "7)  In record #5, the date field called '  Spouse's Date of Birth' had "
                         "an invalid date (bad).  This record will be entered but no date will be "
                         "imported for this field.\n\n");
    EXPECT_EQ(r.entries, 7);
    ASSERT_EQ(db.person.rows.size(), 2u);
    EXPECT_EQ(db.person.rows[1]["Last_Name"], "E");
    EXPECT_EQ(db.person.rows[1]["Employee_ID"], "2");
    ASSERT_EQ(db.dependant.rows.size(), 2u);
    EXPECT_EQ(db.dependant.rows[0]["Spouse_Birth_Date"], "") << "'@' is no date either";
    EXPECT_EQ(db.dependant.rows[1]["Spouse_Birth_Date"], "") << "the reported date is dropped";
    EXPECT_EQ(db.dependant.rows[1]["First_Name"], "Ed");
}

TEST_F(ImportRunTest, LineEndsAndShortLines) {
    struct Case {
        const char* name;
        std::string tab;
        std::vector<std::string> rows; // Last_Name|Middle_Initial|First_Name
    };
    const std::vector<std::string> labels{"Last Name", "  Middle Initial", "First Name"};
    for (const auto& c : std::vector<Case>{
             {"bare LF: the last field is never stored", "A\tB\tC\nD\tE\tF\n", {"A|B|", "D|E|"}},
             {"a short line does not repeat the previous values",
              "A\tB\tC\r\nD\r\n",
              {"A|B|C", "||"}},
             {"a CR inside a line counts as a field end without storing the field",
              "A\tB\rX\tC\r\n",
              {"A||B\rX"}},
             {"fields beyond the structure are dropped", "A\tB\tC\tD\tE\r\n", {"A|B|C"}},
         }) {
        SCOPED_TRACE(c.name);
        MemoryImport mem;
        wizard::RunImport(input(labels, c.tab), mem.rows, ui);
        std::vector<std::string> rows;
        for (auto& row : mem.person.rows)
            rows.push_back(row["Last_Name"] + "|" + row["Middle_Initial"] + "|" +
                           row["First_Name"]);
        EXPECT_EQ(rows, c.rows);
    }
}

TEST_F(ImportRunTest, FieldsAndRecordsLostToTheLineEndsAreLogged) {
    const std::vector<std::string> labels{"Last Name", "  Middle Initial", "First Name"};
    auto r = run(input(labels, "Ames\tQ\t Ann \nBell\tR\tBo\r\nCole\tS\t \nDunn\tT\tDi"));
    EXPECT_EQ(r.recordsWritten, 3);
    EXPECT_EQ(r.recordsRejected, 1);
    EXPECT_EQ(r.entries, 2);
    EXPECT_EQ(log(), std::string(kHeading) +
                         "1)  In record #1, the field 'First Name' (Ann) was not stored because "
                         "its line ends with a line feed alone instead of a carriage return and "
                         "line feed.\n\n" // blanks alone lose nothing (record #3)
                         "2)  Record #4 was not imported because the last line of the file has no "
                         "line end.\n\n");
    // A header line is no record: neither its line end nor a lone header line is reported.
    run(input(labels, "Last\tMI\tFirst\nAmes\tQ\tAnn\n", false));
    EXPECT_EQ(log(), std::string(kHeading) +
                         "1)  In record #1, the field 'First Name' (Ann) was not stored because "
                         "its line ends with a line feed alone instead of a carriage return and "
                         "line feed.\n\n");
    run(input(labels, "Last\tMI\tFirst", false));
    EXPECT_EQ(log(), std::string(kHeading) + wizard::kNoErrorSentence);
    // A CR LF line with fewer fields than the structure loses the last field it has.
    run(input(labels, "Ames\tQ\r\nBell\t\r\nCole\tS\tSue\r\n"));
    EXPECT_EQ(log(), std::string(kHeading) +
                         "1)  In record #1, the field '  Middle Initial' (Q) was not stored "
                         "because its line has fewer fields than the file's structure.\n\n");
    // A lost field of a rejected record is not reported again.
    run(input(labels, "\tQ\tAnn\n"));
    EXPECT_EQ(log(), std::string(kHeading) +
                         "1)  In record #1, the mandatory field 'Last Name' was not entered.  This "
                         "record will not be imported.\n\n");
}

TEST_F(ImportRunTest, ACleanRunOfEachTypeLogsItsHeadingAndTheSentenceOnly) {
    struct Case {
        int mode;
        const char* heading;
        std::size_t hyphens;
        const char *accepted, *fileType; // the fixed person columns
    };
    // A log of an earlier run is replaced, never appended to.
    testsupport::writeFile(dir / "ImportLog.doc", std::string(5000, 'x'));
    for (auto [mode, heading, hyphens, accepted, fileType] :
         {Case{1, "ACTIVE EMPLOYEE IMPORT FILE CREATION LOG", 40, nullptr, nullptr},
          Case{2, "QUALIFIER IMPORT FILE CREATION LOG", 34, "N", "Qualifier"},
          Case{3, "COBRA PARTICIPANT IMPORT FILE CREATION LOG", 42, "Y", "Participant"},
          Case{4, "RETIRED EMPLOYEE IMPORT FILE CREATION LOG", 40, "Y", "Retiree"}}) {
        MemoryImport mem;
        auto r = wizard::RunImport(
            input({"Last Name", "  Middle Initial"}, "A\tB\r\nC\t\r\n", true, mode), mem.rows, ui);
        EXPECT_EQ(r.outcome, RunOutcome::Completed);
        EXPECT_TRUE(r.logWritten);
        EXPECT_EQ(r.recordsWritten, 2);
        EXPECT_EQ(log(), std::string(heading) + "\n" + std::string(hyphens, '-') +
                             "\n\nThe system did not detect any errors with the creation of the "
                             "import file.");
        EXPECT_TRUE(ui.messages().empty());
        ASSERT_EQ(mem.person.rows.size(), 2u);
        auto row = mem.person.rows[1];
        EXPECT_EQ(row["Employee_ID"], "2");
        if (!accepted) {
            EXPECT_EQ(row.size(), 3u) << "Employee_ID and the two fields only";
            continue;
        }
        EXPECT_EQ(testsupport::columns(row, {"COBRA_Accepted", "Initial_Notification_Date",
                                             "Disabled(Y/N)", "Multiple_Qualifying_Event(Y/N)",
                                             "File_Type"}),
                  std::string(accepted) + "|Sent|N|N|" + fileType);
    }
}

TEST_F(ImportRunTest, AMissingOrEmptyFileWritesNothing) {
    for (const char* tab : {static_cast<const char*>(""), static_cast<const char*>(nullptr)}) {
        ui.clearTranscript();
        auto in = input({"Last Name"}, tab ? tab : "");
        if (!tab)
            in.TabPath = (dir / "gone.txt").string();
        auto r = run(in);
        EXPECT_EQ(r.outcome, RunOutcome::MissingFile);
        ASSERT_EQ(ui.messages().size(), 1u);
        EXPECT_EQ(ui.messages()[0].title, "Missing File");
        EXPECT_EQ(ui.messages()[0].text, "Cannot find your import file.  Please click previous and "
                                         "re-select the file and continue on.");
        EXPECT_FALSE(std::filesystem::exists(dir / "ImportLog.doc"));
    }
}

TEST_F(ImportRunTest, ARefusedRecordStopsTheRunAndTheLogSaysWhere) {
    db.dependant.failUpdateAt = 2;
    const std::vector<std::string> labels{"Last Name", "  Spouse's Name (Full Name)",
                                          "  Middle Initial"};
    auto r = run(input(labels, "A\tSa\t\r\n\tx\t\r\nB\tSb\t\r\nC\tSc\t\r\n"));
    EXPECT_EQ(r.outcome, RunOutcome::Stopped);
    EXPECT_EQ(r.stopRecord, 3);
    EXPECT_EQ(r.recordsWritten, 1);
    EXPECT_EQ(db.person.rows.size(), 1u) << "the refused record leaves no row";
    EXPECT_EQ(db.dependant.rows.size(), 1u);
    EXPECT_EQ(log(), std::string(kHeading) +
                         "1)  In record #2, the mandatory field 'Last Name' was not entered.  This "
                         "record will not be imported.\n\n"
                         "The import stopped at record #3 because the database refused it: disk "
                         "full  This record and the records after it were not imported.\n\n");
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].icon, platform::Icon::Critical);
    EXPECT_NE(ui.messages()[0].text.find("record #3"), std::string::npos);
    EXPECT_NE(ui.messages()[0].text.find("disk full"), std::string::npos);
}

// Stored on a thread of its own, in batches of any size, a run writes the same rows, the same
// log and the same result as one storing each record before it reads the next, also when the
// database refuses a record in the middle of a batch, at its edge, or after the file's end, or
// lacks a column the mapping writes. Texts of ASCII alone, and only those, are handed over
// marked as such.
TEST_F(ImportRunTest, StoringOnAThreadChangesNothing) {
    const std::vector<std::string> labels{"Last Name", "  Spouse's Name (Full Name)",
                                          "  Medical Insurance Plan Name", "Date of Birth",
                                          "  Spouse's Date of Birth"};
    std::string tab;
    for (int i = 1; i <= 23; ++i)
        tab += (i % 5 == 0 ? "" : (i % 2 ? "N" : "Zo\xEB") + std::to_string(i)) +
               "\tS\tPlan\t1/2/1970\t" + (i % 3 == 0 ? "never" : "") + "\r\n";
    tab += "Last\tS\tPlan\t1/2/1970";
    const auto in = input(labels, tab);

    struct Outcome {
        std::string log;
        wizard::ImportRunResult result;
        std::vector<testsupport::Row> person, dependant, plan;
        std::size_t asciiTexts = 0, notAscii = 0;
    };
    auto scan = [&](std::size_t batch, std::optional<std::size_t> failAt,
                    const std::string& missing = {}) {
        MemoryImport rows;
        rows.dependant.failUpdateAt = failAt;
        rows.dependant.missingColumn = missing;
        wizard::ImportScan scan(in, rows.rows, nullptr, batch);
        scan.feedFile();
        auto result = scan.finish();
        return Outcome{scan.log(),          result,         rows.person.rows,
                       rows.dependant.rows, rows.plan.rows, rows.person.asciiTexts,
                       rows.person.notAscii};
    };
    for (std::optional<std::size_t> failAt : {std::optional<std::size_t>{}, {1}, {4}, {8}, {18}}) {
        const Outcome direct = scan(0, failAt);
        for (std::size_t batch : {1, 4, 7, 256}) {
            SCOPED_TRACE("batch " + std::to_string(batch) + ", refused row " +
                         (failAt ? std::to_string(*failAt) : "none"));
            const Outcome threaded = scan(batch, failAt);
            EXPECT_EQ(threaded.log, direct.log);
            EXPECT_EQ(threaded.result.outcome, direct.result.outcome);
            EXPECT_EQ(threaded.result.recordsWritten, direct.result.recordsWritten);
            EXPECT_EQ(threaded.result.recordsRejected, direct.result.recordsRejected);
            EXPECT_EQ(threaded.result.recordsRead, direct.result.recordsRead);
            EXPECT_EQ(threaded.result.entries, direct.result.entries);
            EXPECT_EQ(threaded.result.stopRecord, direct.result.stopRecord);
            EXPECT_EQ(threaded.result.stopCause, direct.result.stopCause);
            EXPECT_EQ(threaded.person, direct.person);
            EXPECT_EQ(threaded.dependant, direct.dependant);
            EXPECT_EQ(threaded.plan, direct.plan);
            EXPECT_GT(threaded.asciiTexts, 0u);
            EXPECT_EQ(threaded.notAscii, 0u);
        }
        EXPECT_EQ(direct.result.outcome, failAt ? RunOutcome::Stopped : RunOutcome::Completed);
    }
    // A column the table lacks: one the mapping writes, and one of the keys the record's
    // dependant row is given as it is stored.
    for (const std::string missing : {"Spouse_Name", "SOCIAL"}) {
        SCOPED_TRACE(missing);
        const Outcome direct = scan(0, {}, missing);
        EXPECT_EQ(direct.result.stopRecord, 1);
        EXPECT_EQ(direct.result.stopCause, "no column named '" + missing + "'");
        for (std::size_t batch : {1, 256}) {
            const Outcome threaded = scan(batch, {}, missing);
            EXPECT_EQ(threaded.log, direct.log);
            EXPECT_EQ(threaded.result.stopRecord, direct.result.stopRecord);
            EXPECT_EQ(threaded.result.stopCause, direct.result.stopCause);
            EXPECT_EQ(threaded.person, direct.person);
            EXPECT_EQ(threaded.dependant, direct.dependant);
        }
    }
}

// The preview and the whole-file count are what the run then does: the same records stored
// with the same texts, the same rejections and the same log entries.
TEST_F(ImportRunTest, ThePreviewAndTheCountAgreeWithTheRun) {
    const std::vector<std::string> labels{"Last Name",
                                          "Gender (M/F)",
                                          "Social Security Number",
                                          "  Spouse's Date of Birth",
                                          "City (or City, State Zip)",
                                          "  State",
                                          "  Zip Code",
                                          "  Monthly Contribution towards Medical FSA",
                                          "Date of Birth"};
    const auto in = input(labels,
                          "Name\tSex\tSSN\tSpouse born\tCity\tST\tZip\tFSA\tBorn\r\n"
                          "Ames\tm\t123456789\tsoon\tDover\tDE\t19901\t12.5\t1/2/1970\r\n"
                          "\tF\t\t\tX\t\t\t\t1/1/1970\r\n"
                          "Bell\tF\t987654321\t2/2/1960\tYork\tPA\t17401\tabc\tbad\r\n"
                          "Cole\tM\t111223333\t\tErie\r\n"
                          "Dunn\tF\t222334444\t\tAkron\tOH\t44301\t1\t3/3/1980\n"
                          "Eve\tF\t3",
                          false);
    const auto r = run(in);
    const std::atomic<bool> keepGoing{false};
    const auto counts = wizard::CountRecords(in, keepGoing);
    ASSERT_TRUE(counts);
    EXPECT_EQ(counts->imported, r.recordsWritten);
    EXPECT_EQ(counts->rejected, r.recordsRejected);
    EXPECT_EQ(r.recordsWritten + r.recordsRejected, 6);

    const auto preview = wizard::PreviewRecords(in, 100);
    ASSERT_EQ(preview.size(), 6u);
    std::size_t stored = 0;
    std::string notes;
    for (const auto& p : preview) {
        ASSERT_EQ(p.cells.size(), labels.size());
        if (!p.notes.empty())
            notes += (notes.empty() ? "" : "\n") + p.notes;
        if (p.rejected)
            continue;
        ASSERT_LT(stored, db.person.rows.size());
        for (std::size_t k = 0; k < labels.size(); ++k) {
            const auto* entry = mapping::findMapping(labels[k]);
            if (!entry)
                continue;
            auto& table = entry->target == mapping::Target::Plan        ? db.plan
                          : entry->target == mapping::Target::Dependant ? db.dependant
                                                                        : db.person;
            EXPECT_EQ(p.cells[k], table.rows.at(stored)[std::string(entry->column)])
                << "record #" << p.number << ", " << labels[k];
        }
        ++stored;
    }
    EXPECT_EQ(stored, db.person.rows.size());

    // The log's entries, their numbers taken off, are the records' notes in order.
    std::string logged;
    std::istringstream entries(log().substr(std::string(kHeading).size()));
    for (std::string line; std::getline(entries, line);)
        if (auto number = line.find(")  "); number != std::string::npos)
            logged += (logged.empty() ? "" : "\n") + line.substr(number + 3);
    EXPECT_EQ(notes, logged);

    const auto& ames = preview[0];
    EXPECT_EQ(ames.cells[1], "M");
    EXPECT_EQ(ames.cells[2], "123-45-6789");
    EXPECT_EQ(ames.cells[4], "Dover, DE  19901") << "State and Zip Code join the city";
    EXPECT_EQ(ames.cells[5], "DE") << "a label the mapping does not write shows its value";
    EXPECT_EQ(ames.cells[7], "12.50");
    EXPECT_TRUE(ames.droppedDates[3]);
    EXPECT_EQ(ames.cells[3], "");
    EXPECT_EQ(std::count(ames.droppedDates.begin(), ames.droppedDates.end(), true), 1);
    EXPECT_TRUE(preview[1].rejected);
    EXPECT_EQ(preview[1].number, 2);
    EXPECT_EQ(preview[1].cells[4], "X") << "a rejected record shows what was read";
    EXPECT_TRUE(preview[5].rejected) << "the last line has no line end";

    const auto firstTwo = wizard::PreviewRecords(in, 2);
    ASSERT_EQ(firstTwo.size(), 2u);
    EXPECT_EQ(firstTwo[1].notes, preview[1].notes);
    const std::atomic<bool> stop{true};
    EXPECT_FALSE(wizard::CountRecords(in, stop)) << "a stopped count gives no figures";
}

TEST(OpenDocument, ShellFailuresBecomeTheirMessagesAndWordPadIsUsedWhenThere) {
    struct Case {
        int code;
        const char* text; // nullptr: no message
    };
    for (auto [code, text] :
         {Case{42, nullptr}, Case{0, "Error: Out of Memory/Resources. Couldn't Execute!"},
          Case{2, "Error: File not found.  Couldn't Execute!"},
          Case{3, "Error: Path not found. Couldn't Execute!"},
          Case{11, "Error:  Bad File Format. Couldn't Execute!"}, Case{31, nullptr},
          Case{5, nullptr}}) {
        platform::ScriptedInteraction ui;
        ui.queueShellResult(code);
        wizard::OpenImportLog(ui, "C:\\HOST\\", "");
        ASSERT_GE(ui.transcript().size(), 1u);
        EXPECT_EQ(ui.transcript()[0].kind, platform::ScriptedInteraction::Kind::Shell);
        EXPECT_EQ(ui.transcript()[0].text, "C:\\HOST\\ImportLog.doc");
        auto messages = ui.messages();
        if (text) {
            ASSERT_EQ(messages.size(), 1u) << code;
            EXPECT_EQ(messages[0].text, text);
            EXPECT_EQ(messages[0].title, "");
            EXPECT_EQ(messages[0].buttons, platform::Buttons::Ok);
        } else {
            EXPECT_TRUE(messages.empty()) << code;
        }
        // No program for the log: Windows offers its own choice, elsewhere our viewer shows it.
        const auto& last = ui.transcript().back();
#ifdef _WIN32
        EXPECT_EQ(last.kind == platform::ScriptedInteraction::Kind::Program, code == 31) << code;
#else
        EXPECT_EQ(last.kind == platform::ScriptedInteraction::Kind::ViewText, code == 31) << code;
        if (code == 31) {
            EXPECT_EQ(last.detail, "C:\\HOST\\ImportLog.doc");
        }
#endif
    }

    // WordPad, when it is there, opens the log itself.
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "wordpad.exe", "MZ");
    platform::ScriptedInteraction ui;
    wizard::OpenImportLog(ui, "C:\\HOST\\", (dir / "wordpad.exe").string());
    ASSERT_EQ(ui.transcript().size(), 1u);
    EXPECT_EQ(ui.transcript()[0].kind, platform::ScriptedInteraction::Kind::Program);
    EXPECT_EQ(ui.transcript()[0].text,
              "\"" + (dir / "wordpad.exe").string() + "\" C:\\HOST\\ImportLog.doc");
}

} // namespace
