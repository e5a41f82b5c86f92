// The subcommands of `rpq`. Each Add*Command registers its subcommand on the app; the callback
// it installs runs the command and throws CommandExit with the process's exit status.
#pragma once

#include <CLI/CLI.hpp>

namespace rpq::cli {

// Exit statuses: 0 success, 1 an error of the tool (message on standard error), 2 a usage error.
inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;

struct CommandExit {
    int status;
};

void AddCodecCommand(CLI::App& app);  // rpq codec compress|decompress [--alg rle|lzss|none]
void AddPackCommands(CLI::App& app);  // rpq list [--json] PACK; rpq verify PACK...
void AddRunCommands(CLI::App& app);   // rpq extract [-C DIR] PACK...; rpq insert [-C DIR] ...

}  // namespace rpq::cli
