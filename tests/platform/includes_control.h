// Compiled with a product's include folders; it must not build.
#include "emulation_control.h"
