// Column type codes as Access stores them in a table definition.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet {

enum class ColumnType : std::uint8_t {
    Boolean = 0x01,  // yes/no: no bytes in the row, the value lives in the null mask
    Byte = 0x02,     // unsigned 8-bit
    Int = 0x03,      // signed 16-bit ("integer")
    Long = 0x04,     // signed 32-bit; autonumber when the column says so
    Money = 0x05,    // currency: signed 64-bit, scaled by 10,000
    Float = 0x06,    // single precision
    Double = 0x07,   // double precision
    DateTime = 0x08, // double: days since 1899-12-30, time as the fraction
    Binary = 0x09,   // short binary, variable length, up to 255 bytes
    Text = 0x0A,     // variable length text
    Ole = 0x0B,      // long binary, stored as a long value
    Memo = 0x0C,     // long text, stored as a long value
    Guid = 0x0F,     // 16 bytes
    Numeric = 0x10,  // fixed-point decimal: 17 bytes
    // Seen only in system tables (MSysAccessObjects): long binary data, read as raw bytes.
    SystemBinary = 0x11,
};

// Bytes a fixed-size type takes in a row's fixed area; 0 for the variable types and for yes/no,
// whose value lives in the null mask.
inline std::size_t fixedWidth(ColumnType t) {
    switch (t) {
    case ColumnType::Byte:
        return 1;
    case ColumnType::Int:
        return 2;
    case ColumnType::Long:
    case ColumnType::Float:
        return 4;
    case ColumnType::Money:
    case ColumnType::Double:
    case ColumnType::DateTime:
        return 8;
    case ColumnType::Guid:
        return 16;
    case ColumnType::Numeric:
        return 17;
    default:
        return 0;
    }
}

} // namespace jet
