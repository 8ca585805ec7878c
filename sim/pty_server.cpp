#include "sim/pty_server.hpp"
