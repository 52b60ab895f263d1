#include "ui/list_items.h"

#include <vector>

std::string BTN_name_from_vector(int index, void* list) {
    return (*static_cast<const std::vector<std::string>*>(list))[static_cast<std::size_t>(index)];
}

int BTN_type_from_vector(int index, void* list) {
    return (*static_cast<const std::vector<int>*>(list))[static_cast<std::size_t>(index)];
}
