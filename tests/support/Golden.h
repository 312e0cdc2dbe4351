#pragma once

#include <string>

namespace corvale::testing {

/**
 * Compares a transcript with the reference file `<folder>/<name>.txt` and
 * fails the test with a line-by-line difference when they differ. With the
 * environment variable CORVALE_UPDATE_GOLDEN=1 the reference is written
 * instead (review the diff before committing it).
 */
void expectMatchesGolden(const std::string& folder, const std::string& name,
                         const std::string& actual);

}  // namespace corvale::testing
