// The leak-checker settings of this test program.
#include "support/TestLeakSuppressions.h"
