#include "link/serial_port.hpp"
