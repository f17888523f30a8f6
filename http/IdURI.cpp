#include "http/IdURI.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "base/Strings.h"

namespace w20 {

namespace {

// The length of the scheme at the start of a reference, 0 when it has none.
std::size_t SchemeLength(std::string_view text) {
    if (text.empty() || std::isalpha(static_cast<unsigned char>(text[0])) == 0)
        return 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == ':')
            return i;
        if (std::isalnum(c) == 0 && c != '+' && c != '-' && c != '.')
            return 0;
    }
    return 0;
}

// Drops the last segment of a path being built, with the "/" before it.
void DropLastSegment(std::string& path) {
    const std::size_t slash = path.rfind('/');
    path.erase(slash == std::string::npos ? 0 : slash);
}

// "." and ".." segments resolved; ".." above the root stays at the root.
std::string RemoveDotSegments(std::string_view path) {
    std::string in(path);
    std::string out;
    while (!in.empty()) {
        if (in.starts_with("../")) {
            in.erase(0, 3);
        } else if (in.starts_with("./") || in.starts_with("/./")) {
            in.erase(0, 2);
        } else if (in == "/.") {
            in = "/";
        } else if (in.starts_with("/../") || in == "/..") {
            in = "/" + in.substr(std::min<std::size_t>(4, in.size()));
            DropLastSegment(out);
        } else if (in == "." || in == "..") {
            in.clear();
        } else {
            const std::size_t end = in.find('/', 1);
            out += in.substr(0, end);
            in.erase(0, end == std::string::npos ? in.size() : end);
        }
    }
    return out;
}

}  // namespace

std::string HostPort(const std::string& host, const std::string& port) {
    const std::string written = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return port.empty() ? written : written + ":" + port;
}

std::string Origin(const TIdURI& uri) {
    return LowerCase(uri.Protocol()) + "://" + LowerCase(uri.Host()) + ":" + uri.Port();
}

TIdURI::TIdURI(const std::string& uri) {
    if (!uri.empty())
        ParseURI(uri);
}

void TIdURI::ParseURI(const std::string& uri) {
    std::string work = uri;
    std::replace(work.begin(), work.end(), '\\', '/');
    protocol_.clear();
    username_.clear();
    password_.clear();
    host_.clear();
    port_.clear();
    path_.clear();
    document_.clear();
    params_.clear();
    bookmark_.clear();

    const std::size_t scheme = work.find("://");
    if (scheme != std::string::npos) {
        protocol_ = work.substr(0, scheme);
        work.erase(0, scheme + 3);
        // The authority ends at the first "/". A "?" or "#" straight after the host ends it too,
        // so that 'http://h?x=1' keeps "h" as the host and "?x=1" as the query.
        const std::size_t end = work.find_first_of("/?#");
        std::string authority = work.substr(0, end);
        if (end == std::string::npos) {
            work.clear();
        } else {
            work.erase(0, work[end] == '/' ? end + 1 : end);
        }
        const std::size_t at = authority.find('@');
        if (at != std::string::npos) {
            std::string userInfo = authority.substr(0, at);
            authority.erase(0, at + 1);
            username_ = Fetch(userInfo, ":");
            password_ = username_.empty() ? std::string() : userInfo;
        }
        if (!authority.empty() && authority.front() == '[' && authority.find(']') != std::string::npos) {
            const std::size_t close = authority.find(']');
            host_ = authority.substr(1, close - 1);
            authority.erase(0, close + 1);
            if (!authority.empty() && authority.front() == ':')
                authority.erase(0, 1);
        } else {
            host_ = Fetch(authority, ":");
        }
        port_ = authority;
        ParsePathPart(std::move(work), true);
    } else {
        ParsePathPart(std::move(work), false);
    }
    if (bookmark_.empty()) {
        std::string params = params_;
        params_ = Fetch(params, "#");
        bookmark_ = params;
    }
}

void TIdURI::ParsePathPart(std::string work, bool absolute) {
    // Without "?", an "=" starts the query; the last "/" in front of it ends the directory.
    std::size_t query = work.find('?');
    if (query == std::string::npos)
        query = work.find('=');
    const std::size_t slash = query == std::string::npos ? work.rfind('/') : work.rfind('/', query);
    const std::size_t directoryLength = slash == std::string::npos ? 0 : slash + 1;
    path_ = (absolute ? "/" : "") + work.substr(0, directoryLength);
    if (query != std::string::npos) {
        document_ = work.substr(0, query);
        params_ = work.substr(query);
    } else {
        document_ = work;
    }
    document_.erase(0, std::min(directoryLength, document_.size()));
    std::string rest = document_;
    document_ = Fetch(rest, "#");
    bookmark_ = rest;
}

std::string TIdURI::BuildURI(bool withUserInfo, bool withBookmark) const {
    if (protocol_.empty())
        throw EIdURIException("Protocol field is empty");
    std::string result = protocol_ + "://";
    if (withUserInfo && !username_.empty()) {
        result += username_;
        if (!password_.empty())
            result += ":" + password_;
        result += "@";
    }
    if (host_.empty())
        throw EIdURIException("Host field is empty");
    result += HostPort(host_, port_);
    result += path_ + document_ + params_;
    if (withBookmark && !bookmark_.empty())
        result += "#" + bookmark_;
    return result;
}

std::string TIdURI::ResolveReference(const std::string& reference) const {
    std::string work = reference;
    std::replace(work.begin(), work.end(), '\\', '/');
    work.erase(std::min(work.find('#'), work.size()));
    std::string scheme = protocol_;
    const std::size_t schemeLength = SchemeLength(work);
    if (schemeLength > 0) {
        scheme = work.substr(0, schemeLength);
        work.erase(0, schemeLength + 1);
    }
    // An IPv6 address goes in brackets, so that its colons are not taken for the port's.
    std::string authority = HostPort(host_, port_);
    const bool ownAuthority = work.starts_with("//");
    if (ownAuthority) {
        const std::size_t end = std::min(work.find_first_of("/?", 2), work.size());
        authority = work.substr(2, end - 2);
        work.erase(0, end);
    }
    const std::size_t queryStart = std::min(work.find('?'), work.size());
    std::string path = work.substr(0, queryStart);
    std::string query = work.substr(queryStart);
    if (!ownAuthority && schemeLength == 0) {
        const std::string basePath = path_ + document_;
        if (path.empty()) {
            path = basePath;
            if (query.empty())
                query = params_;
        } else if (path.front() != '/') {
            const std::size_t slash = basePath.rfind('/');
            path = (slash == std::string::npos ? std::string("/") : basePath.substr(0, slash + 1)) + path;
        }
    }
    // Without an authority ("mailto:x") the text has no "//" either, so that no part of the path
    // is taken for a host.
    const bool withAuthority = ownAuthority || schemeLength == 0;
    return scheme + (withAuthority ? "://" + authority : ":") + RemoveDotSegments(path) + query;
}

std::string TIdURI::MergePath(std::string_view basePath, std::string_view path) {
    if (!path.empty() && path.front() == '/')
        return std::string(path);
    const bool keepTrail = path.empty() || path.back() == '/';
    std::string work(basePath);
    if (!work.empty() && work.back() != '/')
        work += '/';
    work += path;

    std::string result;
    for (std::size_t i = 0; i < work.size(); ++i) {
        const char c = work[i];
        if (c == '/') {
            if (i == 0) {
                result = "/";
            } else if (result.empty() || result.back() != '/') {
                result += '/';
            }
        } else if (c == '.' && !result.empty() && result.back() == '/' && i + 1 < work.size() &&
                   work[i + 1] == '.') {
            // ".." climbs one directory; at the root there is nothing left to climb.
            result.pop_back();
            while (!result.empty() && result.back() != '/')
                result.pop_back();
            ++i;
        } else {
            result += c;
        }
    }
    if (result != "/" && !result.empty() && result.back() == '/' && !keepTrail)
        result.pop_back();
    return result;
}

}  // namespace w20
