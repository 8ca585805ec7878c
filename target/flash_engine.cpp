#include "target/flash_engine.hpp"
