#include "EditFields.h"

#include "files/Cp1252.h"

#include <algorithm>

namespace lumivex {

QValidator::State UpperCaseValidator::validate(QString& input, int& position) const
{
    (void)position;
    for (QChar& c : input)
        c = c.toUpper();
    return Acceptable;
}

bool SettingsTextValidator::isAllowed(char32_t codePoint)
{
    if (codePoint == U'\0' || codePoint == U'\r' || codePoint == U'\n')
        return false;
    return isCp1252Representable(codePoint);
}

QValidator::State SettingsTextValidator::validate(QString& input, int& position) const
{
    QString kept;
    kept.reserve(input.size());
    int keptPosition = position;
    for (qsizetype i = 0; i < input.size();) {
        const QChar c = input.at(i);
        qsizetype length = 1;
        char32_t codePoint = c.unicode();
        if (c.isHighSurrogate() && i + 1 < input.size() && input.at(i + 1).isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(c, input.at(i + 1));
            length = 2;
        }
        if (isAllowed(codePoint))
            kept.append(input.mid(i, length));
        else if (i < position)
            keptPosition -= static_cast<int>(std::min<qsizetype>(length, position - i));
        i += length;
    }
    if (kept.size() != input.size()) {
        input = kept;
        position = keptPosition;
    }
    return Acceptable;
}

} // namespace lumivex
