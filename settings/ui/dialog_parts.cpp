#include "settings/ui/dialog_parts.h"
#include "widgets/language.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace kestrane {

QString qs(const char* utf8) { return tableText(utf8); }
QString qs(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

QCheckBox* idCheck(int id, const QString& text, QWidget* parent)
{
    auto* c = new QCheckBox(text, parent);
    c->setObjectName(QString::number(id));
    return c;
}

QRadioButton* idRadio(int id, const QString& text, QWidget* parent)
{
    auto* r = new QRadioButton(text, parent);
    r->setObjectName(QString::number(id));
    return r;
}

QLineEdit* idEdit(int id, int maxLength, QWidget* parent)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::number(id));
    e->setMaxLength(maxLength);
    return e;
}

QLabel* idLabel(int id, const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::number(id));
    return l;
}

} // namespace kestrane
