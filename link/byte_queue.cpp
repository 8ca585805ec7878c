#include "link/byte_queue.hpp"
