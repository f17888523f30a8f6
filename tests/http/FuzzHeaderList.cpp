// Received lines, then one value written: no crash, and a written value never yields a line
// that could end or split a header block.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "http/IdHeaderList.h"

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    lines.push_back(text.substr(start));
    return lines;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::size_t foldLength = data[0] % 100;
    std::vector<std::string> lines =
        SplitLines(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    // The last two lines are the name and the value to write; "\r" and "\0" may stand in them.
    std::string value = lines.back();
    lines.pop_back();
    std::string name = lines.empty() ? "X" : lines.back();
    if (!lines.empty())
        lines.pop_back();

    w20::TIdHeaderList list(foldLength);
    for (const std::string& line : lines)
        list.Add(line);
    std::vector<std::string> values;
    for (const std::string& line : lines) {
        list.Extract(line.substr(0, line.find(':')), values);
        list.Values(line);
    }

    const std::vector<std::string> before = list.Lines();
    try {
        list.SetValues(name, value);
    } catch (const w20::EIdUnsafeRequestText&) {
        Require(w20::HoldsLineBreak(name) || w20::HoldsLineBreak(value));
        Require(list.Lines() == before);
        return 0;
    }
    Require(!w20::HoldsLineBreak(name) && !w20::HoldsLineBreak(value));
    if (name.empty() || name.find(':') != std::string::npos || IsBlank(name[0]))
        return 0;

    const int index = list.IndexOfName(name);
    bool printable = false;
    for (char c : value)
        printable = printable || static_cast<unsigned char>(c) > ' ';
    if (value.empty()) {
        Require(index < 0 || list.Count() < static_cast<int>(before.size()));
        return 0;
    }
    Require(index >= 0);
    const std::vector<std::string>& after = list.Lines();
    Require(after[index].compare(0, name.size() + 1, name + ":") == 0);
    for (std::size_t i = index + 1; i < after.size() && !after[i].empty() && IsBlank(after[i][0]); ++i) {
        // A continuation piece is one blank and then text.
        Require(after[i].size() >= 2 && after[i][0] == ' ' && !IsBlank(after[i][1]));
    }
    Require(list.Values(name).empty() != printable);
    return 0;
}
