#include "app/Resources.h"

#include <QtCore/qglobal.h>

static void initAppResources() { Q_INIT_RESOURCE(app); }

namespace kantor::app {

void initResources() {
    static bool done = false;
    if (!done) initAppResources();
    done = true;
}

}  // namespace kantor::app
