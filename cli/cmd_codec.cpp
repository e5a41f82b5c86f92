// rpq codec compress|decompress [--alg rle|lzss|none]: standard input through the codec
// component to standard output. The raw-codec entry point for modders and tests.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <string>

#include "cli/commands.h"
#include "codecs/codec.h"
#include "codecs/rle.h"
#include "toolkit/errors.h"

namespace rpq::cli {

namespace {

void ReadAll(int fd, MemoryStream& stream) {
    for (;;) {
        constexpr size_t kStep = 1 << 16;
        uint8_t* buffer = stream.Extend(kStep);
        ssize_t n;
        do
            n = ::read(fd, buffer, kStep);
        while (n < 0 && errno == EINTR);
        if (n < 0)
            throw EReadError();
        stream.SetSize(static_cast<size_t>(stream.Size()) - kStep + static_cast<size_t>(n));
        if (n == 0)
            break;
    }
    stream.Seek(0);
}

void WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size != 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw EWriteError();
        data += n;
        size -= static_cast<size_t>(n);
    }
}

[[noreturn]] void RunCodec(bool compress, TCAlg algorithm) {
    try {
        TTCodec codec;
        codec.Algorithm = algorithm;
        codec.RLEChunk = kRLEChunk;
        codec.RLELow = kRLELow;
        MemoryStream stream;
        ReadAll(STDIN_FILENO, stream);
        if (compress)
            codec.Compress(stream);
        else
            codec.Decompress(stream);
        WriteAll(STDOUT_FILENO, stream.Data(), static_cast<size_t>(stream.Size()));
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        throw CommandExit{kExitError};
    }
    throw CommandExit{kExitOk};
}

}  // namespace

void AddCodecCommand(CLI::App& app) {
    CLI::App* codec =
        app.add_subcommand("codec", "Compress or decompress standard input to standard output");
    codec->require_subcommand(1);
    // --alg may come before or after compress/decompress.
    codec->fallthrough();
    auto algorithm = std::make_shared<TCAlg>(algRLE);
    const std::map<std::string, TCAlg> names = {
        {"rle", algRLE}, {"lzss", algLZSS}, {"none", algDefault}};
    codec->add_option("--alg", *algorithm, "Coder: rle (chunk 127, low 125), lzss or none")
        ->transform(CLI::CheckedTransformer(names, CLI::ignore_case))
        ->default_str("rle");
    for (bool compress : {true, false}) {
        CLI::App* sub = codec->add_subcommand(
            compress ? "compress" : "decompress",
            compress ? "Compress standard input" : "Decompress standard input");
        sub->callback([algorithm, compress] { RunCodec(compress, *algorithm); });
    }
}

}  // namespace rpq::cli
