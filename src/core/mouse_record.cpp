#include "core/mouse_record.h"

mnw_record mnw;
