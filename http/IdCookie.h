#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace w20 {

// Which rules a cookie was set by; a cookie without an "expires" attribute counts as Netscape.
enum TIdCookieKind { ckNetscape, ckRFC2109, ckRFC2965 };

// A cookie as a server set it: the pair and the attributes of one "Set-cookie" value.
class TIdNetscapeCookie {
public:
    TIdNetscapeCookie() = default;
    virtual ~TIdNetscapeCookie() = default;
    TIdNetscapeCookie(const TIdNetscapeCookie&) = delete;
    TIdNetscapeCookie& operator=(const TIdNetscapeCookie&) = delete;

    // Sets the fields from a header value; the same text as last time changes nothing.
    void ParseCookieText(const std::string& text);
    virtual void SetExpiry(const std::string& text) { expires_ = text; }
    // Whether a server at `host` may set this cookie for its domain.
    bool IsValidForHost(const std::string& host) const;
    // The cookie as "name=value; path=...; ..." text; the store itself never uses it.
    virtual std::string BuildCookieText() const;

    const std::string& CookieText() const { return cookieText_; }
    const std::string& CookieName() const { return name_; }
    void SetCookieName(const std::string& value) { name_ = value; }
    const std::string& Value() const { return value_; }
    void SetValue(const std::string& value) { value_ = value; }
    const std::string& Path() const { return path_; }
    void SetPath(const std::string& value) { path_ = value; }
    const std::string& Expires() const { return expires_; }
    const std::string& Domain() const { return domain_; }
    void SetDomain(const std::string& value) { domain_ = value; }
    bool Secure() const { return secure_; }
    void SetSecure(bool value) { secure_ = value; }
    TIdCookieKind CookieKind() const { return kind_; }

protected:
    // Attribute entries after the pair: "NAME=value" (name upper-cased) or a bare "FLAG".
    using Attributes = std::vector<std::string>;
    explicit TIdNetscapeCookie(TIdCookieKind kind) : kind_(kind), classKind_(kind) {}
    virtual void LoadAttributes(const Attributes& attributes);
    // The value of the first entry named `name` (upper case); empty when there is none.
    static std::string AttributeValue(const Attributes& attributes, std::string_view name);
    static bool HasFlag(const Attributes& attributes, std::string_view name);
    static void AppendAttribute(std::string& text, std::string_view name, const std::string& value);

    std::string cookieText_;
    std::string name_;
    std::string value_;
    std::string path_;
    std::string expires_;
    std::string domain_;
    bool secure_ = false;
    TIdCookieKind kind_ = ckNetscape;
    TIdCookieKind classKind_ = ckNetscape;
};

// A "Set-cookie" cookie: adds max-age, version and comment.
class TIdCookieRFC2109 : public TIdNetscapeCookie {
public:
    TIdCookieRFC2109() : TIdNetscapeCookie(ckRFC2109) {}

    // Also works out max-age from the date; a date that does not convert leaves it as it was.
    void SetExpiry(const std::string& text) override;
    std::string BuildCookieText() const override;
    // Takes over the fields of a newer cookie of the same name (the store replaces in place).
    void AssignFrom(const TIdCookieRFC2109& newer);

    std::int64_t MaxAge() const { return maxAge_; }
    const std::string& Version() const { return version_; }
    const std::string& Comment() const { return comment_; }

protected:
    explicit TIdCookieRFC2109(TIdCookieKind kind) : TIdNetscapeCookie(kind) {}
    void LoadAttributes(const Attributes& attributes) override;

    std::int64_t maxAge_ = -1;
    std::string version_;
    std::string comment_;
};

// A "Set-cookie2" cookie: adds the comment URL, the discard flag and the port list.
class TIdCookieRFC2965 : public TIdCookieRFC2109 {
public:
    TIdCookieRFC2965() : TIdCookieRFC2109(ckRFC2965) {}

    const std::string& CommentURL() const { return commentURL_; }
    bool Discard() const { return discard_; }
    int PortCount() const { return static_cast<int>(ports_.size()); }
    // Index out of range raises EIdException "Index out of range."; setting the entry one past
    // the end appends it.
    std::int32_t Port(int index) const;
    void SetPort(int index, std::int32_t value);

protected:
    void LoadAttributes(const Attributes& attributes) override;

private:
    std::string commentURL_;
    bool discard_ = false;
    std::vector<std::int32_t> ports_;
};

}  // namespace w20
