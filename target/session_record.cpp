#include "target/session_record.hpp"
