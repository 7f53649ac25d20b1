#include "platform/errors.h"

#include <cerrno>

namespace tw {

std::string ErrorDescription(int number) {
    switch (number) {
    case 5: return "Invalid procedure call or argument";
    case 6: return "Overflow";
    case 7: return "Out of memory";
    case 9: return "Subscript out of range";
    case 11: return "Division by zero";
    case 13: return "Type mismatch";
    case 14: return "Out of string space";
    case 52: return "Bad file name or number";
    case 53: return "File not found";
    case 57: return "Device I/O error";
    case 61: return "Disk full";
    case 62: return "Input past end of file";
    case 70: return "Permission denied";
    case 75: return "Path/File access error";
    case 76: return "Path not found";
    case 380: return "Invalid property value";
    case 32755: return "Cancel was selected";
    default: return "Application-defined or object-defined error";
    }
}

VbError::VbError(int number) : VbError(number, ErrorDescription(number)) {}

VbError::VbError(int number, std::string description)
    : std::runtime_error(description), number_(number), description_(std::move(description)) {}

int ErrorFromErrno(int err, bool opening_for_input) {
    switch (err) {
    case ENOENT: return opening_for_input ? kErrFileNotFound : kErrPathNotFound;
    case ENOTDIR: return kErrPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return kErrPermissionDenied;
    case EISDIR: return kErrPathFileAccess;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return kErrDiskFull;
    case EIO: return kErrDeviceIO;
    case ENOMEM: return kErrOutOfMemory;
    case ENAMETOOLONG: return kErrBadFileNumber;
    default: return kErrPathFileAccess;
    }
}

}  // namespace tw
