#pragma once

#include <optional>
#include <string>
#include <vector>

#include "link/interface_class.h"

namespace vantorel::link {

// Lists the present device interfaces of one interface class.
class DeviceDirectory {
public:
    virtual ~DeviceDirectory() = default;

    // Every present interface of `interfaceClass` as its unique path, in a stable order;
    // nullopt when the enumeration itself failed.
    virtual std::optional<std::vector<std::string>> ListPresent(const Guid& interfaceClass) = 0;
};

}  // namespace vantorel::link
