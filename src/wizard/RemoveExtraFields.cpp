#include "wizard/RemoveExtraFields.h"

#include "platform/HostPath.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace wizard {
namespace {

// Reads a file byte by byte through a buffer, with one byte of look-ahead.
class ByteReader {
public:
    explicit ByteReader(const std::filesystem::path& path) : in_(path, std::ios::binary) {
        if (!in_)
            throw std::runtime_error("cannot open " + path.string());
        fill();
    }
    bool atEnd() const { return pos_ >= size_; }
    unsigned char peek(std::size_t ahead = 0) {
        if (pos_ + ahead >= size_)
            return 0;
        return static_cast<unsigned char>(buffer_[pos_ + ahead]);
    }
    bool hasAhead() { return pos_ + 1 < size_; }
    void advance() {
        ++pos_;
        if (pos_ + 1 >= size_)
            fill();
    }

private:
    void fill() {
        // Keep what is left unread at the front, so look-ahead works across chunks.
        std::size_t keep = size_ - pos_;
        buffer_.erase(0, pos_);
        buffer_.resize(keep + kChunk);
        in_.read(buffer_.data() + keep, kChunk);
        size_ = keep + static_cast<std::size_t>(in_.gcount());
        buffer_.resize(size_);
        pos_ = 0;
    }

    static constexpr std::streamsize kChunk = 1 << 16;
    std::ifstream in_;
    std::string buffer_;
    std::size_t pos_ = 0, size_ = 0;
};

} // namespace

std::string revisedPath(const std::string& path) {
    return (path.size() > 4 ? path.substr(0, path.size() - 4) : std::string()) + "_Revised.txt";
}

std::filesystem::path startRevisedCopy(std::string& path) {
    auto revisedNative = hostpath::resolve(revisedPath(path));
    std::error_code ec;
    if (std::filesystem::exists(revisedNative, ec))
        std::filesystem::remove(revisedNative);
    path = revisedPath(path);
    return revisedNative;
}

void RemoveExtraFields(std::string& path, std::int64_t fieldCount, int& failed,
                       platform::UserInteraction& ui) {
    const std::string source = path;
    const auto revisedNative = startRevisedCopy(path);

    std::ofstream out(revisedNative, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot create " + revisedNative.string());
    ByteReader in(hostpath::resolve(source));

    std::string pending;
    auto put = [&](unsigned char c) {
        pending += static_cast<char>(c);
        if (pending.size() >= (1u << 16)) {
            out.write(pending.data(), static_cast<std::streamsize>(pending.size()));
            pending.clear();
        }
    };

    std::int64_t tabs = 0;
    bool dataBeyond = false;
    while (!in.atEnd()) {
        const unsigned char c = in.peek();
        bool written = false;
        if (c == '\t')
            ++tabs;
        if (c == '\r' && in.hasAhead() && in.peek(1) == '\n') {
            put('\r'), put('\n');
            in.advance();
            tabs = 0, written = true;
        } else if (c == '\n' && in.hasAhead() && in.peek(1) == '\n') {
            put('\n'), put('\n');
            in.advance();
            tabs = 0, written = true;
        } else if (c == '\r') {
            put('\r');
            tabs = 0, written = true;
        }
        if (tabs >= fieldCount) {
            if (c > 15) {
                dataBeyond = true;
                break;
            }
            // A TAB or control character past the last field of the structure is dropped.
        } else if (!written) {
            put(c);
        }
        in.advance();
    }
    out.write(pending.data(), static_cast<std::streamsize>(pending.size()));
    out.close();

    if (dataBeyond) {
        ui.critical("Invalid Import File",
                    "After reviewing your import file, it has been determined that their are "
                    "eligible fields there.  Please review your Excel file with the format "
                    "structure you selected.  There must be the same number of columns in the "
                    "Excel Spreadsheet as there is in the Import File Structure.");
        failed = 1;
    }
}

} // namespace wizard
