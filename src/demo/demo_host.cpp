// Writes a sample host folder: an account list with three companies, their company and plan
// files (one account in the current plan layout, one in the older layout), two saved formats
// and a few TAB files, good and bad. For the demo and for trying the program by hand.
#include "formats/FormatStore.h"
#include "hostdata/AccountList.h"
#include "hostdata/NewInsStructure.h"
#include "platform/RecordFile.h"
#include "sample/SampleDatabases.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using records::Record;
using records::RecordFile;

namespace {

void writeRecords(const fs::path& file, std::uint32_t length, const std::vector<Record>& rows) {
    fs::remove(file);
    RecordFile out(file, length, RecordFile::Mode::ReadWrite);
    for (std::size_t i = 0; i < rows.size(); ++i)
        out.write(static_cast<std::int64_t>(i + 1), rows[i]);
}

void writeText(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
}

Record company(const std::string& name, const std::string& city, float fee, float disabledFee) {
    hostdata::CompanyRecord c;
    c.raw = Record(hostdata::CompanyRecord::kLength);
    c.raw.setText(220, 336, ""); // the fields not interpreted are blank texts...
    c.raw.setI32(508, 0);        // ...and zero numbers
    c.name = name;
    c.address = "100 Main Street";
    c.cityStateZip = city;
    c.administrator = "Pat Morgan";
    c.title = "Benefits Manager";
    c.cobraAdminFee = fee;
    c.disabledAdminFee = disabledFee;
    return c.encode();
}

hostdata::PlanHeader planHeader(std::int16_t insurer, const std::string& name) {
    hostdata::PlanHeader h;
    h.insurerId = insurer;
    h.companyName = name;
    h.address = "1 Insurance Plaza";
    h.cityStateZip = "Hartford, CT  06101";
    h.phone = "860-555-0100";
    h.effectiveDate = "01/01/2026";
    h.completionDate = "12/31/2026";
    h.termRegs = 1;
    h.openEnrollment = "Y";
    h.conversion = "N";
    h.active = "Y";
    h.planType = "M";
    h.dependentTerm = 26;
    h.studentTerm = 24;
    h.tierStructure = 1; // two tiers: single and family
    return h;
}

Record currentPlan(std::int16_t insurer, const std::string& name, double single, double family) {
    hostdata::InsurancePlanRecord p;
    p.header = planHeader(insurer, name);
    p.rates = {static_cast<std::int64_t>(single * 10000), 0, 0,
               static_cast<std::int64_t>(family * 10000)};
    p.oldEffectiveDate = "01/01/2025";
    p.oldCompletionDate = "12/31/2025";
    return p.encode();
}

Record legacyPlan(std::int16_t insurer, const std::string& name, float single, float family) {
    hostdata::LegacyInsurancePlanRecord p;
    p.header = planHeader(insurer, name);
    p.rates = {single, 0, 0, family};
    p.oldEffectiveDate = "01/01/2025";
    p.oldCompletionDate = "12/31/2025";
    return p.encode();
}

hostdata::AccountRecord account(const std::string& folder, const std::string& name) {
    hostdata::AccountRecord a;
    a.folder = folder;
    a.company = name;
    return a;
}

const char* kHeader = "Last Name\tFirst Name\tMiddle Initial\tMailing Address\tAddress Overflow\t"
                      "City\tState\tZip\tGender\tSSN\tDOB\tHire Date\tBenefits Start\t"
                      "Notice Date\r\n";

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarnfield-demo-host FOLDER\n");
        return 2;
    }
    try {
        fs::path host = argv[1];
        fs::create_directories(host);
        for (const char* folder : {"ACME", "HARBOR", "PINE"})
            fs::create_directories(host / folder);

        writeRecords(host / "Account.dat", hostdata::AccountRecord::kLength,
                     {account("ACME\\", "Acme Manufacturing").encode(),
                      account("HARBOR\\", "Harbor Dental Group").encode(),
                      account("PINE\\", "Pine Ridge Schools").encode()});

        writeRecords(host / "ACME" / "COMPANY.DAT", 556,
                     {company("Acme Manufacturing", "Dover, DE  19901", 2.0f, 4.0f)});
        writeRecords(host / "ACME" / "INSPLAN.DAT", 24070,
                     {currentPlan(1, "Blue Valley Health", 412.50, 1150.75),
                      currentPlan(2, "Bright Smile Dental", 31.20, 88.40)});
        writeRecords(host / "HARBOR" / "COMPANY.DAT", 556,
                     {company("Harbor Dental Group", "Lewes, DE  19958", 2.0f, 2.0f)});
        writeRecords(host / "HARBOR" / "INSPLAN.DAT", 21990,
                     {legacyPlan(1, "Coastal Care HMO", 385.00f, 1020.00f)});
        writeRecords(host / "PINE" / "COMPANY.DAT", 556,
                     {company("Pine Ridge Schools", "Milford, DE  19963", 2.0f, 3.0f)});

        sample::writeTemplate(host / "BRANDMDB.MDB");
        // Backups in the current and the previous month, so the catalogue's lists are not empty.
        const std::time_t now = std::time(nullptr);
        const std::tm today = *std::localtime(&now);
        sample::writeCatalogue(host / "sysrestore.mdb", today.tm_year + 1900, today.tm_mon + 1);

        // A restore point taken before an earlier import, for the restore tool.
        const std::string stamp = "01-15-2026 at 10-30-05.dat";
        fs::create_directories(host / "ACME" / "Restore");
        writeText(host / "ACME" / "Restore" / ("newhire" + stamp), "");
        fs::copy_file(host / "ACME" / "COMPANY.DAT",
                      host / "ACME" / "Restore" / ("Company_" + stamp),
                      fs::copy_options::overwrite_existing);
        fs::copy_file(host / "ACME" / "INSPLAN.DAT",
                      host / "ACME" / "Restore" / ("Insplan_" + stamp),
                      fs::copy_options::overwrite_existing);

        fs::remove(host / formats::kStoreFile);
        formats::FormatStore store(host.string() + "/");
        store.Append("Acme payroll export", "EMPLOYEE",
                     {"Last Name", "First Name", "  Middle Initial", "Mailing Address",
                      "  Address Overflow", "City (or City, State Zip)", "  State", "  Zip Code",
                      "Gender (M/F)", "Social Security Number", "Date of Birth",
                      "Employee's Hire Date", "Employee Benefits Start Date",
                      "  Date COBRA General Notice Provided"});
        store.Append("Harbor qualifiers", "QUALIFIER",
                     {"Social Security Number", "Last Name", "First Name", "Mailing Address",
                      "City (or City, State Zip)", "Gender (M/F)", "Date of Birth",
                      "Employee's Hire Date", "Employee Benefits Start Date",
                      "Date Benefits Will be Terminated", "Qualifying Event Reason"});

        writeText(host / "employees-good.txt",
                  std::string(kHeader) +
                      "Abbott\tRuth\tK\t10 Harbor Road\t\tDover\tDE\t19901\tF\t123456001\t"
                      "1/11/1970\t3/1/2001\t4/1/2001\t\r\n"
                      "O'Neil\tSiobhan\t\t30 Harbor Road\tApt 2\tDover\tDE\t19901\tFemale\t"
                      "123456003\t3/13/1970\t6/15/2010\t7/1/2010\t7/1/2010\r\n"
                      "Zelinski\tPaul\tJ\t40 Harbor Road\t\tDover\tDE\t19901\tM\t123456004\t"
                      "4/14/1970\t9/9/2015\t10/1/2015\t\r\n");
        writeText(host / "employees-commas.txt",
                  "Last Name,First Name,City\r\nAbbott,Ruth,Dover\r\n");
        writeText(host / "employees-extra-columns.txt",
                  std::string("Abbott\tRuth\tK\t10 Harbor Road\t\tDover\tDE\t19901\tF\t123456001\t"
                              "1/11/1970\t3/1/2001\t4/1/2001\t\t\t\t\r\n") +
                      "Garcia\tAna\t\t50 Harbor Road\t\tDover\tDE\t19901\tF\t123456005\t"
                      "5/15/1970\t2/2/2012\t3/1/2012\t\t\t\t\r\n");
        writeText(host / "employees-bad-dates.txt",
                  std::string(kHeader) +
                      "Abbott\tRuth\tK\t10 Harbor Road\t\tDover\tDE\t19901\tF\t123456001\t"
                      "sometime\t#####\t4/1/2001\t\r\n");
        std::printf("sample host folder written to %s\n", host.string().c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarnfield-demo-host: %s\n", e.what());
        return 1;
    }
}
