#include "backend/backend_error.h"

namespace corvanta::backend {

const char* BackendError::what() const noexcept {
    return what_.c_str();
}

}  // namespace corvanta::backend
