#include "image/hex_converter.hpp"
