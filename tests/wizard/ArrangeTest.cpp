// "Arrange from File..." in the structure editor: the file's headings in the mapping window, the
// user's changes there, and what OK and Cancel leave in the editor's list.
#include "formats/FieldCatalogue.h"
#include "formats/HeaderMatch.h"
#include "session/Modes.h"
#include "support/WindowTest.h"
#include "wizard/WorkbookCopy.h"
#include "wizard/frmArrange.h"
#include "wizard/frmTab.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gmock/gmock.h>

using platform::Answer;
using testing::ElementsAre;
using testing::HasSubstr;
using wizard::frmArrange;
using wizard::frmTab;

namespace {

constexpr int kMatchColumn = 3;

class ArrangeTest : public testsupport::WindowTest {
protected:
    void SetUp() override { testsupport::writeFile(host / "BRANDMDB.MDB", "template"); }

    frmTab& editor(int code, int source) {
        auto& s = context.session;
        s.ModeCode = code;
        s.FileTypeName = formats::fileTypes()[static_cast<std::size_t>(code - 1)].name;
        s.FormatSource = source;
        return context.windows.get<frmTab>();
    }

    // Queues a TAB file with these headings as the file the user picks.
    void pickFile(const std::string& headings) {
        testsupport::writeFile(host / "export.txt", headings + "\r\nx\r\n");
        ui.queueFile((host / "export.txt").string());
    }

    static QStringList offered(const QComboBox* combo) {
        QStringList out;
        for (int i = 0; i < combo->count(); ++i)
            out << combo->itemText(i);
        return out;
    }
    static QString match(const frmArrange& w, int row) {
        return w.grdColumns->item(row, kMatchColumn)->text();
    }
};

TEST_F(ArrangeTest, OkPutsTheChosenFieldsInTheFilesOrderAsAListNotYetSaved) {
    context.session.ChosenFields = {"", "Last Name", "First Name"};
    auto& tab = editor(session::mode::kEmployee, session::source::kSavedFormat);
    ASSERT_FALSE(tab.cmdSave->isEnabled());
    pickFile("Employee ID\tSSN\tLast Name\tFirst Name\tAddress 1\tCity\tSex\tDOB\tHire Date\t"
             "Notice Provided\tBenefits Start\tAddress");
    whenOpens<frmArrange>([&](frmArrange& w) {
        ASSERT_EQ(w.cboField.size(), 12u);
        EXPECT_EQ(match(w, 0), "No match: no field has this name");
        EXPECT_EQ(match(w, 1), "Common name");
        EXPECT_EQ(match(w, 2), "Exact");
        EXPECT_EQ(match(w, 9), "Guess: check it");
        EXPECT_THAT(match(w, 11).toStdString(),
                    HasSubstr("also matches \"Mailing Address\", given to column 5"));
        EXPECT_EQ(w.cboField[0]->currentText(), "(column not imported)");
        EXPECT_EQ(w.lblSummary->text(), "12 columns: 10 with a field, 2 not imported.");
        // A field another column holds is not offered; a free one is.
        EXPECT_FALSE(offered(w.cboField[0]).contains("Last Name"));
        EXPECT_TRUE(offered(w.cboField[0]).contains("  Address Overflow"));
        EXPECT_TRUE(offered(w.cboField[2]).contains("Last Name"));

        w.cboField[11]->setCurrentIndex(w.cboField[11]->findText("  Address Overflow"));
        EXPECT_EQ(match(w, 11), "Your choice");
        EXPECT_FALSE(offered(w.cboField[0]).contains("  Address Overflow")) << "now taken";
        w.cboField[9]->setCurrentIndex(0);
        EXPECT_EQ(match(w, 9), "Not imported (your choice)");
        EXPECT_TRUE(offered(w.cboField[0]).contains("  Date COBRA General Notice Provided"))
            << "free again";
        QTest::mouseClick(w.cmdOK, Qt::LeftButton);
    });
    tab.cmdArrange_Click();

    EXPECT_THAT(tab.labels(),
                ElementsAre(formats::kNotImportedLabel, "Social Security Number", "Last Name",
                            "First Name", "Mailing Address", "City (or City, State Zip)",
                            "Gender (M/F)", "Date of Birth", "Employee's Hire Date",
                            formats::kNotImportedLabel, "Employee Benefits Start Date",
                            "  Address Overflow"));
    EXPECT_FALSE(context.windows.isLoaded<frmArrange>());
    ASSERT_FALSE(ui.transcript().empty());
    EXPECT_EQ(ui.transcript()[0].title, "Arrange from File");
    EXPECT_EQ(ui.transcript()[0].filter, wizard::kImportFileFilter);
    EXPECT_TRUE(ui.messages().empty());

    // A list no longer the saved one: Save is offered, and Next asks to save it.
    EXPECT_EQ(context.session.FormatSource, session::source::kCatalogue);
    EXPECT_TRUE(tab.cmdSave->isEnabled());
    tab.cmdNext_Click();
    EXPECT_EQ(titles(), std::vector<std::string>{"Save this format?"});
}

TEST_F(ArrangeTest, CancelOrNoFileLeavesTheListAsItWas) {
    auto& tab = editor(session::mode::kQualifier, session::source::kCatalogue);
    const auto before = tab.labels();
    ASSERT_EQ(before.size(), 47);
    auto changeThen = [](void (*leave)(frmArrange&)) {
        return [leave](frmArrange& w) {
            w.cboField[0]->setCurrentIndex(0);
            leave(w);
        };
    };
    pickFile("SSN\tLast Name");
    whenOpens<frmArrange>(
        changeThen([](frmArrange& w) { QTest::mouseClick(w.cmdCancel, Qt::LeftButton); }));
    tab.cmdArrange_Click();
    pickFile("SSN\tLast Name");
    whenOpens<frmArrange>(changeThen([](frmArrange& w) { w.close(); }));
    tab.cmdArrange_Click();
    tab.cmdArrange_Click(); // the file dialog cancelled

    EXPECT_EQ(tab.labels(), before);
    EXPECT_EQ(context.session.FormatSource, session::source::kCatalogue);
    EXPECT_FALSE(context.windows.isLoaded<frmArrange>());
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(ArrangeTest, MandatoryFieldsWithoutAColumnAreNamedBeforeOk) {
    auto& tab = editor(session::mode::kEmployee, session::source::kStructureOnly);
    pickFile("Last Name\tFirst Name\tAddress\tCity\tSSN\tDOB\tDept\tBenefit Start Date");
    ui.queueAnswer(Answer::No);
    ui.queueAnswer(Answer::Yes);
    whenOpens<frmArrange>([&](frmArrange& w) {
        w.cmdOK_Click();
        EXPECT_TRUE(w.isVisible()) << "No keeps the window open to set it right";
        ASSERT_EQ(ui.messages().size(), 1u);
        const auto warning = ui.messages()[0];
        EXPECT_EQ(warning.title, "Mandatory Fields Missing");
        EXPECT_EQ(warning.icon, platform::Icon::Exclamation);
        EXPECT_EQ(warning.buttons, platform::Buttons::YesNo);
        EXPECT_THAT(warning.text, HasSubstr("fields:\n\nGender (M/F)\nEmployee's Hire Date\n\n"));
        w.cmdOK_Click();
    });
    tab.cmdArrange_Click();

    ASSERT_EQ(ui.messages().size(), 2u);
    EXPECT_EQ(tab.labels().size(), 8);
    EXPECT_EQ(tab.labels()[6], formats::kNotImportedLabel);
    EXPECT_EQ(context.session.FormatSource, session::source::kStructureOnly)
        << "structure-only editing stays so";
}

// Every button of the editor can be reached with its own letter.
TEST_F(ArrangeTest, TheEditorsAccessKeysAreAllDifferent) {
    auto& tab = editor(session::mode::kEmployee, session::source::kCatalogue);
    EXPECT_EQ(tab.cmdArrange->text(), "Arrange from &File...");
    std::map<QChar, QString> keys;
    for (auto* button : tab.findChildren<QAbstractButton*>()) {
        const QString text = button->text();
        const auto amp = text.indexOf('&');
        if (amp < 0 || amp + 1 >= text.size())
            continue;
        const auto [it, fresh] = keys.emplace(text[amp + 1].toLower(), text);
        EXPECT_TRUE(fresh) << text.toStdString() << " and " << it->second.toStdString();
    }
    EXPECT_EQ(keys.size(), 5u);
}

} // namespace
