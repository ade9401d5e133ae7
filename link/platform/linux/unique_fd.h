#pragma once

#include "base/unique_fd.h"

namespace vantorel::link::linux_platform {

using vantorel::UniqueFd;

}  // namespace vantorel::link::linux_platform
