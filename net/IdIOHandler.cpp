#include "net/IdIOHandler.h"

namespace w20 {

void TIdIOHandler::ConnectClient(const std::string&, std::int32_t, const std::string&, std::int32_t,
                                 std::int32_t, std::int32_t, std::int32_t) {}

}  // namespace w20
