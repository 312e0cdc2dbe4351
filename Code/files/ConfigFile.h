#pragma once

#include <cstdint>
#include <string>

namespace corvale {

/**
 * The configuration file at ConfigFilePath: the street layer's name and the
 * street-name field's name, each written as a quoted field and CR LF. It
 * counts as configured when it holds exactly two fields. Every operation
 * closes the single file channel before it opens the file and when it is
 * done; a failure is thrown to the caller with the channel closed.
 */
namespace ConfigFile {

/// How many fields the file holds, read without keeping them (a huge file costs no memory).
int32_t CountFields();

/**
 * Replaces the file by one that holds the two names, and then sets
 * StreetLayerName and StreetFieldName. The new content is written to a
 * temporary file beside it, synced, and renamed over the old one: on any
 * failure the old file stays as it was, byte for byte, and the names keep
 * their values. A read-only file is not replaced (70).
 *
 * Each name is written so that it reads back exactly: quoted, or bare when
 * it holds a double quote. A name that cannot come back exactly (a double
 * quote beside a comma, a line break or a leading blank, or a character
 * outside the system's code page) is refused with failure 5 and a
 * description that names it, before anything is written.
 */
void WriteConfiguration(const std::string& layerName, const std::string& fieldName);

/// Reads field 1 into StreetLayerName and field 2 into StreetFieldName.
void ReadConfiguration();

/// The path of the temporary file that a rewrite of the file at `path` uses.
std::string pendingPath(const std::string& path);

}  // namespace ConfigFile

}  // namespace corvale
