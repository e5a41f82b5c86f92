// rpq: the command-line front end. Every subcommand is a thin shell over the core library.
#include <cstdio>
#include <exception>

#include "cli/commands.h"

int main(int argc, char** argv) {
    CLI::App app{"rpq: extract and rebuild .rpq resource packs", "rpq"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "rpq 0.1.0");
    rpq::cli::AddCodecCommand(app);
    rpq::cli::AddPackCommands(app);
    rpq::cli::AddRunCommands(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int status = app.exit(e);
        return status == 0 ? 0 : rpq::cli::kExitUsage;
    } catch (const rpq::cli::CommandExit& e) {
        return e.status;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return rpq::cli::kExitError;
    }
    return rpq::cli::kExitOk;
}
