// The run over the input list: the result log it writes, what it saves, stops and errors.
#include <gtest/gtest.h>

#include <string>

#include "tests/batch_fixture.h"
#include "toolkit/errors.h"

namespace rpq::test {
namespace {

class RunTest : public BatchTest {};

TEST_F(RunTest, TwoPacksWriteTheSevenLineResultLog) {
    const std::string maps = Path("Data/Maps.rpq"), sounds = Path("Data/Sounds.rpq");
    MapsPack().Write(maps);
    SoundsPack().Write(sounds);
    const std::string out = Path("Out");

    EXPECT_EQ(Run({maps, sounds}, ikPack, out), RunOutcome::Completed);

    const std::string expected =
        "#Format: RPQ\r\n"
        "#Source: " +
        maps +
        "\r\n"
        "#Target ARC(RLE): " +
        out +
        "/Maps/TGA/tree.tga\r\n"
        "#Target ARC(RLE): " +
        out +
        "/Maps/TGA/rock.tga\r\n"
        "#Format: RPQ\r\n"
        "#Source: " +
        sounds +
        "\r\n"
        "#Target ARC(RLE): " +
        out + "/Sounds/WAV/intro.wav\r\n";
    EXPECT_EQ(ReadFile(out + "/result.log"), expected);
    EXPECT_EQ(ReadFile(out + "/Maps/TGA/tree.tga"), kTree);
    EXPECT_EQ(ReadFile(out + "/Sounds/WAV/intro.wav"), kIntro);
    EXPECT_EQ(recorder_.results, (std::vector<std::string>{"tree.tga decompressed sucessfully.",
                                                           "rock.tga decompressed sucessfully.",
                                                           "intro.wav decompressed sucessfully."}));
    // The run clears the status and the progress at its end and leaves the target current.
    ASSERT_FALSE(recorder_.messages.empty());
    EXPECT_EQ(recorder_.messages.back(), "");
    EXPECT_EQ(recorder_.position, 0);
    EXPECT_EQ(GetCurrentDir(), out);
    EXPECT_EQ(state_.TargetDir, out);
}

TEST_F(RunTest, ProjectListRunSavesFormatLinesEndingAfterTheBlank) {
    // Two earlier extractions, each with its own result.log.
    const std::string maps = Path("Data/Maps.rpq"), sounds = Path("Data/Sounds.rpq");
    MapsPack().Write(maps);
    SoundsPack().Write(sounds);
    ASSERT_EQ(Run({maps}, ikPack, Path("Out")), RunOutcome::Completed);
    ASSERT_EQ(Run({sounds}, ikPack, Path("Mods")), RunOutcome::Completed);
    const std::string logA = Path("Out/result.log"), logB = Path("Mods/result.log");

    const std::string target = Path("New");
    EXPECT_EQ(Run({logA, logB}, ikList, target), RunOutcome::Completed);

    EXPECT_EQ(ReadFile(target + "/result.log"),
              "#Format: \r\n#Source: " + logA + "\r\n#Format: \r\n#Source: " + logB + "\r\n");
    // Both logs were replayed: every entry's file still exists, so each is re-compressed.
    EXPECT_TRUE(Exists("New/Maps.rpq"));
    EXPECT_TRUE(Exists("New/Sounds.rpq"));
    EXPECT_EQ(recorder_.results, (std::vector<std::string>{"tree.tga compressed succesfull.",
                                                           "rock.tga compressed succesfull.",
                                                           "intro.wav compressed succesfull."}));
}

TEST_F(RunTest, ProjectListThatNamesTheTargetsOwnLogIsReplayedThenReplaced) {
    const std::string maps = Path("Data/Maps.rpq");
    MapsPack().Write(maps);
    const std::string out = Path("Out");
    ASSERT_EQ(Run({maps}, ikPack, out), RunOutcome::Completed);

    EXPECT_EQ(Run({out + "/result.log"}, ikList, out), RunOutcome::Completed);
    EXPECT_TRUE(Exists("Out/Maps.rpq"));
    EXPECT_EQ(ReadFile(out + "/result.log"), "#Format: \r\n#Source: " + out + "/result.log\r\n");
}

TEST_F(RunTest, RunOverLogsSavesNothingAndKeepsAnExistingResultLog) {
    const std::string maps = Path("Data/Maps.rpq");
    MapsPack().Write(maps);
    ASSERT_EQ(Run({maps}, ikPack, Path("Out")), RunOutcome::Completed);
    const std::string log = Path("Out/result.log");
    const std::string before = "an earlier result.log\r\n";
    WriteFile(Path("New/result.log"), before);

    EXPECT_EQ(Run({log}, ikLog, Path("New")), RunOutcome::Completed);

    EXPECT_EQ(ReadFile(Path("New/result.log")), before);
    EXPECT_TRUE(Exists("New/Maps.rpq"));
    // The lines were built all the same; only the save is left out.
    EXPECT_EQ(state_.ResultLog.Lines(), (std::vector<std::string>{"#Format: ", "#Source: " + log}));
}

TEST_F(RunTest, EmptyListDoesNothing) {
    recorder_.results = {"from an earlier run"};
    state_.ResultLog.Add("#Format: RPQ");
    const std::string out = Path("Out");

    EXPECT_EQ(Run({}, ikPack, out), RunOutcome::Empty);

    EXPECT_EQ(recorder_.results, std::vector<std::string>{"from an earlier run"});
    EXPECT_EQ(state_.ResultLog.Count(), 1);
    EXPECT_FALSE(Exists("Out/result.log"));
}

TEST_F(RunTest, SecondRunClearsResultsAndResultLogFirst) {
    const std::string maps = Path("Data/Maps.rpq"), sounds = Path("Data/Sounds.rpq");
    MapsPack().Write(maps);
    SoundsPack().Write(sounds);
    ASSERT_EQ(Run({maps}, ikPack, Path("Out")), RunOutcome::Completed);
    ASSERT_EQ(Run({sounds}, ikPack, Path("Out")), RunOutcome::Completed);

    EXPECT_EQ(recorder_.results, std::vector<std::string>{"intro.wav decompressed sucessfully."});
    EXPECT_EQ(state_.ResultLog.Count(), 3);
    EXPECT_EQ(ReadFile(Path("Out/result.log")), "#Format: RPQ\r\n#Source: " + sounds +
                                                    "\r\n#Target ARC(RLE): " + Path("Out") +
                                                    "/Sounds/WAV/intro.wav\r\n");
}

TEST_F(RunTest, ErrorEndsTheRunWithoutResultLog) {
    const std::string maps = Path("Data/Maps.rpq"), sounds = Path("Data/Sounds.rpq");
    MapsPack().Write(maps);
    SoundsPack().Write(sounds);
    const std::string missing = root_ + "/Data/Missing.rpq";

    try {
        Run({maps, missing, sounds}, ikPack, Path("Out"));
        FAIL() << "the missing pack was not reported";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + missing);
    }
    EXPECT_FALSE(Exists("Out/result.log"));
    EXPECT_TRUE(Exists("Out/Maps/TGA/tree.tga"));  // files already written stay
    EXPECT_FALSE(Exists("Out/Sounds"));            // later inputs are not handled
    EXPECT_EQ(state_.ResultLog.Count(), 6);        // Maps' four lines, then the missing one's two
}

TEST_F(RunTest, StopBetweenInputsSavesNoResultLog) {
    const std::string maps = Path("Data/Maps.rpq"), sounds = Path("Data/Sounds.rpq");
    MapsPack().Write(maps);
    SoundsPack().Write(sounds);
    const std::string out = Path("Out");
    ForceDirectories(out);
    RunRequest request{{maps, sounds}, ikPack, 1, out};
    int handled = 0;

    const RunOutcome outcome =
        RunBatch(state_, recorder_, request, [&](TInputKind kind, const std::string& path) {
            ProcessInput(state_, recorder_, kind, path);
            ++handled;
            recorder_.stop = true;  // the user presses Stop while the first pack is extracted
        });

    EXPECT_EQ(outcome, RunOutcome::Stopped);
    EXPECT_EQ(handled, 1);
    EXPECT_FALSE(Exists("Out/Sounds"));
    EXPECT_FALSE(Exists("Out/result.log"));
    ASSERT_FALSE(recorder_.results.empty());
    EXPECT_EQ(recorder_.results.back(), "Operation stopped.");
}

TEST_F(RunTest, StopInsideAnInputEndsTheRunTheSameWay) {
    const std::string maps = Path("Data/Maps.rpq");
    MapsPack().Write(maps);
    const std::string out = Path("Out");
    RunRequest request{{maps, maps}, ikPack, 1, out};

    const RunOutcome outcome = RunBatch(state_, recorder_, request,
                                        [&](TInputKind, const std::string&) { throw EStopped(); });

    EXPECT_EQ(outcome, RunOutcome::Stopped);
    EXPECT_FALSE(Exists("Out/result.log"));
    EXPECT_EQ(recorder_.results, std::vector<std::string>{"Operation stopped."});
}

TEST_F(RunTest, ProcessInputIgnoresKindNone) {
    state_.TargetDir = Path("Out");
    EXPECT_NO_THROW(ProcessInput(state_, recorder_, ikNone, root_ + "/nothing"));
    EXPECT_TRUE(recorder_.results.empty());
}

}  // namespace
}  // namespace rpq::test
