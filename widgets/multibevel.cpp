#include "widgets/multibevel.h"

// The frame adds nothing to its base; this unit makes sure its header stands on its own.
