#pragma once

#include "base/Exception.h"

namespace w20 {

// Base of every failure raised by the network classes.
class EIdException : public Exception {
public:
    using Exception::Exception;
};

}  // namespace w20
