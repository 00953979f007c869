#include "platform/RecordFile.h"

#include "base/Coding.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace records {

std::int64_t countRecords(std::uint64_t fileLength, std::uint32_t recordLength, CountRule rule) {
    if (recordLength == 0)
        return 0;
    auto whole = static_cast<std::int64_t>(fileLength / recordLength);
    auto rest = fileLength % recordLength;
    if (rule == CountRule::WholePart)
        return whole;
    if (2 * rest > recordLength || (2 * rest == recordLength && (whole % 2) == 1))
        return whole + 1;
    return whole;
}

namespace {
// Reads and writes inside a record are made in range by the record layouts; a field that
// passes the record's end is a programming error in a layout, reported as such.
void requireField(const Record& r, std::size_t offset, std::size_t width) {
    if (!coding::fits(r.size(), offset, width))
        throw std::out_of_range("field at " + std::to_string(offset) + " passes the end of a " +
                                std::to_string(r.size()) + "-byte record");
}
} // namespace

std::string Record::text(std::size_t offset, std::size_t width) const {
    requireField(*this, offset, width);
    std::string out(width, ' ');
    for (std::size_t i = 0; i < width && offset + i < present_; ++i)
        out[i] = static_cast<char>(bytes_[offset + i]);
    return out;
}

std::int16_t Record::i16(std::size_t offset) const {
    return coding::getI16(bytes_, offset);
}
std::int32_t Record::i32(std::size_t offset) const {
    return coding::getI32(bytes_, offset);
}
std::int64_t Record::i64(std::size_t offset) const {
    return coding::getI64(bytes_, offset);
}
float Record::f32(std::size_t offset) const {
    return coding::getF32(bytes_, offset);
}
double Record::f64(std::size_t offset) const {
    return coding::getF64(bytes_, offset);
}

void Record::setText(std::size_t offset, std::size_t width, std::string_view text) {
    coding::putPadded(bytes_, offset, width, text);
}
void Record::setI16(std::size_t offset, std::int16_t v) {
    coding::putLE(bytes_, offset, v);
}
void Record::setI32(std::size_t offset, std::int32_t v) {
    coding::putLE(bytes_, offset, v);
}
void Record::setI64(std::size_t offset, std::int64_t v) {
    coding::putLE(bytes_, offset, v);
}
void Record::setF32(std::size_t offset, float v) {
    coding::putF32(bytes_, offset, v);
}
void Record::setF64(std::size_t offset, double v) {
    coding::putF64(bytes_, offset, v);
}

RecordFile::RecordFile(const fs::path& path, std::uint32_t recordLength, Mode mode)
    : path_(path), recordLength_(recordLength) {
    std::error_code ec;
    bool present = fs::exists(path, ec);
    // A folder opens for reading on some systems, and would read as an empty file.
    if (present && fs::is_directory(path, ec))
        throw FileError("cannot open " + path.string() + ": it is a folder");
    if (mode == Mode::Read && !present) {
        missing_ = true;
        return;
    }
    if (mode == Mode::ReadWrite && !present) {
        std::ofstream create(path, std::ios::binary);
        if (!create)
            throw FileError("cannot create " + path.string() + ": " + std::strerror(errno));
    }
    auto flags = std::ios::binary | std::ios::in;
    if (mode == Mode::ReadWrite)
        flags |= std::ios::out;
    stream_.open(path, flags);
    if (!stream_)
        throw FileError("cannot open " + path.string() + ": " + std::strerror(errno));
}

std::uint64_t RecordFile::length() {
    if (missing_)
        return 0;
    std::error_code ec;
    stream_.flush();
    auto size = fs::file_size(path_, ec);
    return ec ? 0 : size;
}

Record RecordFile::read(std::int64_t n) {
    if (n < 1)
        throw std::out_of_range("record numbers start at 1");
    std::vector<std::uint8_t> bytes(recordLength_, 0);
    if (missing_)
        return Record(std::move(bytes), 0);
    auto offset = static_cast<std::uint64_t>(n - 1) * recordLength_;
    auto size = length();
    std::size_t present = 0;
    if (offset < size) {
        present = static_cast<std::size_t>(std::min<std::uint64_t>(recordLength_, size - offset));
        stream_.clear();
        stream_.seekg(static_cast<std::streamoff>(offset));
        stream_.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(present));
        if (stream_.gcount() != static_cast<std::streamsize>(present))
            throw FileError("cannot read record " + std::to_string(n) + " of " + path_.string());
    }
    return Record(std::move(bytes), present);
}

void RecordFile::write(std::int64_t n, const Record& record) {
    if (n < 1)
        throw std::out_of_range("record numbers start at 1");
    if (missing_ || !stream_.is_open())
        throw FileError("cannot write " + path_.string() + ": not open for writing");
    if (record.size() != recordLength_)
        throw std::invalid_argument("record of the wrong length for " + path_.string());
    stream_.clear();
    stream_.seekp(static_cast<std::streamoff>(static_cast<std::uint64_t>(n - 1) * recordLength_));
    stream_.write(reinterpret_cast<const char*>(record.bytes().data()),
                  static_cast<std::streamsize>(record.size()));
    if (!stream_)
        throw FileError("cannot write record " + std::to_string(n) + " of " + path_.string());
}

void RecordFile::flushToDisk() {
    if (!stream_.is_open())
        return;
    stream_.flush();
    if (!stream_)
        throw FileError("cannot write " + path_.string());
#ifndef _WIN32
    // fstream has no sync of its own: sync through a second descriptor of the same file.
    int fd = ::open(path_.c_str(), O_RDONLY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#endif
}

void RecordFile::close() {
    if (stream_.is_open())
        stream_.close();
}

} // namespace records
