#include "jet/Properties.h"

#include "base/Coding.h"
#include "jet/Error.h"
#include "jet/TableDef.h"
#include "jet/Text.h"

#include <algorithm>
#include <cstring>

namespace jet {
namespace {

constexpr std::uint8_t kJet4Magic[4] = {'M', 'R', '2', 0};
constexpr std::uint8_t kJet3Magic[4] = {'K', 'K', 'D', 0};
constexpr std::uint16_t kNamesChunk = 0x80;
constexpr std::uint16_t kObjectBlock = 0x00;
constexpr std::uint16_t kColumnBlock = 0x01;
constexpr std::size_t kChunkHeader = 6;    // u32 length, u16 kind
constexpr std::size_t kPropertyHeader = 8; // u16 length, u8 ddl, u8 type, u16 name, u16 length

// Reads within one span, refusing to step past its end.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::span<const std::uint8_t> take(std::size_t n) {
        if (n > bytes_.size() - at_)
            throw Error("the property list is cut short");
        auto out = bytes_.subspan(at_, n);
        at_ += n;
        return out;
    }
    std::uint16_t u16() { return coding::getU16(take(2), 0); }
    std::uint32_t u32() { return coding::getU32(take(4), 0); }
    bool done() const { return at_ == bytes_.size(); }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

// Names are stored as texts in rows are: UTF-16LE (Jet 4), code page 1252 (Jet 3).
std::u16string nameText(std::span<const std::uint8_t> bytes, bool jet4) {
    return decodeText(bytes, jet4, "a name in the property list");
}

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, static_cast<std::uint16_t>(v));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

void putText(std::vector<std::uint8_t>& out, std::u16string_view text) {
    put16(out, static_cast<std::uint16_t>(2 * text.size()));
    appendEncodedText(text, true, false, out);
}

// Fills in the u32 length of a chunk or block that starts at `start`.
void patchLength(std::vector<std::uint8_t>& out, std::size_t start) {
    const auto n = static_cast<std::uint32_t>(out.size() - start);
    for (int i = 0; i < 4; ++i)
        out[start + i] = static_cast<std::uint8_t>(n >> (8 * i));
}

} // namespace

const Property* PropertyBlock::find(std::u16string_view propertyName) const {
    for (const auto& p : properties)
        if (sameName(p.name, propertyName))
            return &p;
    return nullptr;
}

std::vector<PropertyBlock> parseProperties(std::span<const std::uint8_t> blob) {
    if (blob.size() < 4)
        throw Error("the property list is cut short");
    const bool jet4 = std::memcmp(blob.data(), kJet4Magic, 4) == 0;
    if (!jet4 && std::memcmp(blob.data(), kJet3Magic, 4) != 0)
        throw Error("the property list does not start as Access starts one");
    std::vector<std::u16string> names;
    std::vector<PropertyBlock> blocks;
    Reader in(blob.subspan(4));
    while (!in.done()) {
        const std::uint32_t length = in.u32();
        const std::uint16_t kind = in.u16();
        if (length < kChunkHeader)
            throw Error("a chunk of the property list has a bad length");
        Reader chunk(in.take(length - kChunkHeader));
        if (kind == kNamesChunk) {
            while (!chunk.done())
                names.push_back(nameText(chunk.take(chunk.u16()), jet4));
            continue;
        }
        if (kind != kObjectBlock && kind != kColumnBlock)
            continue; // a kind we do not know: skipped whole
        PropertyBlock block;
        block.column = kind == kColumnBlock;
        const std::uint32_t namePart = chunk.u32();
        if (namePart < 6)
            throw Error("a block of the property list has a bad name length");
        Reader name(chunk.take(namePart - 4));
        block.name = nameText(name.take(name.u16()), jet4);
        while (!chunk.done()) {
            const std::uint16_t size = chunk.u16();
            if (size < kPropertyHeader)
                throw Error("a property has a bad length");
            Reader p(chunk.take(size - 2));
            Property prop;
            prop.ddl = p.take(1)[0] != 0;
            prop.type = static_cast<ColumnType>(p.take(1)[0]);
            const std::uint16_t nameNumber = p.u16();
            if (nameNumber >= names.size())
                throw Error("a property refers to a name the list does not hold");
            prop.name = names[nameNumber];
            auto value = p.take(p.u16());
            prop.value.assign(value.begin(), value.end());
            block.properties.push_back(std::move(prop));
        }
        blocks.push_back(std::move(block));
    }
    return blocks;
}

std::vector<std::uint8_t> encodeProperties(const std::vector<PropertyBlock>& blocks) {
    std::vector<std::u16string> names;
    auto number = [&](const std::u16string& name) {
        auto it = std::find_if(names.begin(), names.end(),
                               [&](const std::u16string& n) { return sameName(n, name); });
        if (it == names.end())
            it = names.insert(names.end(), name);
        return static_cast<std::uint16_t>(it - names.begin());
    };
    std::vector<std::uint8_t> body;
    for (const auto& b : blocks) {
        const std::size_t start = body.size();
        put32(body, 0);
        put16(body, b.column ? kColumnBlock : kObjectBlock);
        put32(body, static_cast<std::uint32_t>(4 + 2 + 2 * b.name.size()));
        putText(body, b.name);
        for (const auto& p : b.properties) {
            put16(body, static_cast<std::uint16_t>(kPropertyHeader + p.value.size()));
            body.push_back(p.ddl ? 1 : 0);
            body.push_back(static_cast<std::uint8_t>(p.type));
            put16(body, number(p.name));
            put16(body, static_cast<std::uint16_t>(p.value.size()));
            body.insert(body.end(), p.value.begin(), p.value.end());
        }
        patchLength(body, start);
    }
    std::vector<std::uint8_t> out(kJet4Magic, kJet4Magic + 4);
    const std::size_t start = out.size();
    put32(out, 0);
    put16(out, kNamesChunk);
    for (const auto& n : names)
        putText(out, n);
    patchLength(out, start);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Property requiredProperty() {
    return {u"Required", ColumnType::Boolean, true, {1}};
}

std::vector<std::u16string> requiredColumns(const std::vector<PropertyBlock>& blocks) {
    std::vector<std::u16string> out;
    for (const auto& b : blocks) {
        const Property* p = b.column ? b.find(u"Required") : nullptr;
        if (p && p->type == ColumnType::Boolean && !p->value.empty() && p->value[0] != 0)
            out.push_back(b.name);
    }
    return out;
}

} // namespace jet
