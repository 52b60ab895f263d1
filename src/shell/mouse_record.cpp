#include "shell/mouse_record.h"

mnw_record mnw;
