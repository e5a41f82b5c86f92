#include "batch/result_log.h"

#include <algorithm>

namespace rpq {

namespace {

// The white space that separates words in a log line. A NUL cannot occur: loading a file stops
// at the first one.
bool IsWhite(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

}  // namespace

std::optional<std::string> FirstWord(std::string_view line) {
    size_t begin = 0;
    while (begin < line.size() && IsWhite(line[begin]))
        ++begin;
    if (begin == line.size())
        return std::nullopt;
    size_t end = begin;
    while (end < line.size() && !IsWhite(line[end]))
        ++end;
    // The readers' word buffer holds kMaxWord characters; a longer word is cut rather than
    // allowed to run past it. A cut keyword matches nothing, and a cut source path names a file
    // that the open then reports.
    return std::string(line.substr(begin, std::min(end - begin, kMaxWord)));
}

int FindKeyword(std::string_view line) {
    const std::optional<std::string> word = FirstWord(line);
    if (!word)
        return -1;
    for (size_t i = 0; i < LineKeywords.size(); ++i) {
        if (*word == LineKeywords[i])
            return static_cast<int>(i);
    }
    return -1;
}

std::string KeywordArgument(std::string_view line, int keyword) {
    const size_t skip = LineKeywords.at(static_cast<size_t>(keyword)).size() + 1;
    if (line.size() <= skip)
        return {};
    return std::string(line.substr(skip));
}

TInputKind FormatCode(std::string_view name) {
    // A line without a name names no format; the empty table entries of the list and log filters
    // are not names a line can give.
    if (name.empty())
        return ikNone;
    for (size_t i = 0; i < FormatNames.size(); ++i) {
        if (name == FormatNames[i])
            return FilterKinds[i];
    }
    return ikNone;
}

std::string_view FormatNameForFilter(int filterIndex) {
    if (filterIndex < 1 || filterIndex > static_cast<int>(FormatNames.size()))
        return {};
    return FormatNames[static_cast<size_t>(filterIndex - 1)];
}

int FilterIndexForKind(TInputKind kind) {
    for (size_t i = 0; i < FilterKinds.size(); ++i) {
        if (FilterKinds[i] == kind)
            return static_cast<int>(i) + 1;
    }
    return 0;
}

}  // namespace rpq
