#include "foundation/z4utils.h"
