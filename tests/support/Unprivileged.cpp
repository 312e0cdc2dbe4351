#include "support/Unprivileged.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

namespace corvale::testing {

namespace {
void skipWith(const std::string& reason) { GTEST_SKIP() << reason; }
}  // namespace

bool isSuperuser() { return ::geteuid() == 0; }

std::optional<bool> rerunUnprivileged() {
  if (!isSuperuser()) return std::nullopt;
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  char self[PATH_MAX] = {};
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) {
    skipWith("cannot find this test program to run it again");
    return std::nullopt;
  }
  if (::access("/usr/bin/setpriv", X_OK) != 0) {
    skipWith("setpriv is missing: cannot run as an unprivileged user");
    return std::nullopt;
  }
  const std::string filter =
      std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
  std::vector<std::string> args = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                   "--clear-groups", "--", self, filter, "--gtest_brief=1"};
  const pid_t child = ::fork();
  if (child == 0) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::setenv("HOME", "/tmp", 1);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) {
    skipWith("cannot start the unprivileged run");
    return std::nullopt;
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
    skipWith("the unprivileged user cannot run this test program (check the folders' "
                    "permissions)");
    return std::nullopt;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace corvale::testing
