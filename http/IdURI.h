#pragma once

#include <string>
#include <string_view>

#include "net/IdException.h"

namespace w20 {

// A URL that cannot be built back from its components.
class EIdURIException : public EIdException {
public:
    using EIdException::EIdException;
};

// "host:port", the host alone for an empty port; a host with a colon (an IPv6 address) goes in
// brackets so that its colons are not read as the port's.
std::string HostPort(const std::string& host, const std::string& port);

// A URL split into text components. Nothing is escaped or unescaped: the request target
// Path + Document + Params goes onto the wire exactly as written.
class TIdURI {
public:
    TIdURI() = default;
    explicit TIdURI(const std::string& uri);

    // Never fails: any text yields components, possibly empty ones. A host in brackets
    // ("[::1]") is an IPv6 address: Host gives it without them.
    void ParseURI(const std::string& uri);
    // Raises EIdURIException when Protocol or Host is empty. An IPv6 host is written in brackets.
    std::string BuildURI(bool withUserInfo, bool withBookmark) const;

    // The absolute URL a reference (a link, a Location) names when read against this URI as its
    // base, by the rules of RFC 3986 (5.2): a scheme is only what stands before the first ":" and
    // is made of letters, digits, "+", "-" and "." starting with a letter; a reference without
    // one keeps the base's scheme, "//host/path" the base's scheme only. The base's user info is
    // never carried over; the fragment is dropped. "\\" counts as "/", as for ParseURI.
    std::string ResolveReference(const std::string& reference) const;

    // Joins a relative path to a base path: ".." resolved, runs of "/" collapsed, "." kept.
    static std::string MergePath(std::string_view basePath, std::string_view path);

    // The short form (no user info, no bookmark); writing parses the text.
    std::string URI() const { return BuildURI(false, false); }
    void SetURI(const std::string& uri) { ParseURI(uri); }

    const std::string& Protocol() const { return protocol_; }
    void SetProtocol(const std::string& value) { protocol_ = value; }
    const std::string& Username() const { return username_; }
    void SetUsername(const std::string& value) { username_ = value; }
    const std::string& Password() const { return password_; }
    void SetPassword(const std::string& value) { password_ = value; }
    const std::string& Host() const { return host_; }
    void SetHost(const std::string& value) { host_ = value; }
    const std::string& Port() const { return port_; }
    void SetPort(const std::string& value) { port_ = value; }
    const std::string& Path() const { return path_; }
    void SetPath(const std::string& value) { path_ = value; }
    const std::string& Document() const { return document_; }
    void SetDocument(const std::string& value) { document_ = value; }
    const std::string& Params() const { return params_; }
    void SetParams(const std::string& value) { params_ = value; }
    const std::string& Bookmark() const { return bookmark_; }
    void SetBookmark(const std::string& value) { bookmark_ = value; }

private:
    void ParsePathPart(std::string work, bool absolute);

    std::string protocol_;
    std::string username_;
    std::string password_;
    std::string host_;
    std::string port_;
    std::string path_;
    std::string document_;
    std::string params_;
    std::string bookmark_;
};

// Scheme, host and port of the URI, in one form whatever the letter case.
std::string Origin(const TIdURI& uri);

}  // namespace w20
