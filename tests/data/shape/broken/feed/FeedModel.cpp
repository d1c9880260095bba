// A model file that reaches into the window.
#include "app/Form1.h"
