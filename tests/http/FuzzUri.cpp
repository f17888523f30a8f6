// Any text through the URI parser, the path merge and the reference resolution: no crash, the
// request target keeps every byte of a relative reference, and a reference by absolute path never
// leaves the base's host.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/IdURI.h"

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\n');
    const std::string text = input.substr(0, split);
    const std::string relative = split == std::string::npos ? std::string() : input.substr(split + 1);

    w20::TIdURI uri(text);
    std::string normalised = text;
    for (char& c : normalised) {
        if (c == '\\')
            c = '/';
    }
    if (normalised.find("://") == std::string::npos && normalised.find('#') == std::string::npos) {
        Require(uri.Path() + uri.Document() + uri.Params() == normalised);
    }
    try {
        Require(!uri.BuildURI(true, true).empty());
    } catch (const w20::EIdURIException&) {
        Require(uri.Protocol().empty() || uri.Host().empty());
    }

    const std::string merged = w20::TIdURI::MergePath(uri.Path(), relative);
    if (relative.empty() || relative.front() != '/')
        Require(merged.find("//") == std::string::npos);

    const std::string resolved = uri.ResolveReference(relative);
    // A host or port that holds "@" (from "a@@b") reads back as user info.
    if (relative.starts_with('/') && !relative.starts_with("//") &&
        relative.find('\\') == std::string::npos && (uri.Host() + uri.Port()).find('@') == std::string::npos)
        Require(w20::TIdURI(resolved).Host() == uri.Host());
    return 0;
}
