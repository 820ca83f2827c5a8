# The emulated USB bus (tests/support/emulated_usb.*) and the wrapper its programs run under.
# Included by the test suite and the benchmarks, whichever configures first defines it.
include_guard(GLOBAL)

find_package(PkgConfig REQUIRED)
pkg_check_modules(UMOCKDEV REQUIRED IMPORTED_TARGET umockdev-1.0)
pkg_check_modules(LIBUSB REQUIRED IMPORTED_TARGET libusb-1.0)

add_library(tavlin_test_usb STATIC ${CMAKE_CURRENT_LIST_DIR}/emulated_usb.cpp
    ${CMAKE_CURRENT_LIST_DIR}/usb_presenter.cpp)
target_include_directories(tavlin_test_usb PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(tavlin_test_usb PUBLIC tavlin_internal PkgConfig::UMOCKDEV
                      PkgConfig::LIBUSB Threads::Threads)

# Prefix for running a program on the emulated bus: the umockdev preload, after the sanitizer
# runtime the program links. Use as a target's CROSSCOMPILING_EMULATOR.
set(TAVLIN_USB_WRAPPER /bin/sh ${CMAKE_CURRENT_LIST_DIR}/../usb_wrapper.sh
    --compiler=${CMAKE_CXX_COMPILER})
