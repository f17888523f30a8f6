#include "net/SocketLibrary.h"

#include "net/IdExceptions.h"
#include "net/IdHostLookup.h"

namespace w20 {

SocketLibrary::~SocketLibrary() {
    // A lookup still resolving keeps the library started; the process's end reclaims it.
    if (started_)
        TIdHostLookup::UnlessResolving([this] { functions_.Cleanup(); });
}

bool SocketLibrary::Started() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return started_;
}

void SocketLibrary::Start() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (started_)
        return;
    if (functions_.Startup(0x0202) != 0)
        throw EIdStackInitializationFailed();
    started_ = true;
}

SocketLibrary& SocketLibrary::Process() {
    static SocketLibrary library(PlatformSocketFunctions());
    return library;
}

}  // namespace w20
