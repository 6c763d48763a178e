#include "widgets/cp932_length_validator.h"

#include "text/cp932.h"

namespace kestrane {

QValidator::State Cp932LengthValidator::validate(QString& text, int&) const
{
    return toCp932(text).size() <= maxBytes_ ? Acceptable : Invalid;
}

} // namespace kestrane
