// A handler file may include the window.
#include "app/Form1.h"
