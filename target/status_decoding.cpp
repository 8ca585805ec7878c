#include "target/status_decoding.hpp"
