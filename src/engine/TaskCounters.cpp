#include "TaskCounters.h"

#include <QLocale>

namespace kestrel::engine {

namespace {

constexpr qint64 kBytesPerKB = 1024;
constexpr qint64 kBytesPerMB = 1024 * 1000; // the program's own unit, not 2^20

QString actionWording(int action, bool previewMode)
{
    switch (action) {
    case 0:
        return previewMode ? QStringLiteral(" would be moved.") : QStringLiteral(" moved.");
    case 1:
        return previewMode ? QStringLiteral(" would be copied.") : QStringLiteral(" copied.");
    case 2:
        return previewMode ? QStringLiteral(" would be deleted.") : QStringLiteral(" deleted.");
    default:
        return {};
    }
}

// "#0.0": at least one digit before the separator, exactly one after, and no
// grouping (the user's decimal separator, but never "3,145.7").
QString oneDecimal(double value)
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', 1);
}

} // namespace

QString GetActionCount(const TaskCounters& counters, int action, bool previewMode)
{
    const QString count = counters.ProcessedCount == 1
                              ? QStringLiteral("1 item")
                              : QString::number(counters.ProcessedCount) + QStringLiteral(" items");
    return count + actionWording(action, previewMode);
}

QString ResultsText(const TaskCounters& counters, int action, bool previewMode)
{
    QString text = GetActionCount(counters, action, previewMode);
    if (counters.FailedCount == 1)
        text += QStringLiteral(" 1 item not be processed.");
    else if (counters.FailedCount > 1)
        text += ' ' + QString::number(counters.FailedCount) +
                QStringLiteral(" items not be processed.");
    if (counters.ProcessedCount > 0) {
        text += QStringLiteral(" Size:");
        if (counters.TotalSize >= kBytesPerMB)
            text +=
                ' ' + oneDecimal(double(counters.TotalSize) / kBytesPerMB) + QStringLiteral(" MB");
        else
            text +=
                ' ' + oneDecimal(double(counters.TotalSize) / kBytesPerKB) + QStringLiteral(" KB");
    }
    return text;
}

} // namespace kestrel::engine
