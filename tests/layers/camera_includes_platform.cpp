// Compiles: the camera layer stands on the platform layer.
#include "platform/sync.h"
