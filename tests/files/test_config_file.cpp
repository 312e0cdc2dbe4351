#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "files/ConfigFile.h"
#include "runtime/FileChannel.h"
#include "support/Failures.h"
#include "support/HostFixture.h"
#include "support/Unprivileged.h"

namespace corvale {
namespace {

using testing::kConfigPath;
using testing::readBytes;
using testing::writeBytes;

constexpr const char* kOldContent = "\"Old layer\"\r\n\"OLD_NAME\"\r\n";

class ConfigFileTest : public testing::HostFixture {
 protected:
  int32_t countOf(const std::string& bytes) {
    prepareConfigFile(bytes);
    return ConfigFile::CountFields();
  }

  /// The number of the failure `body` throws (0 for none); the channel must be closed after it.
  int32_t failureOf(const std::function<void()>& body) {
    const int32_t number = testing::failureNumber(body);
    EXPECT_FALSE(fileChannel().isOpen());
    return number;
  }

  void setNames(const std::string& layer, const std::string& field) {
    state().StreetLayerName = layer;
    state().StreetFieldName = field;
  }
  void expectNames(const std::string& layer, const std::string& field) {
    EXPECT_EQ(state().StreetLayerName, layer);
    EXPECT_EQ(state().StreetFieldName, field);
  }
  std::filesystem::path configFile() const { return productFolder() / "config"; }
  std::filesystem::path pendingFile() const { return productFolder() / "config.new"; }
};

TEST_F(ConfigFileTest, WritingGivesTwoQuotedLinesAndSetsTheNames) {
  prepareConfigFile("");
  ConfigFile::WriteConfiguration("Streets", "NAME");
  EXPECT_EQ(readBytes(configFile()), "\"Streets\"\r\n\"NAME\"\r\n");
  expectNames("Streets", "NAME");
  EXPECT_FALSE(std::filesystem::exists(pendingFile()));
  EXPECT_FALSE(fileChannel().isOpen());
  EXPECT_TRUE(messages().empty());
}

TEST_F(ConfigFileTest, WritingAgainReplacesTheFileInsteadOfAppending) {
  prepareConfigFile(kOldContent);
  ConfigFile::WriteConfiguration("Roads", "LABEL");
  ConfigFile::WriteConfiguration("Streets", "NAME");
  EXPECT_EQ(readBytes(configFile()), "\"Streets\"\r\n\"NAME\"\r\n");
  EXPECT_EQ(ConfigFile::CountFields(), 2);
}

TEST_F(ConfigFileTest, AwkwardNamesReadBackUnchanged) {
  const std::vector<std::pair<std::string, std::string>> pairs{
      {"Streets, Roads", "NAME,LABEL"},     {"  Streets  ", " NAME "},
      {"Straßen – Île-de-France", "улица"}, {std::string(10000, 'L'), std::string(10000, 'F')},
      {"\tTabbed", "Single 'quoted'"},
  };
  prepareConfigFile("");
  for (const auto& [layer, field] : pairs) {
    SCOPED_TRACE(layer.substr(0, 30));
    ConfigFile::WriteConfiguration(layer, field);
    setNames("", "");
    EXPECT_EQ(ConfigFile::CountFields(), 2);
    ConfigFile::ReadConfiguration();
    expectNames(layer, field);
  }
}

TEST_F(ConfigFileTest, NamesHoldingDoubleQuotesAreWrittenBareAndReadBackWhole) {
  prepareConfigFile("");
  ConfigFile::WriteConfiguration("Streets \"2024\"", "NAME");
  EXPECT_EQ(readBytes(configFile()), "Streets \"2024\"\r\n\"NAME\"\r\n");

  const std::vector<std::pair<std::string, std::string>> pairs{
      {"Streets \"2024\"", "the \"name\""}, {"a\"", "x\"\"y "}, {"Straße \"Nord\"\t", "N\""}};
  for (const auto& [layer, field] : pairs) {
    SCOPED_TRACE(layer);
    ConfigFile::WriteConfiguration(layer, field);
    setNames("", "");
    EXPECT_EQ(ConfigFile::CountFields(), 2);
    ConfigFile::ReadConfiguration();
    expectNames(layer, field);
  }
}

TEST_F(ConfigFileTest, ANameThatCannotReadBackIsRefusedBeforeAnythingIsWritten) {
  // A double quote beside what ends or skips a bare field: no form of the file carries it.
  const std::vector<std::pair<std::string, std::string>> pairs{
      {"\"Streets\"", "NAME"}, {" a\"b", "NAME"},   {"Streets", "a\",b"},
      {"Streets", "a\"\r\nb"},  {"Streets", "\ta\""}, {"x\"\n", "NAME"}};
  for (const auto& [layer, field] : pairs) {
    SCOPED_TRACE(layer + " / " + field);
    prepareConfigFile(kOldContent);
    setNames("Old layer", "OLD_NAME");
    std::string description;
    try {
      ConfigFile::WriteConfiguration(layer, field);
      ADD_FAILURE() << "written";
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.number, err::kInvalidProcedureCall);
      description = failure.description;
    }
    EXPECT_NE(description.find(layer.find('"') != std::string::npos ? layer : field),
              std::string::npos)
        << description;
    EXPECT_FALSE(fileChannel().isOpen());
    EXPECT_EQ(readBytes(configFile()), kOldContent);
    EXPECT_FALSE(std::filesystem::exists(pendingFile()));
    expectNames("Old layer", "OLD_NAME");
  }
}

TEST_F(ConfigFileTest, AReadOnlyFileIsNotReplaced) {
  prepareConfigFile(kOldContent);
  ASSERT_EQ(::chmod(configFile().c_str(), 0444), 0);
  setNames("Old layer", "OLD_NAME");
  EXPECT_EQ(failureOf([] { ConfigFile::WriteConfiguration("Streets", "NAME"); }),
            err::kPermissionDenied);
  EXPECT_EQ(readBytes(configFile()), kOldContent);
  EXPECT_FALSE(std::filesystem::exists(pendingFile()));
  expectNames("Old layer", "OLD_NAME");
  ::chmod(configFile().c_str(), 0644);
}

TEST_F(ConfigFileTest, CountingFindsHowManyFieldsTheFileHolds) {
  EXPECT_EQ(countOf(""), 0);
  EXPECT_EQ(countOf("\"Streets\"\r\n"), 1);
  EXPECT_EQ(countOf("\"Streets\"\r\n\"NAME\"\r\n"), 2);
  EXPECT_EQ(countOf("\"Streets\"\r\n\"NAME\"\r\n\"extra\"\r\n"), 3);
  EXPECT_EQ(countOf("\"Streets\"\r\n\"NAME\""), 2) << "no line end after the last field";
  EXPECT_EQ(countOf("\"Streets\"\r\n\"NAME\"\r\n\r\n"), 3) << "an empty line is a field";
}

TEST_F(ConfigFileTest, CrOnlyAndLfOnlyFilesCountAsTwoFields) {
  EXPECT_EQ(countOf("\"Streets\"\r\"NAME\"\r"), 2);
  EXPECT_EQ(countOf("\"Streets\"\n\"NAME\"\n"), 2);
  ConfigFile::ReadConfiguration();
  expectNames("Streets", "NAME");
}

TEST_F(ConfigFileTest, OneLineWithTwoQuotedNamesAndACommaIsAConfiguration) {
  EXPECT_EQ(countOf("\"Streets\",\"NAME\"\r\n"), 2);
  ConfigFile::ReadConfiguration();
  expectNames("Streets", "NAME");
}

TEST_F(ConfigFileTest, AnUnterminatedQuoteRunsToTheNextQuoteOrTheEnd) {
  EXPECT_EQ(countOf("\"Streets\r\n\"NAME\"\r\n"), 1);
  EXPECT_EQ(countOf("\"Streets\r\nNAME\r\n"), 1);
  EXPECT_EQ(failureOf([] { ConfigFile::ReadConfiguration(); }), err::kInputPastEndOfFile);
  EXPECT_EQ(state().StreetLayerName, "Streets\r\nNAME\r\n");
}

TEST_F(ConfigFileTest, BinaryContentIsCountedWithoutTrouble) {
  std::string bytes;
  for (int i = 0; i < 4096; ++i)
    bytes += static_cast<char>((i * 7919) % 256);
  const int32_t commasAndLineEnds = 16 + 16 + 16;  // 44, 13 and 10 each occur 16 times
  const int32_t count = countOf(bytes);
  EXPECT_GT(count, 0);
  EXPECT_LE(count, commasAndLineEnds + 1);
  EXPECT_EQ(countOf(std::string("\0\0\0", 3)), 1);
}

TEST_F(ConfigFileTest, ReadingAFileOfFewerThanTwoFieldsFailsPastItsEnd) {
  prepareConfigFile("\"Streets\"\r\n");
  EXPECT_EQ(failureOf([] { ConfigFile::ReadConfiguration(); }), err::kInputPastEndOfFile);
  prepareConfigFile("");
  EXPECT_EQ(failureOf([] { ConfigFile::ReadConfiguration(); }), err::kInputPastEndOfFile);
}

TEST_F(ConfigFileTest, AMissingFileFailsToOpenAndTheNextOperationWorks) {
  state().ConfigFilePath = kConfigPath;
  EXPECT_EQ(failureOf([] { ConfigFile::CountFields(); }), err::kPathNotFound);
  std::filesystem::create_directories(productFolder());
  EXPECT_EQ(failureOf([] { ConfigFile::CountFields(); }), err::kFileNotFound);
  EXPECT_EQ(failureOf([] { ConfigFile::ReadConfiguration(); }), err::kFileNotFound);
  EXPECT_EQ(countOf(kOldContent), 2);
}

TEST_F(ConfigFileTest, AnEmptyPathFailsClearly) {
  state().ConfigFilePath = "";
  EXPECT_NE(failureOf([] { ConfigFile::CountFields(); }), 0);
  EXPECT_NE(failureOf([] { ConfigFile::WriteConfiguration("Streets", "NAME"); }), 0);
  expectNames("", "");
}

TEST_F(ConfigFileTest, APathThatIsAFolderFailsAndTheFolderStays) {
  std::filesystem::create_directories(configFile() / "inside");
  state().ConfigFilePath = kConfigPath;
  setNames("Old layer", "OLD_NAME");
  EXPECT_EQ(failureOf([] { ConfigFile::CountFields(); }), err::kPathFileAccessError);
  EXPECT_EQ(failureOf([] { ConfigFile::ReadConfiguration(); }), err::kPathFileAccessError);
  EXPECT_NE(failureOf([] { ConfigFile::WriteConfiguration("Streets", "NAME"); }), 0);
  EXPECT_TRUE(std::filesystem::is_directory(configFile() / "inside"));
  EXPECT_FALSE(std::filesystem::exists(pendingFile()));
  expectNames("Old layer", "OLD_NAME");
}

TEST_F(ConfigFileTest, ALeftoverOfAnInterruptedRewriteDoesNotReachTheFile) {
  prepareConfigFile(kOldContent);
  writeBytes(pendingFile(), "\"half\"\r\n\"written\"\r\n\"junk");
  ConfigFile::WriteConfiguration("Streets", "NAME");
  EXPECT_EQ(readBytes(configFile()), "\"Streets\"\r\n\"NAME\"\r\n");
  EXPECT_FALSE(std::filesystem::exists(pendingFile()));
}

TEST_F(ConfigFileTest, ARewriteThatCannotWriteItsTemporaryFileKeepsTheOldOne) {
  prepareConfigFile(kOldContent);
  std::filesystem::create_directories(pendingFile());
  setNames("Old layer", "OLD_NAME");
  EXPECT_NE(failureOf([] { ConfigFile::WriteConfiguration("Streets", "NAME"); }), 0);
  EXPECT_EQ(readBytes(configFile()), kOldContent);
  expectNames("Old layer", "OLD_NAME");
}

TEST_F(ConfigFileTest, ARewriteInAFolderWithoutWritePermissionKeepsTheOldFile) {
  CORVALE_RUN_UNPRIVILEGED();
  prepareConfigFile(kOldContent);
  ASSERT_EQ(::chmod(productFolder().c_str(), 0555), 0);
  setNames("Old layer", "OLD_NAME");
  EXPECT_EQ(failureOf([] { ConfigFile::WriteConfiguration("Streets", "NAME"); }),
            err::kPermissionDenied);
  EXPECT_EQ(readBytes(configFile()), kOldContent);
  expectNames("Old layer", "OLD_NAME");
}

TEST_F(ConfigFileTest, ARewriteFailingAtAnyFileSystemCallKeepsTheOldFileAndThrows) {
  for (int64_t k = 1;; ++k) {
    SCOPED_TRACE("failing file-system call " + std::to_string(k));
    prepareConfigFile(kOldContent);
    setNames("Old layer", "OLD_NAME");
    const size_t shown = messages().size();
    host.faults().reset();
    host.faults().failFileSystemCall(k);

    const int32_t number = failureOf([] { ConfigFile::WriteConfiguration("Streets", "NAME"); });
    if (!host.faults().injected()) {
      EXPECT_EQ(number, 0);
      EXPECT_EQ(readBytes(configFile()), "\"Streets\"\r\n\"NAME\"\r\n");
      EXPECT_GT(k, 3);
      break;
    }
    EXPECT_EQ(number, err::kPathFileAccessError) << host.faults().injectedCall();
    EXPECT_EQ(readBytes(configFile()), kOldContent);
    expectNames("Old layer", "OLD_NAME");
    EXPECT_FALSE(std::filesystem::exists(pendingFile()));
    EXPECT_EQ(messages().size(), shown) << "the failure goes to the caller, not to a report";
  }
}

TEST_F(ConfigFileTest, CountingOrReadingFailingAtAnyCallLeavesTheChannelClosed) {
  for (int64_t k = 1;; ++k) {
    SCOPED_TRACE("failing file-system call " + std::to_string(k));
    prepareConfigFile(kOldContent);
    host.faults().reset();
    host.faults().failFileSystemCall(k);
    const int32_t counted = failureOf([] { ConfigFile::CountFields(); });
    const int32_t read = failureOf([] { ConfigFile::ReadConfiguration(); });
    if (!host.faults().injected()) break;
    EXPECT_EQ(counted + read, err::kPathFileAccessError);
    host.faults().reset();
    EXPECT_EQ(ConfigFile::CountFields(), 2);
  }
}

long peakResidentKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

/// A sparse file of `size` bytes that begins with `head`, the rest zero bytes.
void makeHugeFile(const std::filesystem::path& file, const std::string& head, uintmax_t size) {
  writeBytes(file, head);
  std::filesystem::resize_file(file, size);
}

TEST_F(ConfigFileTest, CountingAHugeFileStreamsItInBoundedMemory) {
  constexpr uintmax_t kSize = 200ull * 1024 * 1024;
  prepareConfigFile("");
  for (const std::string head : {"\"", "x"}) {  // one quoted field, one unquoted
    SCOPED_TRACE("a file beginning with " + head);
    makeHugeFile(configFile(), head, kSize);
    const long before = peakResidentKilobytes();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ConfigFile::CountFields(), 1);
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(peakResidentKilobytes() - before, 32 * 1024) << "the field was held in memory";
    EXPECT_LT(seconds, 20.0);
  }
}

}  // namespace
}  // namespace corvale
