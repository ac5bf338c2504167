#pragma once

#include "app/core/AppContext.h"
#include "platform/Dialogs.h"

#include <exception>

// An unexpected failure inside a handler is logged under the handler's name and the program
// goes on; nothing may escape into the event loop.
template <typename Step>
bool guardHandler(AppContext &ctx, const QString &routine, Step &&step)
{
    try {
        step();
        return true;
    } catch (const std::exception &failure) {
        ctx.AppendLog(routine + QStringLiteral("| ERROR: ") + QString::fromLocal8Bit(failure.what()));
    } catch (...) {
        ctx.AppendLog(routine + QStringLiteral("| ERROR: unknown failure"));
    }
    return false;
}

// A failed start-up step is also shown to the operator, and start-up goes on with the next.
template <typename Step>
void guardStep(AppContext &ctx, const QString &routine, Step &&step)
{
    if (guardHandler(ctx, routine, step))
        return;
    ctx.platform.dialogs.showMessage(ctx.Audit.heldLines().last().mid(10), AppContext::applicationTitle(),
                                     Dialogs::Icon::Critical);
}
