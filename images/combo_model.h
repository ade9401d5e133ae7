#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantorel::images {

// The contents of a drop-down list as plain data: the console mirrors it into its widget.
struct ComboModel {
    std::vector<std::string> items;
    int current = -1;  // -1: nothing selected

    void Clear() {
        items.clear();
        current = -1;
    }
    void Add(std::string_view item) { items.emplace_back(item); }
    // As a list box does: an index that names no item leaves nothing selected.
    void Select(long long index) {
        current = index >= 0 && index < static_cast<long long>(items.size())
                      ? static_cast<int>(index)
                      : -1;
    }
    bool operator==(const ComboModel&) const = default;
};

}  // namespace vantorel::images
