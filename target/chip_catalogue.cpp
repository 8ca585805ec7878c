#include "target/chip_catalogue.hpp"
