// The leak-checker settings of this test program (the preferences list capture devices).
#include "support/TestLeakSuppressions.h"
