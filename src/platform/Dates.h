// Recognising texts as calendar dates, as a US system does (month before day), and writing
// them as "mm/dd/yyyy". One parser serves verification, the import run and the mapping, so
// a value that passes verification is stored the same way.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dates {

struct Date {
    int year = 0;  // 100..9999
    int month = 0; // 1..12
    int day = 0;   // 1..31
    bool operator==(const Date&) const = default;
};

// Accepted forms, blanks around the text allowed:
//   m/d/yyyy, mm/dd/yyyy, m/d/yy (also with - or . between the numbers)
//   yyyy-mm-dd (a four-digit first number is the year)
//   15-Jan-2005, 15 January 2005, January 15, 2005, Jan 15 2005 (English month names,
//   full or three letters, any letter case)
// A two-digit year is 2000..2029 for 00..29 and 1930..1999 for 30..99.
std::optional<Date> parseDate(std::string_view text);
// The same answer by the general reading alone, without parseDate's shortcut for the plain
// numeric forms; kept so the two can be held to each other.
std::optional<Date> parseDateGeneral(std::string_view text);

// The same, into `date` (left unspecified when false): for the import's every date, whose
// answer as an optional GCC assembles in memory field by field and reads back whole, a stall
// each time.
bool readDate(std::string_view text, Date& date);

inline bool isDate(std::string_view text) {
    Date date;
    return readDate(text, date);
}

bool isValidDate(int year, int month, int day);
int daysInMonth(int year, int month);

// Days since 1899-12-30, the count Access and the Automation date use.
long long toSerial(const Date& date);
Date fromSerial(long long serial);
Date addDays(const Date& date, long long days);

// "mm/dd/yyyy".
std::string formatUs(const Date& date);

} // namespace dates
