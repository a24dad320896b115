#include "WindowDriving.h"

#include <QDebug>
#include <QProcess>

std::optional<QByteArray> run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(15000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qWarning() << program << arguments << "failed:" << process.readAllStandardError();
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

QList<QPoint> controls(const QImage &screen, const QColor &colour, int minWidth)
{
    const QImage image = screen.convertToFormat(QImage::Format_RGB32);
    // Anti-aliasing and colour conversion move channels by a step or two.
    const auto matches = [&](int x, int y) {
        const QRgb pixel = image.pixel(x, y);
        return qAbs(qRed(pixel) - colour.red()) <= 3 && qAbs(qGreen(pixel) - colour.green()) <= 3 &&
               qAbs(qBlue(pixel) - colour.blue()) <= 3;
    };
    QList<QPoint> found;
    for (int y = 0; y + 8 < image.height(); ++y) {
        int x = 0;
        for (int run = 0; x < image.width() && run < minWidth; ++x)
            run = matches(x, y) && matches(x, y + 8) ? run + 1 : 0;
        if (x == image.width())
            continue;
        found.append({x - 50, y + 8});
        while (y + 9 < image.height() && matches(x - 50, y + 9))
            ++y; // past this control
    }
    return found;
}
