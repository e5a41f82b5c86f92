// rpq extract and rpq insert as a user runs them: standard output, standard error, exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/batch_fixture.h"

namespace rpq::test {
namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

class CliRunTest : public BatchTest {
  protected:
    // Runs `rpq <args>` in directory `dir` (relative to the scratch directory), standard error
    // redirected to a file, so it is no terminal.
    Outcome Rpq(const std::string& args, const std::string& dir = ".") {
        const std::string out = root_ + "/stdout.txt", err = root_ + "/stderr.txt";
        const std::string command = "cd '" + root_ + "/" + dir + "' && '" RPQ_BINARY "' " + args +
                                    " >'" + out + "' 2>'" + err + "' </dev/null";
        const int raw = std::system(command.c_str());
        Outcome o;
        o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        o.out = ReadFile(out);
        o.err = ReadFile(err);
        return o;
    }

    void SetUp() override {
        BatchTest::SetUp();
        MapsPack().Write(Path("in/Maps.rpq"));
    }

    bool EndsWith(const std::string& s, const std::string& tail) {
        return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
    }
};

TEST_F(CliRunTest, ExtractPrintsResultsLinesAndSavesResultLog) {
    const Outcome o = Rpq("extract -C out/run in/Maps.rpq");

    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "tree.tga decompressed sucessfully.\nrock.tga decompressed sucessfully.\n");
    EXPECT_NE(o.err.find("Processing Maps.rpq ...\n"), std::string::npos) << o.err;
    EXPECT_TRUE(EndsWith(o.err, "Operation complete!\n")) << o.err;
    EXPECT_EQ(o.err.find('\r'), std::string::npos) << "a progress bar on a file";
    // Relative paths are made absolute first, so the log names full paths.
    const std::string out = root_ + "/out/run";
    EXPECT_EQ(ReadFile(out + "/result.log"),
              "#Format: RPQ\r\n#Source: " + root_ + "/in/Maps.rpq\r\n#Target ARC(RLE): " + out +
                  "/Maps/TGA/tree.tga\r\n#Target ARC(RLE): " + out + "/Maps/TGA/rock.tga\r\n");
    EXPECT_EQ(ReadFile(out + "/Maps/TGA/rock.tga"), kRock);
}

TEST_F(CliRunTest, ExtractDefaultsToTheCurrentDirectory) {
    Path("here/x");
    const Outcome o = Rpq("extract ../in/Maps.rpq", "here");

    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(Exists("here/result.log"));
    EXPECT_EQ(ReadFile(Path("here/Maps/TGA/tree.tga")), kTree);
}

TEST_F(CliRunTest, InsertRebuildsThePacksOfALog) {
    ASSERT_EQ(Rpq("extract -C out in/Maps.rpq").status, 0);
    WriteFile(Path("out/Maps/TGA/tree.tga"), "a new tree");
    std::filesystem::remove(Path("out/Maps/TGA/rock.tga"));

    const Outcome o = Rpq("insert -C new/deep out/result.log");

    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "tree.tga compressed succesfull.\nrock.tga inserted from source.\n");
    EXPECT_NE(o.err.find("Processing result.log...\n"), std::string::npos) << o.err;
    EXPECT_TRUE(EndsWith(o.err, "Operation complete!\n")) << o.err;
    EXPECT_TRUE(Exists("new/deep/Maps.rpq"));
    EXPECT_FALSE(Exists("new/deep/result.log"));

    // The rebuilt pack extracts to the edited file.
    ASSERT_EQ(Rpq("extract -C again new/deep/Maps.rpq").status, 0);
    EXPECT_EQ(ReadFile(Path("again/Maps/TGA/tree.tga")), "a new tree");
    EXPECT_EQ(ReadFile(Path("again/Maps/TGA/rock.tga")), kRock);
}

TEST_F(CliRunTest, InsertListReplaysEveryLogAndSavesTheRunsLog) {
    ASSERT_EQ(Rpq("extract -C out in/Maps.rpq").status, 0);
    const std::string log = root_ + "/out/result.log";
    WriteFile(Path("all.lst"), log + "\r\n");

    const Outcome o = Rpq("insert -C new --list all.lst");

    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "tree.tga compressed succesfull.\nrock.tga compressed succesfull.\n");
    EXPECT_TRUE(Exists("new/Maps.rpq"));
    EXPECT_EQ(ReadFile(Path("new/result.log")), "#Format: \r\n#Source: " + log + "\r\n");
}

TEST_F(CliRunTest, MissingPackIsAnErrorWithTheSystemsMessage) {
    const Outcome o = Rpq("extract -C out in/Maps.rpq in/Gone.rpq");

    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "tree.tga decompressed sucessfully.\nrock.tga decompressed sucessfully.\n");
    EXPECT_TRUE(EndsWith(o.err, "Cannot open file " + root_ + "/in/Gone.rpq\n")) << o.err;
    EXPECT_EQ(o.err.find("Operation complete!"), std::string::npos);
    EXPECT_FALSE(Exists("out/result.log"));
}

TEST_F(CliRunTest, MissingLogAndUncreatableDirectoryAreErrors) {
    Outcome o = Rpq("insert -C new out/none.log");
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(EndsWith(o.err, "Cannot open file " + root_ + "/out/none.log\n")) << o.err;

    o = Rpq("extract -C in/Maps.rpq/sub in/Maps.rpq");
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(EndsWith(o.err, "Cannot create directory " + root_ + "/in/Maps.rpq/sub\n"))
        << o.err;
    EXPECT_EQ(o.out, "");
}

TEST_F(CliRunTest, UsageErrorsExitWithTwo) {
    for (const char* args : {"extract", "insert", "insert -C x", "insert a.log --list b.lst",
                             "extract --bogus in/Maps.rpq", "insert --list"}) {
        SCOPED_TRACE(args);
        const Outcome o = Rpq(args);
        EXPECT_EQ(o.status, 2);
        EXPECT_EQ(o.out, "");
        EXPECT_FALSE(o.err.empty());
    }
    EXPECT_FALSE(Exists("x"));
}

TEST_F(CliRunTest, InterruptStopsTheRunWithoutResultLog) {
    // Many small entries: the run is still early in the pack when the interrupt arrives right
    // after the first results line.
    PackBuilder big;
    for (int i = 0; i < 20000; ++i)
        big.Add("e" + std::to_string(i) + ".dat", "x");
    big.Write(Path("in/Big.rpq"));
    const std::string target = root_ + "/out", pack = root_ + "/in/Big.rpq";
    const std::string err = root_ + "/stderr.txt";

    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> args = {RPQ_BINARY, "extract", "-C", target, pack};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, RPQ_BINARY, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);

    FILE* out = fdopen(pipeFds[0], "r");
    ASSERT_NE(out, nullptr);
    std::string stdoutText;
    char line[256];
    ASSERT_NE(std::fgets(line, sizeof line, out), nullptr);
    stdoutText += line;
    kill(pid, SIGINT);
    while (std::fgets(line, sizeof line, out) != nullptr)
        stdoutText += line;
    std::fclose(out);
    int raw = 0;
    ASSERT_EQ(waitpid(pid, &raw, 0), pid);

    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 130);
    EXPECT_TRUE(EndsWith(stdoutText, "decompressed sucessfully.\nOperation stopped.\n"));
    EXPECT_TRUE(EndsWith(ReadFile(err), "Stopped by the user; no result.log was saved.\n"));
    EXPECT_FALSE(Exists("out/result.log"));
    EXPECT_FALSE(Exists("out/Big/DAT/e19999.dat"));
}

TEST_F(CliRunTest, CommittedSampleIsWhatMakePackWrites) {
    const std::string made = Path("sample.rpq");
    const std::string command = "'" RPQ_MAKE_PACK "' sample '" + made + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadFile(made), ReadFile(RPQ_SOURCE_DIR "/samples/sample.rpq"));
}

}  // namespace
}  // namespace rpq::test
