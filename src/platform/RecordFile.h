// Fixed-length random-access record files, the host's and our own: an array of records with
// no header, record n (from 1) at byte (n - 1) x length.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace records {

// How a reader turns file length / record length into a record count.
enum class CountRule {
    Rounded,   // to the nearest whole number, a half to the even number
    WholePart, // the quotient cut to a whole number
};

std::int64_t countRecords(std::uint64_t fileLength, std::uint32_t recordLength, CountRule rule);

// A file operation failed: the message names the file and what went wrong.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One record as read. A record that lies partly beyond the end of the file holds only the
// bytes that exist; the field readers fill the rest as blanks (text) or zero (numbers).
class Record {
public:
    explicit Record(std::uint32_t length) : bytes_(length, 0), present_(length) {}
    Record(std::vector<std::uint8_t> bytes, std::size_t present)
        : bytes_(std::move(bytes)), present_(present) {}

    std::size_t size() const { return bytes_.size(); }
    std::size_t present() const { return present_; }
    std::span<const std::uint8_t> bytes() const { return bytes_; }
    std::span<std::uint8_t> mutableBytes() { return bytes_; }

    // Fixed-width text, untrimmed; missing bytes read as blanks.
    std::string text(std::size_t offset, std::size_t width) const;
    std::int16_t i16(std::size_t offset) const;
    std::int32_t i32(std::size_t offset) const;
    float f32(std::size_t offset) const;
    double f64(std::size_t offset) const;
    std::int64_t i64(std::size_t offset) const;

    void setText(std::size_t offset, std::size_t width, std::string_view text);
    void setI16(std::size_t offset, std::int16_t value);
    void setI32(std::size_t offset, std::int32_t value);
    void setF32(std::size_t offset, float value);
    void setF64(std::size_t offset, double value);
    void setI64(std::size_t offset, std::int64_t value);

private:
    std::vector<std::uint8_t> bytes_; // bytes beyond present_ are zero
    std::size_t present_;
};

class RecordFile {
public:
    enum class Mode {
        Read,      // read only; a missing file behaves as an empty one
        ReadWrite, // a missing file is created empty
    };

    // path is native; open host files through hostpath::resolve first.
    RecordFile(const std::filesystem::path& path, std::uint32_t recordLength, Mode mode);

    std::uint64_t length();
    std::int64_t count(CountRule rule) { return countRecords(length(), recordLength_, rule); }
    std::uint32_t recordLength() const { return recordLength_; }

    // Record n, counted from 1. A record beyond the end of the file reads as all blanks/zero.
    Record read(std::int64_t n);
    void write(std::int64_t n, const Record& record);

    // Pushes what was written to the disk, so a later rename publishes a complete file.
    void flushToDisk();
    void close();

private:
    std::filesystem::path path_;
    std::uint32_t recordLength_;
    std::fstream stream_;
    bool missing_ = false; // a read-only open of a missing file: behaves as empty
};

} // namespace records
