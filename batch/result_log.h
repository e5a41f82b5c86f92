// The result log and project list: line grammar, the shared tables, and line recognition.
//
// A result log is CR LF text of format lines ("#Format: RPQ"), source lines ("#Source: <pack>")
// and target lines ("#Target ARC(RLE): <file>"). A project list is one input path per line.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rpq {

// What an input is and, during a replay, which format a log names. Stored in one byte.
enum TInputKind : uint8_t {
    ikLog = 1,   // a result log chosen directly
    ikPack = 2,  // a resource pack
    ikList = 3,  // a project list (its entries are result logs)
    ikNone = 4,  // no format named
};

// The three tables share their positions with the three filters of the input dialog
// (1 packs, 2 project lists, 3 result logs); index 0 here is filter 1.
inline constexpr std::array<std::string_view, 3> FormatNames = {"RPQ", "", ""};
inline constexpr std::array<std::string_view, 3> LineKeywords = {"#Format:", "#Source:", "#Target"};
inline constexpr std::array<TInputKind, 3> FilterKinds = {ikPack, ikList, ikLog};

inline constexpr std::string_view kFormatPrefix = "#Format: ";
inline constexpr std::string_view kSourcePrefix = "#Source: ";
inline constexpr std::string_view kTargetPrefix = "#Target ARC(RLE): ";

// The longest first word, format name or source path a reader takes (its buffer holds 256
// bytes with the terminating NUL).
inline constexpr size_t kMaxWord = 255;

// The first white-space-delimited word of `line` (white space: blank, tab, vertical tab, form
// feed); nullopt when the line has none. A word longer than kMaxWord is cut to kMaxWord.
std::optional<std::string> FirstWord(std::string_view line);

// The position 0..2 in LineKeywords of the line's keyword, or -1 for a text line.
int FindKeyword(std::string_view line);

// The line without its first n + 1 characters, n being the length of keyword `keyword` (0..2).
std::string KeywordArgument(std::string_view line, int keyword);

// The format code of a name: the FilterKinds entry at the position of the first equal
// FormatNames entry (exact, case-sensitive), ikNone for any other name and for the empty name
// (a format line without a name names no format).
TInputKind FormatCode(std::string_view name);

// The format name of a run whose list was filled through dialog filter `filterIndex` (1..3);
// "" for an index outside 1..3.
std::string_view FormatNameForFilter(int filterIndex);
// The filter position (1..3) whose FilterKinds entry is `kind`; 0 when none is.
int FilterIndexForKind(TInputKind kind);

}  // namespace rpq
