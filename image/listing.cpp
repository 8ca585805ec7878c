#include "image/listing.hpp"
