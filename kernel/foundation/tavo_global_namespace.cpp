#include "tavo_global_namespace.h"
