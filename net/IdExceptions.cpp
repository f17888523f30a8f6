#include "net/IdExceptions.h"

#include "base/Format.h"
#include "net/SocketFunctions.h"

namespace w20 {

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
