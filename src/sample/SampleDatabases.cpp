#include "sample/SampleDatabases.h"

#include "hostdata/AccountList.h"
#include "hostdata/NewInsStructure.h"
#include "jet/Create.h"
#include "jet/Error.h"
#include "jet/SchemaSql.h"
#include "platform/RecordFile.h"

#include <fstream>
#include <iterator>
#include <string>

namespace sample {

namespace fs = std::filesystem;

jet::Database createFromSchema(const fs::path& file, const char* schemaName) {
    const fs::path schema = fs::path(TARNFIELD_SCHEMAS_DIR) / schemaName;
    std::ifstream in(schema, std::ios::binary);
    if (!in)
        throw jet::Error("cannot read the schema " + schema.string());
    std::string sql((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fs::remove(file);
    return jet::createFromSchemaSql(file, sql);
}

void addRows(jet::Database& db, const char* table, const std::vector<Row>& rows) {
    auto rs = db.OpenRecordset(table);
    for (const auto& row : rows) {
        rs.AddNew();
        for (const auto& [column, value] : row)
            rs[column] = value;
        rs.Update();
    }
}

namespace {

jet::Value text(const std::string& s) {
    return jet::utf16(s);
}

} // namespace

void writeTemplate(const fs::path& file) {
    auto db = createFromSchema(file, "BRANDMDB.sql");
    addRows(db, "Active_Employees",
            {{{"Employee_ID", 1},
              {"Last_Name", text("Leftover")},
              {"First_Name", text("Lena")},
              {"Social", text("999-00-0001")},
              {"Notes", text(std::string(5000, 'n'))}},
             {{"Employee_ID", 2},
              {"Last_Name", text("Leftover")},
              {"First_Name", text("Leo")},
              {"Social", text("999-00-0002")}}});
    addRows(db, "Qualifier_Information",
            {{{"Employee_ID", 3},
              {"Last_Name", text("Leftover")},
              {"First_Name", text("Quinn")},
              {"Social", text("999-00-0003")}}});
    addRows(db, "Dependent_Information",
            {{{"Employee_ID", 1}, {"Last_Name", text("Leftover")}, {"Spouse_Name", text("Sam")}}});
    addRows(db, "Member_Insurance_Plan",
            {{{"Employee_ID", 1},
              {"Medical_Plan_Name", text("Old Plan")},
              {"Medical_FSA_Premium", text("12.50")}}});
    addRows(db, "Insurance_Companies",
            {{{"Insurer_ID", 9},
              {"Insurance_Company_Name", text("Old Insurer")},
              {"Tier_Structure", 1},
              {"Single_Rate", text("100.00")}}});
    addRows(db, "Rates",
            {{{"Insurer_ID", 9}, {"Structure_Name", text("Old rate")}, {"Rate", text("1.25")}}});
    addRows(
        db, "Payments",
        {{{"Employee_ID", 1}, {"Payment_Date", text("2025-01-15")}, {"Amount", text("45.00")}}});
    addRows(db, "Company_Information", {{{"Company_Name", text("Old Company")}}});
    std::string election = "Dear member,\r\n\r\n";
    for (int i = 0; i < 40; ++i) // long enough to need a page of its own
        election += "You may elect to continue your coverage within sixty days of this notice. ";
    addRows(
        db, "Letter_Templates",
        {{{"Title", text("Election notice")}, {"Body", text(election)}, {"Active", true}},
         {{"Title", text("Welcome")}, {"Body", text("Dear member, welcome.")}, {"Active", true}},
         {{"Title", text("Termination")}, {"Body", text("Dear member, ...")}, {"Active", false}}});
    db.Close();
}

void writeOneAccount(const fs::path& host) {
    auto write = [](const fs::path& file, std::uint32_t length, const records::Record& r) {
        records::RecordFile f(file, length, records::RecordFile::Mode::ReadWrite);
        f.write(1, r);
        f.close();
    };
    fs::create_directories(host / "ACME");
    hostdata::AccountRecord account;
    account.folder = "ACME\\";
    account.company = "Acme";
    write(host / "Account.dat", hostdata::AccountRecord::kLength, account.encode());
    hostdata::CompanyRecord company;
    company.name = "Acme";
    write(host / "ACME" / "COMPANY.DAT", hostdata::CompanyRecord::kLength, company.encode());
    hostdata::InsurancePlanRecord plan;
    plan.header.insurerId = 1;
    plan.header.companyName = "Blue Valley Health";
    write(host / "ACME" / "INSPLAN.DAT", hostdata::InsurancePlanRecord::kLength, plan.encode());
}

void writeCatalogue(const fs::path& file, int year, int month) {
    auto db = createFromSchema(file, "sysrestore.sql");
    const int prevMonth = month == 1 ? 12 : month - 1, prevYear = month == 1 ? year - 1 : year;
    addRows(db, "tblFileInformation",
            {{{"fldBackupMonth", month},
              {"fldBackupDay", 1},
              {"fldYear", year},
              {"fldBackUpTime", text("09:15:02 AM")},
              {"fldBackupName", text("Weekly backup")},
              {"fldFileNameLocation", text("D:\\Backups\\weekly\\")},
              {"fldNotes", text("before open enrollment")}},
             {{"fldBackupMonth", month},
              {"fldBackupDay", 1},
              {"fldYear", year},
              {"fldBackUpTime", text("04:40:10 PM")},
              {"fldBackupName", text("Afternoon backup")},
              {"fldFileNameLocation", text("D:\\Backups\\afternoon\\")}},
             {{"fldBackupMonth", prevMonth},
              {"fldBackupDay", 28},
              {"fldYear", prevYear},
              {"fldBackUpTime", text("10:00:00 AM")},
              {"fldBackupName", text("Month end")},
              {"fldFileNameLocation", text("D:\\Backups\\month-end\\")},
              {"fldNotes", text("kept for the auditors")}}});
    db.Close();
}

} // namespace sample
