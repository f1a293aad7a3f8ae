#pragma once

#include <QString>
#include <optional>

// The "PROGRESS:<current>/<maximum>" lines of the uninstall script.

inline const QString kProgressPrefix = QStringLiteral("PROGRESS:");

struct ProgressStep {
    double current;
    double maximum;
};

// The step of a line that starts with kProgressPrefix: the text after the
// first ":" up to the next ":", split at the first "/". Each side counts by
// its leading number (0 if it has none). A line without a "/" there has no step.
std::optional<ProgressStep> ParseProgressLine(const QString& line);

// The number text begins with, after white space, in plain decimal notation
// with an optional exponent; 0 when there is none.
double LeadingNumber(const QString& text);
