// Reading result-log lines: first word, keyword, argument and value.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "batch/result_log.h"
#include "packs/rebuild.h"

namespace rpq {
namespace {

struct LineCase {
    const char* line;
    int keyword;                       // -1 for a text line
    std::optional<std::string> value;  // first word of the argument (format name, source path)
    TInputKind format;                 // for format lines
};

// The value a reader takes from a keyword line, as the replay does.
std::optional<std::string> ValueOf(const std::string& line, int keyword) {
    return FirstWord(KeywordArgument(line, keyword));
}

class LineReading : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineReading, ReadsAsTheGrammarSays) {
    const LineCase& c = GetParam();
    const int keyword = FindKeyword(c.line);
    EXPECT_EQ(keyword, c.keyword);
    if (keyword < 0)
        return;
    const std::optional<std::string> value = ValueOf(c.line, keyword);
    EXPECT_EQ(value, c.value);
    if (keyword == 0) {
        EXPECT_EQ(FormatCode(value.value_or("")), c.format);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LineReading,
    ::testing::Values(
        LineCase{"#Format:RPQ", -1, std::nullopt, ikNone},
        LineCase{"#format: RPQ", -1, std::nullopt, ikNone},
        LineCase{"#Format: rpq", 0, "rpq", ikNone}, LineCase{"#Format:   RPQ", 0, "RPQ", ikPack},
        LineCase{"#Format: RPQ 1999", 0, "RPQ", ikPack},
        LineCase{"#Format: ", 0, std::nullopt, ikNone},
        LineCase{"#Format:", 0, std::nullopt, ikNone}, LineCase{"#Format: RPQ", 0, "RPQ", ikPack},
        LineCase{"#Format:\tRPQ", 0, "RPQ", ikPack},
        LineCase{"#Format: #Source:", 0, "#Source:", ikNone},
        LineCase{"#Source: /data/My Packs/Maps.rpq", 1, "/data/My", ikNone},
        LineCase{"#Source: /data/Maps.rpq", 1, "/data/Maps.rpq", ikNone},
        LineCase{"#Source:", 1, std::nullopt, ikNone},
        LineCase{"\t\v\f #Source: /a.rpq", 1, "ce:", ikNone},
        LineCase{"#Target ARC(RLE): /out/My Maps/TGA/tree.tga", 2, "ARC(RLE):", ikNone},
        LineCase{"#Target", 2, std::nullopt, ikNone},
        LineCase{"#TargetX /a", -1, std::nullopt, ikNone}, LineCase{"", -1, std::nullopt, ikNone},
        LineCase{"     ", -1, std::nullopt, ikNone}, LineCase{"\t \v\f", -1, std::nullopt, ikNone},
        LineCase{"/out/Maps/TGA/tree.tga", -1, std::nullopt, ikNone}));

TEST(LineReadingDetail, TargetPathRunsToTheEndOfTheLine) {
    EXPECT_EQ(ReplacementPath("#Target ARC(RLE): /out/My Maps/TGA/tree.tga"),
              "/out/My Maps/TGA/tree.tga");
}

TEST(LineReadingDetail, ArgumentDropsKeywordAndOneCharacter) {
    EXPECT_EQ(KeywordArgument("#Format: RPQ", 0), "RPQ");
    EXPECT_EQ(KeywordArgument("#Format:   RPQ", 0), "  RPQ");
    EXPECT_EQ(KeywordArgument("#Target ARC(RLE): /x", 2), "ARC(RLE): /x");
    EXPECT_EQ(KeywordArgument("#Source:", 1), "");
    EXPECT_EQ(KeywordArgument("#Source:x", 1), "");
    // Leading white space is counted among the characters removed.
    EXPECT_EQ(KeywordArgument("  #Format: RPQ", 0), ": RPQ");
}

TEST(LineReadingDetail, WordsAreCutAtTheBufferLimit) {
    const std::string longWord(300, 'a');
    const std::optional<std::string> word = FirstWord("  " + longWord + " tail");
    ASSERT_TRUE(word);
    EXPECT_EQ(*word, std::string(kMaxWord, 'a'));
    EXPECT_EQ(FirstWord(std::string(kMaxWord, 'b')), std::string(kMaxWord, 'b'));
    // A keyword followed by more characters is no keyword once cut either.
    EXPECT_EQ(FindKeyword("#Source:" + std::string(300, 'x')), -1);
}

TEST(Tables, FiltersKindsAndFormatNamesShareTheirPositions) {
    EXPECT_EQ(FormatNameForFilter(1), "RPQ");
    EXPECT_EQ(FormatNameForFilter(2), "");
    EXPECT_EQ(FormatNameForFilter(3), "");
    EXPECT_EQ(FormatNameForFilter(0), "");
    EXPECT_EQ(FormatNameForFilter(4), "");
    EXPECT_EQ(FilterIndexForKind(ikPack), 1);
    EXPECT_EQ(FilterIndexForKind(ikList), 2);
    EXPECT_EQ(FilterIndexForKind(ikLog), 3);
    EXPECT_EQ(FilterIndexForKind(ikNone), 0);
    EXPECT_EQ(FormatCode("RPQ"), ikPack);
    EXPECT_EQ(FormatCode("RPQ "), ikNone);
    EXPECT_EQ(FormatCode(""), ikNone);
}

}  // namespace
}  // namespace rpq
