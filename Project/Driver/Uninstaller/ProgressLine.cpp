#include "ProgressLine.h"

#include <QRegularExpression>
#include <QStringList>

std::optional<ProgressStep> ParseProgressLine(const QString& line) {
    QStringList fields = line.split(u':');
    if (fields.size() < 2) return std::nullopt;
    QStringList sides = fields[1].split(u'/');
    if (sides.size() < 2) return std::nullopt;
    return ProgressStep{LeadingNumber(sides[0]), LeadingNumber(sides[1])};
}

double LeadingNumber(const QString& text) {
    static const QRegularExpression kNumber(
        QStringLiteral(R"(^\s*([+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?))"));
    QRegularExpressionMatch match = kNumber.match(text);
    if (!match.hasMatch()) return 0.0;
    return match.capturedView(1).toDouble();
}
