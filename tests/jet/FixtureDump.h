// The fixtures folder and its databases, now declared with the rest of the tests' helpers.
#pragma once

#include "JetTest.h"
