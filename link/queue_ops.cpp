#include "link/queue_ops.hpp"
