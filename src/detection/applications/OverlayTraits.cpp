#include "TopLevelWindow.h"

namespace {

// Smaller windows cannot show an answer.
constexpr int minOverlayWidth = 120;
constexpr int minOverlayHeight = 60;

} // namespace

QStringList overlayTraits(const WindowLayering &layering)
{
    const bool keptAbove = layering.above || layering.overrideRedirect;
    const bool hiddenFromTaskbar = layering.skipTaskbar || layering.overrideRedirect;
    if (!layering.viewable || !keptAbove || !hiddenFromTaskbar || layering.desktopType ||
        layering.width < minOverlayWidth || layering.height < minOverlayHeight ||
        !(layering.emptyInputShape || layering.argbVisual))
        return {};
    QStringList traits{QStringLiteral("always on top"), QStringLiteral("hidden from the task bar")};
    if (layering.emptyInputShape)
        traits << QStringLiteral("click-through");
    if (layering.argbVisual)
        traits << QStringLiteral("transparent");
    return traits;
}
