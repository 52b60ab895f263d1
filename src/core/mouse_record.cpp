#include "core/mouse_record.h"

mnw_record mnw;
int return_hit = 0;
int escape_hit = 0;
int delete_hit = 0;
