#include "foundation/zutils.h"
