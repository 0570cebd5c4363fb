#include "body.h"
