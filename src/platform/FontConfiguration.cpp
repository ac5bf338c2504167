#include "platform/FontConfiguration.h"

#ifdef TUNEBARN_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

std::jthread loadFontConfiguration()
{
    return std::jthread([] {
#ifdef TUNEBARN_FONTCONFIG
        FcInit();
#endif
    });
}
