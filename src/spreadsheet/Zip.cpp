#include "spreadsheet/Zip.h"

#include "spreadsheet/Book.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include <zip.h>

namespace spreadsheet::detail {
namespace {

// A sheet's XML never comes near these: 4 GiB unpacked, or a part of more than 256 MiB that
// packs more than 500 to 1 (deflate's best is about 1000 to 1, reached only by long runs of
// the same bytes).
constexpr std::uint64_t kMaxPartSize = std::uint64_t{4} << 30;
constexpr std::uint64_t kRatioCheckedFrom = std::uint64_t{256} << 20;
constexpr std::uint64_t kMaxRatio = 500;

std::string zipError(int code) {
    zip_error_t e;
    zip_error_init_with_code(&e, code);
    std::string message = zip_error_strerror(&e);
    zip_error_fini(&e);
    return message;
}

} // namespace

ZipPackage::ZipPackage(const std::filesystem::path& file) : zip_(nullptr) {
    int error = 0;
    // libzip takes file names in UTF-8 on every system.
    const auto name = file.u8string();
    zip_ =
        zip_open(reinterpret_cast<const char*>(name.c_str()), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!zip_) {
        const bool unreadable = error == ZIP_ER_OPEN || error == ZIP_ER_READ ||
                                error == ZIP_ER_NOENT || error == ZIP_ER_SEEK;
        throw Problem(unreadable ? Trouble::Unreadable : Trouble::Damaged, zipError(error));
    }
}

ZipPackage::~ZipPackage() {
    zip_discard(zip_);
}

bool ZipPackage::has(std::string_view part) const {
    return zip_name_locate(zip_, std::string(part).c_str(), ZIP_FL_NOCASE) >= 0;
}

void ZipPackage::read(std::string_view part,
                      const std::function<bool(std::string_view)>& take) const {
    const std::string name(part);
    const zip_int64_t index = zip_name_locate(zip_, name.c_str(), ZIP_FL_NOCASE);
    if (index < 0)
        throw Problem(Trouble::Damaged, name + " is missing");
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(zip_, static_cast<zip_uint64_t>(index), 0, &st) != 0)
        throw Problem(Trouble::Damaged, name + ": " + zip_strerror(zip_));
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
        throw Problem(Trouble::Password);
    const std::uint64_t size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
    const std::uint64_t packed = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
    if (size > kMaxPartSize ||
        (size > kRatioCheckedFrom && (packed == 0 || size / packed > kMaxRatio)))
        throw Problem(Trouble::TooLarge, name);

    zip_file_t* file = zip_fopen_index(zip_, static_cast<zip_uint64_t>(index), 0);
    if (!file) {
        const int code = zip_error_code_zip(zip_get_error(zip_));
        if (code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_ENCRNOTSUPP)
            throw Problem(Trouble::Password);
        throw Problem(Trouble::Damaged, name + ": " + zip_strerror(zip_));
    }
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> closer(file, zip_fclose);
    std::vector<char> buffer(1 << 16);
    std::uint64_t total = 0;
    zip_int64_t n = 0;
    while ((n = zip_fread(file, buffer.data(), buffer.size())) > 0) {
        total += static_cast<std::uint64_t>(n);
        // The directory's size is what the checks above judged; more is a lie or damage.
        if (total > size)
            throw Problem(Trouble::Damaged, name + " holds more than its stated size");
        if (!take(std::string_view(buffer.data(), static_cast<std::size_t>(n))))
            return;
    }
    if (n < 0)
        throw Problem(Trouble::Damaged, name + ": " + zip_error_strerror(zip_file_get_error(file)));
}

} // namespace spreadsheet::detail
