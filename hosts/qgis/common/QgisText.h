#pragma once

#include <string>
#include <string_view>

#include <QString>

namespace corvale::qgis {

/**
 * The UTF-8 form of a QString, made in one allocation. A lone surrogate (which
 * no valid text holds, but a data source may deliver) becomes U+FFFD, so the
 * result is always valid UTF-8.
 */
std::string utf8Of(const QString& text);

/// utf8Of into an existing string, which keeps its capacity: no allocation once it is large enough.
void assignUtf8(std::string& out, const QString& text);

/**
 * True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates,
 * nothing above U+10FFFF) and do not begin with a byte-order mark: text that
 * every UTF-8 decoder reads alike.
 */
bool isPlainUtf8(std::string_view text);

/// The QString of UTF-8 text; invalid byte sequences become U+FFFD.
QString qstringOf(std::string_view utf8);

/// An SQL identifier in double quotes, inner quotes doubled: `a"b` gives `"a""b"`.
std::string sqlIdentifier(std::string_view name);

}  // namespace corvale::qgis
