#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace corvale::testing {

/**
 * What the tests expect of a list and a search, worked out with ICU directly
 * rather than through the component's text rules.
 */

/// The texts in the order of a sorted list: the collation of the named ICU
/// locale ("root" or "" for the root order) at secondary strength, texts that
/// compare equal ordered by their bytes.
std::vector<std::string> collatedOrder(const std::set<std::string>& texts,
                                       const std::string& locale);

/// The entries the search list shows for these value texts (nothing for a
/// null): each distinct non-empty text once, in collatedOrder.
std::vector<std::string> expectedList(const std::vector<std::optional<std::string>>& texts,
                                      const std::string& locale);

/// The position of the first entry that begins with `prefix` when both are
/// upper-cased code point by code point; -1 when none does.
int firstEntryBeginningWith(const std::vector<std::string>& entries, std::string_view prefix);

/// Texts to search for that a data source's names make hard: quotes, SQL
/// wildcards and injection, control characters, emoji, accents and case, blanks.
const std::vector<std::string>& hostilePrefixes();

/// The text with control characters and non-ASCII bytes as \xNN, cut at 60 bytes: for test
/// messages.
std::string printable(const std::string& text);

}  // namespace corvale::testing
