// A tool source that reaches into the library: the check must refuse it.
#include "codec/block.h"
