#pragma once
// Item accessors handed to the file dialog's list as callbacks: list points to the caller's
// vector, index is a valid position in it.
#include <string>

std::string BTN_name_from_vector(int index, void* list);   // list: std::vector<std::string>*
int BTN_type_from_vector(int index, void* list);           // list: std::vector<int>*
