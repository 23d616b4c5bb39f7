// Deletion of a show's files when its window closes.
#pragma once

#include <cstdint>

int32_t CleanUpShowFiles();
