#include "render/renderer_options.h"

reno_class reno;
