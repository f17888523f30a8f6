#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "tests/support/TempDir.h"

namespace w20::test {

ScopedUnprivileged::ScopedUnprivileged() {
    if (geteuid() != 0)
        return;
    constexpr uid_t Nobody = 65534;
    if (setegid(Nobody) != 0 || seteuid(Nobody) != 0)
        throw std::runtime_error("cannot drop privileges");
    switched_ = true;
}

ScopedUnprivileged::~ScopedUnprivileged() {
    if (!switched_)
        return;
    if (seteuid(0) != 0 || setegid(0) != 0)
        std::abort();
}

}  // namespace w20::test
