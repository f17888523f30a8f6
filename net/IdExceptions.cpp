#include "net/IdExceptions.h"

#include <cstring>

#include "base/Format.h"

namespace w20 {

namespace {

std::string SystemErrorText(std::uint32_t code) {
    if (code == 0)
        return {};
    char buffer[256] = {};
    // The GNU form may return a static text instead of filling the buffer.
    return strerror_r(static_cast<int>(code), buffer, sizeof buffer);
}

}  // namespace

EIdWS2StubError::EIdWS2StubError(std::string title, std::uint32_t osErrorCode)
    : EIdWS2StubError(std::move(title), osErrorCode, SystemErrorText(osErrorCode)) {}

EIdWS2StubError::EIdWS2StubError(std::string title, std::uint32_t osErrorCode, std::string osErrorText)
    : EIdException(osErrorCode == 0 ? title : title + ": " + osErrorText),
      title_(std::move(title)),
      osErrorCode_(osErrorCode),
      osErrorText_(std::move(osErrorText)) {}

EIdInvalidPortRange::EIdInvalidPortRange(std::int32_t min, std::int32_t max)
    : EIdSocketHandleError(Format("Invalid Port Range (%d - %d)", min, max)) {}

EIdCanNotBindPortInRange::EIdCanNotBindPortInRange(std::int32_t min, std::int32_t max)
    : EIdSocketHandleError(Format("Can not bind in port range (%d - %d)", min, max)) {}

}  // namespace w20
