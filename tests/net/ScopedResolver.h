#pragma once

#include <memory>

#include "net/IdStackPosix.h"
#include "net/SocketLibrary.h"
#include "tests/net/LoopbackPeer.h"

namespace w20::test {

// The shared stack over this platform's entry points with another name lookup, while the object
// lives. Make it before any network component of the test.
class ScopedResolver {
public:
    explicit ScopedResolver(decltype(SocketFunctions::ResolveName) lookup) : library_(WithLookup(lookup)) {
        SetStackClass([this] { return std::make_unique<TIdStackPosix>(library_); });
    }
    ~ScopedResolver() { SetStackClass(nullptr); }
    ScopedResolver(const ScopedResolver&) = delete;
    ScopedResolver& operator=(const ScopedResolver&) = delete;

private:
    static SocketFunctions WithLookup(decltype(SocketFunctions::ResolveName) lookup) {
        SocketFunctions functions = CopyOfPlatformFunctions();
        functions.ResolveName = lookup;
        return functions;
    }

    SocketLibrary library_;
};

}  // namespace w20::test
