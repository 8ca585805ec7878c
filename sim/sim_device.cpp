#include "sim/sim_device.hpp"
