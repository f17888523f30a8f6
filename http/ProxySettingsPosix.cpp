#include <cstdlib>

#include "http/ProxySettings.h"

namespace w20 {

std::shared_ptr<const TIdProxySettings> SystemProxySettings() {
    return std::make_shared<TIdEnvironmentProxySettings>(
        [](const std::string& name) -> std::optional<std::string> {
            const char* value = std::getenv(name.c_str());
            if (value == nullptr)
                return std::nullopt;
            return std::string(value);
        });
}

}  // namespace w20
