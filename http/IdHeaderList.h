#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "net/IdException.h"

namespace w20 {

// Text bound for a request holds CR, LF or NUL: sent, it would split the request on the wire.
class EIdUnsafeRequestText : public EIdException {
public:
    using EIdException::EIdException;
};

// Whether the text holds CR, LF or NUL.
bool HoldsLineBreak(std::string_view text);

// Header lines in order, each "Name: value". Names compare ignoring case. A line that begins
// with a blank or a tab continues the line above it and has no name of its own.
class TIdHeaderList {
public:
    explicit TIdHeaderList(std::size_t foldLength = 78) : foldLength_(foldLength) {}

    int Count() const { return static_cast<int>(lines_.size()); }
    const std::vector<std::string>& Lines() const { return lines_; }
    // A line as received, unchecked.
    void Add(std::string line);
    void Clear();

    // Index of the first line with this name, -1 when there is none.
    int IndexOfName(std::string_view name) const;
    // The first matching line's value with its continuation lines joined by single blanks,
    // trimmed; empty when no line matches.
    std::string Values(std::string_view name) const;
    // Replaces the first matching line (and its continuation lines) or appends one, folded
    // when too long; an empty value deletes the line. A name or value holding CR, LF or NUL
    // raises EIdUnsafeRequestText and leaves the list as it was.
    void SetValues(const std::string& name, const std::string& value);
    // Appends the value of every matching line, in list order.
    void Extract(std::string_view name, std::vector<std::string>& values) const;

    bool UnfoldLines() const { return unfoldLines_; }
    void SetUnfoldLines(bool value) { unfoldLines_ = value; }
    bool FoldLines() const { return foldLines_; }
    void SetFoldLines(bool value) { foldLines_ = value; }
    std::size_t FoldLength() const { return foldLength_; }
    void SetFoldLength(std::size_t value) { foldLength_ = value; }

private:
    std::string ValueAt(std::size_t index) const;
    // Index just past the continuation lines of the line at `index`.
    std::size_t ContinuationEnd(std::size_t index) const;
    std::vector<std::string> Fold(const std::string& line, std::size_t valueStart) const;

    // Rebuilds starts_ after lines were inserted or deleted.
    void IndexStarts();

    std::vector<std::string> lines_;
    // The indexes of the lines that begin a header (all but continuation lines), in order. Lookups
    // by name walk these alone, so a header folded over many lines costs them one step.
    std::vector<std::size_t> starts_;
    bool unfoldLines_ = true;
    bool foldLines_ = true;
    std::size_t foldLength_;
};

}  // namespace w20
