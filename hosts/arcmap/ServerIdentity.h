#pragma once

#include "hosts/arcmap/Guid.h"

/**
 * Who the command is to COM. The identifiers are fixed for good: the host
 * keeps them in its customisation of toolbars. CorvaleGIS.idl declares the
 * same ones for the type library.
 */
namespace corvale::arcmap::identity {

inline constexpr GUID CommandClass = guid("9B320A80-7A5F-41D2-BFF8-CF02008026A8");
/// The class's own default interface, which has no members.
inline constexpr GUID DefaultInterface = guid("DBA9E6DA-C073-48F0-B577-FED9C40ED6EF");
inline constexpr GUID TypeLibrary = guid("96A5332B-9AE0-42C8-BAFD-DC80DB4E4400");
inline constexpr unsigned short kTypeLibraryMajor = 1;
inline constexpr unsigned short kTypeLibraryMinor = 0;

inline constexpr const wchar_t* kProgId = L"CorvaleGIS.CorvaleStreetSearch";
inline constexpr const wchar_t* kClassName = L"CorvaleStreetSearch";

}  // namespace corvale::arcmap::identity
