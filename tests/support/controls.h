// A dialog's controls found by their control ids (their object names); a missing one fails the
// test that asked for it.
#pragma once

#include <QPushButton>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

namespace kestrane::test {

template <typename T>
T* child(QWidget* w, const QString& name)
{
    T* c = w->findChild<T*>(name);
    EXPECT_NE(c, nullptr) << name.toStdString();
    return c;
}

template <typename T>
T* child(QWidget* w, int id)
{
    return child<T>(w, QString::number(id));
}

template <typename T>
T* child(QWidget* w, const char* name)
{
    return child<T>(w, QString::fromLatin1(name));
}

inline void click(QWidget* w, int id) { child<QPushButton>(w, id)->click(); }

} // namespace kestrane::test
