// Must not compile: the device layer knows no transport.
#include "usb/usb_cameras.h"
