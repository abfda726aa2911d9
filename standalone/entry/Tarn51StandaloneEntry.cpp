// Compiled into the standalone program only: hands JUCE's entry point the program's own
// application object in place of JUCE's default standalone application.
#include "standalone/Tarn51StandaloneApplication.h"

START_JUCE_APPLICATION (Tarn51StandaloneApplication)
