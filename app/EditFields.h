#pragma once
// Input rules of the edit fields of the control window.
//
// Both validators work by editing the text as it is entered (typed, pasted or dropped)
// and always accept the result, so the field never refuses a keystroke outright; the
// cursor keeps its place relative to the characters that stay.

#include <QValidator>

namespace lumivex {

// Hex fields: every letter becomes upper case, character for character (a letter whose
// upper case is longer than one character stays as it is). Nothing else is changed.
class UpperCaseValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override;
};

// The text field of the scene text: only characters that a settings file can hold
// (Windows-1252), and never a line break or a zero character, which would end the text's
// line in the file. Other characters are dropped as they arrive.
class SettingsTextValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override;
    static bool isAllowed(char32_t codePoint);
};

} // namespace lumivex
