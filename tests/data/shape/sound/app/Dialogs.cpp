// Inside app/ anything goes.
#include "app/Dialogs.h"
