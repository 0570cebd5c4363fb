#include "polygon.h"
