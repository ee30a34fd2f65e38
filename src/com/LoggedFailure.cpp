#include "LoggedFailure.h"

#include "lumo/Logger.h"

#include <stdexcept>

namespace Talvessa {

void logAndThrow(const std::string& text) {
    getLogStream() << text << std::endl;
    throw std::runtime_error(text);
}

} // namespace Talvessa
