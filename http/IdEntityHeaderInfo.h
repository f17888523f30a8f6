#pragma once

#include <cstdint>
#include <string>

#include "base/DateTime.h"
#include "http/IdHeaderList.h"

namespace w20 {

// The header fields that requests and responses share, with the lines sent or received.
class TIdEntityHeaderInfo {
public:
    TIdEntityHeaderInfo() : customHeaders_(78), rawHeaders_(1024) {}
    virtual ~TIdEntityHeaderInfo() = default;
    TIdEntityHeaderInfo(const TIdEntityHeaderInfo&) = delete;
    TIdEntityHeaderInfo& operator=(const TIdEntityHeaderInfo&) = delete;

    // Clears the entity fields and RawHeaders; CacheControl, Pragma and CustomHeaders stay.
    void Clear();
    // Fills the entity fields from the received lines in RawHeaders. Dates that do not read
    // become 0; a "Content-Length" that is not a decimal number becomes -1.
    void ProcessHeaders();

    const std::string& CacheControl() const { return cacheControl_; }
    void SetCacheControl(const std::string& value) { cacheControl_ = value; }
    const std::string& Connection() const { return connection_; }
    void SetConnection(const std::string& value) { connection_ = value; }
    const std::string& ContentEncoding() const { return contentEncoding_; }
    void SetContentEncoding(const std::string& value) { contentEncoding_ = value; }
    const std::string& ContentLanguage() const { return contentLanguage_; }
    void SetContentLanguage(const std::string& value) { contentLanguage_ = value; }
    // -1: no length. Setting a value of 0 or more marks the length as known.
    std::int64_t ContentLength() const { return contentLength_; }
    void SetContentLength(std::int64_t value);
    bool HasContentLength() const { return hasContentLength_; }
    std::int64_t ContentRangeStart() const { return contentRangeStart_; }
    void SetContentRangeStart(std::int64_t value) { contentRangeStart_ = value; }
    std::int64_t ContentRangeEnd() const { return contentRangeEnd_; }
    void SetContentRangeEnd(std::int64_t value) { contentRangeEnd_ = value; }
    const std::string& ContentType() const { return contentType_; }
    void SetContentType(const std::string& value) { contentType_ = value; }
    const std::string& ContentVersion() const { return contentVersion_; }
    void SetContentVersion(const std::string& value) { contentVersion_ = value; }
    TIdHeaderList& CustomHeaders() { return customHeaders_; }
    const TIdHeaderList& CustomHeaders() const { return customHeaders_; }
    TDateTime Date() const { return date_; }
    void SetDate(TDateTime value) { date_ = value; }
    TDateTime Expires() const { return expires_; }
    void SetExpires(TDateTime value) { expires_ = value; }
    TDateTime LastModified() const { return lastModified_; }
    void SetLastModified(TDateTime value) { lastModified_ = value; }
    const std::string& Pragma() const { return pragma_; }
    void SetPragma(const std::string& value) { pragma_ = value; }
    TIdHeaderList& RawHeaders() { return rawHeaders_; }
    const TIdHeaderList& RawHeaders() const { return rawHeaders_; }

protected:
    // Writes the entity fields that are set into RawHeaders.
    void SetEntityHeaders();

private:
    std::string cacheControl_;
    std::string connection_;
    std::string contentEncoding_;
    std::string contentLanguage_;
    std::int64_t contentLength_ = -1;
    bool hasContentLength_ = false;
    std::int64_t contentRangeStart_ = 0;
    std::int64_t contentRangeEnd_ = 0;
    std::string contentType_;
    std::string contentVersion_;
    TIdHeaderList customHeaders_;
    TDateTime date_ = 0;
    TDateTime expires_ = 0;
    TDateTime lastModified_ = 0;
    std::string pragma_;
    TIdHeaderList rawHeaders_;
};

}  // namespace w20
