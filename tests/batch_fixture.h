// Shared pieces of the batch tests: a scratch directory per test, and a run that records what it
// reports.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "batch/run.h"
#include "batch/run_state.h"
#include "tests/support/pack_builder.h"
#include "tests/support/recorder.h"
#include "toolkit/files.h"

namespace rpq::test {

// The packs of the documented two-pack example: Maps.rpq holds tree.tga, rock.tga and an entry
// without data; Sounds.rpq holds intro.wav.
inline const std::string kTree = std::string(40, 'g') + "tree" + std::string(9, '\0');
inline const std::string kRock = "rock rock rock" + std::string(130, 'r');
inline const std::string kIntro = MakeContent(ContentKind::AssetLike, 700, 7);

inline PackBuilder MapsPack() {
    PackBuilder pack;
    pack.Add("tree.tga", kTree).AddEmpty("shadow.tga").Add("rock.tga", kRock);
    return pack;
}

inline PackBuilder SoundsPack() {
    PackBuilder pack;
    pack.Add("intro.wav", kIntro);
    return pack;
}

// A fresh directory under the system's temporary directory, removed with the test. The current
// directory is restored too, since a run makes its target directory current.
class BatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        savedCwd_ = std::filesystem::current_path();
        std::string pattern =
            (std::filesystem::temp_directory_path() / "rpq-batch-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        // Resolve symbolic links, so that the paths a run writes are the ones the test expects.
        root_ = std::filesystem::canonical(pattern).string();
    }
    void TearDown() override {
        std::filesystem::current_path(savedCwd_);
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

    // `root_` + "/" + relative, its parent directories created.
    std::string Path(const std::string& relative) const {
        std::string p = root_ + "/" + relative;
        std::filesystem::create_directories(std::filesystem::path(p).parent_path());
        return p;
    }
    bool Exists(const std::string& relative) const {
        return std::filesystem::exists(root_ + "/" + relative);
    }

    // A run over `inputs` of `kind` into `targetDir` (created first), as a front end starts it.
    RunOutcome Run(const std::vector<std::string>& inputs, TInputKind kind,
                   const std::string& targetDir) {
        ForceDirectories(targetDir);
        RunRequest request;
        request.Inputs = inputs;
        request.FKind = kind;
        request.FilterIndex = FilterIndexForKind(kind);
        request.TargetDir = targetDir;
        return RunBatch(state_, recorder_, request, [&](TInputKind k, const std::string& path) {
            ProcessInput(state_, recorder_, k, path);
        });
    }

    std::string root_;
    RunState state_;
    Recorder recorder_;

  private:
    std::filesystem::path savedCwd_;
};

}  // namespace rpq::test
