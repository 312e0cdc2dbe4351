#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/Failure.h"
#include "runtime/FileChannel.h"
#include "support/Failures.h"
#include "support/HostFixture.h"

namespace corvale {
namespace {

using testing::failureNumber;
using testing::readBytes;
using testing::writeBytes;

constexpr const char* kPath = "C:\\channel.txt";

class FileChannelTest : public testing::HostFixture {
 protected:
  std::filesystem::path native() const { return driveC() / "channel.txt"; }

  /// Every field of a file holding `bytes`, read until the end.
  std::vector<std::string> fieldsOf(const std::string& bytes) {
    writeBytes(native(), bytes);
    FileChannel& channel = fileChannel();
    channel.openInput(kPath);
    std::vector<std::string> fields;
    while (!channel.atEnd())
      fields.push_back(channel.readField());
    channel.close();
    return fields;
  }
};

using Fields = std::vector<std::string>;

TEST_F(FileChannelTest, WritesEachFieldQuotedOnALineOfItsOwn) {
  FileChannel& channel = fileChannel();
  channel.openOutput(kPath);
  channel.writeField("Streets");
  channel.writeField(" a, \"b\" ");
  channel.writeField("");
  channel.commitAndClose();
  EXPECT_FALSE(channel.isOpen());
  EXPECT_EQ(readBytes(native()), "\"Streets\"\r\n\" a, \"b\" \"\r\n\"\"\r\n");
}

TEST_F(FileChannelTest, AppendingKeepsWhatTheFileHeld) {
  writeBytes(native(), "\"old\"\r\n");
  FileChannel& channel = fileChannel();
  channel.openAppend(kPath);
  channel.writeField("new");
  channel.commitAndClose();
  EXPECT_EQ(readBytes(native()), "\"old\"\r\n\"new\"\r\n");
}

TEST_F(FileChannelTest, OpeningForOutputEmptiesTheFile) {
  writeBytes(native(), "\"old\"\r\n\"older\"\r\n");
  FileChannel& channel = fileChannel();
  channel.openOutput(kPath);
  channel.writeField("new");
  channel.commitAndClose();
  EXPECT_EQ(readBytes(native()), "\"new\"\r\n");
}

TEST_F(FileChannelTest, ClosingWritesOutWhatWasWritten) {
  FileChannel& channel = fileChannel();
  channel.openAppend(kPath);
  channel.writeField("Streets");
  channel.close();
  EXPECT_EQ(readBytes(native()), "\"Streets\"\r\n");
}

TEST_F(FileChannelTest, ClosingTwiceOrWhenNothingIsOpenIsHarmless) {
  writeBytes(native(), "x");
  FileChannel& channel = fileChannel();
  channel.close();
  channel.openInput(kPath);
  channel.close();
  channel.close();
  EXPECT_FALSE(channel.isOpen());
  channel.openInput(kPath);
  EXPECT_EQ(channel.readField(), "x");
}

TEST_F(FileChannelTest, OpeningWhileAFileIsOpenIsFailure55) {
  writeBytes(native(), "\"a\"\r\n");
  FileChannel& channel = fileChannel();
  channel.openInput(kPath);
  EXPECT_EQ(failureNumber([&] { channel.openInput(kPath); }), err::kFileAlreadyOpen);
  EXPECT_EQ(failureNumber([&] { channel.openAppend(kPath); }), err::kFileAlreadyOpen);
  EXPECT_EQ(failureNumber([&] { channel.openOutput(kPath); }), err::kFileAlreadyOpen);
  EXPECT_EQ(channel.readField(), "a") << "the open file is still the one being read";
}

TEST_F(FileChannelTest, UsingTheChannelWhileItIsClosedIsFailure52) {
  FileChannel& channel = fileChannel();
  EXPECT_EQ(failureNumber([&] { channel.atEnd(); }), err::kBadFileNameOrNumber);
  EXPECT_EQ(failureNumber([&] { channel.readField(); }), err::kBadFileNameOrNumber);
  EXPECT_EQ(failureNumber([&] { channel.writeField("x"); }), err::kBadFileNameOrNumber);
  EXPECT_EQ(failureNumber([&] { channel.commitAndClose(); }), err::kBadFileNameOrNumber);
}

TEST_F(FileChannelTest, ReadingAndWritingNeedTheMatchingDirection) {
  writeBytes(native(), "\"a\"\r\n");
  FileChannel& channel = fileChannel();
  channel.openInput(kPath);
  EXPECT_EQ(failureNumber([&] { channel.writeField("x"); }), err::kBadFileNameOrNumber);
  channel.close();
  channel.openAppend(kPath);
  EXPECT_EQ(failureNumber([&] { channel.readField(); }), err::kBadFileNameOrNumber);
}

TEST_F(FileChannelTest, ReadingPastTheEndIsFailure62) {
  writeBytes(native(), "\"a\"\r\n");
  FileChannel& channel = fileChannel();
  channel.openInput(kPath);
  EXPECT_EQ(channel.readField(), "a");
  EXPECT_TRUE(channel.atEnd());
  EXPECT_EQ(failureNumber([&] { channel.readField(); }), err::kInputPastEndOfFile);
  EXPECT_EQ(failureNumber([&] { channel.skipField(); }), err::kInputPastEndOfFile);
}

TEST_F(FileChannelTest, AnEmptyFileIsAtItsEndAtOnce) {
  writeBytes(native(), "");
  fileChannel().openInput(kPath);
  EXPECT_TRUE(fileChannel().atEnd());
}

TEST_F(FileChannelTest, OpeningAMissingFileFailsAndLeavesTheChannelClosed) {
  EXPECT_EQ(failureNumber([&] { fileChannel().openInput("C:\\missing.txt"); }), err::kFileNotFound);
  EXPECT_FALSE(fileChannel().isOpen());
}

TEST_F(FileChannelTest, QuotedFieldsKeepCommasBlanksAndLineEndsInside) {
  EXPECT_EQ(fieldsOf("\"a, b\"\r\n\" lead and trail \"\r\n\"two\r\nlines\"\r\n"),
            (Fields{"a, b", " lead and trail ", "two\r\nlines"}));
}

TEST_F(FileChannelTest, BlanksAndTabsBeforeAFieldAreSkipped) {
  EXPECT_EQ(fieldsOf(" \t \"a\"\r\n\t b\r\n"), (Fields{"a", "b"}));
}

TEST_F(FileChannelTest, UnquotedFieldsRunToTheNextCommaOrLineEnd) {
  EXPECT_EQ(fieldsOf("one,two \r\nthree"), (Fields{"one", "two ", "three"}));
}

TEST_F(FileChannelTest, CommasAndLineEndsSeparateFieldsAlike) {
  EXPECT_EQ(fieldsOf("\"Streets\",\"NAME\"\r\n"), (Fields{"Streets", "NAME"}));
  EXPECT_EQ(fieldsOf("a,,b"), (Fields{"a", "", "b"}));
}

TEST_F(FileChannelTest, CrAloneAndLfAloneEndLinesAsCrLfDoes) {
  EXPECT_EQ(fieldsOf("\"a\"\r\"b\"\r"), (Fields{"a", "b"}));
  EXPECT_EQ(fieldsOf("\"a\"\n\"b\"\n"), (Fields{"a", "b"}));
  EXPECT_EQ(fieldsOf("a\rb\nc\r\nd"), (Fields{"a", "b", "c", "d"}));
}

TEST_F(FileChannelTest, AnEmptyLineIsAnEmptyField) {
  EXPECT_EQ(fieldsOf("\"a\"\r\n\r\n\"b\"\r\n"), (Fields{"a", "", "b"}));
}

TEST_F(FileChannelTest, WhatFollowsAClosingQuoteUpToTheLineEndIsDropped) {
  EXPECT_EQ(fieldsOf("\"a\"xyz\r\n\"b\" ,c\r\n"), (Fields{"a", "b", "c"}));
}

TEST_F(FileChannelTest, AQuoteInsideAQuotedFieldEndsIt) {
  // The format has no escape: "a"b" reads as a, and the rest of the line is dropped.
  EXPECT_EQ(fieldsOf("\"a\"b\"\r\n\"c\"\r\n"), (Fields{"a", "c"}));
}

TEST_F(FileChannelTest, AnUnterminatedQuoteRunsToTheEndOfTheFile) {
  EXPECT_EQ(fieldsOf("\"Streets\r\n\"NAME"), (Fields{"Streets\r\n"}));
}

TEST_F(FileChannelTest, BytesOfAnyValueAreReadAsThemselves) {
  const std::string binary("\x00\x01\xFF,\xFE\x80\r\n\x7F", 9);
  EXPECT_EQ(fieldsOf(binary), (Fields{std::string("\x00\x01\xFF", 3), "\xFE\x80", "\x7F"}));
  EXPECT_EQ(fieldsOf("\xFF\xFF"), (Fields{"\xFF\xFF"})) << "a byte 0xFF is not the end";
}

TEST_F(FileChannelTest, FieldsAndLineEndsAcrossTheReadBufferAreReadWhole) {
  // The channel reads 64 KiB at a time; put a CR LF and a quoted field across that border.
  constexpr size_t kBuffer = 64 * 1024;
  const std::string first(kBuffer - 1, 'x');  // its CR is the buffer's last byte
  const std::string second(kBuffer, 'y');
  const std::string bytes = first + "\r\n\"" + second + "\"\r\nz";
  const Fields fields = fieldsOf(bytes);
  ASSERT_EQ(fields.size(), 3u);
  EXPECT_EQ(fields[0], first);
  EXPECT_EQ(fields[1], second);
  EXPECT_EQ(fields[2], "z");
}

TEST_F(FileChannelTest, SkippingAFieldMovesAsReadingDoes) {
  writeBytes(native(), "\"a,b\",c\r\n \"d\"\r\n");
  FileChannel& channel = fileChannel();
  channel.openInput(kPath);
  channel.skipField();
  EXPECT_EQ(channel.readField(), "c");
  channel.skipField();
  EXPECT_TRUE(channel.atEnd());
}

}  // namespace
}  // namespace corvale
