// Holds a line edit to what a fixed field of code page 932 bytes can store: a text whose code
// page 932 form is longer is refused as it is typed, so nothing is cut later without a word.
#pragma once

#include <QValidator>

namespace kestrane {

class Cp932LengthValidator final : public QValidator {
public:
    Cp932LengthValidator(int maxBytes, QObject* parent) : QValidator(parent), maxBytes_(maxBytes) {}
    State validate(QString& text, int& position) const override;

private:
    int maxBytes_;
};

} // namespace kestrane
