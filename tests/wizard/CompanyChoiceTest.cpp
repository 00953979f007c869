#include "app/frmMainMenu.h"
#include "support/WindowTest.h"
#include "wizard/frmStepFour.h"
#include "wizard/frmStepThree.h"
#include "wizard/frmStepTwo.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using wizard::frmStepFour;
using wizard::frmStepThree;
using wizard::frmStepTwo;

namespace {

class CompanyChoiceTest : public testsupport::WindowTest {
protected:
    void accounts(std::initializer_list<std::pair<std::string, std::string>> list) {
        testsupport::writeAccounts(host / "Account.dat", list);
    }
};

TEST_F(CompanyChoiceTest, WithOneAccountVerificationLeadsStraightToTheFirstRecordChoice) {
    accounts({{"ACME\\", "Acme"}});
    context.session.RecordText = {"", "  Name, Born\r\n", "Smith, 1/5/1970\r\n"};
    auto& two = context.windows.get<frmStepTwo>();
    two.show();
    two.cmdNext_Click();
    EXPECT_EQ(context.session.AccountCount, 1);
    EXPECT_EQ(context.session.AccountDir, host.withSlash() + "ACME\\");
    EXPECT_FALSE(context.windows.isLoaded<frmStepThree>());
    auto* four = context.windows.find<frmStepFour>();
    ASSERT_NE(four, nullptr);
    EXPECT_TRUE(four->isVisible());
    EXPECT_EQ(four->lblrecord1->text(), "Name, Born\r\n");
    EXPECT_FALSE(four->cmdCreate->isEnabled());
    four->optTwo->click();
    EXPECT_TRUE(four->cmdCreate->isEnabled());

    four->cmdPrevious_Click();
    EXPECT_FALSE(four->isVisible());
    EXPECT_TRUE(two.isVisible());
}

TEST_F(CompanyChoiceTest, TheFirstAccountOfAChosenNameIsUsed) {
    accounts({{"ONE\\", "Twin Co"}, {"TWO\\", "Twin Co"}, {"OTHER\\", "Other"}});
    auto& three = context.windows.get<frmStepThree>();
    EXPECT_EQ(context.session.AccountCount, 3);
    ASSERT_EQ(three.cboCompany->count(), 3);
    three.show();
    QTest::keyClick(&three, Qt::Key_Return); // Enter is Next
    ASSERT_EQ(titles(), std::vector<std::string>{"Missing Information"});
    EXPECT_EQ(ui.messages()[0].icon, platform::Icon::Critical) << "Next's message, not Previous";
    EXPECT_FALSE(context.windows.isLoaded<frmStepFour>());

    three.cboCompany->setCurrentIndex(1);
    three.cmdNext_Click();
    EXPECT_EQ(context.session.AccountDir, host.withSlash() + "ONE\\");
    ASSERT_TRUE(context.windows.isLoaded<frmStepFour>());
    context.windows.find<frmStepFour>()->cmdPrevious_Click();
    EXPECT_TRUE(three.isVisible()) << "back to the company choice, which is kept";
    EXPECT_EQ(three.cboCompany->currentIndex(), 1);

    context.windows.find<frmStepFour>()->cmdCancel_Click();
    EXPECT_FALSE(context.windows.isLoaded<frmStepThree>());
    EXPECT_FALSE(context.windows.isLoaded<frmStepFour>());
}

TEST_F(CompanyChoiceTest, TheRestoreFlowChoosesOnlyTheAccount) {
    accounts({{"ACME\\", "Acme"}, {"HARBOR\\", "Harbor"}});
    context.session.ModeCode = session::mode::kRestore;
    auto& three = context.windows.get<frmStepThree>();
    EXPECT_EQ(three.windowTitle(), "Restore Date to the point prior to Import");
    EXPECT_TRUE(three.cmdNext->isHidden());
    EXPECT_EQ(three.cmdPrevious->text(), "&Ok");
    EXPECT_EQ(three.cmdCancel->x(), static_cast<int>(0.6 * three.width()));
    EXPECT_EQ(three.cmdPrevious->x(), static_cast<int>(0.2 * three.width()));

    three.cmdPrevious_Click();
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].icon, platform::Icon::Information);
    EXPECT_TRUE(context.windows.isLoaded<frmStepThree>());
    three.cboCompany->setCurrentIndex(1);
    three.show();
    QTest::keyClick(&three, Qt::Key_Return); // Enter is OK here
    EXPECT_EQ(context.session.AccountDir, host.withSlash() + "HARBOR\\");
    EXPECT_FALSE(context.windows.isLoaded<frmStepThree>());
    EXPECT_EQ(context.session.ModeCode, session::mode::kRestore);

    context.windows.get<frmStepThree>().cmdCancel_Click();
    EXPECT_EQ(context.session.ModeCode, session::mode::kCancelled);
}

TEST_F(CompanyChoiceTest, RestoreDuringAnImportUsesItsOwnFormAndLeavesTheWizardAsItWas) {
    accounts({{"ACME\\", "Acme"}, {"HARBOR\\", "Harbor"}});
    auto& menu = startMainMenu();
    context.session.ModeCode = session::mode::kQualifier;
    context.session.AccountDir = host.withSlash() + "HARBOR\\";
    auto& wizardChooser = context.windows.get<frmStepThree>();
    wizardChooser.cboCompany->setCurrentIndex(1);
    wizardChooser.show();

    bool restoreForm = false;
    whenOpens<frmStepThree>([&](frmStepThree& chooser) {
        restoreForm = chooser.cmdNext->isHidden() && chooser.cboCompany->currentIndex() == -1;
        chooser.cboCompany->setCurrentIndex(0);
        testsupport::whenModalOpens([&] { // the restore window: leave it
            if (auto* restore = QApplication::activeModalWidget())
                restore->close();
        });
        chooser.cmdPrevious_Click(); // "&Ok"
    });
    menu.mnuFileRestore_Click();
    EXPECT_TRUE(restoreForm) << "the restore form, not the wizard's";
    EXPECT_FALSE(context.windows.isLoaded<frmStepFour>());
    EXPECT_EQ(context.session.ModeCode, session::mode::kQualifier);
    EXPECT_EQ(context.session.AccountDir, host.withSlash() + "HARBOR\\");
    auto* back = context.windows.find<frmStepThree>();
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->isVisible());
    EXPECT_FALSE(back->cmdNext->isHidden());
    EXPECT_EQ(back->cboCompany->currentIndex(), 1);
}

} // namespace
