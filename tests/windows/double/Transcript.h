#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace corvale::windouble {

/// A JSON value already written out; built from the few kinds a transcript needs.
struct Json {
  std::string text;
  Json() : text("null") {}
  Json(const char* s);
  Json(const std::string& s);
  Json(int v) : text(std::to_string(v)) {}
  Json(long v) : text(std::to_string(v)) {}
  Json(long long v) : text(std::to_string(v)) {}
  Json(double v);
  Json(bool v) : text(v ? "true" : "false") {}
  static Json array(const std::vector<std::string>& texts);
  static Json object(const std::map<std::string, Json>& members);
  static std::string quote(const std::string& s);
};

/**
 * The scenario's transcript as JSON Lines, one event a line, "event" first and
 * the other keys in key order: the vocabulary the QGIS driver writes. Both the
 * host double (on the host's thread) and the user (on its own) write to it.
 */
class Transcript {
 public:
  static Transcript& get();
  void add(const std::string& event, std::map<std::string, Json> members = {});
  std::vector<std::string> lines() const;
  std::string text() const;
  void clear();
  /// Lines whose "event" is that name.
  std::vector<std::string> events(const std::string& event) const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

}  // namespace corvale::windouble
