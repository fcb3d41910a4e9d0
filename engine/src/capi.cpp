#include "kestrelfind.h"
