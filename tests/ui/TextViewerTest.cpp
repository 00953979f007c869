#include "ui/TextViewer.h"

#include "support/WindowTest.h"

#include <QPlainTextEdit>
#include <QPushButton>

namespace {

class TextViewerTest : public testsupport::WindowTest {};

TEST_F(TextViewerTest, ShowsTheLogReadOnlyInAFixedFontAndSavesItElsewhere) {
    const std::string log = "ACTIVE EMPLOYEE IMPORT FILE CREATION LOG\r\n"
                            "----------------------------------------\r\n\r\n"
                            "1)  In record #3, the field 'Last Name' is empty: O\x92Neil\r\n";
    testsupport::writeFile(host / "ImportLog.doc", log);
    ui::TextViewer viewer(nullptr, "ImportLog.doc", host.withSlash() + "ImportLog.doc");
    EXPECT_TRUE(viewer.text->isReadOnly());
    EXPECT_TRUE(viewer.text->font().fixedPitch());
    EXPECT_TRUE(viewer.text->toPlainText().contains(QStringLiteral("O\u2019Neil")))
        << "Windows-1252 text shown as such";
    EXPECT_TRUE(viewer.text->toPlainText().startsWith("ACTIVE EMPLOYEE IMPORT FILE CREATION LOG"));

    ASSERT_TRUE(viewer.saveAs(host.withSlash() + "copy.doc"));
    EXPECT_EQ(testsupport::readFile(host / "copy.doc"), log);

    ui::TextViewer missing(nullptr, "ImportLog.doc", host.withSlash() + "gone.doc");
    EXPECT_FALSE(missing.cmdPrint->isEnabled());
    EXPECT_FALSE(missing.cmdSaveAs->isEnabled());
    EXPECT_TRUE(missing.text->toPlainText().contains("cannot be read"));
}

} // namespace
