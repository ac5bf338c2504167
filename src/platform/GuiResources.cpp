#include "platform/GuiResources.h"

#include <QtGlobal>

void loadGuiResources()
{
    Q_INIT_RESOURCE(resources);
}
