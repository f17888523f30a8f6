#include "http/IdHeaderList.h"

#include <cstddef>
#include <iterator>

#include "base/Strings.h"

namespace w20 {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsContinuation(const std::string& line) {
    return !line.empty() && IsBlank(line.front());
}

std::string TrimBlanksRight(std::string text) {
    while (!text.empty() && IsBlank(text.back()))
        text.pop_back();
    return text;
}

bool NameMatches(const std::string& line, std::string_view name) {
    if (IsContinuation(line))
        return false;
    const std::size_t colon = line.find(':');
    return colon != std::string::npos && SameText(std::string_view(line).substr(0, colon), name);
}

}  // namespace

bool HoldsLineBreak(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != text.npos;
}

void TIdHeaderList::Add(std::string line) {
    if (!IsContinuation(line))
        starts_.push_back(lines_.size());
    lines_.push_back(std::move(line));
}

void TIdHeaderList::Clear() {
    lines_.clear();
    starts_.clear();
}

void TIdHeaderList::IndexStarts() {
    starts_.clear();
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (!IsContinuation(lines_[i]))
            starts_.push_back(i);
    }
}

int TIdHeaderList::IndexOfName(std::string_view name) const {
    for (const std::size_t i : starts_) {
        if (NameMatches(lines_[i], name))
            return static_cast<int>(i);
    }
    return -1;
}

std::size_t TIdHeaderList::ContinuationEnd(std::size_t index) const {
    std::size_t end = index + 1;
    while (end < lines_.size() && IsContinuation(lines_[end]))
        ++end;
    return end;
}

// Each piece is trimmed and joined on with one blank; blank pieces add nothing. The value grows
// by appending, so a header folded over many lines reads in time linear in its size.
std::string TIdHeaderList::ValueAt(std::size_t index) const {
    const std::string& line = lines_[index];
    std::string value = Trim(std::string_view(line).substr(line.find(':') + 1));
    if (!unfoldLines_)
        return value;
    const std::size_t end = ContinuationEnd(index);
    for (std::size_t i = index + 1; i < end; ++i) {
        const std::string piece = Trim(lines_[i]);
        if (piece.empty())
            continue;
        if (!value.empty())
            value += ' ';
        value += piece;
    }
    return value;
}

std::string TIdHeaderList::Values(std::string_view name) const {
    const int index = IndexOfName(name);
    return index < 0 ? std::string() : ValueAt(static_cast<std::size_t>(index));
}

void TIdHeaderList::Extract(std::string_view name, std::vector<std::string>& values) const {
    for (const std::size_t i : starts_) {
        if (NameMatches(lines_[i], name))
            values.push_back(ValueAt(i));
    }
}

void TIdHeaderList::SetValues(const std::string& name, const std::string& value) {
    if (HoldsLineBreak(name) || HoldsLineBreak(value)) {
        throw EIdUnsafeRequestText("Header \"" + name + "\" refused: it holds CR, LF or NUL.");
    }
    const int found = IndexOfName(name);
    const auto at = [this](std::size_t index) { return lines_.begin() + static_cast<std::ptrdiff_t>(index); };
    const std::size_t index = found < 0 ? lines_.size() : static_cast<std::size_t>(found);
    if (value.empty()) {
        if (found >= 0) {
            lines_.erase(at(index), at(ContinuationEnd(index)));
            IndexStarts();
        }
        return;
    }
    if (found < 0) {
        lines_.emplace_back();
    } else {
        lines_.erase(at(index + 1), at(ContinuationEnd(index)));
    }
    std::vector<std::string> pieces = Fold(name + ": " + value, name.size() + 2);
    lines_[index] = std::move(pieces.front());
    lines_.insert(at(index + 1), std::make_move_iterator(pieces.begin() + 1),
                  std::make_move_iterator(pieces.end()));
    IndexStarts();
}

// Wraps a line longer than the fold length at the last blank, tab or comma of the value that lies
// outside a double-quoted stretch and still lets the piece fit. Continuation pieces start with one blank
// followed by text, so no piece is ever empty or blank (either would end a header block).
// A line without such a place stays long. The line is walked once, so a long value folds in time
// linear in its size.
std::vector<std::string> TIdHeaderList::Fold(const std::string& line, std::size_t valueStart) const {
    if (!foldLines_ || line.size() <= foldLength_)
        return {line};
    std::vector<std::string> pieces;
    // The piece being cut is line[from, ...), behind one blank when it continues the line above.
    std::size_t from = 0;
    const auto lead = [&pieces] { return pieces.empty() ? std::size_t(0) : std::size_t(1); };
    while (from < line.size() && lead() + line.size() - from > foldLength_) {
        // The last index whose column in the piece is still within the fold length.
        const std::size_t limit = from + foldLength_ - lead();
        std::size_t cut = std::string::npos;
        bool quoted = false;
        bool content = false;
        for (std::size_t i = pieces.empty() ? valueStart : from; i < line.size() && i <= limit; ++i) {
            const char c = line[i];
            if (c == '"')
                quoted = !quoted;
            if (!quoted && content && IsBlank(c)) {
                cut = i;
            } else if (!quoted && c == ',' && i < limit) {
                cut = i + 1;
            }
            if (!IsBlank(c))
                content = true;
        }
        if (cut == std::string::npos)
            break;
        pieces.push_back(
            TrimBlanksRight((lead() == 0 ? std::string() : " ") + line.substr(from, cut - from)));
        for (from = cut; from < line.size() && IsBlank(line[from]);)
            ++from;
    }
    if (from < line.size())
        pieces.push_back(pieces.empty() ? line : TrimBlanksRight(" " + line.substr(from)));
    return pieces;
}

}  // namespace w20
