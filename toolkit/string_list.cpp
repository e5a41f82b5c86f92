#include "toolkit/string_list.h"

#include <algorithm>

#include "toolkit/errors.h"
#include "toolkit/files.h"
#include "toolkit/streams.h"

namespace rpq {

namespace {

bool EqualCaseless(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z')
            x = static_cast<unsigned char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<unsigned char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

}  // namespace

const std::string& StringList::Get(int index) const {
    if (index < 0 || index >= Count())
        throw EListError(index);
    return lines_[static_cast<size_t>(index)];
}

void StringList::Put(int index, std::string line) {
    if (index < 0 || index >= Count())
        throw EListError(index);
    lines_[static_cast<size_t>(index)] = std::move(line);
}

void StringList::Delete(int index) {
    if (index < 0 || index >= Count())
        throw EListError(index);
    lines_.erase(lines_.begin() + index);
}

int StringList::IndexOf(std::string_view s) const {
    auto it = std::find(lines_.begin(), lines_.end(), s);
    return it == lines_.end() ? -1 : static_cast<int>(it - lines_.begin());
}

int StringList::IndexOfCaseless(std::string_view s) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (EqualCaseless(lines_[i], s))
            return static_cast<int>(i);
    }
    return -1;
}

void StringList::SetText(std::string_view text) {
    lines_.clear();
    const size_t nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines_.emplace_back(text.substr(start));
            break;
        }
        lines_.emplace_back(text.substr(start, end - start));
        // CR LF is one line end; a lone CR or a lone LF is one too.
        start =
            end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
}

std::string StringList::Text() const {
    size_t total = 0;
    for (const auto& line : lines_)
        total += line.size() + 2;
    std::string text;
    text.reserve(total);
    for (const auto& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void StringList::LoadFromFile(const std::string& path) {
    MemoryStream data;
    data.LoadFromFile(path);
    SetText(std::string_view(reinterpret_cast<const char*>(data.Data()),
                             static_cast<size_t>(data.Size())));
}

void StringList::SaveToFile(const std::string& path) const {
    const std::string text = Text();
    SaveFileAtomic(path, text.data(), text.size());
}

}  // namespace rpq
