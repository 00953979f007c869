// Values through number format codes, against what a spreadsheet program shows. Every row is
// what LibreOffice 7.4 showed for that value and code in an .xlsx cell, except the rows whose
// comment says where LibreOffice differs and why we do.
#include "spreadsheet/NumberFormat.h"

#include <gtest/gtest.h>

namespace {

using spreadsheet::DateSystem;
using spreadsheet::NumberFormat;

struct Shown {
    double value;
    const char* code;
    const char* text;
    DateSystem dates = DateSystem::From1900;
};

// clang-format off
const Shown kShown[] = {
    // General: at most 15 significant digits, whole numbers below 10^16 in full
    {0.1 + 0.2, "General", "0.3"},
    {1.0 / 3, "General", "0.333333333333333"},
    {1234567890123456, "General", "1234567890123456"},
    {999999999999999.6, "General", "1000000000000000"},
    {0.00001234567890123, "General", "1.234567890123E-05"},
    {0.000000123456789, "General", "0.000000123456789"},
    {1e-10, "General", "1E-10"},
    {1e16, "General", "1E+16"}, // LibreOffice: 1E+016; Excel's exponents have two digits
    {-2.25, "", "-2.25"},
    {-3.5, "General;General", "3.5"},
    {12.5, "@", "12.5"},
    // decimals, rounded half away from zero on the decimal digits a spreadsheet program keeps
    {1.005, "0.00", "1.01"},
    {2.5, "0", "3"},
    {-0.5, "0", "-1"},
    {-0.4, "0", "0"},
    {-0.001, "0.00;-0.00;0.00", "-0.00"},
    {1234567.891, "#,##0.00", "1,234,567.89"},
    {999.5, "#,##0", "1,000"},
    {1234567, "#,##0,", "1,235"},
    {1234567890, "#,##0,,\"M\"", "1,235M"},
    {12345, "0.0,", "12.3"},
    {0, "#,###", ""},
    {12, "#.##", "12"},
    {1.25, "0.##", "1.25"},
    {1.5, "?.??", "1.5 "},
    // leading zeros and literals
    {123456789, "000-00-0000", "123-45-6789"},
    {12345678, "000-00-0000", "012-34-5678"},
    {1234567890, "000-00-0000", "1234-56-7890"},
    {123456789, "000\\-00\\-0000", "123-45-6789"},
    {123, "00000", "00123"},
    {-12, "00000", "-00012"},
    {12.7, "00000", "00013"},
    {5551234, "[<=9999999]###-####;(###) ###-####", "555-1234"},
    {8005551234, "[<=9999999]###-####;(###) ###-####", "(800) 555-1234"},
    {42, "\"Total: \"0", "Total: 42"},
    {5, "\\#0", "#5"},
    {3, "0\" units\"", "3 units"},
    // sections, conditions, colours, locales and currencies
    {5, "0;(0);\"zero\"", "5"},
    {-5, "0;(0);\"zero\"", "(5)"},
    {0, "0;(0);\"zero\"", "zero"},
    {0, "0;-0;;@", ""},
    {150, "[>100]\"big\";[<0]\"neg\";0", "big"},
    {-1, "[>100]\"big\";[<0]\"neg\";0", "neg"},
    {5, "[>100]\"big\";[<0]\"neg\";0", "5"},
    {-1, "[Red]0.00", "-1.00"},
    {-1234.5, "[$$-409]#,##0.00", "-$1,234.50"},
    {5, "[$€-407] #,##0.00", "€ 5.00"},
    {45000, "[$-409]m/d/yyyy", "3/15/2023"},
    {45000, "[$-F800]dddd, mmmm dd, yyyy", "Wednesday, March 15, 2023"},
    // blanks of a character's width, and fills (which a text file has no room for)
    {5, "0.00_)", "5.00 "},
    {5, "_(* #,##0_)", " 5 "},
    {5, "0*x", "5"},
    // percentages and exponents
    {0.12345, "0.00%", "12.35%"},
    {-1, "0.0%", "-100.0%"},
    {0.005, "0%", "1%"},
    {12345.678, "0.00E+00", "1.23E+04"},
    {-0.000456, "0.00E+00", "-4.56E-04"},
    {0, "0.00E+00", "0.00E+00"},
    {9.99, "0.0E+0", "1.0E+1"},
    {12345.678, "##0.0E+0", "12.3E+3"},
    {0.000123, "##0.0E+0", "123.0E-6"},
    {0.00012, "0.0E-0", "1.2E-4"},
    // fractions
    {1.25, "# ?/?", "1 1/4"},
    {0.3333, "# ?/?", " 1/3"},
    {-2.5, "# ?/?", "-2 1/2"},
    {5, "# ?/?", "5    "},
    {3.14159, "# ?\?/??", "3 14/99"},
    {0.001, "# ?\?/??", "0      "},
    {1.75, "?/4", "7/4"},
    {2.6, "0 ?/8", "2 5/8"},
    {0.37, "# ?/10", " 4/10"},
    // dates
    {45000, "m/d/yyyy", "3/15/2023"},
    {45000.999999, "mm/dd/yyyy", "03/15/2023"},
    {45000, "dddd mmmm d, yyyy", "Wednesday March 15, 2023"},
    {45000, "ddd mmm", "Wed Mar"},
    {45000, "mmmmm", "M"},
    {45000, "d-mmm-yy", "15-Mar-23"},
    {61, "m/d/yyyy", "3/1/1900"},
    {2958465, "m/d/yyyy", "12/31/9999"},
    // The 1900 system's fictitious 29 February 1900 and its January 0; LibreOffice counts
    // from 30 December 1899 instead and shows 2/28/1900, 2/27/1900, 12/31/1899, 12/30/1899.
    {60, "m/d/yyyy", "2/29/1900"},
    {59, "m/d/yyyy", "2/28/1900"},
    {1, "yyyy-mm-dd", "1900-01-01"},
    {0, "yyyy-mm-dd", "1900-01-00"},
    {60, "dddd", "Wednesday"},
    // No date before the first or after 9999 (LibreOffice: 12/29/1899, 1/1/10000).
    {-1, "m/d/yyyy", "########"},
    {2958466, "m/d/yyyy", "########"},
    {45000, "yy", "23"},
    {45000, "yyy", "2023"}, // LibreOffice: 23y
    // times: seconds cut, shown fractions and elapsed time rounded
    {45000.5123, "yyyy-mm-dd hh:mm:ss", "2023-03-15 12:17:42"},
    {45000.6, "m/d/yyyy h:mm", "3/15/2023 14:24"},
    {0.999999, "h:mm:ss", "23:59:59"},
    {0.99999999, "h:mm AM/PM", "11:59 PM"},
    {0.51, "hh:mm:ss AM/PM", "12:14:24 PM"},
    {0, "h AM/PM", "12 AM"},
    {0.75, "h:mm A/P", "6:00 P"}, // LibreOffice: 6:00 p
    {0.0123, "mm:ss", "17:42"},
    {0.0000123, "mm:ss.0", "00:01.1"},
    {0.5000001, "h:mm:ss.00", "12:00:00.01"},
    {2.5, "[h]:mm", "60:00"},
    {0.1, "[mm]:ss", "144:00"},
    {0.01, "[ss]", "864"},
    {-0.25, "[h]:mm:ss", "-6:00:00"},
    {1234.5678, "[h]:mm:ss", "29629:37:38"},
    // the 1904 system
    {0, "m/d/yyyy", "1/1/1904", DateSystem::From1904},
    {45000, "dddd, m/d/yyyy", "Tuesday, 3/16/2027", DateSystem::From1904},
    {2957003, "m/d/yyyy", "12/31/9999", DateSystem::From1904},
    {2957004, "m/d/yyyy", "########", DateSystem::From1904}, // LibreOffice: 1/1/10000
};
// clang-format on

TEST(NumberFormat, ShowsValuesAsASpreadsheetProgramDoes) {
    for (const auto& row : kShown)
        EXPECT_EQ(NumberFormat(row.code).format(row.value, row.dates), row.text)
            << row.value << " as " << row.code;
}

TEST(NumberFormat, TextCellsGoThroughTheTextSectionOnly) {
    EXPECT_EQ(NumberFormat("\"pre \"@\" post\"").formatText("txt"), "pre txt post");
    EXPECT_EQ(NumberFormat("0;-0;0;\"<\"@\">\"").formatText("t2"), "<t2>");
    EXPECT_EQ(NumberFormat("_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)").formatText("x"), " x ");
    EXPECT_EQ(NumberFormat("0.00").formatText("t3"), "t3");
    EXPECT_EQ(NumberFormat("0;-0;0").formatText("007"), "007");
}

TEST(NumberFormat, IsoDatesOfDateCellsBecomeSerials) {
    double serial = 0;
    ASSERT_TRUE(spreadsheet::serialFromIso("2023-03-15T12:00:00Z", DateSystem::From1900, serial));
    EXPECT_DOUBLE_EQ(serial, 45000.5);
    ASSERT_TRUE(spreadsheet::serialFromIso("1900-02-28", DateSystem::From1900, serial));
    EXPECT_DOUBLE_EQ(serial, 59);
    ASSERT_TRUE(spreadsheet::serialFromIso("1904-01-02", DateSystem::From1904, serial));
    EXPECT_DOUBLE_EQ(serial, 1);
    ASSERT_TRUE(spreadsheet::serialFromIso("06:00:00", DateSystem::From1900, serial));
    EXPECT_DOUBLE_EQ(serial, 0.25);
    EXPECT_FALSE(spreadsheet::serialFromIso("15/03/2023", DateSystem::From1900, serial));
    EXPECT_FALSE(spreadsheet::serialFromIso("2023-13-01", DateSystem::From1900, serial));
}

TEST(NumberFormat, CodesOutOfTheOrdinaryNeverBreakIt) {
    for (const char* code :
         {"\"unclosed", "[Red", "0.0E+", "\\", "_", "*", "#/", "[$", "[>x]0", "0;;;;;;0",
          "m/d/yyyy", "[h]:mm", "ss.000", "00000000000000000000000000000000.000000000000000000",
          "# ?\?\?\?\?\?\?\?\?/?????????", "[h]:mm:ss.000000"})
        for (double v : {0.0, -1.5, 1e300, 123.456})
            NumberFormat(code).format(v);
}

} // namespace
