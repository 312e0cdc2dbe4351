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

/// The QString of UTF-8 text; invalid byte sequences become U+FFFD.
QString qstringOf(std::string_view utf8);

}  // namespace corvale::qgis
