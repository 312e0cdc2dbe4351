#pragma once

#include <optional>

namespace corvale::testing {

/**
 * Permission failures cannot be seen as the superuser, who may read and write
 * anything. Run as the superuser, this runs the current test again in a child
 * process as the unprivileged user "nobody" (through setpriv) and returns
 * whether the child passed; the caller then stops. Run as anyone else it
 * returns nothing, and the caller goes on with the test body.
 * When the child cannot be started the test is skipped with the reason.
 */
std::optional<bool> rerunUnprivileged();

/// Whether this process runs as the superuser.
bool isSuperuser();

}  // namespace corvale::testing

/// Runs the rest of the test as an unprivileged user (see rerunUnprivileged).
#define CORVALE_RUN_UNPRIVILEGED()                                                    \
  do {                                                                                \
    if (auto corvaleChildPassed = ::corvale::testing::rerunUnprivileged()) {          \
      EXPECT_TRUE(*corvaleChildPassed) << "the test failed as an unprivileged user"; \
      return;                                                                         \
    }                                                                                 \
    if (::testing::Test::IsSkipped()) return;                                         \
  } while (false)
