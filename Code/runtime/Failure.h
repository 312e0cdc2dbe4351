#pragma once

#include <cstdint>
#include <string>

namespace corvale {

/// Error numbers of the classic runtime, and the host's HRESULT-style failures.
namespace err {
inline constexpr int32_t kInvalidProcedureCall = 5;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kOutOfMemory = 7;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kInternalError = 51;
inline constexpr int32_t kBadFileNameOrNumber = 52;
inline constexpr int32_t kFileNotFound = 53;
inline constexpr int32_t kFileAlreadyOpen = 55;
inline constexpr int32_t kFileAlreadyExists = 58;
inline constexpr int32_t kDiskFull = 61;
inline constexpr int32_t kInputPastEndOfFile = 62;
inline constexpr int32_t kPermissionDenied = 70;
inline constexpr int32_t kPathFileAccessError = 75;
inline constexpr int32_t kPathNotFound = 76;
inline constexpr int32_t kObjectNotSet = 91;
inline constexpr int32_t kInvalidUseOfNull = 94;
/// E_FAIL: the host's unspecified failure.
inline constexpr int32_t kHostUnspecified = -2147467259;
/// The host refused a where clause.
inline constexpr int32_t kHostInvalidSql = -2147220985;
}  // namespace err

/**
 * A trapped error: the number and description that the error report shows.
 * Host and platform operations throw it; every procedure that traps catches it
 * in one place. Anything else that is thrown is turned into a Failure there
 * (see Failure::fromCurrentException).
 */
struct Failure {
  int32_t number = 0;
  std::string description;

  /// The failure with the classic runtime's description for `number`.
  static Failure of(int32_t number);
  /// A failure with a description of its own (host failures, mostly).
  static Failure of(int32_t number, std::string description);

  /**
   * The failure that the exception being handled stands for. Must be called
   * inside a catch block: a Failure is returned as it is, std::bad_alloc
   * becomes 7 "Out of memory", any other exception 51 "Internal error" with
   * its text.
   */
  static Failure fromCurrentException() noexcept;
};

/// The classic runtime's description of an error number ("File not found" for 53);
/// the empty text for numbers it does not know.
std::string classicDescription(int32_t number);

/// Throws the failure with the classic description of `number`.
[[noreturn]] void raise(int32_t number);
[[noreturn]] void raise(int32_t number, std::string description);

}  // namespace corvale
