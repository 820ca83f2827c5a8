#include "usb/udev_rules.h"

#include <cstdio>

namespace tavlin::usb {

std::string UdevRules(const IdList& list) {
    std::string rules =
        "# Tavlin 410QZ-VKE cameras over USB: access for the user at the seat (uaccess) and for\n"
        "# group plugdev. Generated from the USB id list (tavlin-ctl --udev-rules); install as\n"
        "# /etc/udev/rules.d/60-tavlin.rules, then: udevadm control --reload && udevadm trigger\n";
    if (list.ids.empty()) rules += "# The id list is empty: no device is granted.\n";
    for (const UsbId& id : list.ids) {
        char line[160];
        std::snprintf(line, sizeof(line),
                      "SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", ATTR{idVendor}==\"%04x\", "
                      "ATTR{idProduct}==\"%04x\", MODE=\"0660\", GROUP=\"plugdev\", "
                      "TAG+=\"uaccess\"\n",
                      id.vendor, id.product);
        rules += line;
    }
    return rules;
}

}  // namespace tavlin::usb
