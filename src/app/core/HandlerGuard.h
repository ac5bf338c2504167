#pragma once

#include "core/AppContext.h"
#include "platform/Dialogs.h"

#include <exception>
#include <optional>

// An unexpected failure inside a handler is logged under the handler's name and the program
// goes on; nothing may escape into the event loop. Returns the logged text when `step` failed.
template <typename Step>
std::optional<QString> guardHandler(AppContext &ctx, const QString &routine, Step &&step)
{
    QString failure;
    try {
        step();
        return std::nullopt;
    } catch (const std::exception &error) {
        failure = routine + QStringLiteral("| ERROR: ") + QString::fromLocal8Bit(error.what());
    } catch (...) {
        failure = routine + QStringLiteral("| ERROR: unknown failure");
    }
    ctx.AppendLog(failure);
    return failure;
}

// A failed start-up step is also shown to the operator, and start-up goes on with the next.
// A box that fails as well is only logged: start-up must still reach its flush.
template <typename Step> void guardStep(AppContext &ctx, const QString &routine, Step &&step)
{
    const std::optional<QString> failure = guardHandler(ctx, routine, step);
    if (!failure)
        return;
    guardHandler(ctx, routine, [&] {
        ctx.platform.dialogs.showMessage(*failure, AppContext::applicationTitle(),
                                         Dialogs::Icon::Critical);
    });
}
