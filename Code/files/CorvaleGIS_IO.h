#pragma once

#include <cstdint>
#include <string>

namespace corvale {

inline constexpr const char* kIoModule = "CorvaleGIS_IO";

/**
 * Finds the Program Files folder by probing the drives A to Z, creates the
 * folder levels company\[intermediate\]product\ below it where they are
 * missing and, when a file name is given, an empty file there when none
 * exists. Records ProgramFilesDrive, ProductFolder and ConfigFilePath.
 * Returns 1 when done, -1 when no Program Files folder exists (after telling
 * the user) or a step failed (silently; values of earlier steps stay).
 */
int16_t fSetupProductFolder(const std::string& company, const std::string& product,
                            const std::string& fileName, const std::string& intermediate);

/// True when a file (not a folder) exists at the path. Reports failures and yields false.
bool fDoesFileExist(const std::string& path);
/// True when a folder (not a file) exists at the path. Reports failures and yields false.
bool fDoesDirectoryExist(const std::string& path);
/// Deletes the file when one is there; no file is not a failure. Reports failures.
void fDeleteFile(const std::string& path);
/// Creates the one folder the path names; its parent must exist. Reports failures.
void fCreateDirectory(const std::string& path);

}  // namespace corvale
