#include "ui/panel_record.h"

wins_class wins;
