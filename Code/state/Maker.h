#pragma once

/// The maker's addresses: the one place that names them.
namespace corvale::maker {

/// Host name of the maker's web site, as the command's message and the logo's tooltip show it.
inline constexpr const char* kWebSiteHost = "www.corvalegis.example";
/// The web site's home page (its root, no path).
inline constexpr const char* kWebSite = "https://www.corvalegis.example";
/// The forum site; a product's board is at kForumSite + "/forum/b-" + kBoardName + "/".
inline constexpr const char* kForumSite = "https://forum.corvalegis.example";
inline constexpr const char* kBoardName = "corvalestreetsearch";
/// Where users send error reports.
inline constexpr const char* kSupportEmail = "support@corvalegis.example";
/// Where users ask for information.
inline constexpr const char* kInfoEmail = "info@corvalegis.example";

}  // namespace corvale::maker
