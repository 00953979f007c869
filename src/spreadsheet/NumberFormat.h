// Number format codes ("#,##0.00", "mm/dd/yyyy", "0;(0);\"zero\"") applied to cell values, as a
// spreadsheet program shows them with the United States settings the host's files assume.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace spreadsheet {

// Where day 0 of a workbook's serial dates lies: the 1900 system (with its fictitious
// 29 February 1900, serial 60) or the 1904 system of old Macintosh workbooks.
enum class DateSystem { From1900, From1904 };

class NumberFormat {
public:
    // Any text is taken: what the grammar does not know is shown as it stands.
    explicit NumberFormat(std::string_view code);
    ~NumberFormat();
    NumberFormat(NumberFormat&&) noexcept;
    NumberFormat& operator=(NumberFormat&&) noexcept;

    // The value as the cell shows it, in UTF-8.
    std::string format(double value, DateSystem dates = DateSystem::From1900) const;

    // A text cell as it shows: through the code's text section (the fourth, or one holding
    // '@'), or as it stands when there is none.
    std::string formatText(std::string_view text) const;

private:
    struct Parsed;
    std::unique_ptr<Parsed> parsed_;
};

// The code of a built-in .xlsx number format id (0 to 49, as shown with United States
// settings); empty for General and for the ids a workbook must define itself.
std::string_view builtinFormatCode(int id);

// A number in the General format: up to 15 significant digits without trailing zeros, whole
// numbers below 10^16 in full, and very large or very small numbers as 1.5E+20.
std::string generalText(double value);

// A serial date's value of an ISO 8601 date, time or date and time ("2024-03-05",
// "2024-03-05T12:30:00Z", "12:30:00"), as .xlsx cells of type "d" hold them.
bool serialFromIso(std::string_view text, DateSystem dates, double& serial);

} // namespace spreadsheet
