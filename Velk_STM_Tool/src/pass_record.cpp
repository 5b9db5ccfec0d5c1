#include "pass_record.h"

pass_record_st passRecord;
