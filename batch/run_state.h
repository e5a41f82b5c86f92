// The state one run works with. Exactly one run uses it at a time.
#pragma once

#include <memory>
#include <string>

#include "batch/result_log.h"
#include "codecs/codec.h"
#include "toolkit/streams.h"
#include "toolkit/string_list.h"

namespace rpq {

struct RunState {
    StringList ResultLog;                    // lines of the result log being built
    StringList ReplayLines;                  // lines of the log being replayed
    std::string TargetDir;                   // the directory chosen for the run
    std::unique_ptr<FileStream> SourcePack;  // open only while a source line is handled
    TTCodec TCodec;                          // the one codec
    TInputKind FFormat = ikNone;             // format named by the latest format line of a replay
    bool FIsText = false;                    // the line being examined is a text line
};

}  // namespace rpq
