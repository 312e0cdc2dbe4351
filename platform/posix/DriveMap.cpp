#include "platform/posix/DriveMap.h"

#include <pwd.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <system_error>

#include "runtime/Failure.h"

namespace corvale::posix {

void DriveMap::map(char letter, std::filesystem::path folder) {
  drives_[static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))] = std::move(folder);
}

std::optional<std::filesystem::path> DriveMap::resolve(std::string_view path) const {
  if (path.size() < 2 || path[1] != ':' || !std::isalpha(static_cast<unsigned char>(path[0])) ||
      path.find('\0') != std::string_view::npos) {
    raise(err::kBadFileNameOrNumber);
  }
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
  auto drive = drives_.find(letter);
  if (drive == drives_.end()) return std::nullopt;

  std::filesystem::path native = drive->second;
  std::string_view rest = path.substr(2);
  while (!rest.empty()) {
    const size_t cut = rest.find_first_of("\\/");
    const std::string_view part = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view{} : rest.substr(cut + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") raise(err::kBadFileNameOrNumber);
    native /= std::string(part);
  }
  return native;
}

std::filesystem::path DriveMap::userDriveC() {
  std::filesystem::path dataHome;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') {
    dataHome = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
      const passwd* entry = getpwuid(getuid());
      home = entry ? entry->pw_dir : "/tmp";
    }
    dataHome = std::filesystem::path(home) / ".local" / "share";
  }
  return dataHome / "CorvaleGIS" / "drive_c";
}

DriveMap DriveMap::forUser() {
  DriveMap drives;
  const std::filesystem::path driveC = userDriveC();
  std::error_code ignored;
  // A drive that cannot be prepared stays mapped: the component then tells
  // the user that it finds no Program Files folder.
  std::filesystem::create_directories(driveC / "Program Files", ignored);
  drives.map('C', driveC);
  return drives;
}

}  // namespace corvale::posix
