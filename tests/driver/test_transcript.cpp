// The transcript's lines are JSON whose numbers read back as the very doubles written.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "hosts/qgis/driver/Transcript.h"

namespace corvale {
namespace {

/// The lines the transcript writes for the events, through a real FILE.
std::string written(const std::vector<QJsonObject>& events) {
  FILE* file = std::tmpfile();
  EXPECT_NE(file, nullptr);
  driver::Transcript transcript(file);
  for (const auto& event : events)
    transcript.write(event);
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;)
    text += static_cast<char>(c);
  std::fclose(file);
  return text;
}

/// The text of member `key` of a one-line object, as written (a number's own digits).
std::string memberText(const std::string& line, const std::string& key) {
  const std::string tag = "\"" + key + "\":";
  const size_t at = line.find(tag);
  if (at == std::string::npos) return {};
  const size_t from = at + tag.size();
  return line.substr(from, line.find_first_of(",}", from) - from);
}

/// The double's bits; both zeros alike (QJsonValue keeps no negative zero, and -0 == 0).
uint64_t bitsOf(double value) {
  if (value == 0) return 0;
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

/**
 * Doubles of every magnitude, by random bit patterns and by hand (coordinates
 * a rounding to three decimals would have changed, the ends of the range,
 * integers): each, alone and as a rectangle's coordinate, reads back bit for
 * bit, in the shortest form that does.
 */
TEST(Transcript, EveryNumberReadsBackAsTheSameDouble) {
  std::vector<double> values = {0.1,
                                682656.29412345678,
                                8963324.6414999999,
                                59.912345678901234,
                                10.000000000000002,
                                -0.0,
                                657,
                                9007199254740993.0,
                                1e21,
                                std::numeric_limits<double>::denorm_min(),
                                std::numeric_limits<double>::min(),
                                std::numeric_limits<double>::max(),
                                -std::numeric_limits<double>::max()};
  uint64_t state = 424242;
  for (int i = 0; i < 20000; ++i) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    double value;
    std::memcpy(&value, &state, sizeof value);
    if (std::isfinite(value)) values.push_back(value);
  }
  for (size_t i = 0; i < values.size(); ++i) {
    const double value = values[i];
    const QgsRectangle box(value, -value, value, -value, false);
    const std::string line = written({QJsonObject{{"event", "extent"}, {"v", value}}});
    const std::string text = memberText(line, "v");
    ASSERT_FALSE(text.empty()) << line;
    const double read = std::strtod(text.c_str(), nullptr);
    EXPECT_EQ(bitsOf(read), bitsOf(value)) << text;
    // Shortest: one digit fewer no longer reads back (checked on a sample).
    if (i % 97 == 0 && text.find_first_of("eE") == std::string::npos) {
      std::string significant;
      for (char c : text)
        if (std::isdigit(static_cast<unsigned char>(c))) significant += c;
      significant.erase(0, significant.find_first_not_of('0'));
      significant.erase(significant.find_last_not_of('0') + 1);
      const size_t digits = significant.size();
      if (digits > 1) {
        char shorter[64];
        std::snprintf(shorter, sizeof shorter, "%.*g", static_cast<int>(digits - 1), value);
        EXPECT_NE(std::strtod(shorter, nullptr), value) << text;
      }
    }
    const std::string boxLine = written({QJsonObject{{"event", "extent"},
                                                     {"canvas", driver::Transcript::rectangle(box)}}});
    EXPECT_EQ(bitsOf(std::strtod(memberText(boxLine, "xmin").c_str(), nullptr)), bitsOf(value))
        << boxLine;
    EXPECT_EQ(bitsOf(std::strtod(memberText(boxLine, "ymax").c_str(), nullptr)), bitsOf(-value))
        << boxLine;
  }
}

TEST(Transcript, LinesAreJsonWithTheEventFirstAndTheRestInKeyOrder) {
  const std::string text = written(
      {QJsonObject{{"zeta", 1.5},
                   {"event", "state"},
                   {"alpha", QJsonArray{1, "two \"quoted\"\n", true, QJsonValue()}},
                   {"mid", QJsonObject{{"b", 2}, {"a", "\xC3\x85"}}},
                   {"inf", std::numeric_limits<double>::infinity()}},
       QJsonObject{{"event", "done"}, {"status", 0}}});
  EXPECT_EQ(text,
            "{\"event\":\"state\",\"alpha\":[1,\"two \\\"quoted\\\"\\n\",true,null],"
            "\"inf\":null,\"mid\":{\"a\":\"\xC3\x85\",\"b\":2},\"zeta\":1.5}\n"
            "{\"event\":\"done\",\"status\":0}\n");
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1) {
    QJsonParseError error;
    QJsonDocument::fromJson(QByteArray::fromStdString(text.substr(start, end - start)), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text.substr(start, end - start);
  }
}

}  // namespace
}  // namespace corvale
