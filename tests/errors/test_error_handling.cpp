#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "errors/ErrorHandling.h"
#include "host/Services.h"
#include "state/ProductState.h"
#include "support/HostFixture.h"

namespace corvale {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t cut; (cut = text.find("\r\n", start)) != std::string::npos; start = cut + 2) {
    lines.push_back(text.substr(start, cut - start));
  }
  lines.push_back(text.substr(start));
  return lines;
}

TEST(ErrorLineText, ZeroGivesTheEmptyText) {
  EXPECT_EQ(GetErrorLineText(0), "");
}

TEST(ErrorLineText, OtherNumbersAreWrittenInDecimalAfterTheLabel) {
  EXPECT_EQ(GetErrorLineText(37), "Line : 37");
  EXPECT_EQ(GetErrorLineText(-5), "Line : -5");
  EXPECT_EQ(GetErrorLineText(std::numeric_limits<int32_t>::min()), "Line : -2147483648");
}

class ErrorReportTest : public testing::HostFixture {};

TEST_F(ErrorReportTest, TheReportHasNineteenFixedLinesAroundTheFailure) {
  const std::vector<std::string> expected{
      "We're sorry, an unexpected error has occurred.",
      "",
      "Please email support@corvalegis.example and we'll",
      "be happy to help out.",
      "",
      "Please let us know the following:",
      "",
      "APPLICATION: CorvaleStreetSearch v2.15",
      "ERROR NUMBER: 53",
      "MODULE: fDeleteFile CorvaleGIS_IO Line : 2",
      "ERROR DESCRIPTION: File not found",
      "",
      "If possible, please attach a screenshot of this",
      "message with your ArcMap project in the background.",
      "You can do this by pressing <CTRL> and <Prnt Screen>",
      "and then pasting the image into a graphics application",
      "such as Paint. Saving the image as a JPG is preferrable.",
      "",
      "Thank you!",
  };
  const std::string text =
      errorReportText("fDeleteFile CorvaleGIS_IO Line : 2", 53, "File not found");
  EXPECT_EQ(linesOf(text), expected);
  EXPECT_NE(text.substr(text.size() - 2), "\r\n");
}

TEST_F(ErrorReportTest, NegativeNumbersAndEmptyDescriptionsKeepTheShape) {
  const auto lines = linesOf(errorReportText("Frame frmMain ", -2147467259, ""));
  ASSERT_EQ(lines.size(), 19u);
  EXPECT_EQ(lines[8], "ERROR NUMBER: -2147467259");
  EXPECT_EQ(lines[9], "MODULE: Frame frmMain ");
  EXPECT_EQ(lines[10], "ERROR DESCRIPTION: ");
}

TEST_F(ErrorReportTest, LocationAndDescriptionAreInsertedAsTheyAre) {
  const auto lines = linesOf(errorReportText("a\r\nb", 5, "first\r\nsecond"));
  ASSERT_EQ(lines.size(), 21u);
  EXPECT_EQ(lines[9], "MODULE: a");
  EXPECT_EQ(lines[10], "b");
  EXPECT_EQ(lines[12], "second");
}

TEST_F(ErrorReportTest, TheProductNameAndVersionAreReadAtEachReport) {
  state().ProductName = "Renamed";
  state().ProductVersion = "v9";
  EXPECT_EQ(linesOf(errorReportText("x", 1, "y"))[7], "APPLICATION: Renamed v9");
}

TEST_F(ErrorReportTest, ReportErrorShowsTheReportInOneMessageBox) {
  ReportError("Form_Load frmHelp ", 91, "Object variable or With block variable not set");
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0], errorReportText("Form_Load frmHelp ", 91,
                                           "Object variable or With block variable not set"));
}

/// A toolkit whose message box always fails.
class BrokenMessageBox : public memory::ScriptedToolkit {
 public:
  using ScriptedToolkit::ScriptedToolkit;
  void messageBox(const std::string&) override { raise(err::kHostUnspecified); }
};

TEST_F(ErrorReportTest, AMessageBoxThatFailsIsPassedOver) {
  host::services().forms = std::make_shared<BrokenMessageBox>(host.context.recorder);
  EXPECT_NO_THROW(ReportError("x", 1, "y"));
  host::services().forms = nullptr;
  EXPECT_NO_THROW(ReportError("x", 1, "y"));
}

TEST(TrapLocation, IsProcedureModuleAndLineText) {
  Trap trap("GetFeatureByValue", "CorvaleGIS_ArcMap");
  EXPECT_EQ(trap.location(), "GetFeatureByValue CorvaleGIS_ArcMap ");
  trap.line(6);
  EXPECT_EQ(trap.line(), 6);
  EXPECT_EQ(trap.location(), "GetFeatureByValue CorvaleGIS_ArcMap Line : 6");
  trap.line(0);
  EXPECT_EQ(trap.location(), "GetFeatureByValue CorvaleGIS_ArcMap ");
}

TEST(TrapRun, ABodyThatEndsNormallyGivesNoFailure) {
  int steps = 0;
  EXPECT_FALSE(Trap::run([&] { ++steps; }).has_value());
  EXPECT_EQ(steps, 1);
}

TEST(TrapRun, TheFailureThatEndsTheBodyIsHandedBack) {
  int reached = 0;
  const auto failure = Trap::run([&] {
    reached = 1;
    raise(err::kPathNotFound);
    reached = 2;
  });
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->number, err::kPathNotFound);
  EXPECT_EQ(failure->description, "Path not found");
  EXPECT_EQ(reached, 1);
}

TEST(TrapRun, OtherExceptionsBecomeFailures) {
  EXPECT_EQ(Trap::run([] { throw std::bad_alloc(); })->number, err::kOutOfMemory);
  EXPECT_EQ(Trap::run([] { throw std::logic_error("x"); })->number, err::kInternalError);
}

TEST_F(ErrorReportTest, TrapReportShowsTheFailureAtTheLastLineReached) {
  Trap trap("fCreateDirectory", "CorvaleGIS_IO");
  const auto failure = trap.run([&] {
    trap.line(1);
    trap.line(3);
    raise(err::kFileAlreadyExists);
  });
  ASSERT_TRUE(failure.has_value());
  trap.report(*failure);
  ASSERT_EQ(messages().size(), 1u);
  const auto lines = linesOf(messages()[0]);
  EXPECT_EQ(lines[8], "ERROR NUMBER: 58");
  EXPECT_EQ(lines[9], "MODULE: fCreateDirectory CorvaleGIS_IO Line : 3");
  EXPECT_EQ(lines[10], "ERROR DESCRIPTION: File already exists");
}

}  // namespace
}  // namespace corvale
