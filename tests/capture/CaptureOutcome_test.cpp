#include "capture/CaptureOutcome.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct OutcomeCase {
    const char* name;
    TCaptureResponse response;
    int stored;
    const char* expected;
};

void PrintTo(const OutcomeCase& c, std::ostream* os) {
    *os << c.name;
}

class CaptureOutcome : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(CaptureOutcome, SaysWhyNothingWasCaptured) {
    const OutcomeCase& c = GetParam();
    EXPECT_EQ(captureOutcomeMessage(QStringLiteral("http://site.test/news/"), c.response, c.stored),
              QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaptureOutcome,
    ::testing::Values(
        OutcomeCase{"TopicsStored", {0, 200, "OK"}, 3, ""},
        OutcomeCase{
            "NoHeadline", {0, 200, "OK"}, 0, "No headlines were found on http://site.test/news/."},
        OutcomeCase{"RedirectEndingOnAPage",
                    {0, 302, "Found"},
                    0,
                    "No headlines were found on http://site.test/news/."},
        OutcomeCase{"NotFound",
                    {0, 404, "Not Found"},
                    0,
                    "Capture of http://site.test/news/ failed: 404 Not Found."},
        OutcomeCase{"ErrorPageWithHeadlines",
                    {0, 500, "Internal Server Error"},
                    2,
                    "Capture of http://site.test/news/ failed: 500 Internal Server Error."},
        OutcomeCase{"StatusWithoutReason",
                    {0, 503, ""},
                    0,
                    "Capture of http://site.test/news/ failed: 503."},
        OutcomeCase{"ConnectionRefused",
                    {111, 404, "can't connect: Connection refused (Error #111)"},
                    0,
                    "Capture of http://site.test/news/ failed: can't connect: Connection refused "
                    "(Error #111)."},
        OutcomeCase{"ReasonWithItsOwnFullStop",
                    {5, 404, "timed out."},
                    0,
                    "Capture of http://site.test/news/ failed: timed out."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CaptureProgress, NamesTheAddressAndTheCount) {
    EXPECT_EQ(captureProgressText(QStringLiteral("http://site.test/"), 3, 10),
              QStringLiteral("Capturing http://site.test/: 3 of 10 headlines stored"));
}

struct ProgressDueCase {
    const char* name;
    int shownDone;
    int done;
    int total;
    qint64 msSinceShown;
    bool due;
};

class CaptureProgressDue : public ::testing::TestWithParam<ProgressDueCase> {};

TEST_P(CaptureProgressDue, PaintsTheEndsEachPercentAndAfterAWhile) {
    const ProgressDueCase& c = GetParam();
    EXPECT_EQ(captureProgressDue(c.shownDone, c.done, c.total, c.msSinceShown), c.due);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaptureProgressDue,
    ::testing::Values(ProgressDueCase{"FirstLine", -1, 0, 1000, 0, true},
                      ProgressDueCase{"FirstLineOfAnEmptyPage", -1, 0, 0, 0, true},
                      ProgressDueCase{"LastLineRightAfterAnother", 999, 1000, 1000, 0, true},
                      ProgressDueCase{"WithinTheSamePercent", 10, 19, 1000, 99, false},
                      ProgressDueCase{"NextPercent", 19, 20, 1000, 0, true},
                      ProgressDueCase{"IntervalOver", 10, 11, 1000, 100, true},
                      ProgressDueCase{"ShortCaptureShowsEveryHeadline", 1, 2, 3, 0, true},
                      ProgressDueCase{"HugeCaptureDoesNotOverflow", 2'000'000'000, 2'000'000'001,
                                      2'100'000'000, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
