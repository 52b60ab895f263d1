// Least form: the record only; the popup never opens yet.
#include "ui/menus.h"

mbar_class mbar;

int BTN_textlist(float, float, int*, const std::string&, const std::string&, char) { return 0; }
