#pragma once

#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include <qgsexception.h>

#include "runtime/Failure.h"

namespace corvale::qgis {

/// Throws the host's unspecified failure with a description of its own.
[[noreturn]] inline void hostFailure(std::string description) {
  raise(err::kHostUnspecified, std::move(description));
}

/**
 * Runs a piece of the adapter that calls into QGIS and hands its result back.
 * Whatever QGIS throws (QgsCsException, QgsException, a standard exception)
 * leaves as a corvale::Failure: the component knows no other exception type.
 * A Failure passes through unchanged; running out of memory is failure 7.
 */
template <class Body>
decltype(auto) guarded(const char* what, Body&& body) {
  try {
    return std::forward<Body>(body)();
  } catch (const Failure&) {
    throw;
  } catch (const QgsException& e) {
    hostFailure(std::string(what) + ": " + e.what().toStdString());
  } catch (const std::bad_alloc&) {
    raise(err::kOutOfMemory);
  } catch (const std::exception& e) {
    hostFailure(std::string(what) + ": " + e.what());
  }
}

}  // namespace corvale::qgis
