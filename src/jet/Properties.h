// The properties Access keeps with an object in its catalogue row (the LvProp column of
// MSysObjects): one block for the object itself and one for each column that has any. The
// engine heeds "Required" (a column that refuses Null); the rest is carried, not interpreted.
//
// Layout (Jet 4; a Jet 3 blob starts "KKD\0" and keeps its names in single bytes):
//   "MR2\0", then chunks, each: u32 length (the whole chunk), u16 kind.
//   kind 0x80  the names the properties refer to by number: u16 byte length, text.
//   kind 0x00  the object's block; kind 0x01 a column's block:
//              u32 length of the name part (this field included), u16 byte length, name (empty
//              for the object), then properties, each: u16 length (the whole property), u8 1 when
//              set through DDL, u8 data type (a column type code), u16 name number, u16 value
//              length, value.
#pragma once

#include "jet/Types.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace jet {

struct Property {
    std::u16string name;
    ColumnType type = ColumnType::Boolean;
    bool ddl = false;
    std::vector<std::uint8_t> value;
    bool operator==(const Property&) const = default;
};

struct PropertyBlock {
    std::u16string name; // the column's; empty for the object's own block
    bool column = false;
    std::vector<Property> properties;

    // A property by name, compared without regard to case; null when absent.
    const Property* find(std::u16string_view propertyName) const;
    bool operator==(const PropertyBlock&) const = default;
};

// Throws jet::Error when the blob is cut short or its chunks do not add up.
std::vector<PropertyBlock> parseProperties(std::span<const std::uint8_t> blob);

// A Jet 4 blob of the blocks, names pooled in the order first used (Access's own lists may pool
// names in another order, and names no property uses).
std::vector<std::uint8_t> encodeProperties(const std::vector<PropertyBlock>& blocks);

// The "Required" property as Access sets it on a column: a yes/no set through DDL.
Property requiredProperty();

// The names of the columns whose "Required" property is yes.
std::vector<std::u16string> requiredColumns(const std::vector<PropertyBlock>& blocks);

} // namespace jet
