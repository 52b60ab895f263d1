#include "render/renderer_options.h"

#include <algorithm>

reno_class reno;

// The drawing options the view-setup code adds join these defaults when it arrives.
void reno_class::reno_init() { aniso_level = std::min(4, static_cast<int>(max_aniso)); }
