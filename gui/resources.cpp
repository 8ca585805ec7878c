#include "gui/resources.hpp"

#include <QtGlobal>

static void InitBriskoResources() { Q_INIT_RESOURCE(brisko); }

namespace brisko::gui {

void InitResources() { InitBriskoResources(); }

}  // namespace brisko::gui
