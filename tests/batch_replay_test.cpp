// Replay of result logs: which lines rebuild which packs, and what the replay leaves alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "batch/replay.h"
#include "tests/batch_fixture.h"
#include "toolkit/errors.h"

namespace rpq::test {
namespace {

class ReplayTest : public BatchTest {
  protected:
    void SetUp() override {
        BatchTest::SetUp();
        maps_ = Path("Data/Maps.rpq");
        sounds_ = Path("Data/Sounds.rpq");
        MapsPack().Write(maps_);
        SoundsPack().Write(sounds_);
        // Target lines name files that do not exist: every entry comes from its source pack,
        // and the rebuilt pack equals the source byte for byte.
        treeLine_ = "#Target ARC(RLE): " + root_ + "/Out/Maps/TGA/tree.tga";
        rockLine_ = "#Target ARC(RLE): " + root_ + "/Out/Maps/TGA/rock.tga";
        introLine_ = "#Target ARC(RLE): " + root_ + "/Out/Sounds/WAV/intro.wav";
        state_.TargetDir = Path("New");
        ForceDirectories(state_.TargetDir);
    }

    // Writes `lines` as a log, each followed by `end` (the last one by `lastEnd`), and replays it.
    void Replay(const std::vector<std::string>& lines, const std::string& end = "\r\n",
                const std::string& lastEnd = "\r\n") {
        std::string text;
        for (size_t i = 0; i < lines.size(); ++i) {
            text += lines[i] + (i + 1 == lines.size() ? lastEnd : end);
        }
        log_ = Path("Out/result.log");
        WriteFile(log_, text);
        ReplayLog(state_, recorder_, log_);
    }

    std::vector<std::string> ExampleLines() const {
        return {"#Format: RPQ", "#Source: " + maps_,   treeLine_, rockLine_,
                "#Format: RPQ", "#Source: " + sounds_, introLine_};
    }

    std::string maps_, sounds_, treeLine_, rockLine_, introLine_, log_;
};

struct LineEnds {
    const char* end;
    const char* lastEnd;
};

class ExampleLog : public ReplayTest, public ::testing::WithParamInterface<LineEnds> {};

TEST_P(ExampleLog, RebuildsBothPacksFromLinesTwoAndSix) {
    Replay(ExampleLines(), GetParam().end, GetParam().lastEnd);

    // Examined keyword lines are rewritten to their argument; the lines the rebuilds took
    // (2, 3 and 6) keep their text.
    EXPECT_EQ(
        state_.ReplayLines.Lines(),
        (std::vector<std::string>{"RPQ", maps_, treeLine_, rockLine_, "RPQ", sounds_, introLine_}));
    EXPECT_EQ(ReadFile(Path("New/Maps.rpq")), MapsPack().Build());
    EXPECT_EQ(ReadFile(Path("New/Sounds.rpq")), SoundsPack().Build());
    EXPECT_EQ(recorder_.results, (std::vector<std::string>{"tree.tga inserted from source.",
                                                           "rock.tga inserted from source.",
                                                           "intro.wav inserted from source."}));
    ASSERT_FALSE(recorder_.messages.empty());
    EXPECT_EQ(recorder_.messages.front(), "Processing result.log...");
    EXPECT_NE(
        std::find(recorder_.messages.begin(), recorder_.messages.end(), "Processing Maps.rpq..."),
        recorder_.messages.end());
    EXPECT_EQ(state_.SourcePack, nullptr);
    EXPECT_EQ(state_.FFormat, ikPack);
    EXPECT_FALSE(state_.FIsText);
}

INSTANTIATE_TEST_SUITE_P(LineEnds, ExampleLog,
                         ::testing::Values(LineEnds{"\r\n", "\r\n"}, LineEnds{"\n", "\n"},
                                           LineEnds{"\r\n", ""}, LineEnds{"\r", "\r"}));

TEST_F(ReplayTest, SourceRightAfterThePreviousTargetLinesKeepsTheFormat) {
    Replay({"#Format: RPQ", "#Source: " + maps_, treeLine_, rockLine_, "#Source: " + sounds_,
            introLine_});

    EXPECT_EQ(ReadFile(Path("New/Maps.rpq")), MapsPack().Build());
    EXPECT_EQ(ReadFile(Path("New/Sounds.rpq")), SoundsPack().Build());
    EXPECT_EQ(recorder_.results.size(), 3u);
}

TEST_F(ReplayTest, SourceBeforeAnyFormatLineOpensThePackAndWritesNothing) {
    Replay({"#Source: " + maps_, treeLine_, rockLine_});

    EXPECT_FALSE(Exists("New/Maps.rpq"));
    EXPECT_TRUE(recorder_.results.empty());
    EXPECT_NE(
        std::find(recorder_.messages.begin(), recorder_.messages.end(), "Processing Maps.rpq..."),
        recorder_.messages.end());
    // The target lines were examined one by one, as keyword lines that ask for nothing.
    EXPECT_EQ(state_.ReplayLines.Get(1), treeLine_.substr(8));
    EXPECT_EQ(state_.FFormat, ikNone);
    EXPECT_EQ(state_.SourcePack, nullptr);
}

TEST_F(ReplayTest, MissingPackBeforeAnyFormatLineIsStillAnError) {
    const std::string missing = root_ + "/Data/Gone.rpq";
    try {
        Replay({"#Source: " + missing});
        FAIL() << "the missing pack was not reported";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + missing);
    }
}

TEST_F(ReplayTest, UnknownOrMissingFormatNameRebuildsNothing) {
    for (const std::string format : {"#Format: rpq", "#Format: ", "#Format: #Source:"}) {
        SCOPED_TRACE(format);
        Replay({"#Format: RPQ", format, "#Source: " + maps_, treeLine_, rockLine_});
        EXPECT_FALSE(Exists("New/Maps.rpq"));
        EXPECT_EQ(state_.FFormat, ikNone);
        EXPECT_EQ(state_.ReplayLines.Get(3), treeLine_.substr(8));
    }
}

TEST_F(ReplayTest, FormatLineNamingSourceKeywordOpensNothing) {
    // The second word is the format name, not a source line: the missing file is never opened.
    EXPECT_NO_THROW(Replay({"#Format: #Source: " + root_ + "/Data/Gone.rpq"}));
    EXPECT_EQ(state_.FFormat, ikNone);
}

TEST_F(ReplayTest, TargetLinesWithoutSourceDoNothing) {
    Replay({"#Format: RPQ", treeLine_, rockLine_, "", "some text"});

    EXPECT_TRUE(recorder_.results.empty());
    EXPECT_FALSE(Exists("New/Maps.rpq"));
    EXPECT_TRUE(state_.FIsText);
    EXPECT_EQ(state_.ReplayLines.Get(4), "some text");
}

TEST_F(ReplayTest, TooFewTargetLinesEndTheReplay) {
    try {
        Replay({"#Format: RPQ", "#Source: " + maps_, treeLine_});
        FAIL() << "the missing target line was not reported";
    } catch (const EListError& e) {
        EXPECT_EQ(std::string(e.what()), "List index out of bounds (3)");
    }
    EXPECT_FALSE(Exists("New/Maps.rpq"));
    EXPECT_EQ(state_.SourcePack, nullptr);
}

TEST_F(ReplayTest, NextFormatLineTakenAsTargetLineIsConsumed) {
    // Maps has two entries with data but only one target line: the rebuild takes the next
    // pack's format line as the second (its path "RPQ" does not exist, so rock.tga comes from
    // the source), and the source line behind it keeps the format of the group before.
    Replay({"#Format: RPQ", "#Source: " + maps_, treeLine_, "#Format: RPQ", "#Source: " + sounds_,
            introLine_});

    EXPECT_EQ(ReadFile(Path("New/Maps.rpq")), MapsPack().Build());
    EXPECT_EQ(ReadFile(Path("New/Sounds.rpq")), SoundsPack().Build());
    EXPECT_EQ(state_.ReplayLines.Get(3), "#Format: RPQ");
}

TEST_F(ReplayTest, TargetDirectoryEqualToTheSourcesFailsAndKeepsTheSource) {
    state_.TargetDir = root_ + "/Data";
    const std::string before = ReadFile(maps_);
    try {
        Replay(ExampleLines());
        FAIL() << "the rebuild over the source pack was not refused";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + maps_);
    }
    EXPECT_EQ(ReadFile(maps_), before);
    EXPECT_EQ(state_.SourcePack, nullptr);
    EXPECT_TRUE(recorder_.results.empty());
}

TEST_F(ReplayTest, ProjectListLogOpensEveryNamedLogAndWritesNothing) {
    const std::string logA = Path("Logs/a.log");
    WriteFile(logA, "#Format: RPQ\r\n");
    Replay({"#Format: ", "#Source: " + logA});
    EXPECT_FALSE(Exists("New/a.log"));
    EXPECT_EQ(state_.SourcePack, nullptr);

    const std::string gone = root_ + "/Logs/gone.log";
    try {
        Replay({"#Format: ", "#Source: " + logA, "#Format: ", "#Source: " + gone});
        FAIL() << "the missing log was not reported";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + gone);
    }
}

TEST_F(ReplayTest, SourcePathWithABlankIsCutAtTheBlank) {
    const std::string spaced = Path("My Packs/Maps.rpq");
    MapsPack().Write(spaced);
    try {
        Replay({"#Format: RPQ", "#Source: " + spaced, treeLine_, rockLine_});
        FAIL() << "the cut path was opened";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + root_ + "/My");
    }
}

TEST_F(ReplayTest, EmptyLogHasNothingToDo) {
    EXPECT_NO_THROW(Replay({}, "", ""));
    EXPECT_EQ(state_.ReplayLines.Count(), 0);
    EXPECT_EQ(recorder_.maximum, -1);
    EXPECT_EQ(state_.FFormat, ikNone);
}

TEST_F(ReplayTest, MissingLogIsAnOpenError) {
    state_.ReplayLines.Add("from an earlier replay");
    const std::string gone = root_ + "/gone.log";
    try {
        ReplayLog(state_, recorder_, gone);
        FAIL() << "the missing log was not reported";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + gone);
    }
    EXPECT_EQ(state_.ReplayLines.Count(), 0);
}

TEST_F(ReplayTest, StopBetweenLinesEndsTheReplay) {
    recorder_.stopAfter = 1;  // the user presses Stop while the first line is handled
    EXPECT_THROW(Replay(ExampleLines()), EStopped);
    EXPECT_FALSE(Exists("New/Maps.rpq"));
    EXPECT_EQ(state_.SourcePack, nullptr);
}

TEST_F(ReplayTest, ProgressFollowsTheLines) {
    Replay({"text", "more text", "#Format: RPQ"});
    EXPECT_EQ(recorder_.maximum, 2);
    EXPECT_EQ(recorder_.position, 3);
    EXPECT_EQ(recorder_.processCalls, 3);
}

}  // namespace
}  // namespace rpq::test
