#include "link/posix_serial_device.hpp"
