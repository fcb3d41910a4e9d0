// The search core's shared operations (UnitFunction) in one include: result ordering, the Shortcuts
// pattern, size and date texts, program version strings, the drive list and the group file. The query
// patterns are in query.h.
#pragma once

#include "drive_list.h"
#include "file_version.h"
#include "group_file.h"
#include "query.h"
#include "sort_results.h"
#include "start_menu.h"
#include "text_format.h"
