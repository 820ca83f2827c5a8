// Must not compile: the platform layer sits below the camera layer and cannot see its headers.
#include "camera/ctavlin.h"
