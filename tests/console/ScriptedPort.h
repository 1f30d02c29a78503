// The console suite's name for the scripted port device shared with the
// port-access suite.
#pragma once

#include "scripted_port.h"
