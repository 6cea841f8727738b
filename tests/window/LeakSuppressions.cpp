// The leak-checker settings of this test program (it records and plays through GStreamer).
#include "support/TestLeakSuppressions.h"
