#include "WindowDriving.h"

#include <QDebug>
#include <QProcess>

std::optional<QByteArray> run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30'000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qWarning() << program << arguments << "failed:" << process.readAllStandardError();
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

QList<QPoint> controls(const QImage &screen, const QColor &colour, int minWidth)
{
    const QImage image = screen.convertToFormat(QImage::Format_RGB32);
    const auto near = [](QRgb pixel, QRgb other, int tolerance) {
        return qAbs(qRed(pixel) - qRed(other)) <= tolerance &&
               qAbs(qGreen(pixel) - qGreen(other)) <= tolerance &&
               qAbs(qBlue(pixel) - qBlue(other)) <= tolerance;
    };
    // Anti-aliasing and colour conversion move channels by a step or two, but
    // a control's face is one colour throughout, unlike a gradient that comes
    // near the colour for a stretch.
    const auto matches = [&](int x, int y, QRgb runColour) {
        return near(image.pixel(x, y), colour.rgb(), 3) && near(image.pixel(x, y), runColour, 1);
    };
    QList<QPoint> found;
    for (int y = 0; y + 8 < image.height(); ++y) {
        int x = 0;
        QRgb runColour = 0;
        for (int run = 0; x < image.width() && run < minWidth; ++x) {
            if (run == 0)
                runColour = image.pixel(x, y);
            run = matches(x, y, runColour) && matches(x, y + 8, runColour) ? run + 1 : 0;
        }
        if (x == image.width())
            continue;
        found.append({x - 50, y + 8});
        while (y + 9 < image.height() && matches(x - 50, y + 9, runColour))
            ++y; // past this control
    }
    return found;
}
