#include "link/wire_trace.hpp"
