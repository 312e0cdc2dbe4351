#include "runtime/Failure.h"

#include <exception>
#include <new>

namespace corvale {

std::string classicDescription(int32_t number) {
  switch (number) {
    case err::kInvalidProcedureCall: return "Invalid procedure call or argument";
    case err::kOverflow: return "Overflow";
    case err::kOutOfMemory: return "Out of memory";
    case err::kTypeMismatch: return "Type mismatch";
    case err::kInternalError: return "Internal error";
    case err::kBadFileNameOrNumber: return "Bad file name or number";
    case err::kFileNotFound: return "File not found";
    case err::kFileAlreadyOpen: return "File already open";
    case err::kFileAlreadyExists: return "File already exists";
    case err::kDiskFull: return "Disk full";
    case err::kInputPastEndOfFile: return "Input past end of file";
    case err::kPermissionDenied: return "Permission denied";
    case err::kPathFileAccessError: return "Path/File access error";
    case err::kPathNotFound: return "Path not found";
    case err::kObjectNotSet: return "Object variable or With block variable not set";
    case err::kInvalidUseOfNull: return "Invalid use of Null";
    case err::kHostUnspecified: return "Unspecified error";
    default: return {};
  }
}

Failure Failure::of(int32_t number) { return Failure{number, classicDescription(number)}; }

Failure Failure::of(int32_t number, std::string description) {
  return Failure{number, std::move(description)};
}

Failure Failure::fromCurrentException() noexcept {
  try {
    throw;
  } catch (const Failure& failure) {
    return failure;
  } catch (const std::bad_alloc&) {
    return Failure::of(err::kOutOfMemory);
  } catch (const std::exception& e) {
    return Failure{err::kInternalError, classicDescription(err::kInternalError) + ": " + e.what()};
  } catch (...) {
    return Failure::of(err::kInternalError);
  }
}

void raise(int32_t number) { throw Failure::of(number); }

void raise(int32_t number, std::string description) {
  throw Failure::of(number, std::move(description));
}

}  // namespace corvale
