// Run-time failures as numbered errors, with the numbers users and logs know.
#pragma once

#include <stdexcept>
#include <string>

namespace tw {

// The run-time error numbers the program reports.
enum ErrNo : int {
    kErrInvalidCall = 5,
    kErrOverflow = 6,
    kErrOutOfMemory = 7,
    kErrSubscript = 9,
    kErrDivisionByZero = 11,
    kErrTypeMismatch = 13,
    kErrOutOfStringSpace = 14,
    kErrBadFileNumber = 52,
    kErrFileNotFound = 53,
    kErrDeviceIO = 57,
    kErrDiskFull = 61,
    kErrPermissionDenied = 70,
    kErrPathFileAccess = 75,
    kErrPathNotFound = 76,
    kErrInvalidPropertyValue = 380,
    kErrCancel = 32755,
};

// The conventional description of an error number ("Overflow", ...).
std::string ErrorDescription(int number);

// A failing statement throws this; the procedure's trap reports it.
class VbError : public std::runtime_error {
public:
    explicit VbError(int number);
    VbError(int number, std::string description);
    int number() const { return number_; }
    const std::string& description() const { return description_; }

private:
    int number_;
    std::string description_;
};

// Maps an errno value from a file operation to the error number reported.
// `opening_for_input` distinguishes a missing file (53) from a missing
// folder (76) when the target does not exist.
int ErrorFromErrno(int err, bool opening_for_input);

}  // namespace tw
