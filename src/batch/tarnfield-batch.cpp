// tarnfield-batch: the import wizard's work without its windows, for unattended use.
//
//   tarnfield-batch --app-dir DIR --type EMPLOYEE|QUALIFIER|PARTICIPANT|RETIREE
//                   [--format NAME | --fields FILE | --arrange-from-header] [--account COMPANY]
//                   [--first-record 1|2]
//                   [--fix-extra-fields] [--fix-line-ends] [--convert-text] --out FILE.mdb TABFILE
//
// It runs the wizard's checks with the answers given, makes the import database, imports the
// TAB file and writes ImportLog.doc into the program folder. Messages the windows would show go
// to standard error, and so does a progress line when it is a terminal. Ctrl+C stops the import
// as the progress window's Cancel does. Exit codes: 0 imported; 1 the host folder, the database
// or the run failed; 2 the TAB file failed verification; 64 wrong arguments; 130 cancelled.
#include "formats/FieldCatalogue.h"
#include "formats/FormatStore.h"
#include "formats/HeaderMatch.h"
#include "hostdata/AccountList.h"
#include "hostdata/ImportDatabase.h"
#include "jet/Database.h"
#include "platform/Ansi.h"
#include "platform/HostPath.h"
#include "session/ImportSession.h"
#include "wizard/HeaderLine.h"
#include "wizard/ImportRun.h"
#include "wizard/RemoveExtraFields.h"
#include "wizard/TabVerifier.h"
#include "wizard/TextForm.h"
#include "wizard/WorkbookCopy.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr int kImported = 0, kFailed = 1, kNotVerified = 2, kUsage = 64, kCancelled = 130;

volatile std::sig_atomic_t interrupted = 0;

// The first Ctrl+C asks the import to stop at the next record; a second one ends the program
// at once, as it would without this handler.
extern "C" void onInterrupt(int) {
    interrupted = 1;
    std::signal(SIGINT, SIG_DFL);
}

bool stderrIsTerminal() {
#ifdef _WIN32
    return ::_isatty(::_fileno(stderr)) != 0;
#else
    return ::isatty(::fileno(stderr)) != 0;
#endif
}

// Records done of the total on one line of a terminal, a few times a second; Ctrl+C cancels.
class ConsoleProgress : public platform::Progress {
public:
    ConsoleProgress(std::string text, std::int64_t total)
        : text_(std::move(text)), total_(total), shown_(stderrIsTerminal()) {}
    ~ConsoleProgress() override {
        if (drawn_)
            std::fputc('\n', stderr);
    }

    bool advance(std::int64_t done) override {
        if (!shown_)
            return interrupted == 0; // without a terminal, not even the clock is read
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ >= std::chrono::milliseconds(200) || done == total_) {
            last_ = now;
            drawn_ = true;
            std::fprintf(stderr, "\r%s: %lld of %lld records", text_.c_str(),
                         static_cast<long long>(done), static_cast<long long>(total_));
            std::fflush(stderr);
        }
        return interrupted == 0;
    }
    void finishing(const std::string& text) override {
        if (!shown_)
            return;
        std::fprintf(stderr, "\n%s", ansi::toUtf8(text).c_str());
        std::fflush(stderr);
        drawn_ = true;
    }

private:
    std::string text_;
    std::int64_t total_;
    bool shown_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point last_{};
};

const char* kUsageText =
    "usage: tarnfield-batch --app-dir DIR --type EMPLOYEE|QUALIFIER|PARTICIPANT|RETIREE\n"
    "                       [--format NAME | --fields FILE | --arrange-from-header]\n"
    "                       [--account COMPANY]\n"
    "                       [--first-record 1|2] [--fix-extra-fields] [--fix-line-ends]\n"
    "                       [--convert-text] [--sheet NAME] --out FILE.mdb TABFILE\n"
    "  --fix-extra-fields, --fix-line-ends (lines ended by LF or CR alone, a last line without\n"
    "  line end), --convert-text (UTF-8 or UTF-16 text to Windows-1252): write a corrected copy\n"
    "  FILE_Revised.txt beside the TAB file and import that\n"
    "  TABFILE may be a workbook (.xlsx, .ods) or a .csv file: its TAB copy FILE_Tab.txt is\n"
    "  written beside it (an earlier copy replaced) and imported; --sheet names the workbook's\n"
    "  sheet (default: the first)\n"
    "  --arrange-from-header: the structure is the fields the TAB file's header line names\n"
    "  (the first record is then 2); a column that takes no field is refused\n"
    "exit codes: 0 imported, 1 failed, 2 the TAB file did not verify, 64 wrong arguments,\n"
    "  130 cancelled by Ctrl+C (no database made)\n";

// Every message goes to standard error; questions are answered No and dialogs cancelled, so
// nothing waits for a person.
class ConsoleInteraction : public platform::UserInteraction {
public:
    platform::Answer message(const platform::MessageBoxRequest& r) override {
        say(r.title, r.text);
        return r.buttons == platform::Buttons::YesNo ? platform::Answer::No : platform::Answer::Ok;
    }
    std::optional<std::string> inputBox(const std::string&, const std::string&,
                                        const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> chooseItem(const std::string&, const std::string&,
                                          const std::vector<std::string>&) override {
        return std::nullopt;
    }
    std::optional<std::string> openFile(const platform::FileDialogRequest&) override {
        return std::nullopt;
    }
    std::optional<std::string> saveFile(const platform::FileDialogRequest&) override {
        return std::nullopt;
    }
    std::optional<std::string> chooseFolder(const platform::FileDialogRequest&) override {
        return std::nullopt;
    }
    void pause(int) override {}
    std::unique_ptr<platform::Progress> showProgress(const std::string&, const std::string& text,
                                                     std::int64_t total) override {
        return std::make_unique<ConsoleProgress>(ansi::toUtf8(text), total);
    }
    void setBusy(bool) override {}
    int shellOpen(const std::string&, const std::string&, const std::string&) override {
        return platform::shell::kSuccess; // the log is not opened
    }
    bool startProgram(const std::string&) override { return false; }
    // The log's path is printed; there is no window to show it in.
    void viewText(const std::string&, const std::string&) override {}

    static void say(const std::string& title, const std::string& text) {
        std::string line = title.empty() ? text : title + ": " + text;
        std::fprintf(stderr, "%s\n", ansi::toUtf8(line).c_str());
    }
};

// Command-line texts are the system's (UTF-8 here); the program's own strings Windows-1252.
std::string programText(const char* arg) {
#ifdef _WIN32
    return arg;
#else
    return ansi::fromUtf8(arg);
#endif
}

std::string programPath(const char* arg) {
    return hostpath::fromNative(std::filesystem::absolute(std::filesystem::path(arg)));
}

struct Options {
    std::string appDir, type, format, fieldsFile, account, out, tabFile, sheet;
    int firstRecord = 1;
    bool fixExtraFields = false;
    bool arrangeFromHeader = false;
    bool fixLineEnds = false;
    bool convertText = false;
};

std::optional<Options> parse(int argc, char** argv) {
    Options o;
    std::map<std::string, std::string*> valued{
        {"--app-dir", &o.appDir},    {"--type", &o.type},       {"--format", &o.format},
        {"--fields", &o.fieldsFile}, {"--account", &o.account}, {"--out", &o.out},
        {"--sheet", &o.sheet}};
    std::string firstRecord;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--fix-extra-fields") {
            o.fixExtraFields = true;
        } else if (a == "--fix-line-ends") {
            o.fixLineEnds = true;
        } else if (a == "--convert-text") {
            o.convertText = true;
        } else if (a == "--arrange-from-header") {
            o.arrangeFromHeader = true;
        } else if (a == "--first-record" && i + 1 < argc) {
            firstRecord = argv[++i];
        } else if (auto it = valued.find(a); it != valued.end() && i + 1 < argc) {
            *it->second = argv[++i];
        } else if (!a.starts_with("--") && o.tabFile.empty()) {
            o.tabFile = a;
        } else {
            std::fprintf(stderr, "tarnfield-batch: unexpected argument '%s'\n", a.c_str());
            return std::nullopt;
        }
    }
    if (o.appDir.empty() || o.type.empty() || o.out.empty() || o.tabFile.empty()) {
        std::fputs("tarnfield-batch: --app-dir, --type, --out and the TAB file are needed\n",
                   stderr);
        return std::nullopt;
    }
    if (!o.format.empty() + !o.fieldsFile.empty() + o.arrangeFromHeader > 1) {
        std::fputs("tarnfield-batch: give one of --format, --fields and --arrange-from-header\n",
                   stderr);
        return std::nullopt;
    }
    // The header line is no record.
    if (o.arrangeFromHeader && firstRecord == "1") {
        std::fputs("tarnfield-batch: --arrange-from-header reads the first line as the header; "
                   "the first record is 2\n",
                   stderr);
        return std::nullopt;
    }
    if (firstRecord.empty())
        firstRecord = o.arrangeFromHeader ? "2" : "1";
    if (firstRecord != "1" && firstRecord != "2") {
        std::fputs("tarnfield-batch: --first-record is 1 or 2\n", stderr);
        return std::nullopt;
    }
    o.firstRecord = firstRecord == "1" ? 1 : 2;
    return o;
}

int fail(const std::string& text) {
    std::fprintf(stderr, "tarnfield-batch: %s\n", ansi::toUtf8(text).c_str());
    return kFailed;
}

// The structure the TAB file's header line names, as the editor's "Arrange from File" makes it,
// or nothing when a column takes no field or a mandatory field has no column: unattended, no
// one can say what they are.
std::optional<std::vector<std::string>> arrangedFromHeader(const Options& o,
                                                           const session::ImportSession& s) {
    ConsoleInteraction ui;
    const wizard::WorkbookChoice choice{o.sheet.empty() ? "" : programText(o.sheet.c_str()), false,
                                        true};
    const auto headings = wizard::fileHeadings(programPath(o.tabFile.c_str()), ui, choice);
    if (!headings)
        return std::nullopt;
    std::vector<std::string> labels;
    std::string refused, guessed;
    const auto matches = formats::matchHeadings(*headings, s.ModeCode);
    for (std::size_t i = 0; i < matches.size(); ++i) {
        const auto& m = matches[i];
        const std::string column = "  column " + std::to_string(i + 1) + " \"" + m.heading + "\"";
        if (m.label.empty())
            refused += column + ": " + m.note + "\n";
        else if (m.confidence == formats::MatchConfidence::Guess)
            guessed += column + ": guessed as \"" + std::string(ansi::trim(m.label)) + "\"\n";
        labels.push_back(m.label);
    }
    if (!guessed.empty())
        std::fprintf(stderr, "tarnfield-batch: columns of the header line taken by a guess:\n%s",
                     ansi::toUtf8(guessed).c_str());
    if (!refused.empty()) {
        std::fprintf(stderr, "tarnfield-batch: columns of the header line that take no field:\n%s",
                     ansi::toUtf8(refused).c_str());
        return std::nullopt;
    }
    if (const auto missing = formats::missingMandatory(labels, s.ModeCode); !missing.empty()) {
        std::string list;
        for (const auto& label : missing)
            list += "\n  " + std::string(ansi::trim(label));
        std::fprintf(stderr,
                     "tarnfield-batch: no column of the header line holds the mandatory "
                     "fields:%s\n",
                     ansi::toUtf8(list).c_str());
        return std::nullopt;
    }
    return labels;
}

// The structure: a saved format, a list of labels, the header line's fields, or the type's
// default list.
std::optional<std::vector<std::string>> structure(const Options& o,
                                                  const session::ImportSession& s) {
    if (o.arrangeFromHeader)
        return arrangedFromHeader(o, s);
    if (!o.format.empty()) {
        auto loaded = formats::FormatStore(s.AppDir).LoadFormat(s.FileTypeName,
                                                                programText(o.format.c_str()));
        if (!loaded || !loaded->anyLabel) {
            fail("no saved format named '" + programText(o.format.c_str()) + "' of type " +
                 s.FileTypeName);
            return std::nullopt;
        }
        return std::vector<std::string>(loaded->chosenFields.begin() + 1,
                                        loaded->chosenFields.end());
    }
    if (!o.fieldsFile.empty()) {
        std::ifstream in(std::filesystem::path(o.fieldsFile), std::ios::binary);
        if (!in) {
            fail("cannot read the field list " + programPath(o.fieldsFile.c_str()));
            return std::nullopt;
        }
        std::vector<std::string> labels;
        for (std::string line; std::getline(in, line);) {
            std::string label(
                ansi::trimRight(line.ends_with('\r') ? line.substr(0, line.size() - 1) : line));
            if (!label.empty())
                labels.push_back(label);
        }
        if (labels.empty()) {
            fail("the field list " + programPath(o.fieldsFile.c_str()) + " names no field");
            return std::nullopt;
        }
        return labels;
    }
    return formats::defaultFieldList(s.ModeCode);
}

// The editor's start-up checks of the host folder, and the account the data goes into.
bool chooseAccount(const Options& o, session::ImportSession& s, platform::UserInteraction& ui) {
    auto accounts = hostdata::readAccounts(s.AppDir, records::CountRule::Rounded);
    s.AccountCount = static_cast<std::int64_t>(accounts.size());
    if (!hostpath::isFile(s.AppDir + "BRANDMDB.MDB")) {
        ui.critical("Missing File",
                    "To import data, the program utilizes the BRANDMDB.MDB file in the root "
                    "direcory.  Please find a copy of this file (with at least a 9/10/2004 date) "
                    "and place it in the Brandmoor directory.  Once there, try again.\nValue= " +
                        s.AppDir);
        return false;
    }
    if (accounts.empty()) {
        fail("Account.dat in " + s.AppDir + " lists no accounts");
        return false;
    }
    const hostdata::AccountRecord* chosen = nullptr;
    if (!o.account.empty()) {
        const std::string wanted(ansi::trim(programText(o.account.c_str())));
        for (const auto& a : accounts)
            if (a.companyName() == wanted) {
                chosen = &a;
                break;
            }
        if (!chosen) {
            fail("no account of the company '" + wanted + "' in Account.dat");
            return false;
        }
    } else if (accounts.size() == 1) {
        chosen = &accounts.front();
    } else {
        ui.critical("Missing Information",
                    "Please select the name of the company you wish to import data.  You may only "
                    "import data into one company at a time.");
        fail("Account.dat lists several accounts; name one with --account");
        return false;
    }
    s.AccountDir = s.AppDir + chosen->folderName();
    if (!hostpath::isFile(s.AccountDir + "Company.dat") ||
        !hostpath::isFile(s.AccountDir + "INSPLAN.DAT")) {
        ui.critical("Process Terminated",
                    "Before importing data into the Brandmoor program you must first launch the "
                    "Brandmoor program and enter information on the Company and Insurance "
                    "Companies.  Without this entered into the system, you cannot import data.");
        return false;
    }
    return true;
}

struct Verified {
    std::string path;
    std::int64_t lines = -1; // as the file's inspection counted them, when it could
};

// Verification as the window runs it, with the optional repair; the verified file, or nullopt.
std::optional<Verified> verify(std::string path, const Options& o,
                               const std::vector<std::string>& labels, session::ImportSession& s,
                               platform::UserInteraction& ui) {
    if (hostpath::isDirectory(path)) {
        std::fprintf(stderr, "tarnfield-batch: the import file %s is a folder, not a TAB file\n",
                     ansi::toUtf8(path).c_str());
        return std::nullopt;
    }
    bool revisedText = false, removedFields = false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        auto buffer = wizard::readVerificationBuffer(path);
        if (!buffer) {
            std::fprintf(stderr, "tarnfield-batch: the import file %s is missing or empty\n",
                         ansi::toUtf8(path).c_str());
            return std::nullopt;
        }
        std::int64_t lines = -1;
        if (auto form = wizard::inspectTextFile(path)) {
            lines = form->lines;
            if (form->nulLine != 0) {
                auto m = wizard::nulMessage(*form, path);
                ConsoleInteraction::say(m.title, m.text);
                return std::nullopt;
            }
            if (form->needsRevision()) {
                const bool convert = form->unicode() && !o.convertText;
                const bool fix = form->lineEndsWrong() && !o.fixLineEnds;
                if (convert || fix || revisedText) {
                    auto m = wizard::revisionOffer(*form, path);
                    ConsoleInteraction::say(m.title, m.text);
                    if (convert || fix)
                        std::fprintf(stderr, "tarnfield-batch: %s%s%s writes a corrected copy\n",
                                     convert ? "--convert-text" : "",
                                     convert && fix ? " with " : "", fix ? "--fix-line-ends" : "");
                    return std::nullopt;
                }
                wizard::ReviseText(path, *form);
                revisedText = true;
                std::fprintf(stderr, "tarnfield-batch: corrected copy written to %s\n",
                             ansi::toUtf8(path).c_str());
                continue;
            }
        }
        auto scan = wizard::scanTabBuffer(*buffer, labels);
        s.DateFlags = scan.dateFlags;
        s.RecordText = scan.recordText;
        auto verdict = wizard::decide(scan, labels.size());
        if (verdict == wizard::Verdict::Verified)
            return Verified{path, lines};
        auto m = wizard::verdictMessage(verdict, scan, labels);
        if (verdict != wizard::Verdict::RemovalOffer || !o.fixExtraFields || removedFields) {
            ConsoleInteraction::say(m->title, m->text);
            if (verdict == wizard::Verdict::RemovalOffer)
                std::fputs("tarnfield-batch: --fix-extra-fields writes a corrected copy\n", stderr);
            return std::nullopt;
        }
        int failed = 0;
        wizard::RemoveExtraFields(path, static_cast<std::int64_t>(labels.size()), failed, ui);
        removedFields = true;
        if (failed == 1)
            return std::nullopt;
        std::fprintf(stderr, "tarnfield-batch: extra fields removed into %s\n",
                     ansi::toUtf8(path).c_str());
    }
    return std::nullopt;
}

int run(const Options& o) {
    ConsoleInteraction ui;
    session::ImportSession s;
    const auto* type = formats::fileTypeByName(o.type);
    if (!type) {
        std::fprintf(stderr, "tarnfield-batch: unknown type '%s'\n%s", o.type.c_str(), kUsageText);
        return kUsage;
    }
    s.AppDir = programPath(o.appDir.c_str());
    if (!s.AppDir.ends_with('\\') && !s.AppDir.ends_with('/'))
        s.AppDir += std::string(1, static_cast<char>(std::filesystem::path::preferred_separator));
    if (!hostpath::isDirectory(s.AppDir))
        return fail("no program folder " + s.AppDir);
    s.FileTypeName = type->name;
    s.ModeCode = type->code;

    if (!chooseAccount(o, s, ui))
        return kFailed;
    auto labels = structure(o, s);
    if (!labels)
        return o.arrangeFromHeader ? kNotVerified : kFailed;
    // No one is there to ask: the first sheet unless named, an earlier copy replaced.
    const wizard::WorkbookChoice choice{o.sheet.empty() ? "" : programText(o.sheet.c_str()), false,
                                        true};
    auto tabFile = wizard::tabFileFor(programPath(o.tabFile.c_str()), ui, choice);
    if (!tabFile)
        return kNotVerified;
    auto verified = verify(*tabFile, o, *labels, s, ui);
    if (!verified)
        return kNotVerified;

    const std::string out = programPath(o.out.c_str());
    wizard::ImportRunInput in;
    in.ModeCode = s.ModeCode;
    in.AppDir = s.AppDir;
    in.TabPath = verified->path;
    in.lines = verified->lines;
    in.labels = *labels;
    in.DateFlags = s.DateFlags;
    in.firstLineIsRecord = o.firstRecord == 1;
    // An earlier database of that name is replaced only once the new one is finished.
    auto made = hostdata::MakeImportDatabase({s.AppDir, s.AccountDir, in.TabPath}, ui, out);
    if (!made)
        return kFailed;
    auto result = wizard::RunImportInto(in, *made, ui);
    if (result.outcome == wizard::RunOutcome::Cancelled) {
        std::fprintf(stderr, "Cancelled after %lld records; no import database was made, log %s\n",
                     static_cast<long long>(result.recordsRead),
                     ansi::toUtf8(result.logPath).c_str());
        return kCancelled;
    }
    if (result.outcome != wizard::RunOutcome::Completed)
        return kFailed;
    std::printf("%lld records written, %lld records rejected, log %s\n",
                static_cast<long long>(result.recordsWritten),
                static_cast<long long>(result.recordsRejected),
                ansi::toUtf8(result.logPath).c_str());
    return result.logWritten ? kImported : kFailed;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(kUsageText, stdout);
        return kImported;
    }
    auto options = parse(argc, argv);
    if (!options) {
        std::fputs(kUsageText, stderr);
        return kUsage;
    }
    std::signal(SIGINT, onInterrupt);
    try {
        return run(*options);
    } catch (const std::exception& e) {
        return fail(e.what());
    }
}
