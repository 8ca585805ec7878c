#include "target/handshake.hpp"
