// Writes a sample host folder: an account list with three companies, their company and plan
// files (one account in the current plan layout, one in the older layout), two saved formats
// and a few TAB files, good and bad. For the demo and for trying the program by hand.
#include "formats/FormatStore.h"
#include "hostdata/AccountList.h"
#include "platform/RecordFile.h"

#include <cstdio>
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

Record blankRecord(std::uint32_t length) {
    Record r(length);
    auto bytes = r.mutableBytes();
    std::fill(bytes.begin(), bytes.end(), static_cast<std::uint8_t>(' '));
    return r;
}

Record company(const std::string& name, const std::string& city, float fee, float disabledFee) {
    Record r = blankRecord(556);
    r.setText(0, 40, name);
    r.setText(40, 40, "100 Main Street");
    r.setText(80, 40, "");
    r.setText(120, 40, city);
    r.setText(160, 30, "Pat Morgan");
    r.setText(190, 30, "Benefits Manager");
    r.setF32(500, fee);
    r.setF32(504, disabledFee);
    for (std::size_t i = 508; i < 512; ++i)
        r.mutableBytes()[i] = 0;
    return r;
}

// Both plan layouts share their first 236 bytes; the rates follow as currency (current layout)
// or as single precision (older layout).
Record plan(bool legacy, std::int16_t insurer, const std::string& name, double single,
            double family) {
    const std::uint32_t length = legacy ? 21990 : 24070;
    Record r(length);
    r.setI16(0, insurer);
    r.setText(2, 50, name);
    r.setText(52, 50, "1 Insurance Plaza");
    r.setText(102, 50, "Hartford, CT  06101");
    r.setText(152, 50, "860-555-0100");
    r.setText(202, 10, "01/01/2026");
    r.setText(212, 10, "12/31/2026");
    r.setI16(222, 1);
    r.setText(224, 1, "Y");
    r.setText(225, 1, "N");
    r.setText(226, 1, "Y");
    r.setText(227, 1, "M");
    r.setText(228, 1, "");
    r.setI16(229, 26);
    r.setI16(231, 24);
    r.setText(233, 1, "");
    r.setI16(234, 1); // two tiers: single and family
    if (legacy) {
        r.setF32(236, static_cast<float>(single));
        r.setF32(248, static_cast<float>(family));
    } else {
        r.setI64(236, static_cast<std::int64_t>(single * 10000));
        r.setI64(260, static_cast<std::int64_t>(family * 10000));
    }
    // Named rate names are blank-padded texts; everything else stays zero.
    const std::size_t namedStart = legacy ? 252 : 268, namedSize = legacy ? 44 : 48;
    for (int list = 0; list < 2; ++list) {
        std::size_t base = list == 0 ? namedStart : (legacy ? 2974 : 3250);
        for (std::size_t e = 0; e < 61; ++e)
            r.setText(base + e * namedSize, 40, "");
    }
    r.setText(legacy ? 2936 : 3196, 10, "01/01/2025");
    r.setText(legacy ? 2946 : 3206, 10, "12/31/2025");
    return r;
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
                     {plan(false, 1, "Blue Valley Health", 412.50, 1150.75),
                      plan(false, 2, "Bright Smile Dental", 31.20, 88.40)});
        writeRecords(host / "HARBOR" / "COMPANY.DAT", 556,
                     {company("Harbor Dental Group", "Lewes, DE  19958", 2.0f, 2.0f)});
        writeRecords(host / "HARBOR" / "INSPLAN.DAT", 21990,
                     {plan(true, 1, "Coastal Care HMO", 385.00, 1020.00)});
        writeRecords(host / "PINE" / "COMPANY.DAT", 556,
                     {company("Pine Ridge Schools", "Milford, DE  19963", 2.0f, 3.0f)});

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
