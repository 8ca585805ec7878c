#include "link/read_routines.hpp"
