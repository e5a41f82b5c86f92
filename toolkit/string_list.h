// An ordered list of 8-bit strings, loaded from and saved to text files.
//
// Loading splits at CR LF, at a lone CR and at a lone LF, keeps empty lines, adds nothing for the
// line end after the last line, and stops at the first NUL. Saving writes every line followed by
// CR LF, creating the file or replacing it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rpq {

class StringList {
  public:
    StringList() = default;
    StringList(std::initializer_list<std::string> lines) : lines_(lines) {}

    int Count() const { return static_cast<int>(lines_.size()); }
    bool Empty() const { return lines_.empty(); }
    // EListError "List index out of bounds (<index>)" outside 0..Count-1.
    const std::string& Get(int index) const;
    void Put(int index, std::string line);
    void Delete(int index);
    void Add(std::string line) { lines_.push_back(std::move(line)); }
    void Clear() { lines_.clear(); }

    // Index of the first line equal to `s`, or -1. The caseless form ignores ASCII case.
    int IndexOf(std::string_view s) const;
    int IndexOfCaseless(std::string_view s) const;

    void SetText(std::string_view text);
    std::string Text() const;  // every line followed by CR LF
    // EFOpenError when the file cannot be opened.
    void LoadFromFile(const std::string& path);
    // Replaces the file as a whole: written beside it and renamed over it, so a failure never
    // leaves a half-written list. EFCreateError / EWriteError.
    void SaveToFile(const std::string& path) const;

    const std::vector<std::string>& Lines() const { return lines_; }
    bool operator==(const StringList&) const = default;

  private:
    std::vector<std::string> lines_;
};

}  // namespace rpq
