// Reading result logs and project lists: the line split, checked against a plain splitter, and
// the recognition of every line (first word, keyword, argument, format code, replacement path).
#include <cstdint>
#include <string>
#include <vector>

#include "batch/result_log.h"
#include "fuzz/fuzz_support.h"
#include "packs/rebuild.h"
#include "toolkit/string_list.h"

namespace {

using rpq::fuzz::Fail;

// Lines end at CR LF, a lone CR or a lone LF; the text ends at its first NUL; the line end
// after the last line adds nothing.
std::vector<std::string> ReferenceSplit(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::vector<std::string> lines;
    std::string current;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i++];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i < text.size() && text[i] == '\n')
                ++i;
            lines.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        lines.push_back(current);
    return lines;
}

bool IsWhite(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

void CheckLine(const std::string& line) {
    const std::optional<std::string> word = rpq::FirstWord(line);
    bool hasWord = false;
    for (char c : line)
        hasWord = hasWord || !IsWhite(c);
    if (word.has_value() != hasWord)
        Fail("FirstWord missed or invented a word");
    if (word) {
        if (word->empty() || word->size() > rpq::kMaxWord)
            Fail("FirstWord outside 1..255 characters");
        for (char c : *word) {
            if (IsWhite(c))
                Fail("FirstWord holds white space");
        }
        if (line.find(*word) == std::string::npos)
            Fail("FirstWord is not part of its line");
    }
    const int keyword = rpq::FindKeyword(line);
    if (keyword < -1 || keyword > 2)
        Fail("FindKeyword out of range");
    if (keyword >= 0) {
        if (!word || *word != rpq::LineKeywords[static_cast<size_t>(keyword)])
            Fail("FindKeyword does not match the first word");
        const std::string argument = rpq::KeywordArgument(line, keyword);
        const size_t skip = rpq::LineKeywords[static_cast<size_t>(keyword)].size() + 1;
        if (argument != (line.size() > skip ? line.substr(skip) : std::string()))
            Fail("KeywordArgument is not the rest of the line");
        const std::string value = rpq::FirstWord(argument).value_or("");
        const rpq::TInputKind code = rpq::FormatCode(value);
        if ((code == rpq::ikPack) != (value == "RPQ") ||
            (code != rpq::ikPack && code != rpq::ikNone))
            Fail("FormatCode wrong");
    }
    const std::string path = rpq::ReplacementPath(line);
    if (path.size() > line.size() || (!path.empty() && line.find(path) == std::string::npos))
        Fail("ReplacementPath is not part of its line");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    rpq::StringList list;
    list.SetText(text);
    if (list.Lines() != ReferenceSplit(text))
        Fail("StringList::SetText splits differently");
    for (const std::string& line : list.Lines()) {
        if (line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
            Fail("a line holds a line end or NUL");
        CheckLine(line);
    }
    // Saved and read back, a list is the same list.
    rpq::StringList again;
    again.SetText(list.Text());
    if (!(again == list))
        Fail("Text() then SetText() changed the list");
    return 0;
}
