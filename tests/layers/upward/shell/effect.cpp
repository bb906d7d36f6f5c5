// A shell file that reaches up into the toolkit: the check must refuse it.
#include "gui/view.h"
