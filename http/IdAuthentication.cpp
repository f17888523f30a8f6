#include "http/IdAuthentication.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "base/Format.h"
#include "base/Strings.h"
#include "http/IdBasicAuthentication.h"

namespace w20 {
namespace {

struct Registry {
    std::mutex mutex;
    std::vector<std::pair<std::string, TIdAuthenticationClass>> methods{
        {"Basic", TIdBasicAuthentication::Class()}};
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

auto FindIn(Registry& registry, const std::string& scheme) {
    return std::find_if(registry.methods.begin(), registry.methods.end(),
                        [&scheme](const auto& method) { return SameText(method.first, scheme); });
}

}  // namespace

void RegisterAuthenticationMethod(const std::string& scheme, const TIdAuthenticationClass& authClass) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    const auto found = FindIn(registry, scheme);
    if (found != registry.methods.end()) {
        throw EIdAlreadyRegisteredAuthenticationMethod(
            Format("This authentication method is already registered with class name %s.",
                   found->second.ClassName.c_str()));
    }
    registry.methods.emplace_back(scheme, authClass);
}

void UnregisterAuthenticationMethod(const std::string& scheme) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    const auto found = FindIn(registry, scheme);
    if (found != registry.methods.end())
        registry.methods.erase(found);
}

std::optional<TIdAuthenticationClass> FindAuthenticationMethod(const std::string& scheme) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    const auto found = FindIn(registry, scheme);
    if (found == registry.methods.end())
        return std::nullopt;
    return found->second;
}

}  // namespace w20
