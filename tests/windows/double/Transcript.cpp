#include "double/Transcript.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace corvale::windouble {

Json::Json(const char* s) : text(quote(s)) {}
Json::Json(const std::string& s) : text(quote(s)) {}

Json::Json(double v) {
  if (!std::isfinite(v)) {
    text = "null";
    return;
  }
  char buffer[40];
  // The shortest of 15 or 17 significant digits that reads back as the same number.
  std::snprintf(buffer, sizeof buffer, "%.15g", v);
  if (std::strtod(buffer, nullptr) != v) std::snprintf(buffer, sizeof buffer, "%.17g", v);
  text = buffer;
}

Json Json::array(const std::vector<std::string>& texts) {
  Json j;
  j.text = "[";
  for (size_t k = 0; k < texts.size(); ++k) j.text += (k ? "," : "") + quote(texts[k]);
  j.text += "]";
  return j;
}

Json Json::object(const std::map<std::string, Json>& members) {
  Json j;
  j.text = "{";
  bool first = true;
  for (const auto& [key, value] : members) {
    j.text += (first ? "" : ",") + quote(key) + ":" + value.text;
    first = false;
  }
  j.text += "}";
  return j;
}

std::string Json::quote(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

Transcript& Transcript::get() {
  static Transcript transcript;
  return transcript;
}

void Transcript::add(const std::string& event, std::map<std::string, Json> members) {
  std::string line = "{\"event\":" + Json::quote(event);
  for (const auto& [key, value] : members) line += "," + Json::quote(key) + ":" + value.text;
  line += "}";
  std::lock_guard lock(mutex_);
  lines_.push_back(line);
}

std::vector<std::string> Transcript::lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

std::string Transcript::text() const {
  std::string all;
  for (const auto& line : lines()) all += line + "\n";
  return all;
}

void Transcript::clear() {
  std::lock_guard lock(mutex_);
  lines_.clear();
}

std::vector<std::string> Transcript::events(const std::string& event) const {
  const std::string head = "{\"event\":" + Json::quote(event);
  std::vector<std::string> found;
  for (const auto& line : lines()) {
    if (line.compare(0, head.size(), head) == 0 &&
        (line[head.size()] == ',' || line[head.size()] == '}')) {
      found.push_back(line);
    }
  }
  return found;
}

}  // namespace corvale::windouble
