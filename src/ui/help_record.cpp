#include "ui/help_record.h"

help_class help;
