#include "link/port_names.hpp"
