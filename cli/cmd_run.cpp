// rpq extract / rpq insert: the run over packs, result logs or a project list, into a target
// directory given with -C (the current directory by default).
#include <cstdio>
#include <string>
#include <vector>

#include "batch/result_log.h"
#include "batch/run.h"
#include "batch/run_state.h"
#include "cli/commands.h"
#include "cli/terminal_feedback.h"
#include "toolkit/errors.h"
#include "toolkit/files.h"
#include "toolkit/string_list.h"

namespace rpq::cli {

namespace {

// Exit status of a run the user stopped with SIGINT (128 + SIGINT, as a shell reports it).
constexpr int kExitStopped = 130;

struct RunOptions {
    std::string dir;
    std::vector<std::string> inputs;
    std::string list;
};

// Runs `inputs` of `kind` into `dir` and throws CommandExit with the process's status.
[[noreturn]] void Run(const std::string& dir, std::vector<std::string> inputs, TInputKind kind) {
    TerminalFeedback feedback;
    try {
        RunState state;
        RunRequest request;
        request.Inputs = std::move(inputs);
        request.FKind = kind;
        request.FilterIndex = FilterIndexForKind(kind);
        request.TargetDir = ExpandFileName(dir.empty() ? std::string(".") : dir);
        if (!ForceDirectories(request.TargetDir)) {
            throw Error("Cannot create directory " + request.TargetDir);
        }
        const RunOutcome outcome = RunBatch(
            state, feedback, request,
            [&](TInputKind k, const std::string& path) { ProcessInput(state, feedback, k, path); });
        feedback.FinishStatus();
        switch (outcome) {
            case RunOutcome::Empty:
                std::fprintf(stderr, "Nothing to do: the input list is empty.\n");
                throw CommandExit{kExitOk};
            case RunOutcome::Stopped:
                std::fprintf(stderr, "Stopped by the user; no result.log was saved.\n");
                throw CommandExit{kExitStopped};
            case RunOutcome::Completed:
                std::fprintf(stderr, "Operation complete!\n");
                throw CommandExit{kExitOk};
        }
        throw CommandExit{kExitError};
    } catch (const Error& e) {
        feedback.FinishStatus();
        std::fprintf(stderr, "%s\n", e.what());
        throw CommandExit{kExitError};
    } catch (const std::bad_alloc&) {
        feedback.FinishStatus();
        std::fprintf(stderr, "Out of memory\n");
        throw CommandExit{kExitError};
    }
}

std::vector<std::string> Absolute(const std::vector<std::string>& paths) {
    std::vector<std::string> out;
    out.reserve(paths.size());
    for (const std::string& p : paths)
        out.push_back(ExpandFileName(p));
    return out;
}

}  // namespace

void AddRunCommands(CLI::App& app) {
    auto extractOptions = std::make_shared<RunOptions>();
    CLI::App* extract = app.add_subcommand(
        "extract", "Unpack packs into DIR/<pack>/<EXT>/<name> and write DIR/result.log");
    extract->add_option("-C,--directory", extractOptions->dir,
                        "Target directory (created if missing; default: current directory)");
    extract->add_option("packs", extractOptions->inputs, "Resource packs (.rpq)")
        ->required()
        ->type_name("PACK");
    extract->callback(
        [extractOptions] { Run(extractOptions->dir, Absolute(extractOptions->inputs), ikPack); });

    auto insertOptions = std::make_shared<RunOptions>();
    CLI::App* insert = app.add_subcommand(
        "insert", "Rebuild into DIR every pack that result logs (or a project list) name");
    insert->add_option("-C,--directory", insertOptions->dir,
                       "Target directory (created if missing; default: current directory)");
    CLI::Option* logs =
        insert->add_option("logs", insertOptions->inputs, "Result logs (.log)")->type_name("LOG");
    CLI::Option* list = insert
                            ->add_option("--list", insertOptions->list,
                                         "Project list (.lst): one result log per line")
                            ->type_name("LST");
    logs->excludes(list);
    list->excludes(logs);
    insert->callback([insertOptions, logs, list] {
        if (logs->count() == 0 && list->count() == 0) {
            throw CLI::RequiredError("LOG... or --list LST");
        }
        if (list->count() > 0) {
            // The list's lines become the inputs unchanged, as when the window loads a list.
            StringList lines;
            lines.LoadFromFile(ExpandFileName(insertOptions->list));
            Run(insertOptions->dir, lines.Lines(), ikList);
        }
        Run(insertOptions->dir, Absolute(insertOptions->inputs), ikLog);
    });
}

}  // namespace rpq::cli
