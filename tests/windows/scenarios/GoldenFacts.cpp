#include "scenarios/GoldenFacts.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "double/HostStartup.h"
#include "hosts/memory/ScriptedToolkit.h"

#ifndef CORVALE_WINDOWS_GOLDEN_DIR
#define CORVALE_WINDOWS_GOLDEN_DIR ""
#endif
#ifndef CORVALE_MEMORY_GOLDEN_DIR
#define CORVALE_MEMORY_GOLDEN_DIR ""
#endif

namespace corvale::windouble {
namespace {

std::string number(double v) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.15g", v);
  return buffer;
}

std::string after(const std::string& line, const std::string& head) {
  return line.compare(0, head.size(), head) == 0 ? line.substr(head.size()) : std::string();
}

/// A flat JSON object: strings, numbers, Booleans and arrays of strings, as text.
class FlatJson {
 public:
  explicit FlatJson(const std::string& line) : s_(line) {
    skip('{');
    while (p_ < s_.size() && s_[p_] != '}') {
      const std::string key = string();
      skip(':');
      if (s_[p_] == '"') {
        values_[key] = string();
      } else if (s_[p_] == '[') {
        ++p_;
        std::vector<std::string> items;
        while (s_[p_] != ']') {
          items.push_back(string());
          if (s_[p_] == ',') ++p_;
        }
        ++p_;
        arrays_[key] = items;
      } else {
        const size_t end = s_.find_first_of(",}", p_);
        values_[key] = s_.substr(p_, end - p_);
        p_ = end;
      }
      if (s_[p_] == ',') ++p_;
    }
  }
  std::string get(const std::string& key) const {
    auto it = values_.find(key);
    return it == values_.end() ? "" : it->second;
  }
  bool has(const std::string& key) const { return values_.count(key) || arrays_.count(key); }
  std::vector<std::string> array(const std::string& key) const {
    auto it = arrays_.find(key);
    return it == arrays_.end() ? std::vector<std::string>{} : it->second;
  }

 private:
  void skip(char c) {
    if (p_ < s_.size() && s_[p_] == c) ++p_;
  }
  std::string string() {
    std::string out;
    skip('"');
    while (p_ < s_.size() && s_[p_] != '"') {
      char c = s_[p_++];
      if (c == '\\') {
        const char e = s_[p_++];
        switch (e) {
          case 'n': out += '\n'; break;
          case 'r': out += '\r'; break;
          case 't': out += '\t'; break;
          case 'u': out += static_cast<char>(std::strtol(s_.substr(p_, 4).c_str(), nullptr, 16)), p_ += 4; break;
          default: out += e;
        }
      } else {
        out += c;
      }
    }
    skip('"');
    return out;
  }
  std::string s_;
  size_t p_ = 0;
  std::map<std::string, std::string> values_;
  std::map<std::string, std::vector<std::string>> arrays_;
};

}  // namespace

std::string goldenDir() {
  if (const char* dir = std::getenv("CORVALE_WINDOWS_GOLDEN_DIR")) return dir;
  return CORVALE_WINDOWS_GOLDEN_DIR;
}

std::string memoryGoldenDir() {
  if (const char* dir = std::getenv("CORVALE_MEMORY_GOLDEN_DIR")) return dir;
  return CORVALE_MEMORY_GOLDEN_DIR;
}

std::string readFile(const std::string& path) {
  std::ifstream in(windowsPath(path).c_str(), std::ios::binary);
  return in ? std::string(std::istreambuf_iterator<char>(in), {}) : std::string();
}

GoldenFacts factsOfMemoryTranscript(const std::string& text) {
  GoldenFacts f;
  std::istringstream in(text);
  std::string line;
  int maximum = 0;
  while (std::getline(in, line)) {
    if (auto m = after(line, "message: "); !m.empty()) f.messages.push_back(m);
    if (auto e = after(line, "extent: map Layers "); !e.empty()) f.extents.push_back(e);
    if (auto p = after(line, "progress: maximum "); !p.empty()) maximum = std::atoi(p.c_str());
    if (auto h = after(line, "progress: hide after "); !h.empty()) {
      f.progress.push_back("maximum " + std::to_string(maximum) + ", steps " + std::to_string(std::atoi(h.c_str())));
    }
    if (auto s = after(line, "selected: "); !s.empty()) f.selected = std::atoi(s.c_str());
    if (auto t = after(line, "search text: ["); !t.empty()) f.searchText = t.substr(0, t.size() - 1);
    if (auto c = after(line, "config: ["); !c.empty()) f.config = c.substr(0, c.size() - 1);
    if (line.rfind("search list (", 0) == 0) {
      const size_t open = line.find("): ");
      std::string rest = open == std::string::npos ? "" : line.substr(open + 3);
      // Entries are "[name]" separated by one blank.
      size_t p = 0;
      while ((p = rest.find('[', p)) != std::string::npos) {
        const size_t close = rest.find("] [", p);
        const size_t end = close == std::string::npos ? rest.rfind(']') : close;
        f.list.push_back(rest.substr(p + 1, end - p - 1));
        p = end + 1;
      }
    }
  }
  return f;
}

GoldenFacts factsOfJsonLines(const std::string& text) {
  GoldenFacts f;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const FlatJson j(line);
    const std::string event = j.get("event");
    if (event == "message") f.messages.push_back(memory::oneLine(j.get("text")));
    if (event == "extent") {
      f.extents.push_back(number(std::strtod(j.get("xmin").c_str(), nullptr)) + " " +
                          number(std::strtod(j.get("ymin").c_str(), nullptr)) + " " +
                          number(std::strtod(j.get("xmax").c_str(), nullptr)) + " " +
                          number(std::strtod(j.get("ymax").c_str(), nullptr)));
    }
    if (event == "progress" && j.get("state") == "shown") {
      f.progress.push_back("maximum " + j.get("maximum"));
    }
    if (event == "progress" && j.get("state") == "hidden" && !f.progress.empty()) {
      f.progress.back() += ", steps " + j.get("steps");
    }
    if (event == "state") {
      f.config = memory::oneLine(j.get("configBytes"));
      f.list = j.array("list");
      f.selected = j.has("selected") ? std::atoi(j.get("selected").c_str()) : -1;
      f.searchText = j.get("text");
    }
  }
  return f;
}

std::string describe(const GoldenFacts& f) {
  std::string s = "messages:";
  for (const auto& m : f.messages) s += " [" + m + "]";
  s += "\nlist (" + std::to_string(f.list.size()) + "):";
  for (const auto& e : f.list) s += " [" + e + "]";
  s += "\nselected: " + std::to_string(f.selected) + ", search text [" + f.searchText + "]";
  s += "\nconfig: [" + f.config + "]\nextents:";
  for (const auto& e : f.extents) s += " [" + e + "]";
  s += "\nprogress:";
  for (const auto& p : f.progress) s += " [" + p + "]";
  return s + "\n";
}

}  // namespace corvale::windouble
