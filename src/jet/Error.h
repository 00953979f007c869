// The one error type of the Access engine. Every failure, from a file that is not a database
// to a duplicate key in a unique index, arrives as a jet::Error whose message says which file,
// page, table or column was concerned and what was wrong.
#pragma once

#include <stdexcept>
#include <string>

namespace jet {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// The file would grow past the largest size Access opens; nothing was added to it.
class FileSizeLimit : public Error {
public:
    using Error::Error;
};

} // namespace jet
