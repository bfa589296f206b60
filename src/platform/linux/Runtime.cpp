#include "platform/Runtime.h"

#include <unistd.h>

namespace pelloway {

unsigned UserId()
{
    return ::getuid();
}

} // namespace pelloway
